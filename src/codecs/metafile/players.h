// The record players of the two metafile kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/metafile/playback.h"

namespace pixtrel::metafile {

// Plays the 16-bit records that begin at start (after the headers) up to the
// end-of-file record. A record that runs past the end of the file or whose
// parameters do not fit in it throws EInvalidMetafile; when tolerant (while
// drawing a file that was checked on loading) such a record is skipped.
void PlayWmf(std::span<const std::uint8_t> file, std::size_t start, std::size_t objectCount, Playback& playback,
             bool tolerant);

// Plays the enhanced records from the header on, with the same rules.
void PlayEmf(std::span<const std::uint8_t> file, Playback& playback, bool tolerant);

}  // namespace pixtrel::metafile
