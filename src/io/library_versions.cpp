#include "io/library_versions.h"

#include <cryptopp/cryptlib.h>
#include <zlib.h>
#include <QtGlobal>
#include <cstdio>

// jpeglib.h needs the standard library's FILE and size_t first.
#include <jpeglib.h>

namespace pixtrel {

namespace {

// Crypto++ and the JPEG library give their versions as numbers: 870 is 8.7.0,
// 62 is the 6b interface, 80 the 8 one.
std::string CryptoVersion(int number) {
  return std::to_string(number / 100) + "." + std::to_string(number / 10 % 10) + "." + std::to_string(number % 10);
}

std::string JpegVersion() {
  std::string text = "interface " + std::to_string(JPEG_LIB_VERSION / 10);
  if (JPEG_LIB_VERSION % 10) text += static_cast<char>('a' + JPEG_LIB_VERSION % 10 - 1);
#ifdef LIBJPEG_TURBO_VERSION
#define PIXTREL_TEXT(x) #x
#define PIXTREL_STRING(x) PIXTREL_TEXT(x)
  text += " (turbo " PIXTREL_STRING(LIBJPEG_TURBO_VERSION) ")";
#endif
  return text;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> LibraryVersions() {
  return {{"Qt", qVersion()},
          {"JPEG library", JpegVersion()},
          {"zlib", zlibVersion()},
          {"Crypto++", CryptoVersion(CryptoPP::LibraryVersion())}};
}

}  // namespace pixtrel
