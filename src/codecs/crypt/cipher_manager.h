// The container cipher: Blowfish keyed with the RIPEMD-256 digest of the
// password, run in the feedback mode cmCTS over whole streams.
//
// cmCTS, per stream: the feedback register F starts at the IV. A full block
// P enciphers to C = E(P ^ F) and then F = C ^ F; deciphering gives
// P = D(C) ^ F with the same update of F from the ciphertext. A tail of 1 to
// 7 bytes at the end is XORed with T = E(F) in both directions, then
// F = T ^ F. At the end of the stream F returns to the IV, so every stream
// of one key codes the same way and nothing is random.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pixtrel {

class BlockCipher;
class Stream;

enum TCipherMode { cmCTS };

class CipherManager {
 public:
  using Block = std::array<std::uint8_t, 8>;
  // Streams are processed in pieces of this size; F carries across them.
  static constexpr std::size_t kChunkSize = 4096;

  CipherManager();
  ~CipherManager();
  CipherManager(const CipherManager&) = delete;
  CipherManager& operator=(const CipherManager&) = delete;

  // Keys the cipher with the password's bytes as they stand (case and
  // blanks count; no terminating zero) and derives the IV.
  void InitKey(const std::string& password);
  bool Keyed() const { return keyed_; }
  const Block& IV() const { return iv_; }

  // Read count bytes from the source's position and write as many coded
  // bytes at the destination's position.
  void EncipherStream(Stream& source, Stream& destination, std::int64_t count);
  void DecipherStream(Stream& source, Stream& destination, std::int64_t count);

  // The same over a whole stream held in memory, in place.
  void Encipher(std::span<std::uint8_t> bytes);
  void Decipher(std::span<std::uint8_t> bytes);

  // The bare block cipher, big-endian halves as in the published vectors.
  void EncryptBlock(const std::uint8_t in[8], std::uint8_t out[8]) const;
  void DecryptBlock(const std::uint8_t in[8], std::uint8_t out[8]) const;

 private:
  void CodeChunk(std::uint8_t* data, std::size_t n, bool encipher, bool last);
  void Process(Stream& source, Stream& destination, std::int64_t count, bool encipher);
  void Require() const;

  std::unique_ptr<BlockCipher> cipher_;
  Block iv_{};
  Block feedback_{};
  bool keyed_ = false;
};

// The RIPEMD-256 digest of bytes, in the standard output order.
std::array<std::uint8_t, 32> RipeMD256(std::span<const std::uint8_t> bytes);

}  // namespace pixtrel
