// The GIF reader against the corpus, the writer's exact bytes, peer read-back
// of written files, and the table merging.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

#include "core/canvas.h"
#include "core/stream.h"
#include "gif/gif_codec.h"
#include "gif/gif_image.h"
#include "gif/gif_lzw.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/golden.h"
#include "support/io_support.h"

namespace pixtrel::gif {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bitmap Picture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x * 255 / std::max(width - 1, 1));
      row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / std::max(height - 1, 1));
      row[3 * x + 2] = static_cast<std::uint8_t>(random() % 256);
    }
  }
  return bitmap;
}

std::vector<std::string> Warnings(const Bytes& bytes) {
  std::vector<std::string> warnings;
  GIFImage image;
  image.SetWarningCallback([&](const std::string& m) { warnings.push_back(m); });
  image.LoadFromBytes(bytes);
  return warnings;
}

// A GIF of one frame with a given global table and raw extension bytes.
Bytes HandMade(int width, int height, const Palette& table, const std::vector<std::uint8_t>& pixels,
               const Bytes& extensions = {}, bool is89a = true) {
  Bytes out = {'G', 'I', 'F', '8', static_cast<std::uint8_t>(is89a ? '9' : '7'), 'a'};
  auto u16 = [&](int v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  u16(width);
  u16(height);
  const int bits = std::max(BitsPerEntry(static_cast<int>(table.size())), 1);
  out.push_back(static_cast<std::uint8_t>(0x80 | (bits - 1)));
  out.push_back(0);
  out.push_back(0);
  for (int i = 0; i < (1 << bits); ++i) {
    const Color c = i < static_cast<int>(table.size()) ? table[static_cast<std::size_t>(i)] : 0;
    out.insert(out.end(), {static_cast<std::uint8_t>(GetRValue(c)), static_cast<std::uint8_t>(GetGValue(c)),
                           static_cast<std::uint8_t>(GetBValue(c))});
  }
  out.insert(out.end(), extensions.begin(), extensions.end());
  out.push_back(0x2C);
  u16(0);
  u16(0);
  u16(width);
  u16(height);
  out.push_back(0);
  EncodeLzw(pixels, std::max(bits, 2), out);
  out.push_back(0x3B);
  return out;
}

std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  if (status != 0) output += "\n[exit " + std::to_string(status) + "]";
  return output;
}

// ---- Reading ---------------------------------------------------------------

TEST(GifReader, EveryCorpusFileBehavesAsItsManifestSays) {
  int checked = 0;
  for (const test::CorpusEntry& entry : test::CorpusEntries("gif")) {
    SCOPED_TRACE(entry.path);
    Bitmap target(3, 3, pf24bit);
    target.Fill(clRed);
    bool loaded = false;
    try {
      LoadImageFile(entry.FullPath(), target, test::Silent());
      loaded = true;
    } catch (const Exception& e) {
      EXPECT_NE(entry.expected, "decodes") << e.what();
      EXPECT_EQ(target.Width(), 3) << "a failed load must leave the target";
    }
    if (entry.expected == "must-fail") {
      EXPECT_FALSE(loaded);
    }
    if (loaded && !entry.ref.empty() && entry.expected != "must-fail") {
      const test::PixelDifference d = test::Compare(target, test::LoadReference(entry));
      EXPECT_TRUE(d.sizeMatches);
      EXPECT_EQ(d.maxChannelDelta, 0);
    }
    ++checked;
  }
  EXPECT_GE(checked, 40);
}

// Inputs the fuzzer found, kept under tests/crashers/gif, each with the
// outcome it must keep: the picture the program opens (size, format, palette,
// transparency and a CRC of the pixels) or the code of its error, and then
// every frame's own picture.
std::string CrasherOutcome(const std::string& name) {
  const Bytes bytes = ReadFileBytes(std::string(PIXTREL_SOURCE_DIR) + "/tests/crashers/gif/" + name);
  std::string outcome = test::GoldenOutcome([&](Bitmap& target) { DecodeGifBytes(bytes, target); });
  GIFImage image;
  try {
    image.LoadFromBytes(bytes);
  } catch (const Exception&) {
    return outcome;
  }
  for (const auto& frame : image.Images()) {
    const Bitmap picture = frame->ToBitmap();
    outcome += " | " + std::to_string(picture.Width()) + "x" + std::to_string(picture.Height());
  }
  return outcome;
}

