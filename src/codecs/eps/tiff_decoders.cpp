#include "codecs/eps/tiff_decoders.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "codecs/legacy/inflate.h"

namespace pixtrel {

namespace {

// One-dimensional run-length codes of ITU-T T.4: the bits of each code, most
// significant first, and the run it stands for. Runs below 64 are
// terminating codes; the others are make-up codes, which a terminating code
// of the same colour always follows.
struct RunCode {
  const char* bits;
  int run;
};

constexpr RunCode kWhiteCodes[] = {
    {"00110101", 0},     {"000111", 1},       {"0111", 2},         {"1000", 3},         {"1011", 4},
    {"1100", 5},         {"1110", 6},         {"1111", 7},         {"10011", 8},        {"10100", 9},
    {"00111", 10},       {"01000", 11},       {"001000", 12},      {"000011", 13},      {"110100", 14},
    {"110101", 15},      {"101010", 16},      {"101011", 17},      {"0100111", 18},     {"0001100", 19},
    {"0001000", 20},     {"0010111", 21},     {"0000011", 22},     {"0000100", 23},     {"0101000", 24},
    {"0101011", 25},     {"0010011", 26},     {"0100100", 27},     {"0011000", 28},     {"00000010", 29},
    {"00000011", 30},    {"00011010", 31},    {"00011011", 32},    {"00010010", 33},    {"00010011", 34},
    {"00010100", 35},    {"00010101", 36},    {"00010110", 37},    {"00010111", 38},    {"00101000", 39},
    {"00101001", 40},    {"00101010", 41},    {"00101011", 42},    {"00101100", 43},    {"00101101", 44},
    {"00000100", 45},    {"00000101", 46},    {"00001010", 47},    {"00001011", 48},    {"01010010", 49},
    {"01010011", 50},    {"01010100", 51},    {"01010101", 52},    {"00100100", 53},    {"00100101", 54},
    {"01011000", 55},    {"01011001", 56},    {"01011010", 57},    {"01011011", 58},    {"01001010", 59},
    {"01001011", 60},    {"00110010", 61},    {"00110011", 62},    {"00110100", 63},    {"11011", 64},
    {"10010", 128},      {"010111", 192},     {"0110111", 256},    {"00110110", 320},   {"00110111", 384},
    {"01100100", 448},   {"01100101", 512},   {"01101000", 576},   {"01100111", 640},   {"011001100", 704},
    {"011001101", 768},  {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280}, {"011011010", 1344},
    {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536}, {"010011010", 1600}, {"011000", 1664},
    {"010011011", 1728},
};

constexpr RunCode kBlackCodes[] = {
    {"0000110111", 0},
    {"010", 1},
    {"11", 2},
    {"10", 3},
    {"011", 4},
    {"0011", 5},
    {"0010", 6},
    {"00011", 7},
    {"000101", 8},
    {"000100", 9},
    {"0000100", 10},
    {"0000101", 11},
    {"0000111", 12},
    {"00000100", 13},
    {"00000111", 14},
    {"000011000", 15},
    {"0000010111", 16},
    {"0000011000", 17},
    {"0000001000", 18},
    {"00001100111", 19},
    {"00001101000", 20},
    {"00001101100", 21},
    {"00000110111", 22},
    {"00000101000", 23},
    {"00000010111", 24},
    {"00000011000", 25},
    {"000011001010", 26},
    {"000011001011", 27},
    {"000011001100", 28},
    {"000011001101", 29},
    {"000001101000", 30},
    {"000001101001", 31},
    {"000001101010", 32},
    {"000001101011", 33},
    {"000011010010", 34},
    {"000011010011", 35},
    {"000011010100", 36},
    {"000011010101", 37},
    {"000011010110", 38},
    {"000011010111", 39},
    {"000001101100", 40},
    {"000001101101", 41},
    {"000011011010", 42},
    {"000011011011", 43},
    {"000001010100", 44},
    {"000001010101", 45},
    {"000001010110", 46},
    {"000001010111", 47},
    {"000001100100", 48},
    {"000001100101", 49},
    {"000001010010", 50},
    {"000001010011", 51},
    {"000000100100", 52},
    {"000000110111", 53},
    {"000000111000", 54},
    {"000000100111", 55},
    {"000000101000", 56},
    {"000001011000", 57},
    {"000001011001", 58},
    {"000000101011", 59},
    {"000000101100", 60},
    {"000001011010", 61},
    {"000001100110", 62},
    {"000001100111", 63},
    {"0000001111", 64},
    {"000011001000", 128},
    {"000011001001", 192},
    {"000001011011", 256},
    {"000000110011", 320},
    {"000000110100", 384},
    {"000000110101", 448},
    {"0000001101100", 512},
    {"0000001101101", 576},
    {"0000001001010", 640},
    {"0000001001011", 704},
    {"0000001001100", 768},
    {"0000001001101", 832},
    {"0000001110010", 896},
    {"0000001110011", 960},
    {"0000001110100", 1024},
    {"0000001110101", 1088},
    {"0000001110110", 1152},
    {"0000001110111", 1216},
    {"0000001010010", 1280},
    {"0000001010011", 1344},
    {"0000001010100", 1408},
    {"0000001010101", 1472},
    {"0000001011010", 1536},
    {"0000001011011", 1600},
    {"0000001100100", 1664},
    {"0000001100101", 1728},
};

// Make-up codes for long runs, the same for both colours.
constexpr RunCode kExtendedCodes[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},  {"000000010010", 1984},
    {"000000010011", 2048}, {"000000010100", 2112}, {"000000010101", 2176}, {"000000010110", 2240},
    {"000000010111", 2304}, {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

// A binary code tree: node 0 is the root; a leaf holds its run.
class CodeTree {
 public:
  template <std::size_t N, std::size_t M>
  CodeTree(const RunCode (&codes)[N], const RunCode (&extended)[M]) {
    nodes_.push_back(Node{});
    for (const RunCode& c : codes) Insert(c);
    for (const RunCode& c : extended) Insert(c);
  }

  struct Node {
    std::array<int, 2> child{-1, -1};
    int run = -1;
  };
  const Node& At(int index) const { return nodes_[static_cast<std::size_t>(index)]; }

 private:
  void Insert(const RunCode& code) {
    int node = 0;
    for (const char* p = code.bits; *p; ++p) {
      // A code that runs through a leaf or ends on an inner node would make
      // the table ambiguous: a mistyped table must not build.
      if (nodes_[static_cast<std::size_t>(node)].run >= 0) throw std::logic_error("CCITT code table not prefix-free");
      const int bit = *p == '1';
      int next = nodes_[static_cast<std::size_t>(node)].child[bit];
      if (next < 0) {
        next = static_cast<int>(nodes_.size());
        nodes_.push_back(Node{});
        nodes_[static_cast<std::size_t>(node)].child[bit] = next;
      }
      node = next;
    }
    Node& leaf = nodes_[static_cast<std::size_t>(node)];
    if (leaf.run >= 0 || leaf.child[0] >= 0 || leaf.child[1] >= 0) {
      throw std::logic_error("CCITT code table not prefix-free");
    }
    leaf.run = code.run;
  }

  std::vector<Node> nodes_;
};

const CodeTree& WhiteTree() {
  static const CodeTree tree(kWhiteCodes, kExtendedCodes);
  return tree;
}
const CodeTree& BlackTree() {
  static const CodeTree tree(kBlackCodes, kExtendedCodes);
  return tree;
}

// Most-significant-bit-first reading over the packed bytes.
class BitReader {
 public:
  BitReader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), bits_(size * 8) {}

  bool AtEnd() const { return position_ >= bits_; }
  std::size_t Position() const { return position_; }
  void SetPosition(std::size_t position) { position_ = std::min(position, bits_); }
  // The next bit, or -1 at the end.
  int Bit() {
    if (position_ >= bits_) return -1;
    const int bit = (bytes_[position_ >> 3] >> (7 - (position_ & 7))) & 1;
    ++position_;
    return bit;
  }
  void AlignTo(std::size_t bits) { SetPosition((position_ + bits - 1) / bits * bits); }
  std::size_t BytesUsed() const { return (position_ + 7) / 8; }

 private:
  const std::uint8_t* bytes_;
  std::size_t bits_;
  std::size_t position_ = 0;
};

// One code of a tree; -1 when the bits fit no code or run out.
int DecodeCode(BitReader& bits, const CodeTree& tree) {
  int node = 0;
  for (;;) {
    const CodeTree::Node& n = tree.At(node);
    if (n.run >= 0) return n.run;
    const int bit = bits.Bit();
    if (bit < 0) return -1;
    node = n.child[bit];
    if (node < 0) return -1;
  }
}

// Make-up codes and the terminating code that ends them.
int DecodeRun(BitReader& bits, const CodeTree& tree) {
  int total = 0;
  for (;;) {
    const int run = DecodeCode(bits, tree);
    if (run < 0) return -1;
    total += run;
    if (run < 64) return total;
    if (total > (1 << 24)) return -1;  // no row is that wide
  }
}

// Sets count bits from bit start on (most significant bit first).
void SetBits(std::uint8_t* row, std::size_t start, std::size_t count) {
  std::size_t end = start + count;
  while (start < end && (start & 7)) {
    row[start >> 3] |= static_cast<std::uint8_t>(0x80 >> (start & 7));
    ++start;
  }
  const std::size_t fullBytes = (end - start) / 8;
  std::memset(row + (start >> 3), 0xFF, fullBytes);
  start += fullBytes * 8;
  while (start < end) {
    row[start >> 3] |= static_cast<std::uint8_t>(0x80 >> (start & 7));
    ++start;
  }
}

// Decodes one row of alternating runs into row (already cleared); false when a
// code fits no table or the data ends before the row is full.
bool DecodeRow(BitReader& bits, int width, std::uint8_t* row) {
  const std::size_t w = static_cast<std::size_t>(width);
  std::size_t x = 0;
  bool black = false;
  while (x < w) {
    const int run = DecodeRun(bits, black ? BlackTree() : WhiteTree());
    if (run < 0) return false;
    const std::size_t n = std::min(static_cast<std::size_t>(run), w - x);
    if (black) SetBits(row, x, n);
    x += n;
    black = !black;
  }
  return true;
}

// At the reader's position: an end-of-line code (11 or more zero bits, then
// a 1) is consumed and true returned; anything else leaves the position.
bool TakeEndOfLine(BitReader& bits) {
  const std::size_t start = bits.Position();
  int zeros = 0;
  int bit;
  while ((bit = bits.Bit()) == 0) ++zeros;
  if (bit == 1 && zeros >= 11) return true;
  bits.SetPosition(start);
  return false;
}

// Moves past the next end-of-line code; false when there is none.
bool SkipToEndOfLine(BitReader& bits) {
  int zeros = 0;
  for (;;) {
    const int bit = bits.Bit();
    if (bit < 0) return false;
    if (bit == 0) {
      ++zeros;
    } else {
      if (zeros >= 11) return true;
      zeros = 0;
    }
  }
}

std::uint8_t ReverseBits(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  b = static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
  return b;
}

}  // namespace

const std::uint8_t* CCITTDecoder::Prepare(const std::uint8_t* packed, std::size_t packedSize) {
  if (!reversed_) return packed;
  static const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = ReverseBits(static_cast<std::uint8_t>(i));
    return t;
  }();
  reversedBytes_.resize(packedSize);
  for (std::size_t i = 0; i < packedSize; ++i) reversedBytes_[i] = table[packed[i]];
  return reversedBytes_.data();
}

