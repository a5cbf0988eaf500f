#include "gif/gif_lzw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "gif/gif_error.h"

namespace pixtrel::gif {

namespace {

constexpr int kMaxCodes = 4096;

// Codes packed least significant bit first, cut into sub-blocks of 255
// bytes as they fill.
class CodeWriter {
 public:
  explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Put(unsigned code, int size) {
    bits_ |= static_cast<std::uint64_t>(code) << count_;
    count_ += size;
    while (count_ >= 8) {
      block_[++used_] = static_cast<std::uint8_t>(bits_);
      bits_ >>= 8;
      count_ -= 8;
      if (used_ == 255) EmitBlock();
    }
  }
  void Finish() {
    if (count_ > 0) {
      block_[++used_] = static_cast<std::uint8_t>(bits_);
      if (used_ == 255) EmitBlock();
    }
    if (used_ > 0) EmitBlock();
    out_.push_back(0);
  }

 private:
  void EmitBlock() {
    block_[0] = static_cast<std::uint8_t>(used_);
    out_.insert(out_.end(), block_.begin(), block_.begin() + used_ + 1);
    used_ = 0;
  }
  std::vector<std::uint8_t>& out_;
  std::array<std::uint8_t, 256> block_{};
  int used_ = 0;
  std::uint64_t bits_ = 0;
  int count_ = 0;
};

// Open addressing over prefix * 256 + pixel. A slot holds the generation it
// was filled in, the key and the code, so emptying the table is a new
// generation rather than a pass over the slots.
class StringTable {
 public:
  StringTable() { slots_.fill(0); }
  void Clear() {
    if (++generation_ == 0) {
      slots_.fill(0);
      generation_ = 1;
    }
  }
  static std::size_t Hash(std::uint32_t key) { return (key * 2654435761u) >> (32 - kBits); }
  // The code of key, or -1 with slot set to where it would go.
  int Find(std::uint32_t key, std::size_t& slot) const {
    const std::uint64_t tag = (static_cast<std::uint64_t>(generation_) << 32) | (static_cast<std::uint64_t>(key) << 12);
    for (std::size_t i = Hash(key);; i = (i + 1) & kMask) {
      const std::uint64_t s = slots_[i];
      if ((s >> 32) != generation_) {
        slot = i;
        return -1;
      }
      if ((s & ~std::uint64_t{0xFFF}) == tag) return static_cast<int>(s & 0xFFF);
    }
  }
  void Insert(std::size_t slot, std::uint32_t key, int code) {
    slots_[slot] = (static_cast<std::uint64_t>(generation_) << 32) | (static_cast<std::uint64_t>(key) << 12) |
                   static_cast<std::uint64_t>(code);
  }

