// The primitives of the container cipher, Blowfish and RIPEMD-256, from the
// Crypto++ library. CipherLibrary() is defined once per program, as
// CanvasDrawing() is (see core/canvas_engine.h): linked in, or loaded by
// pixtrel-cli on the first encrypted file, so that other commands do not
// load the library.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace pixtrel {

// One key's block cipher, 8-byte blocks.
class BlockCipher {
 public:
  virtual ~BlockCipher() = default;
  virtual void Encrypt(const std::uint8_t in[8], std::uint8_t out[8]) const = 0;
  virtual void Decrypt(const std::uint8_t in[8], std::uint8_t out[8]) const = 0;
};

class CipherEngine {
 public:
  virtual ~CipherEngine() = default;
  virtual std::unique_ptr<BlockCipher> Blowfish(std::span<const std::uint8_t> key) const = 0;
  virtual std::array<std::uint8_t, 32> RipeMD256(std::span<const std::uint8_t> bytes) const = 0;
};

const CipherEngine& CipherLibrary();

}  // namespace pixtrel