// An interlaced frame of height 0 takes the logical screen, whose width is
// 0: the frame holds no pixels, so the file opens as an empty image.
TEST(GifCrashers, InterlacedFrameOnAScreenOfWidthZeroIsEmpty) {
  EXPECT_EQ(CrasherOutcome("interlaced-frame-width0-screen.gif"), "error gif.ImageEmpty | 0x0");
}

// One line per corpus file: the picture the program opens, or the code of
// its error.
TEST(GifReader, GoldenTable) {
  std::string actual;
  for (const test::CorpusEntry& entry : test::CorpusEntries("gif")) {
    actual += test::GoldenLine(entry.path.substr(entry.path.rfind('/') + 1),
                               [&](Bitmap& bitmap) { LoadImageFile(entry.FullPath(), bitmap, test::Silent()); }) +
              "\n";
  }
  test::CheckGoldenTable("tests/gif/gif_golden.tsv", actual);
}

// The one table of the codec's texts, as the users and the warning callback
// see them.
TEST(GifErrors, EveryCodeKeepsItsFixedText) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"gif.InvalidSignature", "Invalid GIF signature"},
      {"gif.UnsupportedVersion", "Unsupported GIF version"},
      {"gif.UnknownExtension", "Unknown extension type"},
      {"gif.InvalidExtensionIntroducer", "Invalid extension introducer"},
      {"gif.ExtensionMismatch", "Internal error: Extension Instance does not match Extension Label"},
      {"gif.UnsupportedAppBlockSize", "Unsupported Application Extension block size"},
      {"gif.InvalidData", "Invalid GIF data"},
      {"gif.CircularTable", "Circular decoder table entry"},
      {"gif.PrematureEnd", "Premature end of data"},
      {"gif.ColorTableOverflow", "Color table overflow"},
      {"gif.InvalidColorIndex", "Invalid color index"},
      {"gif.ColorNotInTable", "Color not in color table"},
      {"gif.InvalidPixelCoordinates", "Invalid pixel coordinates"},
      {"gif.ImageEmpty", "Image is empty"},
      {"gif.UnsupportedObject", "Object type not supported for operation"},
      {"gif.OutOfMemoryDib", "Failed to allocate memory for GIF DIB"},
      {"gif.UnsupportedPixelFormat", "Unsupported PixelFormat"},
      {"gif.InvalidDimensions", "Invalid image dimensions"},
      {"gif.UnknownBlockType", "Unknown GIF block type"},
      {"gif.InvalidTrailer", "Invalid Image trailer"},
      {"gif.ExceedsScreen", "Image exceeds Logical Screen size"},
      {"gif.ScreenWidthTooSmall", "Image width too small for contained frames"},
      {"gif.ScreenHeightTooSmall", "Image height too small for contained frames"},
      {"gif.BitBufferUnderrun", "Decoder bit buffer under-run"},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto error = static_cast<GifError>(i);
    EXPECT_EQ(ErrorCode(error), expected[i].first);
    EXPECT_EQ(ErrorText(error), expected[i].second);
  }
  const GIFException e(GifError::CircularTable);
  EXPECT_EQ(e.Message(), "Circular decoder table entry");
  EXPECT_EQ(e.Code(), "gif.CircularTable");
  EXPECT_EQ(e.Error(), GifError::CircularTable);
}

