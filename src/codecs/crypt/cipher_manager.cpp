#include "codecs/crypt/cipher_manager.h"

#include <algorithm>
#include <vector>

#include "codecs/crypt/cipher_engine.h"
#include "codecs/crypt/crypt_errors.h"
#include "core/errors.h"
#include "core/stream.h"

namespace pixtrel {

std::array<std::uint8_t, 32> RipeMD256(std::span<const std::uint8_t> bytes) {
  return CipherLibrary().RipeMD256(bytes);
}

CipherManager::CipherManager() = default;
CipherManager::~CipherManager() = default;

void CipherManager::InitKey(const std::string& password) {
  std::array<std::uint8_t, 32> digest =
      RipeMD256({reinterpret_cast<const std::uint8_t*>(password.data()), password.size()});
  cipher_ = CipherLibrary().Blowfish(digest);
  keyed_ = true;
  Block ones;
  ones.fill(0xFF);
  EncryptBlock(ones.data(), iv_.data());
  feedback_ = iv_;
  // The key material leaves no copy behind.
  std::fill(digest.begin(), digest.end(), 0);
}

void CipherManager::Require() const {
  if (!keyed_) throw ECryptError(CryptError::NoKey);
}

void CipherManager::EncryptBlock(const std::uint8_t in[8], std::uint8_t out[8]) const {
  Require();
  cipher_->Encrypt(in, out);
}

void CipherManager::DecryptBlock(const std::uint8_t in[8], std::uint8_t out[8]) const {
  Require();
  cipher_->Decrypt(in, out);
}

void CipherManager::CodeChunk(std::uint8_t* data, std::size_t n, bool encipher, bool last) {
  std::uint8_t* f = feedback_.data();
  std::uint8_t block[8];
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint8_t* p = data + i;
    if (encipher) {
      for (int k = 0; k < 8; ++k) block[k] = static_cast<std::uint8_t>(p[k] ^ f[k]);
      cipher_->Encrypt(block, p);
      for (int k = 0; k < 8; ++k) f[k] = static_cast<std::uint8_t>(p[k] ^ f[k]);
    } else {
      cipher_->Decrypt(p, block);
      for (int k = 0; k < 8; ++k) {
        const std::uint8_t c = p[k];
        p[k] = static_cast<std::uint8_t>(block[k] ^ f[k]);
        f[k] = static_cast<std::uint8_t>(c ^ f[k]);
      }
    }
  }
  if (i < n && last) {
    // The tail uses E(F) in both directions.
    std::uint8_t t[8];
    cipher_->Encrypt(f, t);
    for (std::size_t k = 0; i + k < n; ++k) data[i + k] = static_cast<std::uint8_t>(data[i + k] ^ t[k]);
    for (int k = 0; k < 8; ++k) f[k] = static_cast<std::uint8_t>(t[k] ^ f[k]);
  }
}

void CipherManager::Encipher(std::span<std::uint8_t> bytes) {
  Require();
  feedback_ = iv_;
  for (std::size_t at = 0; at < bytes.size(); at += kChunkSize) {
    const std::size_t n = std::min(kChunkSize, bytes.size() - at);
    CodeChunk(bytes.data() + at, n, true, at + n == bytes.size());
  }
  feedback_ = iv_;
}

void CipherManager::Decipher(std::span<std::uint8_t> bytes) {
  Require();
  feedback_ = iv_;
  for (std::size_t at = 0; at < bytes.size(); at += kChunkSize) {
    const std::size_t n = std::min(kChunkSize, bytes.size() - at);
    CodeChunk(bytes.data() + at, n, false, at + n == bytes.size());
  }
  feedback_ = iv_;
}

void CipherManager::Process(Stream& source, Stream& destination, std::int64_t count, bool encipher) {
  Require();
  feedback_ = iv_;
  std::vector<std::uint8_t> buffer(kChunkSize);
  std::int64_t left = count;
  while (left > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, kChunkSize));
    source.ReadBuffer(buffer.data(), n);
    left -= static_cast<std::int64_t>(n);
    CodeChunk(buffer.data(), n, encipher, left == 0);
    destination.Write(buffer.data(), n);
  }
  feedback_ = iv_;
}

void CipherManager::EncipherStream(Stream& source, Stream& destination, std::int64_t count) {
  Process(source, destination, count, true);
}

void CipherManager::DecipherStream(Stream& source, Stream& destination, std::int64_t count) {
  Process(source, destination, count, false);
}

}  // namespace pixtrel
