// Golden tables of the readers: one line per corpus file with what reading
// it gave (size, pixel format, palette size, transparency and a CRC of the
// pixels, or the error's code), kept in a .tsv file beside the test and
// reviewed by diff when a reader changes. PIXTREL_UPDATE_GOLDEN=1 rewrites
// the files instead of comparing.
#pragma once

#include <functional>
#include <string>

#include "core/bitmap.h"

namespace pixtrel::test {

// The outcome of one read: "WxH<TAB>Nbit<TAB>palette<TAB>opaque|transparent C<TAB>crc"
// for a picture, "error <code>" (the exception's Code(), or its class when it
// has none) for a failure, "empty" for a read that gave no picture.
std::string GoldenOutcome(const std::function<void(Bitmap&)>& read);

// name + TAB + GoldenOutcome.
std::string GoldenLine(const std::string& name, const std::function<void(Bitmap&)>& read);

// Compares actual (lines ending in "\n") with the table at relativePath under
// the source folder, line by line, or rewrites the table when
// PIXTREL_UPDATE_GOLDEN is set.
void CheckGoldenTable(const std::string& relativePath, const std::string& actual);

}  // namespace pixtrel::test