TEST(GifReader, FirstFrameOnTheLogicalScreen) {
  GIFImage image;
  image.LoadFromFile(test::CorpusDir() + "/gif/gen-anim-lct-firstsmall-hopper.gif");
  ASSERT_EQ(image.Images().size(), 3u);
  EXPECT_EQ(image.Width(), 120);
  const Bitmap picture = image.ToBitmap();
  EXPECT_EQ(picture.PixelFormat(), pf24bit);
  EXPECT_EQ(picture.Pixel(0, 0), clWhite);  // outside the 60x60 frame at (10, 20)
  EXPECT_EQ(picture.Pixel(10, 20), image.Images()[0]->ActiveColorMap().At(image.Images()[0]->Pixel(0, 0)));

  GIFImage full;
  full.LoadFromFile(test::CorpusDir() + "/gif/gen-87a-hopper.gif");
  const Bitmap indexed = full.ToBitmap();
  EXPECT_EQ(indexed.PixelFormat(), pf8bit);
  EXPECT_EQ(indexed.Palette().size(), 64u);
}

TEST(GifReader, KeepsRowsDecodedBeforeTruncation) {
  GifSettings grey;
  grey.reductionMode = Grayscale256;
  const Bitmap picture = Picture(64, 64, 5);
  const Bytes whole = EncodeBitmapAsGifBytes(picture, grey, false);
  Bitmap complete;
  DecodeGifBytes(whole, complete);
  const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
  Bitmap partial;
  DecodeGifBytes(cut, partial);
  const auto warnings = Warnings(cut);
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), ErrorText(GifError::PrematureEnd)), warnings.end());
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), ErrorText(GifError::InvalidTrailer)), warnings.end());
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(partial.PixelIndex(x, y), complete.PixelIndex(x, y));
  for (int x = 0; x < 64; ++x) EXPECT_EQ(partial.PixelIndex(x, 63), 0);
}

TEST(GifReader, SignatureAndStructureFailures) {
  const Bytes good = HandMade(2, 2, {clBlack, clWhite}, {0, 1, 1, 0});
  Bytes junk = {1, 2, 3, 4};
  junk.insert(junk.end(), good.begin(), good.end());
  Bitmap out;
  EXPECT_NO_THROW(DecodeGifBytes(junk, out));
  EXPECT_EQ(out.Pixel(1, 0), clWhite);
  Bytes lower = good;
  lower[0] = 'g';
  EXPECT_NO_THROW(DecodeGifBytes(lower, out));

  auto failsWith = [](const Bytes& bytes, GifError error) {
    try {
      GIFImage image;
      image.LoadFromBytes(bytes);
      ADD_FAILURE() << "no error, expected " << ErrorCode(error);
    } catch (const GIFException& e) {
      EXPECT_EQ(e.Code(), ErrorCode(error));
    }
  };
  Bytes bad = good;
  bad[1] = 'X';
  failsWith(bad, GifError::InvalidSignature);
  failsWith(Bytes(good.begin(), good.begin() + 9), GifError::PrematureEnd);
  failsWith(HandMade(2, 2, {clBlack, clWhite}, {0, 1, 1, 0}, {0x21, 0x99, 0x00}), GifError::UnknownExtension);
  failsWith(HandMade(2, 2, {clBlack, clWhite}, {0, 1, 1, 0}, {0x21, 0xFF, 0x05, 1, 2, 3, 4, 5, 0}),
            GifError::UnsupportedAppBlockSize);
  failsWith(HandMade(2, 2, {clBlack, clWhite}, {0, 1, 1, 0},
                     {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 2, 1, 0, 0}),
            GifError::InvalidData);
}

TEST(GifReader, AbsurdSizesFailBeforeAllocating) {
  // A 65535 x 65535 screen whose frame descriptor says width 0.
  Bytes bytes = {'G', 'I',  'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0,    0,    0, 255, 255,
                 255, 0x2C, 0,   0,   0,   0,   0,    0,    0,    0,    0,    2, 2, 0x4C, 0x01, 0, 0x3B};
  GIFImage image;
  EXPECT_THROW(image.LoadFromBytes(bytes), EImageTooLarge);
  EXPECT_TRUE(image.Images().empty());
  GIFImage limited;
  limited.SetPixelLimit(100);
  EXPECT_THROW(limited.LoadFromBytes(HandMade(20, 20, {clBlack, clWhite}, Bytes(400, 1))), EImageTooLarge);
}

