// pixtrel-cli batch as a user runs it: what it reports, what it writes, what
// it passes over, and the first error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/bitmap.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/run_command.h"

namespace pixtrel {
namespace {

namespace fs = std::filesystem;

using Result = test::CommandResult;

// Standard output and standard error together.
Result Shell(const std::string& command) { return test::RunCommand(command + " 2>&1"); }

Result RunCli(const std::string& arguments) { return Shell(std::string(PIXTREL_CLI_PATH) + " " + arguments); }

std::string SolidBmp(const std::string& folder, const std::string& name, Color color) {
  Bitmap image(12, 8, pf24bit);
  image.Fill(color);
  const std::string path = folder + "/" + name;
  image.SaveToFile(path);
  return path;
}

std::string Copy(const std::string& corpusPath, const std::string& folder, const std::string& name) {
  const std::string target = folder + "/" + name;
  fs::copy_file(test::CorpusDir() + "/" + corpusPath, target);
  return target;
}

TEST(CliBatch, UsageErrors) {
  const std::string dir = test::TempDir();
  const std::string file = SolidBmp(dir, "a.bmp", clRed);
  EXPECT_NE(RunCli("--help").output.find("batch --to BMP|GIF|JPG|PNG --dest DIR"), std::string::npos);
  EXPECT_EQ(RunCli("batch --dest " + dir + " " + file).exitCode, 2);
  EXPECT_EQ(RunCli("batch --to PNG " + file).exitCode, 2);
  EXPECT_EQ(RunCli("batch --to TIF --dest " + dir + " " + file).exitCode, 2);
  EXPECT_EQ(RunCli("batch --to PNG --dest " + dir).exitCode, 2);
  EXPECT_EQ(RunCli("batch --to PNG --dest " + dir + " --jobs 0 " + file).exitCode, 2);
  EXPECT_EQ(RunCli("batch --to PNG --dest " + dir + " --format .gif " + file).exitCode, 2);
  for (const char* shard : {"0/2", "3/2", "2", "1/0", "a/b", "/2"})
    EXPECT_EQ(RunCli("batch --to PNG --dest " + dir + " --shard " + shard + " " + file).exitCode, 2) << shard;
  const Result missing = RunCli("batch --to PNG --dest");
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.output.find("--dest needs a value"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/a.png"));
}

TEST(CliBatch, ConvertsTheFourFormatsAndPassesOverOthers) {
  const std::string in = test::TempDir();
  const std::string out = test::TempDir();
  const std::string files = Copy("png/libpng-pngsuite-basn2c16.png", in, "Pic.PNG") + " " +
                            Copy("jpeg/gen-baseline-444-castle.jpg", in, "castle.jpg") + " " +
                            SolidBmp(in, "flat.bmp", clBlue) + " " + SolidBmp(in, "icon.ico", clRed) + " " +
                            SolidBmp(in, "scan.tif", clRed);
  Result result = RunCli("batch --to png --dest " + out + " " + files);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output, "written " + out + "/Pic.png\nwritten " + out + "/castle.png\nwritten " + out +
                               "/flat.png\nConversion completed\n");
  EXPECT_EQ(Shell("pngcheck -q " + out + "/Pic.png " + out + "/castle.png " + out + "/flat.png").exitCode, 0);
  // Again: everything exists, so everything is skipped unless --overwrite.
  result = RunCli("batch --to PNG --dest " + out + "/ " + files);
  EXPECT_EQ(result.output, "skipped " + out + "/Pic.png\nskipped " + out + "/castle.png\nskipped " + out +
                               "/flat.png\nConversion completed\n");
  result = RunCli("batch --overwrite --jobs 2 --to PNG --dest " + out + " " + files);
  EXPECT_EQ(result.output, "written " + out + "/Pic.png\nwritten " + out + "/castle.png\nwritten " + out +
                               "/flat.png\nConversion completed\n");
  // Only files of other kinds: nothing converted, still completed.
  result = RunCli("batch --to GIF --dest " + out + " " + in + "/icon.ico " + in + "/scan.tif");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "Conversion completed\n");
}

TEST(CliBatch, FirstErrorEndsTheBatch) {
  const std::string in = test::TempDir();
  const std::string out = test::TempDir();
  const std::vector<std::uint8_t> junk(40, 'x');
  WriteFileBytes(in + "/broken.gif", junk);
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(jobs);
    fs::remove_all(out);
    fs::create_directory(out);
    const Result result =
        RunCli(std::string("batch --jobs ") + jobs + " --to GIF --dest " + out + " " +
               SolidBmp(in, "first.bmp", clRed) + " " + in + "/broken.gif " + SolidBmp(in, "later.bmp", clRed));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output.rfind("written " + out + "/first.gif\nerror: ", 0), 0u) << result.output;
    EXPECT_EQ(result.output.find("Conversion completed"), std::string::npos);
    EXPECT_TRUE(fs::exists(out + "/first.gif"));
    EXPECT_FALSE(fs::exists(out + "/later.gif"));
    EXPECT_EQ(Shell("gifsicle --info " + out + "/first.gif").exitCode, 0);
  }
}

