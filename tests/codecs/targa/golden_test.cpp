// The golden table of the Targa reader over the corpus (tga_golden.tsv), and
// the one failure the reader has.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/targa/targa_image.h"
#include "core/errors.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TargaGolden, Corpus) {
  const auto entries = test::CorpusEntries("tga");
  ASSERT_GT(entries.size(), 30u);
  std::string table;
  for (const test::CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    const std::string outcome = test::GoldenOutcome([&](Bitmap& target) {
      Targa targa;
      targa.LoadFromBytes(ReadFile(e.FullPath()));
      targa.AssignTo(target);
    });
    table += e.path + '\t' + outcome + '\n';
    if (e.expected == "decodes") {
      EXPECT_FALSE(outcome.starts_with("error ")) << outcome;
    }
  }
  test::CheckGoldenTable("tests/codecs/targa/tga_golden.tsv", table);
}

// Anything past the header decodes as far as it goes; a header cut short
// (an empty file included) is the reader's only refusal.
TEST(TargaGolden, OnlyAShortHeaderFails) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, Targa::kHeaderSize - 1}) {
    Targa targa;
    try {
      targa.LoadFromBytes(std::vector<std::uint8_t>(size, 2));
      ADD_FAILURE() << size << " bytes read";
    } catch (const EReadError& e) {
      EXPECT_EQ("targa.ShortHeader", e.Code());
      EXPECT_EQ("Stream read error", e.Message());
    }
  }
  Targa targa;
  std::vector<std::uint8_t> header(Targa::kHeaderSize, 0);
  header[2] = 2;
  EXPECT_NO_THROW(targa.LoadFromBytes(header));
}

}  // namespace
}  // namespace pixtrel