TEST(GifReader, WidthZeroDescriptorTakesTheScreen) {
  Bytes bytes = HandMade(3, 2, {clBlack, clWhite}, {1, 0, 1, 0, 1, 0});
  // Descriptor width and height (offsets from the 0x2C) set to 0.
  const std::size_t descriptor = 6 + 7 + 6;
  ASSERT_EQ(bytes[descriptor], 0x2C);
  for (int i = 5; i < 9; ++i) bytes[descriptor + static_cast<std::size_t>(i)] = 0;
  GIFImage image;
  std::vector<std::string> warnings;
  image.SetWarningCallback([&](const std::string& m) { warnings.push_back(m); });
  image.LoadFromBytes(bytes);
  ASSERT_EQ(image.Images().size(), 1u);
  EXPECT_EQ(image.Images()[0]->Width(), 3);
  EXPECT_EQ(image.Images()[0]->Pixel(2, 1), 0);
  EXPECT_EQ(warnings, std::vector<std::string>{ErrorText(GifError::ExceedsScreen)});
}

TEST(GifReader, ExtensionsSurviveARoundTrip) {
  const Bytes extensions = {
      0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 5, 0, 0,              // loop 5
      0x21, 0xFF, 11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 4, 9, 8, 7, 6, 1, 0xAA, 0,  // unknown
      0x21, 0xFE, 5,  'h', 'e', 'l', 'l', 'o', 0,                                                        // comment
      0x21, 0xF9, 4,  1,   10,  0,   1,   0};                                                            // GCE
  const Bytes bytes = HandMade(2, 1, {clBlack, clWhite}, {0, 1}, extensions);
  GIFImage image;
  image.LoadFromBytes(bytes);
  const GIFSubImage& frame = *image.Images()[0];
  ASSERT_EQ(frame.Extensions().size(), 4u);
  const auto* loop = dynamic_cast<const GIFAppExtNSLoop*>(frame.Extensions()[0].get());
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->loops, 5);
  EXPECT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.TransparentIndex(), 1);
  EXPECT_EQ(frame.GraphicControlExtension()->Delay(), 10);
  const Bytes saved = image.SaveToBytes();
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF89a");
  EXPECT_NE(std::search(saved.begin(), saved.end(), extensions.begin(), extensions.end()), saved.end());
}

TEST(GifReader, MultiFrameAndInterlacedFilesWriteBackUnchanged) {
  for (const char* name :
       {"gen-87a-interlaced-castle.gif", "suite-animated_loop_interlaced.gif", "rs-any-disposal.gif"}) {
    SCOPED_TRACE(name);
    GIFImage image;
    image.LoadFromFile(test::CorpusDir() + "/gif/" + name);
    GIFImage again;
    again.LoadFromBytes(image.SaveToBytes());
    ASSERT_EQ(again.Images().size(), image.Images().size());
    for (std::size_t i = 0; i < image.Images().size(); ++i) {
      EXPECT_EQ(again.Images()[i]->Pixels(), image.Images()[i]->Pixels());
      EXPECT_EQ(again.Images()[i]->ActiveColorMap().Colors().size(),
                image.Images()[i]->ActiveColorMap().Colors().size());
      EXPECT_EQ(again.Images()[i]->Extensions().size(), image.Images()[i]->Extensions().size());
    }
  }
}

TEST(GifReader, ColourMapLimits) {
  GIFColorMap map;
  for (int i = 0; i < 256; ++i) map.Add(RGB(i, 0, 0));
  EXPECT_THROW(map.Add(clWhite), GIFException);
  EXPECT_THROW(map.At(256), GIFException);
  EXPECT_THROW(map.Delete(-1), GIFException);
  map.Clear();
  map.Add(clRed);
  map.Add(clRed);
  EXPECT_EQ(map.IndexOf(clRed), 1);
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf(clRed), 0);
  EXPECT_EQ(map.IndexOf(clBlue), -1);
  EXPECT_EQ(BitsPerEntry(1), 1);
  EXPECT_EQ(BitsPerEntry(3), 2);
  EXPECT_EQ(BitsPerEntry(129), 8);
}