UnpackResult CCITTMHDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                    std::size_t unpackedSize) {
  std::memset(unpacked, 0, unpackedSize);
  const std::size_t rowBytes = RowBytes();
  if (width_ <= 0 || rowBytes == 0) return {0, 0};
  BitReader bits(Prepare(packed, packedSize), packedSize);
  const std::size_t rows = unpackedSize / rowBytes;
  std::size_t row = 0;
  for (; row < rows && !bits.AtEnd(); ++row) {
    if (!DecodeRow(bits, width_, unpacked + row * rowBytes)) {
      ++row;
      break;
    }
    bits.AlignTo(wordAligned_ ? 16 : 8);
  }
  return {std::min(bits.BytesUsed(), packedSize), std::min(row * rowBytes, unpackedSize)};
}

UnpackResult CCITTFax3Decoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                      std::size_t unpackedSize) {
  std::memset(unpacked, 0, unpackedSize);
  const std::size_t rowBytes = RowBytes();
  if (width_ <= 0 || rowBytes == 0) return {0, 0};
  BitReader bits(Prepare(packed, packedSize), packedSize);
  const std::size_t rows = unpackedSize / rowBytes;
  bool resync = false;
  std::size_t row = 0;
  for (; row < rows; ++row) {
    if (resync) {
      if (!SkipToEndOfLine(bits)) break;
      resync = false;
    } else {
      TakeEndOfLine(bits);
    }
    if (bits.AtEnd()) break;
    if (!DecodeRow(bits, width_, unpacked + row * rowBytes)) resync = true;
  }
  return {std::min(bits.BytesUsed(), packedSize), std::min(row * rowBytes, unpackedSize)};
}

