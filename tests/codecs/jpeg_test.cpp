#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "codecs/jpeg/jpeg_image.h"
#include "core/stream.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

using test::CorpusEntries;
using test::CorpusEntry;

std::vector<std::uint8_t> CorpusBytes(const std::string& name) {
  return ReadFileBytes(test::CorpusDir() + "/jpeg/" + name);
}

// A smooth, colourful picture with some texture, so that JPEG sizes and
// errors behave as for a photo.
Bitmap TestPicture(int width, int height) {
  Bitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x * 255 / width);
      row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / height);
      row[3 * x + 2] = static_cast<std::uint8_t>(((x / 8 + y / 8) % 2) ? 200 : 60);
    }
  }
  return bitmap;
}

double MeanDelta(const Bitmap& a, const Bitmap& b) {
  EXPECT_EQ(a.Width(), b.Width());
  EXPECT_EQ(a.Height(), b.Height());
  long long sum = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) {
      Color p = a.Pixel(x, y), q = b.Pixel(x, y);
      sum += std::abs(GetRValue(p) - GetRValue(q)) + std::abs(GetGValue(p) - GetGValue(q)) +
             std::abs(GetBValue(p) - GetBValue(q));
    }
  }
  return static_cast<double>(sum) / (3.0 * a.Width() * a.Height());
}

bool SameRows(const Bitmap& a, const Bitmap& b, int rows) {
  for (int y = 0; y < rows; ++y) {
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.Width()) * 3) != 0) return false;
  }
  return true;
}

struct HeaderFacts {
  int components = 0;
  J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
};

// Reads a written file's header with libjpeg's own defaults, independently of
// the code under test.
HeaderFacts ReadHeaderFacts(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  HeaderFacts facts{cinfo.num_components, cinfo.jpeg_color_space};
  jpeg_destroy_decompress(&cinfo);
  return facts;
}

// The references come from peers on the same libjpeg, so the decodes agree
// to the byte except for the CMYK conversion, where rounding differs by one.
constexpr double kAllowedMeanDelta = 0.5;

TEST(JPEGImage, CorpusFilesBehaveAsTheManifestExpects) {
  const auto entries = CorpusEntries("jpeg");
  ASSERT_FALSE(entries.empty());
  int decoded = 0;
  for (const CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    const auto bytes = ReadFileBytes(e.FullPath());
    JPEGImage image;
    if (e.expected == "must-fail") {
      Bitmap before = TestPicture(3, 2);
      image.Assign(before);
      try {
        image.LoadFromBytes(bytes);
        ADD_FAILURE() << "loaded a must-fail file";
      } catch (const EJPEG& error) {
        EXPECT_FALSE(error.Message().empty());
      }
      EXPECT_EQ(image.Width(), 3);
      EXPECT_EQ(MeanDelta(image.Picture(), before), 0.0);
      continue;
    }
    if (e.expected == "partial") {
      try {
        image.LoadFromBytes(bytes);
      } catch (const EJPEG& error) {
        EXPECT_FALSE(error.Message().empty());
        continue;
      }
      EXPECT_EQ(image.Width(), e.width);
      EXPECT_EQ(image.Height(), e.height);
      EXPECT_EQ(image.Picture().PixelFormat(), pf24bit);
      const QImage ref = test::LoadReference(e);
      if (!ref.isNull()) {
        EXPECT_LT(test::Compare(image.Picture(), ref).meanChannelDelta, kAllowedMeanDelta);
      }
      continue;
    }
    ASSERT_EQ(e.expected, "decodes");
    ASSERT_NO_THROW(image.LoadFromBytes(bytes));
    EXPECT_EQ(image.Picture().PixelFormat(), pf24bit);
    EXPECT_EQ(image.Width(), e.width);
    EXPECT_EQ(image.Height(), e.height);
    EXPECT_TRUE(image.Warnings().empty()) << image.Warnings().front();
    const QImage ref = test::LoadReference(e);
    ASSERT_FALSE(ref.isNull());
    const auto d = test::Compare(image.Picture(), ref);
    EXPECT_TRUE(d.sizeMatches);
    EXPECT_LT(d.meanChannelDelta, kAllowedMeanDelta) << "max " << d.maxChannelDelta;
    ++decoded;
  }
  EXPECT_GE(decoded, 20);
}

