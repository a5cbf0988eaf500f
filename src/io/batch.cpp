#include "io/batch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unordered_map>

#include <sys/stat.h>
#include <unistd.h>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "core/stream.h"
#include "io/formats.h"
#include "io/image_io.h"

namespace pixtrel {

namespace {

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "PNG", "png" and ".PNG" all name the PNG writer.
std::string FormatName(const std::string& format) {
  return format.empty() || format[0] != '.' ? format : format.substr(1);
}

bool TargetExists(const std::string& target) {
  std::error_code ec;
  return std::filesystem::exists(target, ec);
}

// The identity of a path for telling whether two names reach one file.
std::string PathKey(const std::string& path) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  if (ec) canonical = std::filesystem::absolute(path, ec).lexically_normal();
  return canonical.string();
}

void CheckDestination(const BatchSettings& settings) {
  // An empty folder would put every file at the root of the file system.
  if (settings.destination.empty()) throw Exception("No destination folder selected");
}

// One file's load and the options of its save: the PNG text is what the
// load left, unless the batch has one for every file.
struct LoadedFile {
  Bitmap image;
  SaveOptions options;
  std::string pngText;
};

LoadedFile LoadBatchFile(const std::string& path, const BatchSettings& settings, const SaveOptions& base,
                         const std::optional<std::string>& pngText) {
  // The batch formats never ask; nothing here can reach a user, and a script
  // without answers declines whatever might be asked.
  ScriptedInteraction silent;
  LoadedFile file;
  const LoadResult result = LoadImageFile(path, file.image, silent, settings.maxPixels, settings.opening);
  file.pngText = result.pngText;
  file.options = base;
  file.options.password.clear();
  file.options.pngText = pngText ? *pngText : result.pngText;
  // Each file carries its own source's metadata, or none.
  file.options.metadata = result.metadata;
  return file;
}

// One job: the steps of the batch loop on the calling thread.
void RunSequential(const std::vector<std::string>& workList, const BatchSettings& settings, const SaveOptions& options,
                   const std::function<void(const BatchFileResult&)>& fileDone,
                   const std::optional<std::string>& pngText) {
  const std::string ext = "." + UpperCase(FormatName(settings.format));
  for (std::size_t i = 0; i < workList.size(); ++i) {
    const LoadedFile file = LoadBatchFile(workList[i], settings, options, pngText);
    const Bitmap saveImage(file.image);
    const std::string target = BatchTargetName(settings.destination, workList[i], settings.format);
    bool written = false;
    if (settings.overwrite || !TargetExists(target))
      written = SaveImageFile(target, saveImage, ext, file.options) == SaveOutcome::Written;
    if (fileDone) fileDone(BatchFileResult{target, written, i, workList.size(), file.pngText});
  }
}

// Several jobs. Workers load each file and save it under a temporary name
// beside its target; the calling thread then puts the files in place strictly
// in list order, deciding there whether each is written or skipped. So the
// files, the reports and the first error are those of one job: a file after a
// failing one is never put in place, and of two files with one target the
// existence test of the second sees the first. A file whose source is the
// target of an earlier one waits until that one is in place.
class ParallelBatch {
 public:
  ParallelBatch(const std::vector<std::string>& workList, const BatchSettings& settings, const SaveOptions& options,
                int jobs, const std::optional<std::string>& pngText)
      : workList_(workList),
        settings_(settings),
        pngText_(pngText),
        jobs_(jobs),
        ext_("." + UpperCase(FormatName(settings.format))),
        base_(options) {
    static std::atomic<unsigned> batchNumber{0};
    // Shards of one batch on other machines may write into the same shared
    // folder with the same process id (containers start from 1): a random
    // part keeps their temporary names apart.
    std::random_device device;
    const std::uint64_t nonce = (std::uint64_t{device()} << 32) ^ device();
    char nonceText[17];
    std::snprintf(nonceText, sizeof nonceText, "%016llx", static_cast<unsigned long long>(nonce));
    const std::string prefix = ".~batch-" + std::to_string(::getpid()) + "-" + nonceText + "-" +
                               std::to_string(batchNumber.fetch_add(1)) + "-";
    files_.resize(workList.size());
    // The last earlier file writing each target.
    std::unordered_map<std::string, std::size_t> writers;
    for (std::size_t i = 0; i < workList.size(); ++i) {
      files_[i].target = BatchTargetName(settings.destination, workList[i], settings.format);
      files_[i].temp = JoinPath(settings.destination, prefix + std::to_string(i) + ".tmp");
      if (const auto writer = writers.find(PathKey(workList[i])); writer != writers.end())
        files_[i].waitFor = writer->second + 1;
      writers[PathKey(files_[i].target)] = i;
    }
  }

  void Run(const std::function<void(const BatchFileResult&)>& fileDone) {
    const int threads = std::min<int>(jobs_, static_cast<int>(workList_.size()));
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    try {
      for (int t = 0; t < threads; ++t) workers.emplace_back([this] { Work(); });
      Commit(fileDone);
    } catch (...) {
      Stop(workers);
      throw;
    }
    Stop(workers);
  }