// SIGTERM or SIGINT in the middle of a batch: the file in hand is finished,
// the batch ends as the signal ends a program, every target written is whole
// and no temporary file is left in the destination.
TEST(CliBatch, ASignalStopsTheBatchCleanly) {
  const std::string in = test::TempDir();
  Bitmap noise(600, 400, pf24bit);
  std::uint32_t state = 7;
  for (std::uint8_t& byte : noise.Bits()) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  std::string files;
  for (int i = 0; i < 40; ++i) {
    const std::string path = in + "/photo" + std::to_string(i) + ".bmp";
    noise.SaveToFile(path);
    files += " " + path;
  }
  for (const char* signal : {"TERM", "INT"}) {
    for (const char* jobs : {"1", "2"}) {
      SCOPED_TRACE(std::string(signal) + " jobs " + jobs);
      const std::string out = test::TempDir();
      const std::string log = out + ".log";
      // Started in the background (with SIGINT as a terminal would deliver
      // it); the signal goes once a first file is written.
      const Result result = Shell("env --default-signal=INT " + std::string(PIXTREL_CLI_PATH) + " batch --jobs " +
                                  jobs + " --to PNG --dest " + out + files + " >" + log + " 2>&1 & pid=$!; " +
                                  "for i in $(seq 600); do grep -q written " + log +
                                  " && break; sleep 0.02; done; kill -" + signal + " $pid; wait $pid; echo rc=$?");
      const std::string expected = std::string("rc=") + (std::string(signal) == "TERM" ? "143" : "130");
      EXPECT_NE(result.output.find(expected), std::string::npos) << result.output;
      const Result logText = Shell("cat " + log);
      EXPECT_NE(logText.output.find("error: the batch was stopped"), std::string::npos) << logText.output;
      EXPECT_EQ(logText.output.find("Conversion completed"), std::string::npos);
      int written = 0;
      for (const auto& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().filename();
        EXPECT_EQ(name.rfind("photo", 0), 0u) << name;
        EXPECT_EQ(Shell("pngcheck -q " + entry.path().string()).exitCode, 0) << name;
        ++written;
      }
      EXPECT_GE(written, 1);
      EXPECT_LT(written, 40);
    }
  }
}