// One line per corpus file: the picture the codec decodes, or the code of
// its error.
TEST(JPEGImage, GoldenTable) {
  std::string actual;
  for (const CorpusEntry& e : CorpusEntries("jpeg")) {
    actual += test::GoldenLine(e.path.substr(e.path.rfind('/') + 1),
                               [&](Bitmap& bitmap) {
                                 JPEGImage image;
                                 image.LoadFromBytes(ReadFileBytes(e.FullPath()));
                                 bitmap = image.TakeBitmap();
                               }) +
              "\n";
  }
  test::CheckGoldenTable("tests/codecs/jpeg_golden.tsv", actual);
}

TEST(JPEGImage, GreyFilesComeOutAsEqualChannels) {
  JPEGImage image;
  image.LoadFromBytes(CorpusBytes("gen-grey-progressive-castle.jpg"));
  ASSERT_EQ(image.Picture().PixelFormat(), pf24bit);
  const std::uint8_t* row = image.Picture().ScanLine(image.Height() / 2);
  for (int x = 0; x < image.Width(); ++x) {
    ASSERT_EQ(row[3 * x], row[3 * x + 1]);
    ASSERT_EQ(row[3 * x], row[3 * x + 2]);
  }
}

// A flat four-component file written by libjpeg itself, with or without
// Adobe's marker (whose writers store the inks inverted).
std::vector<std::uint8_t> FlatCmykFile(const std::uint8_t (&cmyk)[4], bool adobe) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 16;
  cinfo.image_height = 16;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(16 * 4);
  for (int x = 0; x < 16; ++x) std::memcpy(&row[4 * x], cmyk, 4);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  jpeg_destroy_compress(&cinfo);
  return bytes;
}

TEST(JPEGImage, CmykIsReadInvertedOnlyUnderAdobesMarker) {
  const std::uint8_t inks[4] = {0, 255, 128, 64};
  struct Case {
    bool adobe;
    Color expected;
  };
  // Plain: (255 - ink) * (255 - K) / 255; inverted: ink * K / 255.
  for (const Case& c : {Case{false, RGB(191, 0, 95)}, Case{true, RGB(0, 64, 32)}}) {
    SCOPED_TRACE(c.adobe);
    JPEGImage image;
    image.LoadFromBytes(FlatCmykFile(inks, c.adobe));
    const Color got = image.Picture().Pixel(8, 8);
    EXPECT_NEAR(GetRValue(got), GetRValue(c.expected), 3);
    EXPECT_NEAR(GetGValue(got), GetGValue(c.expected), 3);
    EXPECT_NEAR(GetBValue(got), GetBValue(c.expected), 3);
  }
}

TEST(JPEGImage, TruncatedFileKeepsTopRowsAndWarns) {
  const auto whole = CorpusBytes("gen-baseline-444-castle.jpg");
  JPEGImage full;
  full.LoadFromBytes(whole);
  EXPECT_TRUE(full.Warnings().empty());

  const std::vector<std::uint8_t> half(whole.begin(), whole.begin() + whole.size() / 2);
  JPEGImage cut;
  ASSERT_NO_THROW(cut.LoadFromBytes(half));
  EXPECT_EQ(cut.Width(), full.Width());
  EXPECT_EQ(cut.Height(), full.Height());
  ASSERT_FALSE(cut.Warnings().empty());
  EXPECT_EQ(cut.Warnings().front(), "Premature end of JPEG file");
  EXPECT_TRUE(SameRows(cut.Picture(), full.Picture(), 16));
  EXPECT_FALSE(SameRows(cut.Picture(), full.Picture(), full.Height()));

  // A clean load afterwards forgets the old warnings.
  cut.LoadFromBytes(whole);
  EXPECT_TRUE(cut.Warnings().empty());
}

