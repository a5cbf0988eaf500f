// The cipher primitives from Crypto++ (see cipher_engine.h).
#include <crypto++/blowfish.h>
#include <crypto++/ripemd.h>

#include "codecs/crypt/cipher_engine.h"

namespace pixtrel {

namespace {

class CryptoBlowfish final : public BlockCipher {
 public:
  explicit CryptoBlowfish(std::span<const std::uint8_t> key) {
    encryption_.SetKey(key.data(), key.size());
    decryption_.SetKey(key.data(), key.size());
  }
  void Encrypt(const std::uint8_t in[8], std::uint8_t out[8]) const override { encryption_.ProcessBlock(in, out); }
  void Decrypt(const std::uint8_t in[8], std::uint8_t out[8]) const override { decryption_.ProcessBlock(in, out); }

 private:
  CryptoPP::BlowfishEncryption encryption_;
  CryptoPP::BlowfishDecryption decryption_;
};

class CryptoLibrary final : public CipherEngine {
 public:
  std::unique_ptr<BlockCipher> Blowfish(std::span<const std::uint8_t> key) const override {
    return std::make_unique<CryptoBlowfish>(key);
  }
  std::array<std::uint8_t, 32> RipeMD256(std::span<const std::uint8_t> bytes) const override {
    CryptoPP::RIPEMD256 hash;
    std::array<std::uint8_t, 32> digest{};
    hash.CalculateDigest(digest.data(), bytes.data(), bytes.size());
    return digest;
  }
};

}  // namespace

const CipherEngine& CipherLibrary() {
  static const CryptoLibrary library;
  return library;
}

}  // namespace pixtrel
