#include "core/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/errors.h"

namespace pixtrel {

void Stream::ReadBuffer(void* buffer, std::size_t n) {
  if (Read(buffer, n) != n) throw EReadError();
}

std::vector<std::uint8_t> Stream::ReadRest() {
  const std::int64_t remaining = Size() - Position();
  std::vector<std::uint8_t> bytes(remaining > 0 ? static_cast<std::size_t>(remaining) : 0);
  const std::size_t got = bytes.empty() ? 0 : Read(bytes.data(), bytes.size());
  bytes.resize(got);
  return bytes;
}

ByteBuffer Stream::ReadRestBuffer() {
  const std::int64_t remaining = Size() - Position();
  ByteBuffer bytes(remaining > 0 ? static_cast<std::size_t>(remaining) : 0);
  const std::size_t got = bytes.empty() ? 0 : Read(bytes.data(), bytes.size());
  bytes.resize(got);
  return bytes;
}

std::size_t MemoryStream::Read(void* buffer, std::size_t n) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t count = std::min(n, bytes_.size() - position_);
  if (count == 0) return 0;
  std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return count;
}

void MemoryStream::Write(const void* buffer, std::size_t n) {
  if (n == 0) return;
  if (position_ + n > bytes_.size()) bytes_.resize(position_ + n);
  std::memcpy(bytes_.data() + position_, buffer, n);
  position_ += n;
}

void MemoryStream::Seek(std::int64_t position) {
  if (position < 0) throw EReadError();
  position_ = static_cast<std::size_t>(position);
}

namespace {

// Images come from regular files only: a FIFO without a writer would block
// the open, a device never ends, a folder holds no picture.
template <typename Error>
[[noreturn]] void RefuseSpecialFile(const std::string& path) {
  Error error(path);
  error.SetContext("not a regular file");
  throw error;
}

// Follows a chain of symbolic links to the file it ends at (which need not
// exist yet); a save replaces that file and leaves the links as they are.
std::filesystem::path FinalTarget(const std::filesystem::path& path) {
  std::filesystem::path current = path;
  std::error_code ec;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(current, ec); ++hops) {
    const std::filesystem::path next = std::filesystem::read_symlink(current, ec);
    if (ec) break;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current;
}

}  // namespace

std::string SaveTarget(const std::string& path) {
  const std::filesystem::path target = FinalTarget(path);
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) RefuseSpecialFile<EFCreateError>(path);
  return target.string();
}

FileStream::FileStream(const std::string& path) {
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) RefuseSpecialFile<EFOpenError>(path);
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) throw EFOpenError(path);
  struct stat info {};
  if (fstat(fileno(file_), &info) != 0) {
    std::fclose(file_);
    throw EFOpenError(path);
  }
  size_ = static_cast<std::int64_t>(info.st_size);
}

FileStream::~FileStream() {
  if (file_) std::fclose(file_);
}

std::size_t FileStream::Read(void* buffer, std::size_t n) { return std::fread(buffer, 1, n, file_); }

void FileStream::Write(const void*, std::size_t) { throw EWriteError(); }

std::int64_t FileStream::Position() const { return static_cast<std::int64_t>(ftello(file_)); }

void FileStream::Seek(std::int64_t position) {
  if (position < 0 || fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) throw EReadError();
}

AtomicFileStream::AtomicFileStream(std::string path) : path_(std::move(path)) {
  // Written through a symbolic link, beside the file it names; only a
  // regular file is ever replaced.
  finalPath_ = SaveTarget(path_);
  const std::filesystem::path target(finalPath_);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  namePattern_ = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  // An unnamed file in the target's folder vanishes with the process, so a
  // save that is killed leaves nothing behind; it gets a name only at
  // Commit. File systems without unnamed files get a named one at once.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::vector<char> name(namePattern_.begin(), namePattern_.end());
    name.push_back('\0');
    fd = mkstemp(name.data());
    if (fd < 0) throw EFCreateError(path_);
    tempPath_ = name.data();
  }
  file_ = fdopen(fd, "w+b");
  if (!file_) {
    ::close(fd);
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    throw EFCreateError(path_);
  }
}

// Gives the unnamed file a name beside the target, for the rename.
bool AtomicFileStream::NameTemporary() {
  if (!tempPath_.empty()) return true;
  const std::string self = "/proc/self/fd/" + std::to_string(fileno(file_));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = namePattern_;
    name.replace(name.size() - 6, 6, std::to_string(::getpid() % 1000000 * 100 + attempt));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      tempPath_ = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

AtomicFileStream::~AtomicFileStream() {
  if (!committed_) Discard();
}

void AtomicFileStream::Discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
}

std::size_t AtomicFileStream::Read(void* buffer, std::size_t n) { return std::fread(buffer, 1, n, file_); }

void AtomicFileStream::Write(const void* buffer, std::size_t n) {
  if (n > 0 && std::fwrite(buffer, 1, n, file_) != n) throw EWriteError();
}

std::int64_t AtomicFileStream::Position() const { return static_cast<std::int64_t>(ftello(file_)); }

void AtomicFileStream::Seek(std::int64_t position) {
  if (position < 0 || fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) throw EWriteError();
}

std::int64_t AtomicFileStream::Size() const {
  const off_t here = ftello(file_);
  fseeko(file_, 0, SEEK_END);
  const off_t end = ftello(file_);
  fseeko(file_, here, SEEK_SET);
  return static_cast<std::int64_t>(end);
}

void AtomicFileStream::Commit() {
  if (committed_) return;
  // A new file gets the permissions an ordinary create would give it; an
  // existing one keeps its own.
  struct stat info {};
  mode_t mode;
  if (::stat(finalPath_.c_str(), &info) == 0) {
    mode = info.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  const bool flushed = std::fflush(file_) == 0 && ::fchmod(fileno(file_), mode) == 0 && NameTemporary();
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed || std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
    throw EFCreateError(path_);
  }
  committed_ = true;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  FileStream stream(path);
  return stream.ReadRest();
}

void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  AtomicFileStream out(path);
  out.WriteBuffer(bytes);
  out.Commit();
}

}  // namespace pixtrel