TEST(JPEGImage, FatalErrorsCarryLibjpegsTextAndLeaveThePictureAlone) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string message;
    int libraryCode;
  };
  auto header = CorpusBytes("gen-baseline-420-hopper.jpg");
  header.resize(300);
  const std::vector<Case> cases = {
      {{}, "Empty input file", JERR_INPUT_EMPTY},
      {{'B', 'M', 0, 0, 0, 0}, "Not a JPEG file: starts with 0x42 0x4d", JERR_NO_SOI},
      {CorpusBytes("ljt-monkey12.jpg"), "Unsupported JPEG data precision 12", JERR_BAD_PRECISION},
      {header, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    JPEGImage image;
    image.LoadFromBytes(CorpusBytes("pillow-xmp_no_prefix.jpg"));
    const Bitmap before = image.Picture();
    try {
      image.LoadFromBytes(c.bytes);
      ADD_FAILURE() << "no error";
    } catch (const EJPEG& error) {
      // libjpeg's own texts, as the user sees them.
      if (!c.message.empty()) {
        EXPECT_EQ(error.Message(), c.message);
        EXPECT_EQ(error.LibraryCode(), c.libraryCode);
      }
      EXPECT_FALSE(error.Message().empty());
      EXPECT_EQ(error.Code(), "jpeg.LibraryError");
      EXPECT_GT(error.LibraryCode(), 0);
    }
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(MeanDelta(image.Picture(), before), 0.0);
  }
}

// The DC scan of a progressive file repeated many times: libjpeg only warns
// about the odd progression, so the scan count is what stops it.
TEST(JPEGImage, RefusesFilesWithEndlessScans) {
  const auto bytes = CorpusBytes("gen-progressive-castle.jpg");
  std::size_t sos = 0;
  for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) {
      sos = i;
      break;
    }
  }
  ASSERT_GT(sos, 0u);
  std::size_t next = sos + 2;
  while (next + 1 < bytes.size() &&
         !(bytes[next] == 0xFF && bytes[next + 1] != 0 && (bytes[next + 1] < 0xD0 || bytes[next + 1] > 0xD7))) {
    ++next;
  }
  std::vector<std::uint8_t> crafted(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(sos));
  for (int i = 0; i < 600; ++i) crafted.insert(crafted.end(), bytes.begin() + sos, bytes.begin() + next);
  crafted.push_back(0xFF);
  crafted.push_back(0xD9);
  JPEGImage image;
  try {
    image.LoadFromBytes(crafted);
    ADD_FAILURE() << "decoded 600 scans";
  } catch (const EJPEG& error) {
    EXPECT_EQ(error.Code(), "jpeg.TooManyScans");
    EXPECT_EQ(error.LibraryCode(), -1);
  }
}

