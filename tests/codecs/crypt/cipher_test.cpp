#include <gtest/gtest.h>

#include <crypto++/blowfish.h>
#include <crypto++/ripemd.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "codecs/crypt/cipher_manager.h"
#include "codecs/crypt/crypt_errors.h"
#include "codecs/crypt/encrypted_image.h"
#include "core/errors.h"
#include "core/stream.h"

namespace pixtrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

Bytes Sample(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(random());
  return out;
}

TEST(CipherPrimitives, RipeMD256PublishedVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"},
      {"a", "f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925"},
      {"abc", "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
      {"message digest", "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e"},
      {"abcdefghijklmnopqrstuvwxyz", "649d3034751ea216776bf9a18acc81bc7896118a5197968782dd1fd97d8d5133"},
  };
  for (const auto& [text, digest] : vectors) {
    const std::string s = text;
    EXPECT_EQ(ToHex(RipeMD256({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()})), digest) << s;
  }
}

TEST(CipherPrimitives, BlowfishPublishedVectors) {
  struct Vector {
    const char* key;
    const char* clear;
    const char* cipher;
  };
  const Vector vectors[] = {
      {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
      {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
      {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
      {"1111111111111111", "1111111111111111", "2466dd878b963c9d"},
      {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
      {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
      {"f0e1d2c3b4a5968778695a4b3c2d1e0f0011223344556677", "fedcba9876543210", "05044b62fa52d080"},
  };
  for (const Vector& v : vectors) {
    const Bytes key = FromHex(v.key), clear = FromHex(v.clear);
    CryptoPP::BlowfishEncryption encryption(key.data(), key.size());
    CryptoPP::BlowfishDecryption decryption(key.data(), key.size());
    Bytes out(8), back(8);
    encryption.ProcessBlock(clear.data(), out.data());
    decryption.ProcessBlock(out.data(), back.data());
    EXPECT_EQ(ToHex(out), v.cipher) << v.key;
    EXPECT_EQ(back, clear);
  }
}

// The feedback mode written out plainly from its definition, over a whole
// stream at once, with the cipher keyed as the container keys it.
class ReferenceCTS {
 public:
  explicit ReferenceCTS(const std::string& password) {
    CryptoPP::RIPEMD256 hash;
    std::uint8_t key[32];
    hash.CalculateDigest(key, reinterpret_cast<const std::uint8_t*>(password.data()), password.size());
    e_.SetKey(key, 32);
    d_.SetKey(key, 32);
    std::uint8_t ones[8] = {255, 255, 255, 255, 255, 255, 255, 255};
    e_.ProcessBlock(ones, iv_);
  }

  Bytes Run(Bytes data, bool encipher) {
    std::uint8_t f[8];
    std::copy(iv_, iv_ + 8, f);
    std::size_t i = 0;
    for (; i + 8 <= data.size(); i += 8) {
      std::uint8_t in[8], out[8];
      std::copy(data.begin() + i, data.begin() + i + 8, in);
      if (encipher) {
        std::uint8_t x[8];
        for (int k = 0; k < 8; ++k) x[k] = in[k] ^ f[k];
        e_.ProcessBlock(x, out);
        for (int k = 0; k < 8; ++k) f[k] = out[k] ^ f[k];
      } else {
        d_.ProcessBlock(in, out);
        for (int k = 0; k < 8; ++k) {
          out[k] ^= f[k];
          f[k] = in[k] ^ f[k];
        }
      }
      std::copy(out, out + 8, data.begin() + i);
    }
    if (i < data.size()) {
      std::uint8_t t[8];
      e_.ProcessBlock(f, t);
      for (std::size_t k = 0; i + k < data.size(); ++k) data[i + k] ^= t[k];
    }
    return data;
  }

  const std::uint8_t* IV() const { return iv_; }

 private:
  CryptoPP::BlowfishEncryption e_;
  CryptoPP::BlowfishDecryption d_;
  std::uint8_t iv_[8];
};

TEST(CipherManager, IVIsTheCipherOfAllOnes) {
  CipherManager cipher;
  cipher.InitKey("Secret");
  ReferenceCTS reference("Secret");
  EXPECT_TRUE(std::equal(cipher.IV().begin(), cipher.IV().end(), reference.IV()));
}

TEST(CipherManager, ModeMatchesItsDefinitionAtEveryLength) {
  CipherManager cipher;
  cipher.InitKey("pass word ");
  ReferenceCTS reference("pass word ");
  for (std::size_t n : {0, 1, 7, 8, 9, 15, 16, 4095, 4096, 4097, 4103, 8192, 8199, 12345}) {
    SCOPED_TRACE(n);
    const Bytes plain = Sample(n, static_cast<unsigned>(n));
    Bytes coded = plain;
    cipher.Encipher(coded);
    EXPECT_EQ(coded, reference.Run(plain, true));
    // Deciphering the same stream again starts from the IV: no state leaks.
    Bytes back = coded;
    cipher.Decipher(back);
    EXPECT_EQ(back, plain);
    EXPECT_EQ(reference.Run(coded, false), plain);
  }
}

TEST(CipherManager, StreamsCodeInChunksLikeTheWholeBuffer) {
  CipherManager cipher;
  cipher.InitKey("k");
  for (std::size_t n : {0, 7, 4096, 8192, 10000}) {
    SCOPED_TRACE(n);
    const Bytes plain = Sample(n, 99);
    MemoryStream source(plain), coded;
    cipher.EncipherStream(source, coded, static_cast<std::int64_t>(n));
    Bytes expected = plain;
    cipher.Encipher(expected);
    EXPECT_EQ(coded.Bytes(), expected);
    coded.Seek(0);
    MemoryStream back;
    cipher.DecipherStream(coded, back, static_cast<std::int64_t>(n));
    EXPECT_EQ(back.Bytes(), plain);
  }
}

TEST(CipherManager, TailUsesTheForwardCipherInBothDirections) {
  // A 3-byte stream is all tail: both directions XOR with E(IV).
  CipherManager cipher;
  cipher.InitKey("tail");
  Bytes data = {1, 2, 3};
  cipher.Encipher(data);
  std::uint8_t t[8];
  cipher.EncryptBlock(cipher.IV().data(), t);
  EXPECT_EQ(data, (Bytes{static_cast<std::uint8_t>(1 ^ t[0]), static_cast<std::uint8_t>(2 ^ t[1]),
                         static_cast<std::uint8_t>(3 ^ t[2])}));
  cipher.Decipher(data);
  EXPECT_EQ(data, (Bytes{1, 2, 3}));
}

TEST(CipherManager, KeysFollowThePasswordExactly) {
  const Bytes plain = Sample(64, 5);
  auto code = [&](const std::string& password) {
    CipherManager cipher;
    cipher.InitKey(password);
    Bytes data = plain;
    cipher.Encipher(data);
    return data;
  };
  EXPECT_EQ(code("Secret"), code("Secret"));
  EXPECT_NE(code("Secret"), code("secret"));
  EXPECT_NE(code("Secret"), code("Secret "));
  // Pinned: stored containers depend on every step of the key set-up.
  const Bytes pinned = code("Secret");
  EXPECT_EQ(crc32(0L, pinned.data(), static_cast<uInt>(pinned.size())), 1894684223u);
}

TEST(CipherManager, RefusesToRunWithoutKey) {
  CipherManager cipher;
  Bytes data(8);
  try {
    cipher.Encipher(data);
    ADD_FAILURE() << "enciphered without a key";
  } catch (const ECryptError& e) {
    EXPECT_EQ(e.Code(), "crypt.NoKey");
  }
}

// The container's table of texts, as the users see them.
TEST(CryptErrors, EveryCodeKeepsItsFixedText) {
  EXPECT_EQ(ErrorCode(CryptError::InvalidPassword), "crypt.InvalidPassword");
  EXPECT_STREQ(ErrorText(CryptError::InvalidPassword), "invalid password");
  EXPECT_STREQ(kInvalidPasswordText, "invalid password");
  EXPECT_EQ(ErrorCode(CryptError::NoKey), "crypt.NoKey");
  EXPECT_EQ(ECryptError(CryptError::NoKey).Message(), "The cipher has no key");
}

}  // namespace
}  // namespace pixtrel
