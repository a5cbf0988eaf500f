// Batch conversion: which files take part, where they go, skip and
// overwrite, the first error, and several jobs giving exactly one job's result.
#include "io/batch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "core/bitmap.h"
#include "core/errors.h"
#include "core/stream.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::vector<std::uint8_t>>;

// Every file of a folder by name, with its bytes.
Files FolderFiles(const std::string& folder) {
  Files files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
  return files;
}

std::string Copy(const std::string& corpusPath, const std::string& folder, const std::string& name) {
  const std::string target = folder + "/" + name;
  fs::copy_file(test::CorpusDir() + "/" + corpusPath, target, fs::copy_options::overwrite_existing);
  return target;
}

std::string SolidBmp(const std::string& folder, const std::string& name, Color color, int width = 9) {
  Bitmap image(width, 6, pf24bit);
  image.Fill(color);
  const std::string path = folder + "/" + name;
  image.SaveToFile(path);
  return path;
}

struct Outcome {
  std::vector<std::string> reports;  // "written NAME" / "skipped NAME" in report order
  std::string error;                 // the message of the error that ended the batch
  std::string pngTextAfter;
};

Outcome Batch(const std::vector<std::string>& workList, const BatchSettings& settings, int jobs,
              const std::optional<std::string>& pngText = std::nullopt) {
  Outcome outcome;
  outcome.pngTextAfter = "before the batch";
  const std::thread::id caller = std::this_thread::get_id();
  try {
    RunBatch(
        workList, settings, SaveOptions(),
        [&](const BatchFileResult& r) {
          // Reports come on the calling thread, in list order.
          EXPECT_EQ(std::this_thread::get_id(), caller);
          EXPECT_EQ(r.index, outcome.reports.size());
          EXPECT_EQ(r.count, workList.size());
          outcome.reports.push_back((r.written ? "written " : "skipped ") + fs::path(r.target).filename().string());
          outcome.pngTextAfter = r.pngText;
        },
        jobs, pngText);
  } catch (const Exception& e) {
    outcome.error = e.Message();
  }
  return outcome;
}

// A corpus file of the format that is meant to open.
std::string FirstDecodable(const std::string& format) {
  for (const test::CorpusEntry& entry : test::CorpusEntries(format))
    if (entry.expected == "decodes") return entry.path;
  return std::string();
}

// The first text of a PNG file as opening it shows it.
std::string PngTextOf(const std::string& path) {
  Bitmap image;
  return LoadImageFile(path, image, test::Silent()).pngText;
}

TEST(BatchWorkList, TakesOnlyTheFourExtensionsInOrder) {
  const std::vector<std::string> names = {"a.PNG", "b.jpg",     "c.ico",     "d.tif",  "e.jpeg", "f.Bmp",
                                          "g",     "h.gif.txt", "i.txt.gif", "j.xpng", "k.GiF"};
  EXPECT_EQ(BatchWorkList("/data", names),
            (std::vector<std::string>{"/data/a.PNG", "/data/b.jpg", "/data/f.Bmp", "/data/i.txt.gif", "/data/k.GiF"}));
  EXPECT_EQ(BatchWorkList("/data/", {"x.png"}), std::vector<std::string>{"/data/x.png"});
  EXPECT_TRUE(BatchWorkList("/data", {"only.ico", "only.tif"}).empty());
}

TEST(BatchTargetName, ReplacesTheExtensionWithTheLowerCasedFormat) {
  EXPECT_EQ(BatchTargetName("/out", "/in/photo.GIF", "PNG"), "/out/photo.png");
  EXPECT_EQ(BatchTargetName("/out", "/in/my.photo.png", "JPG"), "/out/my.photo.jpg");
  EXPECT_EQ(BatchTargetName("/out/", "/in/a.bmp", "GIF"), "/out/a.gif");
  EXPECT_EQ(BatchTargetName("/out", "/in.d/noext", "BMP"), "/out/noext.bmp");
  EXPECT_EQ(BatchTargetName("", "/in/a.png", "PNG"), "/a.png");
}