// A progressive file of width x height whose AC scans hold nothing but
// runs of empty blocks (the longest run the format has, 32767 blocks, a
// couple of bytes each): a scan costs its decoder a visit to every block of
// its component for almost no bytes. The DC coefficients are never sent, so
// the picture is flat grey. Scans go round the components in turn.
std::vector<std::uint8_t> EmptyRunScans(int width, int height, int components, int scans) {
  std::vector<std::uint8_t> out = {0xFF, 0xD8};
  auto segment = [&](std::uint8_t marker, const std::vector<std::uint8_t>& body) {
    out.insert(out.end(), {0xFF, marker, static_cast<std::uint8_t>((body.size() + 2) >> 8),
                           static_cast<std::uint8_t>(body.size() + 2)});
    out.insert(out.end(), body.begin(), body.end());
  };
  std::vector<std::uint8_t> quant(65, 1);
  quant[0] = 0;
  segment(0xDB, quant);
  std::vector<std::uint8_t> frame = {8, static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
                                     static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width),
                                     static_cast<std::uint8_t>(components)};
  for (int c = 1; c <= components; ++c) frame.insert(frame.end(), {static_cast<std::uint8_t>(c), 0x11, 0});
  segment(0xC2, frame);
  // Each table has one code, "0": DC difference 0, and AC run of 2^14 empty
  // blocks plus 14 more bits.
  for (std::uint8_t table : {0x00, 0x10}) {
    std::vector<std::uint8_t> body = {table, 1};
    body.resize(17, 0);
    body.push_back(table == 0 ? 0x00 : 0xE0);
    segment(0xC4, body);
  }
  const long blocks = static_cast<long>((width + 7) / 8) * ((height + 7) / 8);
  std::vector<std::uint8_t> data;
  // Per run: the code 0 and fourteen 1 bits, 15 bits for 32767 blocks.
  std::uint32_t bits = 0;
  int count = 0;
  auto put = [&](int bit) {
    bits = (bits << 1) | static_cast<std::uint32_t>(bit);
    if (++count == 8) {
      data.push_back(static_cast<std::uint8_t>(bits));
      if (data.back() == 0xFF) data.push_back(0);
      bits = 0;
      count = 0;
    }
  };
  for (long covered = 0; covered < blocks; covered += 32767)
    for (int i = 0; i < 15; ++i) put(i == 0 ? 0 : 1);
  while (count != 0) put(1);
  for (int i = 0; i < scans; ++i) {
    segment(0xDA, {1, static_cast<std::uint8_t>(1 + i % components), 0x00, 1, 63, 0});
    out.insert(out.end(), data.begin(), data.end());
  }
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

std::string LoadErrorCode(const std::vector<std::uint8_t>& bytes) {
  JPEGImage image;
  try {
    image.LoadFromBytes(bytes);
  } catch (const EJPEG& error) {
    return error.Code();
  }
  return "";
}

// Scans of empty runs up to the scan limit, over a picture large enough
// that visiting every block in each costs many decodes of it: refused
// before the work is done, as too many scans. A file of real size has no
// more than about ten scans per component.
TEST(JPEGImage, RefusesScanFloodsByTheWorkOfTheirScans) {
  // 2048 x 2048 (65536 blocks a component) decodes with up to 288 such
  // scans of its one component.
  EXPECT_EQ(LoadErrorCode(EmptyRunScans(2048, 2048, 1, 499)), "jpeg.TooManyScans");
  EXPECT_EQ(LoadErrorCode(EmptyRunScans(2048, 2048, 1, 280)), "");
  // Three components share the flood out, each within its own allowance.
  EXPECT_EQ(LoadErrorCode(EmptyRunScans(2048, 2048, 3, 499)), "");
  EXPECT_EQ(LoadErrorCode(EmptyRunScans(4096, 2048, 3, 499)), "jpeg.TooManyScans");
  // A small picture is only held to the count of scans.
  EXPECT_EQ(LoadErrorCode(EmptyRunScans(320, 240, 1, 499)), "");
  EXPECT_EQ(LoadErrorCode(EmptyRunScans(320, 240, 1, 501)), "jpeg.TooManyScans");
}

TEST(JPEGImage, ScansOfEmptyRunsDecodeToFlatGrey) {
  JPEGImage image;
  image.LoadFromBytes(EmptyRunScans(300, 200, 3, 40));
  ASSERT_EQ(image.Width(), 300);
  ASSERT_EQ(image.Height(), 200);
  for (int y : {0, 100, 199})
    for (int x : {0, 150, 299}) EXPECT_EQ(image.Picture().Pixel(x, y), RGB(128, 128, 128));
}

// The codec's own table of texts.
TEST(JPEGImage, EveryCodeKeepsItsFixedText) {
  EXPECT_EQ(ErrorCode(JpegError::LibraryError), "jpeg.LibraryError");
  EXPECT_STREQ(ErrorText(JpegError::LibraryError), "JPEG library error");
  EXPECT_EQ(ErrorCode(JpegError::TooManyScans), "jpeg.TooManyScans");
  EXPECT_STREQ(ErrorText(JpegError::TooManyScans), "JPEG file has too many scans");
  const EJPEG own(JpegError::TooManyScans);
  EXPECT_EQ(own.Message(), "JPEG file has too many scans");
  EXPECT_EQ(own.LibraryCode(), -1);
  // A library failure without a text of its own falls back on the row.
  EXPECT_EQ(EJPEG(JpegError::LibraryError, "", 7).Message(), "JPEG library error");
  EXPECT_EQ(EJPEG(JpegError::LibraryError, "the library's own words", 7).Message(), "the library's own words");
}

