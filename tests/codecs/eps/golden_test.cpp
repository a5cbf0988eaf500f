// Golden tables of the EPS reader over the EPS corpus (eps_golden.tsv) and of
// the general TIFF decoder it is built on over the TIFF corpus
// (tiff_decoder_golden.tsv): what each file gives, or the code of its error.
#include <gtest/gtest.h>

#include <string>

#include "codecs/eps/eps_graphic.h"
#include "codecs/eps/tiff_graphic.h"
#include "eps_test_support.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

template <class Graphic>
void CheckTable(const std::string& family, const std::string& table) {
  const auto entries = test::CorpusEntries(family);
  ASSERT_FALSE(entries.empty());
  std::string actual;
  for (const test::CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    const std::string outcome = test::GoldenOutcome([&](Bitmap& target) {
      Graphic graphic;
      graphic.LoadFromBytes(test::ReadBytes(e.FullPath()));
      target = graphic;
    });
    actual += e.path + '\t' + outcome + '\n';
    // Every failure is one of the readers' own, with its code.
    if (outcome.rfind("error ", 0) == 0) {
      EXPECT_TRUE(outcome.starts_with("error legacy.") || outcome.starts_with("error eps.") ||
                  outcome.starts_with("error jpeg.") || outcome == "error pixtrel::EJPEG")
          << outcome;
    }
    // The TIFF rows' verdicts are the simple reader's; this decoder reads
    // more of them.
    if (family == "eps" && e.expected == "must-fail") {
      EXPECT_TRUE(outcome.starts_with("error ")) << outcome;
    }
  }
  test::CheckGoldenTable(table, actual);
}

TEST(EpsGolden, EpsCorpus) { CheckTable<EPSGraphic>("eps", "tests/codecs/eps/eps_golden.tsv"); }
TEST(EpsGolden, TiffCorpusThroughTheGeneralDecoder) {
  CheckTable<TIFFGraphic>("tiff", "tests/codecs/eps/tiff_decoder_golden.tsv");
}

}  // namespace
}  // namespace pixtrel