// ---- Writing ---------------------------------------------------------------

TEST(GifWriter, OnePixelImageBytes) {
  Bitmap pixel(1, 1, pf24bit);
  pixel.Fill(clRed);
  const Bytes expected = {'G',  'I', 'F',  '8',  '7', 'a', 1, 0, 1, 0, 0x88, 0, 0,  // screen, sorted 2-entry table
                          255,  0,   0,    0,    0,   0,                            // red, padding
                          0x2C, 0,   0,    0,    0,   1,   0, 1, 0, 0,              // descriptor
                          2,    2,   0x44, 0x01, 0,                                 // code size 2: clear 0 end
                          0x3B};
  EXPECT_EQ(EncodeBitmapAsGifBytes(pixel, GifSettings(), false), expected);

  const Bytes transparent = EncodeBitmapAsGifBytes(pixel, GifSettings(), true);
  EXPECT_EQ(std::string(transparent.begin(), transparent.begin() + 6), "GIF89a");
  const Bytes gce = {0x21, 0xF9, 4, 1, 0, 0, 0, 0};
  EXPECT_NE(std::search(transparent.begin(), transparent.end(), gce.begin(), gce.end()), transparent.end());
}

TEST(GifWriter, DefaultSaveUsesTheWebCubeSortedByUse) {
  const Bitmap picture = Picture(97, 61, 9);
  const Bytes bytes = EncodeBitmapAsGifBytes(picture, GifSettings(), false);
  GIFImage image;
  image.LoadFromBytes(bytes);
  const GIFColorMap& table = image.GlobalColorMap();
  EXPECT_TRUE(table.Optimized());
  std::vector<int> counts(static_cast<std::size_t>(table.Count()), 0);
  for (std::uint8_t p : image.Images()[0]->Pixels()) ++counts[p];
  // The used entries come first, most used first; the rest is padding.
  const auto used = static_cast<std::size_t>(std::count_if(counts.begin(), counts.end(), [](int n) { return n > 0; }));
  EXPECT_LE(used, 216u);
  EXPECT_GT(used, 100u);
  EXPECT_EQ(2 << (bytes[10] & 7), table.Count());
  EXPECT_GE(2 * used, static_cast<std::size_t>(table.Count()));
  for (std::size_t i = 0; i < used; ++i) {
    EXPECT_GT(counts[i], 0) << "unused entry " << i;
    if (i) {
      EXPECT_GE(counts[i - 1], counts[i]);
    }
    const Color c = table.At(static_cast<int>(i));
    EXPECT_EQ(GetRValue(c) % 51 + GetGValue(c) % 51 + GetBValue(c) % 51, 0);
  }
  // Each pixel is its nearest web colour.
  const Bitmap back = image.ToBitmap();
  for (int y = 0; y < 61; y += 7)
    for (int x = 0; x < 97; x += 5) {
      const Color in = picture.Pixel(x, y), out = back.Pixel(x, y);
      EXPECT_EQ(GetRValue(out), 51 * ((GetRValue(in) + 3) / 51));
      EXPECT_EQ(GetBValue(out), 51 * ((GetBValue(in) + 3) / 51));
    }
}

TEST(GifWriter, TransparencyFollowsTheBottomLeftPixel) {
  Bitmap picture(8, 6, pf24bit);
  picture.Fill(clWhite);
  for (int x = 2; x < 6; ++x) picture.SetPixel(x, 2, clBlue);
  GIFImage image;
  image.LoadFromBytes(EncodeBitmapAsGifBytes(picture, GifSettings(), true));
  const GIFSubImage& frame = *image.Images()[0];
  ASSERT_TRUE(frame.Transparent());
  EXPECT_EQ(image.GlobalColorMap().At(frame.TransparentIndex()), clWhite);
  EXPECT_EQ(frame.Pixel(0, 0), frame.TransparentIndex());
  EXPECT_NE(frame.Pixel(3, 2), frame.TransparentIndex());
}