TEST(JPEGImage, PixelLimitStopsBeforeDecoding) {
  JPEGImage image;
  image.SetPixelLimit(128 * 127);
  EXPECT_THROW(image.LoadFromBytes(CorpusBytes("gen-baseline-420-hopper.jpg")), EImageTooLarge);
  image.SetPixelLimit(128 * 128);
  EXPECT_NO_THROW(image.LoadFromBytes(CorpusBytes("gen-baseline-420-hopper.jpg")));
}

TEST(JPEGImage, RoundTripAtQuality100IsClose) {
  Bitmap source;
  for (const CorpusEntry& e : CorpusEntries("jpeg")) {
    if (e.path == "jpeg/gen-baseline-444-castle.jpg") source = test::FromQImage(test::LoadReference(e));
  }
  ASSERT_FALSE(source.Empty());
  JPEGImage out;
  out.SetCompressionQuality(100);
  out.Assign(source);
  JPEGImage back;
  back.LoadFromBytes(out.SaveToBytes());
  // libjpeg's default 4:2:0 chroma sampling stays on at quality 100.
  EXPECT_LT(MeanDelta(back.Picture(), source), 4.0);

  Bitmap grey(source);
  for (int y = 0; y < grey.Height(); ++y) {
    std::uint8_t* row = grey.ScanLine(y);
    for (int x = 0; x < grey.Width(); ++x) row[3 * x] = row[3 * x + 2] = row[3 * x + 1];
  }
  out.Assign(grey);
  back.LoadFromBytes(out.SaveToBytes());
  EXPECT_LT(MeanDelta(back.Picture(), grey), 1.0);
}

TEST(JPEGImage, ChannelsKeepTheirPlaceThroughEncodeAndDecode) {
  for (Color colour : {clRed, clLime, clBlue}) {
    SCOPED_TRACE(colour);
    Bitmap plain(16, 16, pf24bit);
    plain.Fill(colour);
    JPEGImage out;
    out.SetCompressionQuality(95);
    out.Assign(plain);
    JPEGImage back;
    back.LoadFromBytes(out.SaveToBytes());
    const Color c = back.Picture().Pixel(8, 8);
    EXPECT_NEAR(GetRValue(c), GetRValue(colour), 4);
    EXPECT_NEAR(GetGValue(c), GetGValue(colour), 4);
    EXPECT_NEAR(GetBValue(c), GetBValue(colour), 4);
  }
}

TEST(JPEGImage, GrayscaleSaveWritesOneComponent) {
  JPEGImage out;
  out.Assign(TestPicture(40, 30));
  EXPECT_EQ(ReadHeaderFacts(out.SaveToBytes()).components, 3);
  out.SetGrayscale(true);
  const auto grey = out.SaveToBytes();
  const HeaderFacts facts = ReadHeaderFacts(grey);
  EXPECT_EQ(facts.components, 1);
  EXPECT_EQ(facts.colorSpace, JCS_GRAYSCALE);

  // Pure red turns into libjpeg's luma of red, 0.299 * 255.
  Bitmap red(16, 16, pf24bit);
  red.Fill(clRed);
  out.Assign(red);
  JPEGImage back;
  back.LoadFromBytes(out.SaveToBytes());
  const Color c = back.Picture().Pixel(8, 8);
  EXPECT_NEAR(GetRValue(c), 76, 2);
  EXPECT_EQ(GetRValue(c), GetGValue(c));
  EXPECT_EQ(GetRValue(c), GetBValue(c));
}