UnpackResult ThunderDecoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                    std::size_t unpackedSize) {
  static constexpr int kSkip = 100;
  static constexpr int kTwoBitDeltas[4] = {0, 1, kSkip, -1};
  static constexpr int kThreeBitDeltas[8] = {0, 1, 2, 3, kSkip, -3, -2, -1};
  std::memset(unpacked, 0, unpackedSize);
  if (width_ <= 0) return {0, 0};
  const std::size_t width = static_cast<std::size_t>(width_);
  const std::size_t rowBytes = (width + 1) / 2;
  const std::size_t rows = unpackedSize / rowBytes;
  std::size_t in = 0;
  std::size_t row = 0;
  for (; row < rows && in < packedSize; ++row) {
    std::uint8_t* out = unpacked + row * rowBytes;
    std::size_t x = 0;
    int last = 0;
    auto put = [&](int value) {
      if (x >= width) return;
      last = value & 0x0F;
      out[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? last : last << 4);
      ++x;
    };
    while (x < width && in < packedSize) {
      const std::uint8_t c = packed[in++];
      switch (c >> 6) {
        case 0: {  // repeat the last pixel
          const int count = c & 0x3F;
          const int value = last;
          for (int i = 0; i < count && x < width; ++i) put(value);
          break;
        }
        case 1:  // three 2-bit deltas
          for (int shift = 4; shift >= 0; shift -= 2) {
            const int d = kTwoBitDeltas[(c >> shift) & 3];
            if (d != kSkip) put(last + d);
          }
          break;
        case 2:  // two 3-bit deltas
          for (int shift = 3; shift >= 0; shift -= 3) {
            const int d = kThreeBitDeltas[(c >> shift) & 7];
            if (d != kSkip) put(last + d);
          }
          break;
        default:  // a raw pixel
          put(c & 0x0F);
          break;
      }
    }
  }
  return {in, std::min(row * rowBytes, unpackedSize)};
}

UnpackResult TIFFLZ77Decoder::Unpack(const std::uint8_t* packed, std::uint8_t* unpacked, std::size_t packedSize,
                                     std::size_t unpackedSize) {
  const InflateResult result = Inflate(packed, packedSize, unpacked, unpackedSize);
  if (result.damaged) throw ELZ77Error();
  return {result.consumed, result.produced};
}

}  // namespace pixtrel