TEST(RunBatch, ConvertsEachFileAndReportsInListOrder) {
  const std::string in = test::TempDir();
  const std::string out = test::TempDir();
  const std::vector<std::string> list = {Copy(FirstDecodable("jpeg"), in, "photo.jpg"),
                                         SolidBmp(in, "flat.bmp", clLime), Copy(FirstDecodable("gif"), in, "anim.GIF")};
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    fs::remove_all(out);
    fs::create_directory(out);
    const Outcome outcome = Batch(list, BatchSettings{out, "PNG", false}, jobs);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"written photo.png", "written flat.png", "written anim.png"}));
    EXPECT_EQ(FolderFiles(out).size(), 3u);  // no temporary files left
    Bitmap flat;
    LoadImageFile(out + "/flat.png", flat, test::Silent());
    EXPECT_EQ(flat.Width(), 9);
    EXPECT_EQ(flat.Pixel(4, 3), clLime);
  }
}

TEST(RunBatch, SkipsExistingTargetsUnlessOverwrite) {
  const std::string in = test::TempDir();
  const std::string out = test::TempDir();
  const std::vector<std::string> list = {SolidBmp(in, "a.bmp", clRed), SolidBmp(in, "b.bmp", clBlue)};
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const std::vector<std::uint8_t> marker = {'o', 'l', 'd'};
    WriteFileBytes(out + "/b.gif", marker);
    fs::remove(out + "/a.gif");
    Outcome outcome = Batch(list, BatchSettings{out, "GIF", false}, jobs);
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"written a.gif", "skipped b.gif"}));
    EXPECT_EQ(ReadFileBytes(out + "/b.gif"), marker);
    outcome = Batch(list, BatchSettings{out, "GIF", true}, jobs);
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"written a.gif", "written b.gif"}));
    Bitmap b;
    LoadImageFile(out + "/b.gif", b, test::Silent());
    EXPECT_EQ(b.Pixel(0, 0), clBlue);
  }
}

TEST(RunBatch, TwoSourcesOfOneTargetBehaveAsInOneJob) {
  const std::string in = test::TempDir();
  const std::string out = test::TempDir();
  // a.gif (red) and a.png (blue) both become a.png.
  const std::string red = SolidBmp(in, "red.bmp", clRed);
  const std::string blue = SolidBmp(in, "blue.bmp", clBlue);
  Bitmap image;
  LoadImageFile(red, image, test::Silent());
  ASSERT_EQ(SaveImageFile(in + "/a.gif", image, ".GIF", SaveOptions()), SaveOutcome::Written);
  LoadImageFile(blue, image, test::Silent());
  ASSERT_EQ(SaveImageFile(in + "/a.png", image, ".PNG", SaveOptions()), SaveOutcome::Written);
  const std::vector<std::string> list = {in + "/a.gif", in + "/a.png", in + "/red.bmp"};
  for (const int jobs : {1, 2, 3}) {
    SCOPED_TRACE(jobs);
    fs::remove(out + "/a.png");
    fs::remove(out + "/red.png");
    Outcome outcome = Batch(list, BatchSettings{out, "PNG", false}, jobs);
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"written a.png", "skipped a.png", "written red.png"}));
    LoadImageFile(out + "/a.png", image, test::Silent());
    EXPECT_EQ(image.Pixel(0, 0), clRed);
    // A target that exists before the batch skips both.
    outcome = Batch(list, BatchSettings{out, "PNG", false}, jobs);
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"skipped a.png", "skipped a.png", "skipped red.png"}));
    // With overwrite the last one in list order wins.
    outcome = Batch(list, BatchSettings{out, "PNG", true}, jobs);
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"written a.png", "written a.png", "written red.png"}));
    LoadImageFile(out + "/a.png", image, test::Silent());
    EXPECT_EQ(image.Pixel(0, 0), clBlue);
  }
}

