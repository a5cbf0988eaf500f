#include <gtest/gtest.h>

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
