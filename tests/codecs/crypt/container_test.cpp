// The encrypted containers through the open and save tables, with the
// password dialog answered by a script.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "codecs/crypt/encrypted_image.h"
#include "codecs/png/png_object.h"
#include "core/scripted_interaction.h"
#include "core/stream.h"
#include "io/image_io.h"
#include "workspace/saving.h"
#include "support/corpus.h"

namespace pixtrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bitmap Picture(int w, int h) {
  Bitmap bitmap(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bitmap.SetPixel(x, y, RGB(x * 255 / w, y * 255 / h, (x ^ y) & 0xFF));
  return bitmap;
}

bool SamePixels(const Bitmap& a, const Bitmap& b, int tolerance = 0) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const Color p = a.Pixel(x, y), q = b.Pixel(x, y);
      if (std::abs(GetRValue(p) - GetRValue(q)) > tolerance || std::abs(GetGValue(p) - GetGValue(q)) > tolerance ||
          std::abs(GetBValue(p) - GetBValue(q)) > tolerance)
        return false;
    }
  return true;
}

class Container : public testing::Test {
 protected:
  void SetUp() override { dir_ = test::TempDir(); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Save As and open, as the program runs them, with the script answering.
  SaveOutcome Save(const std::string& path, const Bitmap& picture, const std::string& ext) {
    Bitmap image(picture);
    return SaveDisplayedImage(path, image, ext, options_, script_);
  }
  LoadResult Load(const std::string& path, Bitmap& target) { return LoadImageFile(path, target, script_); }
  InnerImageOptions Inner() const { return {options_.jpegQuality, options_.gifDefaults, options_.gifTransparent}; }

  ScriptedInteraction script_;
  SaveOptions options_;
  std::string dir_;
};

TEST_F(Container, PngRoundTripHoldsThePlainWriterOutputWithoutText) {
  const Bitmap picture = Picture(40, 30);
  options_.pngText = "not for containers";
  script_.passwords = {std::string("Secret")};
  ASSERT_EQ(Save(Path("a.xpng"), picture, ".XPNG"), SaveOutcome::Written);
  EXPECT_EQ(script_.prompts.size(), 1u);

  const Bytes container = ReadFileBytes(Path("a.xpng"));
  const Bytes inner = BuildInnerImage(picture, ContainerKind::PNG, Inner());
  EXPECT_EQ(container.size(), inner.size());
  EXPECT_EQ(DecipherContainer(container, "Secret"), inner);
  PNGObject png;
  png.LoadFromBytes(inner);
  EXPECT_EQ(png.FirstTextChunk(), nullptr);

  // Opening a container leaves the PNG text box empty.
  script_.passwords = {std::string("Secret")};
  Bitmap target;
  const LoadResult opened = Load(Path("a.xpng"), target);
  EXPECT_TRUE(SamePixels(target, picture));
  EXPECT_EQ(target.PixelFormat(), pf24bit);
  EXPECT_TRUE(opened.pngText.empty());
  EXPECT_TRUE(script_.messages.empty());
}

TEST_F(Container, JpegRoundTripUsesTheJpegQuality) {
  const Bitmap picture = Picture(64, 48);
  options_.jpegQuality = 90;
  script_.passwords = {std::string("pw"), std::string("pw")};
  ASSERT_EQ(Save(Path("a.xjpg"), picture, ".XJPG"), SaveOutcome::Written);
  EXPECT_EQ(DecipherContainer(ReadFileBytes(Path("a.xjpg")), "pw"), BuildInnerImage(picture, ContainerKind::JPEG, Inner()));
  Bitmap target;
  Load(Path("a.xjpg"), target);
  EXPECT_TRUE(SamePixels(target, picture, 40));
}

TEST_F(Container, GifRoundTripFollowsTheTransparencyOption) {
  Bitmap picture(24, 12, pf8bit);
  picture.SetPalette(HalftonePalette256());
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 24; ++x) picture.SetPixelIndex(x, y, (x + 3 * y) % 40);
  for (const bool transparent : {true, false}) {
    SCOPED_TRACE(transparent);
    options_.gifTransparent = transparent;
    script_.passwords = {std::string("gif"), std::string("gif")};
    ASSERT_EQ(Save(Path("a.xgif"), picture, ".XGIF"), SaveOutcome::Written);
    const Bytes inner = DecipherContainer(ReadFileBytes(Path("a.xgif")), "gif");
    EXPECT_EQ(inner, BuildInnerImage(picture, ContainerKind::GIF, Inner()));
    ASSERT_GE(inner.size(), 6u);
    EXPECT_EQ(std::string(inner.begin(), inner.begin() + 3), "GIF");
    // The graphic control extension (0x21 0xF9) marks transparency.
    const Bytes gce = {0x21, 0xF9};
    EXPECT_EQ(std::search(inner.begin(), inner.end(), gce.begin(), gce.end()) != inner.end(), transparent);
    Bitmap target;
    Load(Path("a.xgif"), target);
    EXPECT_TRUE(SamePixels(target, picture));
  }
  EXPECT_TRUE(script_.messages.empty());
}

