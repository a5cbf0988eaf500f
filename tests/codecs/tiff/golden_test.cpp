// The golden table of the ".TIF" reader over the corpus (tiff_golden.tsv):
// what each file gives and the codes of the messages it shows. The reader
// raises almost never; its verdicts are its messages.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/tiff/read_tiff.h"
#include "codecs/tiff/tiff_errors.h"
#include "core/scripted_interaction.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel {
namespace {

// The code of a message the reader showed for the file at path; the value
// of a photometric interpretation it could not evaluate goes in brackets.
std::string CodeOf(const std::string& text, const std::string& path) {
  for (int i = 0; i <= static_cast<int>(TiffMessage::TooManyDirectories); ++i) {
    const auto message = static_cast<TiffMessage>(i);
    if (text == TiffMessageText(message, path)) return TiffMessageCode(message);
    if (message == TiffMessage::EvaluatingPhotometric) {
      const std::string prefix = TiffMessageText(message);
      if (text.rfind(prefix, 0) == 0) return TiffMessageCode(message) + "(" + text.substr(prefix.size()) + ")";
    }
  }
  return "unknown message: " + text;
}

// The outcome and the codes of the messages shown, comma-separated.
std::string Outcome(const std::string& path) {
  ScriptedInteraction script;
  std::string outcome = test::GoldenOutcome([&](Bitmap& target) { ReadTiffFile(path, target, script); });
  std::string codes;
  for (const std::string& text : script.messages) codes += (codes.empty() ? "" : ",") + CodeOf(text, path);
  return outcome + '\t' + (codes.empty() ? "-" : codes);
}

TEST(TiffGolden, Corpus) {
  const auto entries = test::CorpusEntries("tiff");
  ASSERT_GT(entries.size(), 50u);
  std::string table;
  for (const test::CorpusEntry& e : entries) {
    SCOPED_TRACE(e.path);
    const std::string line = Outcome(e.FullPath());
    table += e.path + '\t' + line + '\n';
    EXPECT_EQ(line.find("unknown message"), std::string::npos) << line;
    const bool picture = line.rfind("error ", 0) != 0 && line.rfind("empty", 0) != 0;
    if (e.expected == "decodes") {
      EXPECT_TRUE(picture && line.ends_with("\t-")) << line;
    } else if (e.expected == "must-fail") {
      EXPECT_FALSE(picture) << line;
    }
  }
  test::CheckGoldenTable("tests/codecs/tiff/tiff_golden.tsv", table);
}

// Found by fuzzing the general decoder (absurd YCbCr weights); the simple
// reader refuses the colour space before it looks at anything else.
TEST(TiffCrashers, YCbCrCoefficients) {
  const std::string path = std::string(PIXTREL_SOURCE_DIR) + "/tests/crashers/tiff/crash-ycbcr-coefficients.tif";
  EXPECT_EQ("empty\ttiff.EvaluatingPhotometric(6)", Outcome(path));
}

}  // namespace
}  // namespace pixtrel