 private:
  enum class State { Waiting, Loaded, Saved, Failed };

  struct File {
    std::string target;
    std::string temp;
    std::size_t waitFor = 0;  // files that must be in place before this one loads
    State state = State::Waiting;
    std::string pngText;  // what the load left in the text box
    std::exception_ptr error;
  };

  // Claims files in order, at most a few ahead of the one being put in place
  // so that temporary files stay few.
  void Work() {
    // Each worker reads its own copy of the options.
    const SaveOptions options = base_;
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
          return stop_ || next_ >= files_.size() ||
                 (next_ < committed_ + Window() && files_[next_].waitFor <= committed_);
        });
        if (stop_ || next_ >= files_.size()) return;
        i = next_++;
      }
      File& file = files_[i];
      State result = State::Loaded;
      std::exception_ptr error;
      std::string loadedText;
      try {
        const LoadedFile loaded = LoadBatchFile(workList_[i], settings_, options, pngText_);
        loadedText = loaded.pngText;
        const Bitmap saveImage(loaded.image);
        // No batch file removes a target, so one that exists now still
        // exists when this file's turn comes.
        if (settings_.overwrite || !TargetExists(file.target)) {
          if (SaveImageFile(file.temp, saveImage, ext_, loaded.options) == SaveOutcome::Written) result = State::Saved;
        }
      } catch (...) {
        error = std::current_exception();
        result = State::Failed;
      }
      {
        std::lock_guard lock(mutex_);
        file.pngText = std::move(loadedText);
        file.error = error;
        file.state = result;
      }
      changed_.notify_all();
    }
  }

  std::size_t Window() const { return static_cast<std::size_t>(jobs_) * 2; }

  void Commit(const std::function<void(const BatchFileResult&)>& fileDone) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
      File& file = files_[i];
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return file.state != State::Waiting; });
      }
      if (file.state == State::Failed) RethrowForTarget(file);
      bool written = false;
      if (file.state == State::Saved) {
        if (settings_.overwrite || !TargetExists(file.target)) {
          PutInPlace(file);
          written = true;
        } else {
          ::unlink(file.temp.c_str());
        }
      }
      {
        std::lock_guard lock(mutex_);
        committed_ = i + 1;
      }
      changed_.notify_all();
      if (fileDone) fileDone(BatchFileResult{file.target, written, i, files_.size(), file.pngText});
    }
  }

  // A failure to create the temporary file is the failure to create the
  // target that one job would have met.
  [[noreturn]] void RethrowForTarget(const File& file) {
    try {
      std::rethrow_exception(file.error);
    } catch (const EFCreateError& e) {
      if (e.Path() == file.temp) {
        EFCreateError error(file.target);
        error.SetFile(file.target);
        throw error;
      }
      throw;
    } catch (Exception& e) {
      // A failed save names the target, not the temporary file.
      if (e.File() == file.temp) e.SetFile(file.target);
      throw;
    }
  }

  // The rename of a save: an existing target keeps its permissions.
  void PutInPlace(File& file) {
    std::string target;
    try {
      target = SaveTarget(file.target);
    } catch (...) {
      ::unlink(file.temp.c_str());
      throw;
    }
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) ::chmod(file.temp.c_str(), info.st_mode & 07777);
    if (std::rename(file.temp.c_str(), target.c_str()) != 0) {
      ::unlink(file.temp.c_str());
      throw EFCreateError(file.target);
    }
    file.state = State::Loaded;
  }

  void Stop(std::vector<std::thread>& workers) {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers)
      if (worker.joinable()) worker.join();
    workers.clear();
    // Saves that were never put in place.
    for (std::size_t i = committed_; i < files_.size(); ++i)
      if (files_[i].state == State::Saved) ::unlink(files_[i].temp.c_str());
  }

  const std::vector<std::string>& workList_;
  const BatchSettings& settings_;
  const std::optional<std::string>& pngText_;
  const int jobs_;
  const std::string ext_;
  const SaveOptions base_;
  std::vector<File> files_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  std::size_t committed_ = 0;
  bool stop_ = false;
};

}  // namespace

std::vector<std::string> BatchWorkList(const std::string& folder, const std::vector<std::string>& selectedNames) {
  std::vector<std::string> list;
  for (const std::string& name : selectedNames) {
    if (IsBatchSource(ExtractExtension(name))) list.push_back(JoinPath(folder, name));
  }
  return list;
}

std::string BatchTargetName(const std::string& destination, const std::string& path, const std::string& format) {
  std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return JoinPath(destination, name + "." + LowerCase(FormatName(format)));
}

void RunBatch(const std::vector<std::string>& workList, const BatchSettings& settings, const SaveOptions& options,
              const std::function<void(const BatchFileResult&)>& fileDone, int jobs,
              const std::optional<std::string>& pngText) {
  if (workList.empty()) return;
  CheckDestination(settings);
  if (jobs <= 1 || workList.size() < 2) {
    RunSequential(workList, settings, options, fileDone, pngText);
    return;
  }
  ParallelBatch batch(workList, settings, options, jobs, pngText);
  batch.Run(fileDone);
}

}  // namespace pixtrel
