#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/errors.h"
#include "core/graphic.h"
#include "core/stream.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t FilesIn(const std::string& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// A graphic whose writer fails halfway, as a full disk would make it.
class FailingGraphic : public Graphic {
 public:
  int Width() const override { return 1; }
  int Height() const override { return 1; }
  void LoadFromStream(Stream&) override {}
  void AssignTo(Bitmap&) const override {}
  void SaveToStream(Stream& stream) const override {
    stream.Write("partial", 7);
    throw EWriteError();
  }
};

class GoodGraphic : public FailingGraphic {
 public:
  void SaveToStream(Stream& stream) const override { stream.Write("complete", 8); }
};

TEST(AtomicSave, FailedWriteLeavesExistingFileAndNoTemporary) {
  const std::string dir = test::TempDir();
  const std::string path = dir + "/picture.bmp";
  { std::ofstream(path) << "old contents"; }
  EXPECT_THROW(FailingGraphic().SaveToFile(path), EWriteError);
  EXPECT_EQ(Slurp(path), "old contents");
  EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(AtomicSave, CompleteWriteReplacesFileAndKeepsPermissions) {
  const std::string dir = test::TempDir();
  const std::string path = dir + "/picture.bmp";
  { std::ofstream(path) << "old contents"; }
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  GoodGraphic().SaveToFile(path);
  EXPECT_EQ(Slurp(path), "complete");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(AtomicSave, MissingFolderRaisesCreateError) {
  EXPECT_THROW(GoodGraphic().SaveToFile(test::TempDir() + "/no/such/folder/x.bmp"), EFCreateError);
}

TEST(Streams, FileStreamReportsMissingFilesAndFolders) {
  EXPECT_THROW(FileStream("/nonexistent/file.bmp"), EFOpenError);
  EXPECT_THROW(FileStream(test::TempDir()), EFOpenError);
}

// Whether the folder's file system makes unnamed files; without them a save
// falls back to a named temporary file, which a kill can leave behind.
bool UnnamedFilesWork(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// A save cut off by the end of the process, as a kill would cut it, leaves
// the old file and no temporary file behind.
TEST(AtomicSave, AProcessThatEndsMidSaveLeavesNothingBehind) {
  const std::string dir = test::TempDir();
  if (!UnnamedFilesWork(dir)) GTEST_SKIP() << "the file system of " << dir << " makes no unnamed files";
  const std::string path = dir + "/picture.bmp";
  { std::ofstream(path) << "old contents"; }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicFileStream* stream = new AtomicFileStream(path);
    stream->Write("partial", 7);
    std::fflush(nullptr);
    ::_exit(0);  // no destructor, no Commit: as if killed here
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(Slurp(path), "old contents");
  EXPECT_EQ(FilesIn(dir), 1u);
}

// The folder goes away while the picture is written: the save fails with
// the create error, and nothing is left anywhere.
TEST(AtomicSave, AFolderRemovedMidWriteFailsCleanly) {
  const std::string dir = test::TempDir();
  if (!UnnamedFilesWork(dir)) GTEST_SKIP() << "the file system of " << dir << " makes no unnamed files";
  const std::string folder = dir + "/gone";
  fs::create_directory(folder);
  AtomicFileStream stream(folder + "/picture.bmp");
  stream.Write("partial", 7);
  ASSERT_TRUE(fs::remove(folder));
  EXPECT_THROW(stream.Commit(), EFCreateError);
  EXPECT_EQ(FilesIn(dir), 0u);
}

// A save through a symbolic link replaces the file the links end at, beside
// it, and the links stay links.
TEST(AtomicSave, WritesThroughSymbolicLinks) {
  const std::string dir = test::TempDir();
  fs::create_directory(dir + "/real");
  const std::string real = dir + "/real/picture.bmp";
  { std::ofstream(real) << "old contents"; }
  fs::create_symlink("real/picture.bmp", dir + "/link.bmp");
  fs::create_symlink(dir + "/link.bmp", dir + "/link2.bmp");
  GoodGraphic().SaveToFile(dir + "/link2.bmp");
  EXPECT_EQ(Slurp(real), "complete");
  EXPECT_TRUE(fs::is_symlink(dir + "/link.bmp"));
  EXPECT_TRUE(fs::is_symlink(dir + "/link2.bmp"));
  EXPECT_EQ(FilesIn(dir + "/real"), 1u);
  // A link to a file not there yet makes the file.
  fs::create_symlink("real/new.bmp", dir + "/dangling.bmp");
  GoodGraphic().SaveToFile(dir + "/dangling.bmp");
  EXPECT_EQ(Slurp(dir + "/real/new.bmp"), "complete");
  EXPECT_TRUE(fs::is_symlink(dir + "/dangling.bmp"));
}

// Only regular files are read or replaced: a FIFO, a device or a folder is
// refused at once, before anything is opened or written.
TEST(AtomicSave, RefusesWhatIsNotARegularFile) {
  const std::string dir = test::TempDir();
  const std::string fifo = dir + "/pipe.bmp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir + "/folder.bmp");
  for (const std::string& target : {fifo, dir + "/folder.bmp", std::string("/dev/null")}) {
    SCOPED_TRACE(target);
    try {
      GoodGraphic().SaveToFile(target);
      ADD_FAILURE() << "saved";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Context(), "not a regular file");
    }
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_directory(dir + "/folder.bmp"));
  EXPECT_EQ(FilesIn(dir), 2u);
  // Reading a FIFO without a writer would block; it is refused instead.
  for (const std::string& source : {fifo, std::string("/dev/zero")}) {
    SCOPED_TRACE(source);
    try {
      FileStream stream(source);
      ADD_FAILURE() << "opened";
    } catch (const EFOpenError& e) {
      EXPECT_EQ(e.Context(), "not a regular file");
    }
  }
}

TEST(Streams, MemoryStreamReadsWritesAndSeeks) {
  MemoryStream s;
  s.Write("abcdef", 6);
  s.Seek(2);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 4u);
  EXPECT_STREQ(buf, "cdef");
  s.Seek(4);
  EXPECT_THROW(s.ReadBuffer(buf, 3), EReadError);
  s.Seek(8);
  s.Write("z", 1);
  EXPECT_EQ(s.Size(), 9);
}

}  // namespace
}  // namespace pixtrel
