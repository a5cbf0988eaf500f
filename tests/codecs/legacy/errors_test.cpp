// The legacy message table: every failure has its own code, and the
// parameters land where the texts put them whatever they hold.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "codecs/legacy/legacy_errors.h"

namespace pixtrel {
namespace {

TEST(LegacyErrors, EveryFailureHasItsOwnCode) {
  std::set<std::string> codes;
  auto add = [&](const Exception& e) {
    EXPECT_TRUE(e.Code().starts_with("legacy.")) << e.Code();
    EXPECT_FALSE(e.Message().empty());
    EXPECT_TRUE(codes.insert(e.Code()).second) << e.Code();
  };
  for (LegacyError error : {LegacyError::InvalidFormat, LegacyError::InvalidColorFormat, LegacyError::StreamRead,
                            LegacyError::NotSupported}) {
    try {
      ThrowLegacyError(error, "PCX", "Layers are");
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(LegacyErrorCode(error), e.Code());
      add(e);
    }
  }
  add(ELZ77Error());
  for (int kind = EColorConversionError::InvalidBitsPerSample; kind <= EColorConversionError::VerticalSubsampling;
       ++kind) {
    const EColorConversionError e(static_cast<EColorConversionError::Kind>(kind));
    EXPECT_EQ(kind, e.Which());
    add(e);
  }
  EXPECT_EQ(codes.size(), 11u);
  EXPECT_EQ("legacy.LZ77Error", ELZ77Error().Code());
  EXPECT_EQ("LZ77 decompression error.", ELZ77Error().Message());
}

TEST(LegacyErrors, ParametersAreTakenLiterally) {
  EXPECT_EQ("Cannot load image. The compression scheme is not supported for PSD or PDD files.",
            LegacyErrorMessage(LegacyError::NotSupported, "PSD or PDD", kCompressionSubject));
  // A subject that happens to hold the table's own markers stays as it is.
  EXPECT_EQ("Cannot load image. {format} {subject} not supported for SGI files.",
            LegacyErrorMessage(LegacyError::NotSupported, "SGI", "{format} {subject}"));
  EXPECT_EQ("Stream read error in TIF/TIFF file.", LegacyErrorMessage(LegacyError::StreamRead, "TIF/TIFF"));
}

}  // namespace
}  // namespace pixtrel