TEST_F(Container, WrongPasswordShowsInvalidPasswordAndKeepsTheTarget) {
  Bitmap picture = Picture(10, 10);
  script_.passwords = {std::string("Secret"), std::string("secret")};
  ASSERT_EQ(Save(Path("a.xpng"), picture, ".xpng"), SaveOutcome::Written);
  Bitmap target(3, 3, pf24bit);
  target.Fill(clRed);
  Load(Path("a.xpng"), target);
  EXPECT_EQ(script_.messages, (std::vector<std::string>{"invalid password"}));
  EXPECT_EQ(target.Width(), 3);
  EXPECT_EQ(target.Pixel(1, 1), clRed);

  // A PNG container opened as a JPEG one fails the same way.
  std::filesystem::copy_file(Path("a.xpng"), Path("b.xjpg"));
  script_.passwords = {std::string("Secret")};
  Load(Path("b.xjpg"), target);
  EXPECT_EQ(script_.messages.size(), 2u);
  EXPECT_EQ(target.Pixel(1, 1), clRed);
}

TEST_F(Container, CancelOrEmptyPasswordEndsQuietly) {
  Bitmap picture = Picture(10, 10);
  script_.passwords = {std::string("pw")};
  ASSERT_EQ(Save(Path("a.xpng"), picture, ".XPNG"), SaveOutcome::Written);
  const Bytes before = ReadFileBytes(Path("a.xpng"));

  Bitmap other = Picture(20, 5);
  script_.passwords = {std::nullopt, std::string()};
  EXPECT_EQ(Save(Path("a.xpng"), other, ".XPNG"), SaveOutcome::Abandoned);
  EXPECT_EQ(Save(Path("a.xpng"), other, ".XPNG"), SaveOutcome::Abandoned);
  EXPECT_EQ(ReadFileBytes(Path("a.xpng")), before);
  script_.passwords = {std::string()};
  EXPECT_EQ(Save(Path("new.xjpg"), other, ".XJPG"), SaveOutcome::Abandoned);
  EXPECT_FALSE(std::filesystem::exists(Path("new.xjpg")));

  Bitmap target(3, 3, pf24bit);
  target.Fill(clBlue);
  script_.passwords = {std::nullopt, std::string()};
  Load(Path("a.xpng"), target);
  Load(Path("a.xpng"), target);
  EXPECT_EQ(target.Pixel(0, 0), clBlue);
  EXPECT_TRUE(script_.messages.empty());
}

TEST_F(Container, EmptyContainerIsAnInvalidPassword) {
  WriteFileBytes(Path("empty.xpng"), Bytes{});
  script_.passwords = {std::string("x")};
  Bitmap target;
  Load(Path("empty.xpng"), target);
  EXPECT_EQ(script_.messages, (std::vector<std::string>{"invalid password"}));
  EXPECT_TRUE(target.Empty());
}

TEST_F(Container, MissingFileRaisesAsForAnyReader) {
  script_.passwords = {std::string("x")};
  Bitmap target;
  EXPECT_THROW(Load(Path("none.xpng"), target), EFOpenError);
}

TEST_F(Container, SavesAreDeterministicAndPasswordSensitive) {
  Bitmap picture = Picture(16, 16);
  script_.passwords = {std::string("Same"), std::string("Same"), std::string("same")};
  Save(Path("1.xpng"), picture, ".XPNG");
  Save(Path("2.xpng"), picture, ".XPNG");
  Save(Path("3.xpng"), picture, ".XPNG");
  EXPECT_EQ(ReadFileBytes(Path("1.xpng")), ReadFileBytes(Path("2.xpng")));
  EXPECT_NE(ReadFileBytes(Path("1.xpng")), ReadFileBytes(Path("3.xpng")));
}

TEST(ContainerBytes, EveryLengthRoundTrips) {
  for (std::size_t n : {0, 7, 8, 4095, 4096, 4097, 8192}) {
    SCOPED_TRACE(n);
    Bytes inner(n);
    for (std::size_t i = 0; i < n; ++i) inner[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const Bytes container = EncipherContainer(inner, "length");
    EXPECT_EQ(container.size(), n);
    if (n >= 8) {
      EXPECT_NE(container, inner);
    }
    EXPECT_EQ(DecipherContainer(container, "length"), inner);
  }
}

}  // namespace
}  // namespace pixtrel
