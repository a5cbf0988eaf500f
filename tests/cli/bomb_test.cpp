// Small files that declare huge pictures (tests/bombs, made by make_bombs.py):
// with the default pixel limit, converting any of them must stay under 1 GB
// of memory and 10 s of processor time, and end with a result or a clean
// error, never a crash.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/corpus.h"

namespace pixtrel {
namespace {

struct Usage {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  long peakKb = 0;
  double cpuSeconds = 0;
  std::string errors;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs pixtrel-cli with arguments, its standard error kept, and measures it.
Usage RunMeasured(const std::vector<std::string>& arguments, const std::string& errorFile) {
  Usage usage;
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid < 0) return usage;
  if (pid == 0) {
    std::vector<char*> argv;
    std::string program = PIXTREL_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (!std::freopen(errorFile.c_str(), "w", stderr) || !std::freopen("/dev/null", "w", stdout)) ::_exit(120);
    ::execv(program.c_str(), argv.data());
    ::_exit(121);
  }
  int status = 0;
  rusage resources{};
  if (::wait4(pid, &status, 0, &resources) != pid) return usage;
  usage.exited = WIFEXITED(status);
  usage.exitCode = usage.exited ? WEXITSTATUS(status) : -1;
  usage.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  usage.peakKb = resources.ru_maxrss;
  usage.cpuSeconds = resources.ru_utime.tv_sec + resources.ru_utime.tv_usec / 1e6 + resources.ru_stime.tv_sec +
                     resources.ru_stime.tv_usec / 1e6;
  usage.errors = ReadAll(errorFile);
  return usage;
}

TEST(Bombs, NoSmallFileTakesMoreThanAGigabyteOrTenSeconds) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's own memory would be measured";
#endif
  const std::filesystem::path folder = std::filesystem::path(PIXTREL_SOURCE_DIR) / "tests" / "bombs";
  const std::string out = test::TempDir();
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string path = entry.path().string();
    if (entry.path().extension() == ".py") continue;
    ++files;
    SCOPED_TRACE(path);
    EXPECT_LT(std::filesystem::file_size(path), 1000u * 1000u);
    const Usage usage = RunMeasured({"convert", path, out + "/out.png"}, out + "/errors.txt");
    EXPECT_TRUE(usage.exited) << "signal " << usage.signal;
    // A picture written, or a reason (the TIFF reader says its own first).
    if (usage.exitCode != 0) {
      EXPECT_EQ(usage.exitCode, 1);
      const std::size_t last = usage.errors.rfind('\n', usage.errors.size() - 2);
      EXPECT_EQ(usage.errors.compare(last == std::string::npos ? 0 : last + 1, 7, "error: "), 0) << usage.errors;
    }
    EXPECT_LT(usage.peakKb, 1024 * 1024) << usage.errors;
    EXPECT_LT(usage.cpuSeconds, 10.0) << usage.errors;
    std::printf("%-28s exit %d  %7.1f MB  %5.2f s CPU  %s", entry.path().filename().c_str(), usage.exitCode,
                usage.peakKb / 1024.0, usage.cpuSeconds, usage.errors.empty() ? "\n" : usage.errors.c_str());
  }
  EXPECT_GE(files, 16);
}

// The coefficients a progressive file needs count against the limit: the
// colour bomb is refused before they are allocated, saying why.
TEST(Bombs, ProgressiveJpegCoefficientsCountAgainstTheLimit) {
  const std::string folder = std::string(PIXTREL_SOURCE_DIR) + "/tests/bombs/";
  const std::string out = test::TempDir();
  const Usage refused = RunMeasured({"info", folder + "progressive-colour-flat.jpg"}, out + "/e1.txt");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.errors.find("12000 x 12000 = 144000000 pixels and buffers of as many as"), std::string::npos)
      << refused.errors;
  const Usage allowed = RunMeasured({"info", folder + "progressive-colour-flat.jpg", "--max-pixels", "0"},
                                    out + "/e2.txt");
  EXPECT_EQ(allowed.exitCode, 0) << allowed.errors;
}

}  // namespace
}  // namespace pixtrel