TEST(RunBatch, ATargetThatIsALaterSourceIsReadAfterItIsWritten) {
  // Converting into the source folder with overwrite: a.gif replaces a.png,
  // and a.png is then read as what a.gif left there.
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const std::string folder = test::TempDir();
    Bitmap image(5, 5, pf24bit);
    image.Fill(clYellow);
    ASSERT_EQ(SaveImageFile(folder + "/a.gif", image, ".GIF", SaveOptions()), SaveOutcome::Written);
    image.Fill(clNavy);
    ASSERT_EQ(SaveImageFile(folder + "/a.png", image, ".PNG", SaveOptions()), SaveOutcome::Written);
    const Outcome outcome = Batch({folder + "/a.gif", folder + "/a.png"}, BatchSettings{folder, "PNG", true}, jobs);
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"written a.png", "written a.png"}));
    LoadImageFile(folder + "/a.png", image, test::Silent());
    EXPECT_EQ(image.Pixel(2, 2), clYellow);
  }
}

TEST(RunBatch, FirstErrorStopsWithEarlierFilesConverted) {
  const std::string in = test::TempDir();
  const std::vector<std::uint8_t> junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
  WriteFileBytes(in + "/broken.png", junk);
  const std::vector<std::string> list = {SolidBmp(in, "one.bmp", clRed), SolidBmp(in, "two.bmp", clRed),
                                         in + "/broken.png", SolidBmp(in, "three.bmp", clRed),
                                         SolidBmp(in, "four.bmp", clRed)};
  std::string firstError;
  for (const int jobs : {1, 2, 4}) {
    SCOPED_TRACE(jobs);
    const std::string out = test::TempDir();
    const Outcome outcome = Batch(list, BatchSettings{out, "JPG", false}, jobs);
    EXPECT_EQ(outcome.reports, (std::vector<std::string>{"written one.jpg", "written two.jpg"}));
    EXPECT_NE(outcome.error, "");
    if (firstError.empty()) firstError = outcome.error;
    EXPECT_EQ(outcome.error, firstError);
    Files files = FolderFiles(out);
    EXPECT_EQ(files.size(), 2u);
    EXPECT_TRUE(files.count("one.jpg") && files.count("two.jpg"));
    // The failed load emptied the text box.
    EXPECT_EQ(outcome.pngTextAfter, "");
  }
}

TEST(RunBatch, UnwritableDestinationNamesTheTarget) {
  const std::string in = test::TempDir();
  const std::vector<std::string> list = {SolidBmp(in, "a.bmp", clRed), SolidBmp(in, "b.bmp", clRed)};
  const std::string out = test::TempDir() + "/missing";
  const Outcome one = Batch(list, BatchSettings{out, "PNG", false}, 1);
  const Outcome two = Batch(list, BatchSettings{out, "PNG", false}, 2);
  EXPECT_NE(one.error.find(out + "/a.png"), std::string::npos) << one.error;
  EXPECT_EQ(two.error, one.error);
  EXPECT_TRUE(two.reports.empty());
  // No destination at all is refused before anything is read.
  EXPECT_EQ(Batch(list, BatchSettings{"", "PNG", false}, 1).error, "No destination folder selected");
}

TEST(RunBatch, StopsWhenTheReportThrows) {
  const std::string in = test::TempDir();
  std::vector<std::string> list;
  for (int i = 0; i < 8; ++i) list.push_back(SolidBmp(in, "f" + std::to_string(i) + ".bmp", clRed));
  for (const int jobs : {1, 3}) {
    const std::string out = test::TempDir();
    int calls = 0;
    EXPECT_THROW(RunBatch(
                     list, BatchSettings{out, "PNG", false}, SaveOptions(),
                     [&](const BatchFileResult&) {
                       if (++calls == 2) throw Exception("cancelled");
                     },
                     jobs),
                 Exception);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(FolderFiles(out).size(), 2u);
  }
}