TEST(JPEGImage, LowerQualityGivesSmallerFiles) {
  JPEGImage out;
  out.Assign(TestPicture(200, 150));
  std::size_t previous = 0;
  for (int q : {10, 50, 90, 100}) {
    SCOPED_TRACE(q);
    out.SetCompressionQuality(q);
    const std::size_t size = out.SaveToBytes().size();
    EXPECT_GT(size, previous);
    previous = size;
  }
  out.SetCompressionQuality(0);
  EXPECT_EQ(out.CompressionQuality(), 1);
  out.SetCompressionQuality(500);
  EXPECT_EQ(out.CompressionQuality(), 100);
}

TEST(JPEGImage, EveryPixelFormatEncodesTheSamePicture) {
  const Bitmap source = TestPicture(33, 17);  // odd width: padded rows
  JPEGImage reference;
  reference.Assign(source);
  const auto expected = reference.SaveToBytes();
  JPEGImage decodedReference;
  decodedReference.LoadFromBytes(expected);
  const double referenceError = MeanDelta(decodedReference.Picture(), source);
  for (PixelFormat format : {pf32bit, pf16bit}) {
    SCOPED_TRACE(format);
    Bitmap converted(source);
    converted.SetPixelFormat(format);
    JPEGImage image;
    image.Assign(converted);
    EXPECT_EQ(image.Picture().PixelFormat(), format == pf32bit ? pf32bit : pf24bit);
    if (format == pf32bit) {
      EXPECT_EQ(image.SaveToBytes(), expected);  // read in place as blue-green-red-spare
      Bitmap out;
      image.AssignTo(out);
      EXPECT_EQ(out.PixelFormat(), pf24bit);
      EXPECT_EQ(MeanDelta(out, source), 0.0);
    } else {
      JPEGImage back;
      back.LoadFromBytes(image.SaveToBytes());
      EXPECT_LT(MeanDelta(back.Picture(), converted), referenceError + 1.0);
    }
  }
  Bitmap indexed(source);
  indexed.SetPixelFormat(pf8bit);
  JPEGImage image;
  image.Assign(std::move(indexed));
  EXPECT_EQ(image.Picture().PixelFormat(), pf24bit);
}

TEST(JPEGImage, StreamsReadFromTheirPositionAndWriteTheEncodedBytes) {
  const auto bytes = CorpusBytes("gen-baseline-420-hopper.jpg");
  std::vector<std::uint8_t> padded = {1, 2, 3};
  padded.insert(padded.end(), bytes.begin(), bytes.end());
  MemoryStream in(padded);
  in.Seek(3);
  JPEGImage image;
  image.LoadFromStream(in);
  EXPECT_EQ(image.Width(), 128);
  EXPECT_EQ(in.Position(), in.Size());

  MemoryStream out;
  image.SetCompressionQuality(60);
  image.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), image.SaveToBytes());

  const std::string path = test::TempDir() + "/saved.jpg";
  image.SaveToFile(path);
  JPEGImage fromFile;
  fromFile.LoadFromFile(path);
  EXPECT_EQ(fromFile.Width(), 128);

  Bitmap taken = fromFile.TakeBitmap();
  EXPECT_EQ(taken.Width(), 128);
  EXPECT_TRUE(fromFile.Empty());
}

// ImageMagick reads what we write as we do.
TEST(JPEGImage, PeerDecodesWrittenFile) {
  ASSERT_EQ(std::system("convert -version > /dev/null 2>&1"), 0) << "the peer check needs ImageMagick";
  const Bitmap source = TestPicture(64, 48);
  JPEGImage out;
  out.SetCompressionQuality(90);
  out.Assign(source);
  const std::string dir = test::TempDir();
  out.SaveToFile(dir + "/peer.jpg");
  const std::string command = "convert " + dir + "/peer.jpg " + dir + "/peer.png";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const QImage peer(QString::fromStdString(dir + "/peer.png"));
  ASSERT_FALSE(peer.isNull());
  JPEGImage back;
  back.LoadFromFile(dir + "/peer.jpg");
  EXPECT_LT(MeanDelta(test::FromQImage(peer), back.Picture()), 0.5);
}

}  // namespace
}  // namespace pixtrel
