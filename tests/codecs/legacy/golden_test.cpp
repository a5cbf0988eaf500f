// Golden tables of the legacy readers: every corpus file of a family read by
// its graphic class, one line each (golden.h), in <family>_golden.tsv beside
// this file. Beside the table, the manifest's verdicts are held up: a
// must-fail file never gives a picture, a file that decodes never fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/legacy/legacy_formats.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsPicture(const std::string& outcome) { return outcome.rfind("error ", 0) != 0 && outcome != "empty"; }

template <class Graphic>
void CheckFamily(const std::string& family, const std::vector<std::string>& mustFailButDecodes = {}) {
  const auto entries = test::CorpusEntries(family);
  ASSERT_FALSE(entries.empty());
  std::string table;
  for (const test::CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    const std::string outcome = test::GoldenOutcome([&](Bitmap& target) {
      Graphic graphic;
      graphic.LoadFromBytes(ReadFile(e.FullPath()));
      target = graphic;
    });
    table += e.path + '\t' + outcome + '\n';
    if (e.expected == "decodes") {
      EXPECT_TRUE(IsPicture(outcome)) << outcome;
    } else if (e.expected == "must-fail") {
      const bool excepted =
          std::find(mustFailButDecodes.begin(), mustFailButDecodes.end(), e.path) != mustFailButDecodes.end();
      EXPECT_NE(IsPicture(outcome), !excepted) << outcome;
    }
  }
  test::CheckGoldenTable("tests/codecs/legacy/" + family + "_golden.tsv", table);
}

TEST(LegacyGolden, PCX) { CheckFamily<PCXGraphic>("pcx"); }
TEST(LegacyGolden, PCD) { CheckFamily<PCDGraphic>("pcd"); }
TEST(LegacyGolden, PSD) { CheckFamily<PSDGraphic>("psd"); }
TEST(LegacyGolden, PSP) { CheckFamily<PSPGraphic>("psp"); }
TEST(LegacyGolden, PNM) { CheckFamily<PPMGraphic>("pnm"); }
TEST(LegacyGolden, CUT) { CheckFamily<CUTGraphic>("cut"); }
TEST(LegacyGolden, SGI) { CheckFamily<SGIGraphic>("sgi"); }

}  // namespace
}  // namespace pixtrel
