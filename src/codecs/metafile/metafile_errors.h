// The metafile reader's failures: one enum, one table of their codes and
// fixed texts. Every failure shows the same text to the user; the codes
// tell tests and golden tables which check refused the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/errors.h"

namespace pixtrel {

enum class MetafileError {
  InvalidHeader,            // signature, header size, type or version wrong, or the header cut short
  EmptyFrame,               // the header's box or frame has no area
  NoWindowExtent,           // a WMF without placeable header sets no window extent
  RecordOutsideFile,        // a record header cut by the end of the file, or a size that runs past it
  BadRecordSize,            // a record size below the record header's own
  ParametersOutsideRecord,  // a count, offset or parameter that does not fit in its record
};

struct MetafileErrorEntry {
  MetafileError error;
  const char* name;  // the code's second part: "metafile.<name>"
  const char* text;
};

inline constexpr std::array<MetafileErrorEntry, 6> kMetafileErrors = {{
    {MetafileError::InvalidHeader, "InvalidHeader", "Metafile is not valid"},
    {MetafileError::EmptyFrame, "EmptyFrame", "Metafile is not valid"},
    {MetafileError::NoWindowExtent, "NoWindowExtent", "Metafile is not valid"},
    {MetafileError::RecordOutsideFile, "RecordOutsideFile", "Metafile is not valid"},
    {MetafileError::BadRecordSize, "BadRecordSize", "Metafile is not valid"},
    {MetafileError::ParametersOutsideRecord, "ParametersOutsideRecord", "Metafile is not valid"},
}};

// The table is looked up by the enum's value.
constexpr bool MetafileErrorsInOrder() {
  for (std::size_t i = 0; i < kMetafileErrors.size(); ++i)
    if (static_cast<std::size_t>(kMetafileErrors[i].error) != i) return false;
  return true;
}
static_assert(MetafileErrorsInOrder(), "kMetafileErrors must follow the order of MetafileError");

const MetafileErrorEntry& MetafileErrorInfo(MetafileError error);

// The exception of every metafile failure; Code() is "metafile.<name>", and
// the offset of the record at fault, when there is one, is its context.
class EInvalidMetafile : public EInvalidGraphic {
 public:
  explicit EInvalidMetafile(MetafileError error);
  MetafileError Error() const { return error_; }

 private:
  MetafileError error_;
};

// Fails a load at the record at offset pos: the context names the record by
// name when the player knows its number, by the number otherwise, and only
// the offset when there is no record number.
[[noreturn]] void FailAtRecord(MetafileError error, std::size_t pos, std::optional<std::uint32_t> number,
                               const char* name);

}  // namespace pixtrel
