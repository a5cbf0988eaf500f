#include <gtest/gtest.h>

#include <zlib.h>

#include <vector>

#include "codecs/legacy/decoders.h"
#include "codecs/legacy/inflate.h"

namespace pixtrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Unpacks into a buffer with a guard byte after the unpacked count, and
// checks that no run wrote into it.
Bytes Unpacked(Decoder& decoder, const Bytes& packed, std::size_t unpacked, UnpackResult* result = nullptr) {
  Bytes out(unpacked + 1, 0xEE);
  const UnpackResult r = decoder.Unpack(packed.data(), out.data(), packed.size(), unpacked);
  EXPECT_EQ(out.back(), 0xEE) << "wrote past the unpacked count";
  EXPECT_LE(r.consumed, packed.size());
  EXPECT_LE(r.produced, unpacked);
  out.pop_back();
  if (result) *result = r;
  return out;
}

TEST(PackbitsRLEDecoder, LiteralsRunsAndTheSkippedCount) {
  PackbitsRLEDecoder d;
  // 2 literals, 0x80 skipped, a run of 3, then a literal cut short by the
  // unpacked count.
  EXPECT_EQ(Unpacked(d, {0x01, 'a', 'b', 0x80, 0xFE, 'c', 0x02, 'x', 'y', 'z'}, 7),
            (Bytes{'a', 'b', 'c', 'c', 'c', 'x', 'y'}));
  // A run longer than the room left stops at the count.
  EXPECT_EQ(Unpacked(d, {0x81, 'q'}, 5), (Bytes(5, 'q')));
  // Packed bytes that run out leave the rest untouched.
  UnpackResult r;
  EXPECT_EQ(Unpacked(d, {0x05, 'a', 'b'}, 4, &r), (Bytes{'a', 'b', 0xEE, 0xEE}));
  EXPECT_EQ(r.produced, 2u);
}

TEST(PCXRLEDecoder, RunsCrossTheRequestedCountOnlyUpToIt) {
  PCXRLEDecoder d;
  EXPECT_EQ(Unpacked(d, {0xC3, 7, 5, 0xC2, 9}, 6), (Bytes{7, 7, 7, 5, 9, 9}));
  EXPECT_EQ(Unpacked(d, {0xFF, 1}, 10), Bytes(10, 1));  // 63 asked, 10 room
  // A run byte with nothing after it is the end.
  UnpackResult r;
  Unpacked(d, {4, 0xC5}, 6, &r);
  EXPECT_EQ(r.produced, 1u);
}

TEST(SGIRLEDecoder, EightAndSixteenBitRows) {
  SGIRLEDecoder bytes(1);
  EXPECT_EQ(Unpacked(bytes, {0x83, 1, 2, 3, 0x02, 9, 0x00, 0x7F}, 6), (Bytes{1, 2, 3, 9, 9, 0xEE}));
  SGIRLEDecoder words(2);
  // Literal of 2 words, then a run of 2 of 0xABCD; output stays big-endian.
  EXPECT_EQ(Unpacked(words, {0x00, 0x82, 0x12, 0x34, 0x56, 0x78, 0x00, 0x02, 0xAB, 0xCD, 0x00, 0x00}, 8),
            (Bytes{0x12, 0x34, 0x56, 0x78, 0xAB, 0xCD, 0xAB, 0xCD}));
  // A literal count past the packed data copies what is there.
  EXPECT_EQ(Unpacked(bytes, {0x85, 1, 2}, 4), (Bytes{1, 2, 0xEE, 0xEE}));
}

TEST(CUTRLEDecoder, RowsWithAndWithoutTerminator) {
  CUTRLEDecoder d;
  UnpackResult r;
  // Count word, a run of 3, two literals, the terminator, then the next row.
  EXPECT_EQ(Unpacked(d, {0x07, 0x00, 0x83, 5, 0x02, 6, 7, 0x00, 0xAA}, 5, &r), (Bytes{5, 5, 5, 6, 7}));
  EXPECT_EQ(r.consumed, 8u);
  // Without the terminator the row ends at its width and the next count
  // follows directly.
  EXPECT_EQ(Unpacked(d, {0x04, 0x00, 0x82, 1, 0x05, 0x00}, 2, &r), (Bytes{1, 1}));
  EXPECT_EQ(r.consumed, 4u);
  // A terminator before the width leaves the rest.
  EXPECT_EQ(Unpacked(d, {0, 0, 0x81, 3, 0x00}, 3), (Bytes{3, 0xEE, 0xEE}));
}

TEST(PSPRLEDecoder, RunsAboveOneTwentyEight) {
  PSPRLEDecoder d;
  EXPECT_EQ(Unpacked(d, {0x83, 4, 0x02, 8, 9, 0x80}, 5), (Bytes{4, 4, 4, 8, 9}));
  EXPECT_EQ(Unpacked(d, {0xFF, 1}, 3), (Bytes{1, 1, 1}));
}

TEST(LZ77Decoder, InflatesAndStopsAtDamage) {
  Bytes plain(5000);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 7 / 13);
  uLongf size = compressBound(plain.size());
  Bytes packed(size);
  ASSERT_EQ(compress(packed.data(), &size, plain.data(), plain.size()), Z_OK);
  packed.resize(size);
  LZ77Decoder d;
  EXPECT_EQ(Unpacked(d, packed, plain.size()), plain);
  // Fewer bytes wanted than the stream holds.
  EXPECT_EQ(Unpacked(d, packed, 100), Bytes(plain.begin(), plain.begin() + 100));
  // Cut in half: the first part survives, nothing is reported.
  UnpackResult r;
  Bytes half(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
  Unpacked(d, half, plain.size(), &r);
  EXPECT_GT(r.produced, 0u);
  EXPECT_LT(r.produced, plain.size());
  // Garbage is not a zlib stream: no output, no error.
  Unpacked(d, {1, 2, 3, 4}, 10, &r);
  EXPECT_EQ(r.produced, 0u);
}

// The shared helper tells its callers apart only by damaged: a stream that
// ends short of the output is whole, one cut off or garbled is not.
TEST(Inflate, ReportsDamageButNotAShortStream) {
  Bytes plain(3000);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i % 251);
  uLongf size = compressBound(plain.size());
  Bytes packed(size);
  ASSERT_EQ(compress(packed.data(), &size, plain.data(), plain.size()), Z_OK);
  packed.resize(size);

  Bytes out(plain.size() + 100, 0xEE);
  InflateResult r = Inflate(packed.data(), packed.size(), out.data(), out.size());
  EXPECT_FALSE(r.damaged);
  EXPECT_EQ(r.consumed, packed.size());
  EXPECT_EQ(r.produced, plain.size());
  EXPECT_EQ(out[plain.size()], 0xEE);

  r = Inflate(packed.data(), packed.size() / 2, out.data(), out.size());
  EXPECT_TRUE(r.damaged);
  EXPECT_GT(r.produced, 0u);
  const Bytes garbage = {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_TRUE(Inflate(garbage.data(), garbage.size(), out.data(), out.size()).damaged);
  // Nothing wanted: nothing read, nothing wrong.
  r = Inflate(packed.data(), packed.size(), out.data(), 0);
  EXPECT_FALSE(r.damaged);
  EXPECT_EQ(r.consumed, 0u);
}

}  // namespace
}  // namespace pixtrel
