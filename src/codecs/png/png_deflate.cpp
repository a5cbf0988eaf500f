#include "codecs/png/png_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "codecs/png/png_errors.h"
#include "core/cores.h"

namespace pixtrel {

namespace {

// The deflate window: what a piece may refer back to.
constexpr std::size_t kWindowSize = 32 * 1024;
constexpr int kWindowBits = 15;
constexpr int kMemLevel = 8;  // zlib's default

struct Piece {
  std::vector<std::uint8_t> bytes;
  uLong adler = 1;
  std::size_t length = 0;
  bool done = false;
  std::exception_ptr error;
};

class RawDeflater {
 public:
  explicit RawDeflater(int level) {
    // Negative window bits: no zlib header or trailer of the piece's own.
    const int result = deflateInit2(&z_, level, Z_DEFLATED, -kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY);
    if (result != Z_OK) throw EPNGZLIBError(result);
  }
  ~RawDeflater() { deflateEnd(&z_); }
  RawDeflater(const RawDeflater&) = delete;
  RawDeflater& operator=(const RawDeflater&) = delete;
  z_stream& Z() { return z_; }

 private:
  z_stream z_{};
};

std::size_t PieceCount(std::size_t size) { return size == 0 ? 1 : (size + kDeflatePieceSize - 1) / kDeflatePieceSize; }

Piece CompressPiece(std::size_t index, std::size_t size, const DeflateSource& source, int level) {
  const std::size_t begin = index * kDeflatePieceSize;
  const std::size_t end = std::min(size, begin + kDeflatePieceSize);
  const bool last = end == size;
  const std::size_t dictionaryBegin = begin >= kWindowSize ? begin - kWindowSize : 0;
  std::vector<std::uint8_t> input(end - dictionaryBegin);
  if (!input.empty()) source(dictionaryBegin, end, input.data());
  std::uint8_t* data = input.data() + (begin - dictionaryBegin);
  const std::size_t length = end - begin;

  RawDeflater deflater(level);
  z_stream& z = deflater.Z();
  if (begin > dictionaryBegin) {
    const int result = deflateSetDictionary(&z, input.data(), static_cast<uInt>(begin - dictionaryBegin));
    if (result != Z_OK) throw EPNGZLIBError(result);
  }
  Piece piece;
  piece.length = length;
  piece.adler = adler32(1, data, static_cast<uInt>(length));
  piece.bytes.resize(deflateBound(&z, length) + 16);
  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  z.next_in = data;
  z.avail_in = static_cast<uInt>(length);
  std::size_t used = 0;
  for (;;) {
    z.next_out = piece.bytes.data() + used;
    z.avail_out = static_cast<uInt>(piece.bytes.size() - used);
    const int result = deflate(&z, flush);
    if (result == Z_STREAM_ERROR) throw EPNGZLIBError(result);
    used = piece.bytes.size() - z.avail_out;
    // A sync flush is complete once zlib leaves room in the output.
    if (last ? result == Z_STREAM_END : z.avail_in == 0 && z.avail_out > 0) break;
    piece.bytes.resize(piece.bytes.size() * 2);
  }
  piece.bytes.resize(used);
  return piece;
}

// The two header bytes zlib writes for a stream of this level with the
// default window: the level class in FLEVEL, no dictionary, FCHECK.
std::array<std::uint8_t, 2> ZlibHeader(int level) {
  const int levelClass = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  const unsigned cmf = ((kWindowBits - 8) << 4) | Z_DEFLATED;
  unsigned flg = static_cast<unsigned>(levelClass) << 6;
  flg += 31 - (cmf * 256 + flg) % 31;
  return {static_cast<std::uint8_t>(cmf), static_cast<std::uint8_t>(flg)};
}

// Workers claim pieces in order, a bounded number ahead of the one being
// passed on, so that finished pieces waiting for their turn stay few. The
// calling thread passes them to the sink in order.
class PiecePool {
 public:
  PiecePool(std::size_t size, const DeflateSource& source, int level, int threads)
      : size_(size), source_(source), level_(level), pieces_(PieceCount(size)), window_(2 * threads) {
    const int count = std::min<int>(threads, static_cast<int>(pieces_.size()));
    try {
      for (int t = 0; t < count; ++t) workers_.emplace_back([this] { Work(); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  ~PiecePool() { Stop(); }
  PiecePool(const PiecePool&) = delete;
  PiecePool& operator=(const PiecePool&) = delete;

  // Waits for piece i (taken in order from 0) and hands it over.
  Piece Take(std::size_t i) {
    Piece piece;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return pieces_[i].done; });
      piece = std::move(pieces_[i]);
      taken_ = i + 1;
    }
    changed_.notify_all();
    if (piece.error) std::rethrow_exception(piece.error);
    return piece;
  }

  std::size_t Count() const { return pieces_.size(); }

 private:
  void Work() {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || next_ >= pieces_.size() || next_ < taken_ + window_; });
        if (stop_ || next_ >= pieces_.size()) return;
        i = next_++;
      }
      Piece piece;
      try {
        piece = CompressPiece(i, size_, source_, level_);
      } catch (...) {
        piece.error = std::current_exception();
      }
      piece.done = true;
      {
        std::lock_guard lock(mutex_);
        pieces_[i] = std::move(piece);
      }
      changed_.notify_all();
    }
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
      if (worker.joinable()) worker.join();
    workers_.clear();
  }

  const std::size_t size_;
  const DeflateSource& source_;
  const int level_;
  std::vector<Piece> pieces_;
  const std::size_t window_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  std::size_t taken_ = 0;
  bool stop_ = false;
};

}  // namespace

int DefaultDeflateThreads() { return UsableCores(); }

void DeflatePieces(std::size_t size, const DeflateSource& source, const DeflateSink& sink, int level, int threads) {
  if (threads <= 0) threads = DefaultDeflateThreads();
  const std::array<std::uint8_t, 2> header = ZlibHeader(level);
  sink(header);
  const std::size_t count = PieceCount(size);
  uLong adler = 1;
  auto add = [&](const Piece& piece) {
    sink(piece.bytes);
    adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(piece.length));
  };
  if (threads == 1 || count == 1) {
    for (std::size_t i = 0; i < count; ++i) add(CompressPiece(i, size, source, level));
  } else {
    PiecePool pool(size, source, level, threads);
    for (std::size_t i = 0; i < count; ++i) add(pool.Take(i));
  }
  const std::uint8_t trailer[4] = {static_cast<std::uint8_t>(adler >> 24), static_cast<std::uint8_t>(adler >> 16),
                                   static_cast<std::uint8_t>(adler >> 8), static_cast<std::uint8_t>(adler)};
  sink(trailer);
}

}  // namespace pixtrel
