// Every TIFF of the shared corpus through LoadImageFile: files expected to
// decode match their reference, refused files show the reader's message and
// leave the workspace as it was, damaged files end without harm.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/scripted_interaction.h"
#include "io/image_io.h"
#include "support/corpus.h"
#include "support/io_support.h"

namespace pixtrel {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The simple reader's part of a manifest note.
std::string ReaderNote(const std::string& notes) {
  const auto at = notes.find("simple .TIF reader:");
  if (at == std::string::npos) return {};
  return notes.substr(at, notes.find("; general", at) - at);
}

void ReverseBits(Bitmap& bitmap) {
  const std::size_t rowBytes = (static_cast<std::size_t>(bitmap.Width()) * bitmap.BitCount() + 7) / 8;
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (std::size_t i = 0; i < rowBytes; ++i) {
      std::uint8_t b = row[i], r = 0;
      for (int bit = 0; bit < 8; ++bit) r |= ((b >> bit) & 1) << (7 - bit);
      row[i] = r;
    }
  }
}

TEST(TiffCorpus, BehavesAsTheManifestExpects) {
  const auto entries = test::CorpusEntries("tiff");
  ASSERT_GT(entries.size(), 50u);
  int decoded = 0, refused = 0;
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.path);
    ScriptedInteraction script;
    Bitmap target(3, 3, pf24bit);
    target.Fill(clRed);
    bool raised = false;
    try {
      LoadImageFile(entry.FullPath(), target, script);
    } catch (const Exception&) {
      raised = true;
    }
    const bool untouched = target.Width() == 3 && target.Height() == 3 && target.Pixel(2, 2) == clRed;
    const std::string note = ReaderNote(entry.notes);

    if (entry.expected == "decodes") {
      ++decoded;
      EXPECT_FALSE(raised);
      EXPECT_TRUE(script.messages.empty()) << script.messages.front();
      ASSERT_FALSE(untouched);
      // Multi-page references show the first page; the reader keeps the last.
      if (Contains(entry.notes, "shows the LAST") || entry.ref.empty()) continue;
      EXPECT_EQ(target.Width(), entry.width);
      EXPECT_EQ(target.Height(), entry.height);
      // FillOrder is read and ignored: the peer's rendering of a FillOrder 2
      // file is this picture with the bits of every byte reversed.
      if (Contains(entry.compression, "FillOrder 2")) ReverseBits(target);
      const auto diff = test::Compare(target, test::LoadReference(entry));
      EXPECT_TRUE(diff.sizeMatches);
      EXPECT_EQ(diff.maxChannelDelta, 0) << "mean " << diff.meanChannelDelta;
    } else if (entry.expected == "must-fail") {
      ++refused;
      EXPECT_FALSE(raised);
      EXPECT_TRUE(untouched);
      // Greyscale of other depths is skipped before its compression is
      // looked at, so a compressed 16-bit grey file shows nothing.
      if (Contains(note, "without message") || entry.path == "tiff/pillow-16bit.MM.deflate.tif") {
        EXPECT_TRUE(script.messages.empty());
        continue;
      }
      ASSERT_FALSE(script.messages.empty());
      const std::string& first = script.messages.front();
      if (Contains(note, "Cant read compressed")) {
        EXPECT_TRUE(Contains(first, "Cant read compressed")) << first;
      }
      if (Contains(note, "Error evaluating Photometric")) {
        EXPECT_TRUE(Contains(first, "Error evaluating Photometric interpretation: ")) << first;
        EXPECT_EQ(script.messages.size(), 1u);
      }
      if (Contains(note, "(RGB) not 8")) {
        EXPECT_EQ(first, "Error: Bits Per Sample (RGB) not 8");
      }
      if (Contains(note, "not a valid TIFF")) {
        EXPECT_EQ(first, "<" + entry.FullPath() + "> is not a valid TIFF file");
      }
    } else {
      // Damaged files end without a raise (and, under the sanitizers,
      // without reading past the data).
      EXPECT_FALSE(raised);
    }
  }
  EXPECT_GT(decoded, 20);
  EXPECT_GT(refused, 40);
}

}  // namespace
}  // namespace pixtrel
