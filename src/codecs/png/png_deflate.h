// One zlib stream made of independently deflated pieces, so that several
// cores can compress one image while the bytes stay those of one core.
//
// The data is cut into pieces of kDeflatePieceSize bytes. Each piece is
// deflated on its own (raw deflate, the given level, default window and
// memory) with the 32 KiB before it as a preset dictionary, and ends on a
// byte boundary with a sync flush; the last one ends the stream. The pieces
// follow one zlib header and precede the Adler-32 of the whole data, combined
// from the pieces' own. The cut depends on nothing but the data's length, so
// the bytes are the same for any number of threads. Data of one piece is one
// plain zlib stream, byte for byte what a single deflate call makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace pixtrel {

inline constexpr std::size_t kDeflatePieceSize = 128 * 1024;

// Produces the bytes [begin, end) of the data to compress into out (which
// holds end - begin bytes). Called from several threads at once, for ranges
// that may overlap.
using DeflateSource = std::function<void(std::size_t begin, std::size_t end, std::uint8_t* out)>;

// Receives the stream's bytes in order, on the calling thread.
using DeflateSink = std::function<void(std::span<const std::uint8_t> bytes)>;

// Deflates size bytes of source into one zlib stream passed to sink, on
// threads threads (0: one per usable core). Throws EPNGZLIBError when zlib fails,
// and passes on what source or sink throws; no thread outlives the call.
void DeflatePieces(std::size_t size, const DeflateSource& source, const DeflateSink& sink, int level, int threads);

// The thread count DeflatePieces uses for threads = 0.
int DefaultDeflateThreads();

}  // namespace pixtrel