 private:
  static constexpr int kBits = 13;
  static constexpr std::size_t kMask = (std::size_t{1} << kBits) - 1;
  std::array<std::uint64_t, std::size_t{1} << kBits> slots_;
  std::uint32_t generation_ = 1;
};

}  // namespace

void EncodeLzw(std::span<const std::uint8_t> pixels, int minCodeSize, std::vector<std::uint8_t>& out) {
  const int b = minCodeSize;
  out.push_back(static_cast<std::uint8_t>(b));
  const int clear = 1 << b;
  const int end = clear + 1;
  int freeCode = clear + 2;
  int size = b + 1;
  int limit = (1 << size) - 1;

  CodeWriter writer(out);
  auto emit = [&](int code) {
    writer.Put(static_cast<unsigned>(code), size);
    if (code == clear) {
      size = b + 1;
      limit = (1 << size) - 1;
    } else if (freeCode > limit && size < 12) {
      ++size;
      limit = (1 << size) - 1;
    }
  };

  auto table = std::make_unique<StringTable>();
  emit(clear);
  if (!pixels.empty()) {
    int prefix = pixels[0];
    const std::uint8_t* p = pixels.data() + 1;
    const std::uint8_t* const last = pixels.data() + pixels.size();
    for (; p < last; ++p) {
      const int k = *p;
      const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | static_cast<std::uint32_t>(k);
      std::size_t slot;
      const int code = table->Find(key, slot);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      emit(prefix);
      if (freeCode > 4094) {
        emit(clear);
        table->Clear();
        freeCode = clear + 2;
      } else {
        table->Insert(slot, key, freeCode++);
      }
      prefix = k;
    }
    emit(prefix);
  }
  emit(end);
  writer.Finish();
}

LzwResult DecodeLzw(std::span<const std::uint8_t> data, int minCodeSize, std::span<std::uint8_t> out) {
  if (minCodeSize > 11) throw GIFException(GifError::InvalidData);
  const int s = minCodeSize;
  const int clear = 1 << s;
  const int end = clear + 1;

  // prefix and suffix of each code, the first byte of its string and its length
  std::array<std::uint16_t, kMaxCodes> prefix{};
  std::array<std::uint8_t, kMaxCodes> suffix{};
  std::array<std::uint8_t, kMaxCodes> first{};
  std::array<std::uint16_t, kMaxCodes> length{};
  for (int i = 0; i < clear; ++i) {
    suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    first[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    length[static_cast<std::size_t>(i)] = 1;
  }

  std::size_t byte = 0;
  std::uint64_t bits = 0;
  int bitCount = 0;
  auto readCode = [&](int size, int& code) {
    while (bitCount < size) {
      if (byte >= data.size()) return false;
      bits |= static_cast<std::uint64_t>(data[byte++]) << bitCount;
      bitCount += 8;
    }
    code = static_cast<int>(bits & ((1u << size) - 1));
    bits >>= size;
    bitCount -= size;
    return true;
  };

  LzwResult result;
  const std::size_t total = out.size();
  std::size_t pos = 0;
  int size = s + 1;
  int freeCode = clear + 2;
  int oldCode = -1;

  // Writes the string of a code at pos, cut at the end of out.
  auto put = [&](int code) {
    const std::size_t n = length[static_cast<std::size_t>(code)];
    std::size_t at = pos + n;
    int steps = 0;
    while (code >= clear) {
      --at;
      if (at < total) out[at] = suffix[static_cast<std::size_t>(code)];
      const int next = prefix[static_cast<std::size_t>(code)];
      if (next == code || ++steps > kMaxCodes) throw GIFException(GifError::CircularTable);
      code = next;
    }
    --at;
    if (at < total) out[at] = static_cast<std::uint8_t>(code);
    pos = std::min(pos + n, total);
  };

  while (pos < total) {
    int code;
    if (!readCode(size, code)) {
      result.end = LzwEnd::OutOfCodes;
      result.pixels = pos;
      return result;
    }
    if (code == clear) {
      size = s + 1;
      freeCode = clear + 2;
      oldCode = -1;
      continue;
    }
    if (code == end) {
      result.pixels = pos;
      return result;
    }
    if (oldCode < 0) {
      // The first code after a clear (or at the start) must be a literal.
      if (code >= clear) {
        result.end = LzwEnd::BadCode;
        result.pixels = pos;
        return result;
      }
      put(code);
      oldCode = code;
      continue;
    }
    // A code not yet in the table stands for the previous string plus its
    // own first byte: the entry about to be made.
    int emitCode = code;
    std::uint8_t head;
    if (code < freeCode) {
      head = first[static_cast<std::size_t>(code)];
    } else {
      head = first[static_cast<std::size_t>(oldCode)];
      emitCode = -1;
    }
    if (freeCode < kMaxCodes) {
      const auto f = static_cast<std::size_t>(freeCode);
      prefix[f] = static_cast<std::uint16_t>(oldCode);
      suffix[f] = head;
      first[f] = first[static_cast<std::size_t>(oldCode)];
      length[f] = static_cast<std::uint16_t>(length[static_cast<std::size_t>(oldCode)] + 1);
      if (emitCode < 0) emitCode = freeCode;
      ++freeCode;
      if (freeCode == (1 << size) && size < 12) ++size;
    }
    if (emitCode < 0) {
      result.end = LzwEnd::BadCode;
      result.pixels = pos;
      return result;
    }
    put(emitCode);
    oldCode = emitCode;
  }
  result.pixels = pos;
  int code;
  if (!readCode(size, code)) result.extraCodeMissing = true;
  return result;
}

}  // namespace pixtrel::gif