TEST(CliBatch, ConversionOptionsReachEveryFile) {
  const std::string in = test::TempDir();
  const std::string files = Copy("jpeg/gen-baseline-444-castle.jpg", in, "castle.jpg") + " " +
                            Copy("png/gen-two-text-chunks-castle.png", in, "texted.png");
  const std::string low = test::TempDir();
  const std::string high = test::TempDir();
  ASSERT_EQ(RunCli("batch --to JPG --dest " + low + " " + files).exitCode, 0);
  ASSERT_EQ(RunCli("batch --jpeg-quality 90 --to JPG --dest " + high + " " + files).exitCode, 0);
  for (const char* name : {"/castle.jpg", "/texted.jpg"}) {
    EXPECT_EQ(Shell("identify -format %Q " + low + name).output, "50");
    EXPECT_EQ(Shell("identify -format %Q " + high + name).output, "90");
  }
  const std::string texts = test::TempDir();
  ASSERT_EQ(RunCli("batch --png-text 'batch note' --to PNG --dest " + texts + " " + files).exitCode, 0);
  for (const char* name : {"/castle.png", "/texted.png"})
    EXPECT_NE(Shell("pngcheck -t " + texts + name).output.find("description:\n    batch note"), std::string::npos)
        << Shell("pngcheck -t " + texts + name).output;
  const std::string gifs = test::TempDir();
  ASSERT_EQ(RunCli("batch --gif-transparent off --gif-reduction gray4 --to GIF --dest " + gifs + " " + files).exitCode,
            0);
  const Result info = Shell("gifsicle --info " + gifs + "/castle.gif");
  EXPECT_EQ(info.output.find("transparent"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("global color table [4]"), std::string::npos) << info.output;
}

// A folder of corpus JPEGs and PNGs, and a noisy picture whose PNG image data
// is deflated in many pieces, converted to each target with one job, with the
// default (one per core) and with more jobs than cores: the same report and
// the same bytes in every file.
TEST(CliBatch, AnyJobCountGivesTheBytesOfOneJob) {
  const std::string in = test::TempDir();
  std::string files;
  for (const char* format : {"jpeg", "png"})
    for (const test::CorpusEntry& entry : test::CorpusEntries(format)) {
      if (entry.expected != "decodes") continue;
      const std::string name = fs::path(entry.path).filename().string();
      if (fs::exists(in + "/" + name)) continue;
      files += " " + Copy(entry.path, in, name);
    }
  Bitmap noise(700, 500, pf24bit);
  std::uint32_t state = 12345;
  for (int y = 0; y < noise.Height(); ++y) {
    std::uint8_t* row = noise.ScanLine(y);
    for (int i = 0; i < 3 * noise.Width(); ++i) {
      state = state * 1103515245u + 12345u;
      row[i] = static_cast<std::uint8_t>((state >> 16) & (i % 7 == 0 ? 0xFF : 0x1F));
    }
  }
  noise.SaveToFile(in + "/noise.bmp");
  files += " " + in + "/noise.bmp";
  for (const char* format : {"PNG", "JPG", "BMP", "GIF"}) {
    SCOPED_TRACE(format);
    const std::string one = test::TempDir();
    const Result a = RunCli(std::string("batch --jobs 1 --to ") + format + " --dest " + one + files);
    std::size_t compared = 0;
    for (const char* jobs : {"", "--jobs 3 "}) {
      SCOPED_TRACE(jobs);
      const std::string other = test::TempDir();
      const Result b = RunCli(std::string("batch ") + jobs + "--to " + format + " --dest " + other + files);
      EXPECT_EQ(a.exitCode, b.exitCode);
      std::string aNamed = a.output, bNamed = b.output;
      for (std::size_t p; (p = aNamed.find(one)) != std::string::npos;) aNamed.replace(p, one.size(), "DEST");
      for (std::size_t p; (p = bNamed.find(other)) != std::string::npos;) bNamed.replace(p, other.size(), "DEST");
      EXPECT_EQ(aNamed, bNamed);
      compared = 0;
      for (const auto& entry : fs::directory_iterator(one)) {
        const std::string same = other + "/" + entry.path().filename().string();
        ASSERT_TRUE(fs::exists(same)) << same;
        EXPECT_EQ(ReadFileBytes(entry.path().string()), ReadFileBytes(same)) << same;
        ++compared;
      }
      EXPECT_EQ(compared, static_cast<std::size_t>(std::distance(fs::directory_iterator(other), {})));
    }
    EXPECT_GT(compared, 20u);
  }
  // The noisy picture's image data, 500 rows of 2101 bytes, spans nine
  // deflate pieces of 128 KiB; the joined stream is one valid PNG.
  const std::string dest = test::TempDir();
  ASSERT_EQ(RunCli("batch --to PNG --dest " + dest + " " + in + "/noise.bmp").exitCode, 0);
  EXPECT_EQ(test::RunCommand("pngcheck -q " + dest + "/noise.png").exitCode, 0);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string ReadText(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// The help names the default of --jobs, and a run without --jobs gives the
// report and files of one job.
TEST(CliBatch, AllCoresByDefault) {
  EXPECT_NE(RunCli("--help").output.find("(default: one per core)"), std::string::npos);
  const std::string in = test::TempDir();
  std::string files;
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) files += " " + SolidBmp(in, name, clTeal);
  files += " " + Copy("jpeg/gen-baseline-444-castle.jpg", in, "castle.jpg");
  const std::string one = test::TempDir();
  const std::string all = test::TempDir();
  const Result a = RunCli("batch --jobs 1 --to PNG --dest " + one + files);
  const Result b = RunCli("batch --to PNG --dest " + all + files);
  ASSERT_EQ(a.exitCode, 0) << a.output;
  ASSERT_EQ(b.exitCode, 0) << b.output;
  std::string named = b.output;
  for (std::size_t p; (p = named.find(all)) != std::string::npos;) named.replace(p, all.size(), one);
  EXPECT_EQ(named, a.output);
  for (const char* name : {"/a.png", "/d.png", "/castle.png"})
    EXPECT_EQ(ReadFileBytes(one + name), ReadFileBytes(all + name)) << name;
}

// The shards of one file list convert each file once, with the files and
// manifest lines of one unsharded run, also where two sources share a target
// and where a target exists already.
TEST(CliBatch, ShardsTogetherEqualOneRun) {
  const std::string in = test::TempDir();
  std::string files;
  for (int i = 0; i < 9; ++i) files += " " + SolidBmp(in, "p" + std::to_string(i) + ".bmp", RGB(i * 20, 40, 90));
  files += " " + Copy("jpeg/gen-baseline-444-castle.jpg", in, "same.jpg");
  files += " " + Copy("png/libpng-pngsuite-basn2c16.png", in, "same.png");
  files += " " + Copy("gif/gen-89a-interlaced-castle.gif", in, "anim.gif");
  files += " " + in + "/notes.txt";
  const std::string out = test::TempDir();
  const std::string manifests = test::TempDir();
  auto prepare = [&] {
    fs::remove_all(out);
    fs::create_directory(out);
    SolidBmp(out, "p4.png", clRed);  // an existing target: skipped
  };

  prepare();
  Result whole = RunCli("batch --jobs 2 --to PNG --dest " + out + " --manifest " + manifests + "/all.jsonl" + files);
  ASSERT_EQ(whole.exitCode, 0) << whole.output;
  std::vector<std::string> expected = Lines(ReadText(manifests + "/all.jsonl"));
  std::map<std::string, std::vector<std::uint8_t>> written;
  for (const auto& entry : fs::directory_iterator(out))
    written[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
  ASSERT_EQ(expected.size(), 12u);
  std::size_t skipped = 0;
  for (const std::string& line : expected) {
    EXPECT_EQ(line.rfind("{\"source\":\"" + in + "/", 0), 0u) << line;
    if (line.find("\"status\":\"skipped\"") != std::string::npos) ++skipped;
  }
  EXPECT_EQ(skipped, 2u);  // p4.png existed; same.png follows same.jpg
  std::sort(expected.begin(), expected.end());

  for (const int count : {2, 3, 5}) {
    SCOPED_TRACE(count);
    prepare();
    std::vector<std::string> union_;
    std::size_t reported = 0;
    for (int k = 1; k <= count; ++k) {
      const std::string manifest = manifests + "/" + std::to_string(k) + ".jsonl";
      const Result shard = RunCli("batch --jobs 1 --shard " + std::to_string(k) + "/" + std::to_string(count) +
                                  " --to PNG --dest " + out + " --manifest " + manifest + files);
      ASSERT_EQ(shard.exitCode, 0) << shard.output;
      reported += Lines(shard.output).size() - 1;
      for (const std::string& line : Lines(ReadText(manifest))) union_.push_back(line);
    }
    std::sort(union_.begin(), union_.end());
    EXPECT_EQ(union_, expected);
    EXPECT_EQ(reported, expected.size());
    for (const auto& [name, bytes] : written) EXPECT_EQ(ReadFileBytes(out + "/" + name), bytes) << name;
  }
}

TEST(CliBatch, ManifestDescribesEveryFileReached) {
  const std::string in = test::TempDir();
  const std::string out = test::TempDir();
  WriteFileBytes(in + "/broken.gif", std::vector<std::uint8_t>(40, 'x'));
  SolidBmp(out, "old.png", clRed);
  const std::string manifest = out + "/run \"1\".jsonl";
  const Result result = RunCli("batch --to PNG --dest " + out + " --manifest '" + manifest + "' " +
                               SolidBmp(in, "new.bmp", clBlue) + " " + SolidBmp(in, "old.bmp", clBlue) + " " + in +
                               "/broken.gif " + SolidBmp(in, "never.bmp", clBlue));
  EXPECT_EQ(result.exitCode, 1);
  const std::vector<std::string> lines = Lines(ReadText(manifest));
  ASSERT_EQ(lines.size(), 3u) << ReadText(manifest);
  const Result sum = Shell("sha256sum " + out + "/new.png " + out + "/old.png");
  const std::vector<std::string> sums = Lines(sum.output);
  ASSERT_EQ(sums.size(), 2u);
  EXPECT_EQ(lines[0], "{\"source\":\"" + in + "/new.bmp\",\"target\":\"" + out + "/new.png\",\"status\":\"written\"," +
                          "\"bytes\":" + std::to_string(fs::file_size(out + "/new.png")) + ",\"sha256\":\"" +
                          sums[0].substr(0, 64) + "\",\"message\":\"\"}");
  // A skipped file describes the target it left alone.
  EXPECT_EQ(lines[1], "{\"source\":\"" + in + "/old.bmp\",\"target\":\"" + out + "/old.png\",\"status\":\"skipped\"," +
                          "\"bytes\":" + std::to_string(fs::file_size(out + "/old.png")) + ",\"sha256\":\"" +
                          sums[1].substr(0, 64) + "\",\"message\":\"\"}");
  EXPECT_EQ(lines[2].rfind("{\"source\":\"" + in + "/broken.gif\",\"target\":\"" + out +
                               "/broken.png\",\"status\":\"failed\",\"bytes\":null,\"sha256\":null,\"message\":\"",
                           0),
            0u)
      << lines[2];
  // Every line is JSON a peer reads.
  if (Shell("command -v python3").exitCode == 0) {
    EXPECT_EQ(Shell("python3 -c 'import json,sys; [json.loads(l) for l in open(sys.argv[1])]' '" + manifest + "'")
                  .exitCode,
              0);
  }
  // A manifest that cannot be created stops the run before any file.
  const std::string other = test::TempDir();
  EXPECT_EQ(RunCli("batch --to PNG --dest " + other + " --manifest " + other + "/no/such/dir.jsonl " + in + "/new.bmp")
                .exitCode,
            1);
  EXPECT_FALSE(fs::exists(other + "/new.png"));
}

}  // namespace
}  // namespace pixtrel