TEST(GifWriter, IndexedBitmapsKeepTheirTables) {
  Bitmap indexed(5, 3, pf4bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) indexed.SetPixelIndex(x, y, (x + y) % 16);
  GIFImage image;
  image.Assign(indexed);
  const GIFSubImage& frame = *image.Images()[0];
  EXPECT_EQ(frame.LocalColorMap().Count(), 16);
  EXPECT_EQ(frame.Pixel(4, 2), 6);
  EXPECT_EQ(frame.Version(), 1);

  GifSettings none;
  none.reductionMode = NoReduction;
  Bitmap few(4, 1, pf24bit);
  for (int x = 0; x < 4; ++x) few.SetPixel(x, 0, x < 2 ? clRed : clGreen);
  GIFImage exact(none);
  exact.Assign(few);
  EXPECT_EQ(exact.Images()[0]->LocalColorMap().Colors(), (Palette{clRed, clGreen}));
  EXPECT_THROW(EncodeBitmapAsGifBytes(Picture(40, 40, 1), none, false), GIFException);
  EXPECT_THROW(EncodeBitmapAsGifBytes(Bitmap(), none, false), GIFException);
}

TEST(GifWriter, LzwRoundTripsAcrossTableResets) {
  std::mt19937 random(1);
  for (int bits : {2, 3, 5, 8}) {
    for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{5000}, std::size_t{300000}}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(size) + " pixels");
      Bytes pixels(size);
      for (std::size_t i = 0; i < size; ++i)
        pixels[i] = static_cast<std::uint8_t>((i % 97 < 40 ? random() : i / 50) % (1u << bits));
      Bytes encoded;
      EncodeLzw(pixels, bits, encoded);
      Bytes data;
      for (std::size_t at = 1; encoded[at] != 0; at += encoded[at] + 1u) {
        ASSERT_LE(at + encoded[at] + 1u, encoded.size());
        data.insert(data.end(), encoded.begin() + static_cast<std::ptrdiff_t>(at + 1),
                    encoded.begin() + static_cast<std::ptrdiff_t>(at + 1 + encoded[at]));
      }
      Bytes decoded(size, 0xEE);
      const LzwResult result = DecodeLzw(data, bits, decoded);
      EXPECT_EQ(result.pixels, size);
      EXPECT_FALSE(result.extraCodeMissing);
      EXPECT_EQ(decoded, pixels);
    }
  }
}

TEST(GifWriter, PeersReadBackEveryReductionAndDither) {
  ASSERT_EQ(Shell("gifsicle --version").find("[exit"), std::string::npos) << "the peer check needs gifsicle";
  GifSettings settings;
  const Bitmap picture = Picture(73, 41, 4);
  const std::string dir = test::TempDir();
  const ReductionMode modes[] = {WindowsSystem20, WindowsHalftone256, WindowsGray4, Monochrome,
                                 Grayscale256,    Netscape216,        Optimized,    OptimizedWindows256};
  for (ReductionMode mode : modes) {
    for (DitherMode dither : {Nearest, FloydSteinberg, Stucki, Sierra, JaJuNi, SteveArche, Burkes}) {
      SCOPED_TRACE(std::to_string(mode) + "/" + std::to_string(dither));
      settings.reductionMode = mode;
      settings.ditherMode = dither;
      settings.reductionBits = 5;
      const std::string path = dir + "/peer.gif";
      SaveGifFile(path, picture, settings, dither % 2 == 0);
      const std::string info = Shell("gifsicle --info " + path);
      ASSERT_EQ(info.find("[exit"), std::string::npos) << info;
      EXPECT_NE(info.find("73x41"), std::string::npos) << info;
      const std::string png = dir + "/peer.png";
      ASSERT_EQ(Shell("convert " + path + " -alpha off " + png).find("[exit"), std::string::npos);
      Bitmap ours;
      LoadImageFile(path, ours, test::Silent());
      const test::PixelDifference d =
          test::Compare(ours, QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB888));
      EXPECT_TRUE(d.sizeMatches);
      EXPECT_EQ(d.maxChannelDelta, 0);
    }
  }
}