TEST(RunBatch, PngTargetsCarryTheTextTheirOwnSourceLeft) {
  const std::string in = test::TempDir();
  const std::vector<std::string> list = {Copy("png/gen-two-text-chunks-castle.png", in, "castle.png"),
                                         SolidBmp(in, "plain.bmp", clRed),
                                         Copy("png/gen-idat-every-100-bytes-castle.png", in, "other.png"),
                                         Copy("png/libpng-pngsuite-basn0g01.png", in, "notext.png")};
  const std::string castleText = PngTextOf(list[0]);
  const std::string otherText = PngTextOf(list[2]);
  ASSERT_NE(castleText, "");
  ASSERT_NE(otherText, "");
  for (const int jobs : {1, 2, 4}) {
    SCOPED_TRACE(jobs);
    const std::string out = test::TempDir();
    Outcome outcome = Batch(list, BatchSettings{out, "PNG", false}, jobs);
    EXPECT_EQ(PngTextOf(out + "/castle.png"), castleText);
    EXPECT_EQ(PngTextOf(out + "/plain.png"), "");
    EXPECT_EQ(PngTextOf(out + "/other.png"), otherText);
    EXPECT_EQ(PngTextOf(out + "/notext.png"), "");
    EXPECT_EQ(outcome.pngTextAfter, "");
    outcome = Batch({list[0], list[2]}, BatchSettings{out, "PNG", true}, jobs);
    EXPECT_EQ(outcome.pngTextAfter, otherText);
    outcome = Batch(list, BatchSettings{out, "PNG", true}, jobs, "one text for all");
    EXPECT_EQ(PngTextOf(out + "/plain.png"), "one text for all");
    EXPECT_EQ(PngTextOf(out + "/castle.png"), "one text for all");
  }
}

// Every corpus image of the four batch formats that opens, in one folder,
// converted with one job and with several: the same files, byte for byte.
TEST(RunBatch, SeveralJobsWriteExactlyWhatOneJobWrites) {
  const std::string in = test::TempDir();
  std::vector<std::string> names;
  for (const char* format : {"jpeg", "png", "gif", "bmp"}) {
    for (const test::CorpusEntry& entry : test::CorpusEntries(format)) {
      const std::string name = fs::path(entry.path).filename().string();
      const std::string ext = fs::path(name).extension().string();
      if (BatchWorkList(in, {name}).empty()) continue;
      Bitmap probe;
      try {
        LoadImageFile(entry.FullPath(), probe, test::Silent());
      } catch (const std::exception&) {
        continue;
      }
      if (probe.Empty()) continue;
      Copy(entry.path, in, name);
      names.push_back(name);
    }
  }
  // Two names that meet in one target.
  Copy("png/libpng-pngsuite-basn0g01.png", in, "meet.png");
  Copy(FirstDecodable("gif"), in, "meet.gif");
  names.push_back("meet.gif");
  names.push_back("meet.png");
  ASSERT_GT(names.size(), 100u);
  const std::vector<std::string> list = BatchWorkList(in, names);
  for (const char* format : {"PNG", "JPG", "GIF"}) {
    SCOPED_TRACE(format);
    const std::string one = test::TempDir();
    const std::string several = test::TempDir();
    const Outcome a = Batch(list, BatchSettings{one, format, false}, 1);
    const Outcome b = Batch(list, BatchSettings{several, format, false}, 3);
    EXPECT_EQ(a.error, "");
    EXPECT_EQ(a.reports, b.reports);
    EXPECT_EQ(a.pngTextAfter, b.pngTextAfter);
    const Files filesA = FolderFiles(one);
    const Files filesB = FolderFiles(several);
    EXPECT_EQ(filesA.size(), filesB.size());
    EXPECT_TRUE(filesA == filesB);
  }
}

}  // namespace
}  // namespace pixtrel