TEST(GifWriter, CommandLineOptionsSetTheDefaults) {
  const std::string dir = test::TempDir();
  const std::string bmp = dir + "/in.bmp";
  Picture(30, 20, 2).SaveToFile(bmp);
  const std::string cli = PIXTREL_CLI_PATH;
  const std::string gif = dir + "/out.gif";
  const std::string result = Shell(cli + " convert " + bmp + " " + gif +
                                   " --gif-reduction monochrome --gif-dither floyd-steinberg --gif-transparent off");
  ASSERT_EQ(result.find("[exit"), std::string::npos) << result;
  GIFImage image;
  image.LoadFromFile(gif);
  EXPECT_EQ(image.Version(), 1);
  EXPECT_LE(image.GlobalColorMap().Count(), 2);
  EXPECT_NE(Shell(cli + " convert " + bmp + " " + gif + " --gif-bits 9").find("[exit 512]"), std::string::npos);
}

TEST(GifImage, DrawLeavesTransparentPixelsOut) {
  Bitmap picture(4, 4, pf24bit);
  picture.Fill(clWhite);
  picture.SetPixel(1, 1, clBlue);
  GIFImage image;
  image.LoadFromBytes(EncodeBitmapAsGifBytes(picture, GifSettings(), true));
  Bitmap canvas(8, 8, pf24bit);
  canvas.Fill(clRed);
  canvas.Canvas().StretchDraw(Rect{0, 0, 8, 8}, image);
  EXPECT_EQ(canvas.Pixel(0, 0), clRed);
  EXPECT_EQ(canvas.Pixel(2, 2), clBlue);
  EXPECT_EQ(canvas.Pixel(3, 3), clBlue);
  EXPECT_EQ(canvas.Pixel(7, 7), clRed);
  image.Settings().drawOptions.transparent = false;
  canvas.Canvas().Draw(0, 0, image);
  EXPECT_EQ(canvas.Pixel(0, 0), clWhite);
}

// ---- Merging ---------------------------------------------------------------

TEST(MergeColorTables, MergesDuplicatesAndDropsUnusedTransparency) {
  GIFImage image;
  GIFSubImage& frame = image.AddImage();
  frame.SetBounds(0, 0, 4, 1);
  frame.LocalColorMap().Assign({clRed, clBlue, clRed, clGreen});
  frame.Pixels() = {0, 2, 2, 1};
  auto gce = std::make_unique<GIFGraphicControlExtension>(frame);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(3);
  frame.AddExtension(std::move(gce));
  MergeColorTables(image);
  EXPECT_FALSE(frame.Transparent());
  EXPECT_TRUE(frame.LocalColorMap().Empty());
  EXPECT_EQ(image.GlobalColorMap().Colors(), (Palette{clRed, clBlue}));
  EXPECT_EQ(frame.Pixels(), (Bytes{0, 0, 0, 1}));
}

TEST(MergeColorTables, UsedTransparencyGetsAnEntryOfItsOwn) {
  GIFImage image;
  std::vector<std::string> warnings;
  image.SetWarningCallback([&](const std::string& m) { warnings.push_back(m); });
  image.GlobalColorMap().Assign({clRed, clBlue, clGreen});
  GIFSubImage& frame = image.AddImage();
  frame.SetBounds(0, 0, 5, 1);
  frame.Pixels() = {1, 2, 2, 1, 7};  // 7 is outside the table
  auto gce = std::make_unique<GIFGraphicControlExtension>(frame);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(2);
  frame.AddExtension(std::move(gce));
  MergeColorTables(image);
  EXPECT_EQ(warnings, std::vector<std::string>{ErrorText(GifError::ColorNotInTable)});
  EXPECT_EQ(image.GlobalColorMap().Colors(), (Palette{clBlue, clRed, clBlack}));
  EXPECT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.TransparentIndex(), 2);
  EXPECT_EQ(frame.Pixels(), (Bytes{0, 2, 2, 0, 1}));
}

}  // namespace
}  // namespace pixtrel::gif
