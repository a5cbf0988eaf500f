#include "support/golden.h"

#include <cxxabi.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <typeinfo>

#include "core/errors.h"

namespace pixtrel::test {

namespace {

std::string ClassName(const std::exception& e) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status),
                                              std::free);
  return name ? name.get() : typeid(e).name();
}

}  // namespace

std::string GoldenOutcome(const std::function<void(Bitmap&)>& read) {
  Bitmap bitmap;
  try {
    read(bitmap);
  } catch (const Exception& e) {
    return "error " + (e.Code().empty() ? ClassName(e) : e.Code());
  } catch (const std::exception& e) {
    return "error " + ClassName(e);
  }
  if (bitmap.Empty()) return "empty";
  uLong crc = crc32(0L, nullptr, 0);
  const std::size_t rowBytes = (static_cast<std::size_t>(bitmap.Width()) * bitmap.BitCount() + 7) / 8;
  for (int y = 0; y < bitmap.Height(); ++y) crc = crc32(crc, bitmap.ScanLine(y), static_cast<uInt>(rowBytes));
  for (Color c : bitmap.Palette()) crc = crc32(crc, reinterpret_cast<const Bytef*>(&c), sizeof c);
  std::ostringstream line;
  line << bitmap.Width() << 'x' << bitmap.Height() << '\t' << bitmap.BitCount() << "bit\t" << bitmap.Palette().size()
       << '\t' << (bitmap.Transparent() ? "transparent " + std::to_string(bitmap.TransparentColor()) : "opaque")
       << '\t' << std::hex << crc;
  return line.str();
}

std::string GoldenLine(const std::string& name, const std::function<void(Bitmap&)>& read) {
  return name + '\t' + GoldenOutcome(read);
}

void CheckGoldenTable(const std::string& relativePath, const std::string& actual) {
  const std::string path = std::string(PIXTREL_SOURCE_DIR) + "/" + relativePath;
  if (std::getenv("PIXTREL_UPDATE_GOLDEN")) {
    std::ofstream(path) << actual;
    std::cout << "rewrote " << path << '\n';
    return;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << "no golden table " << path << " (PIXTREL_UPDATE_GOLDEN=1 makes it)";
  std::stringstream expected;
  expected << in.rdbuf();
  std::istringstream a(actual), e(expected.str());
  std::string la, le;
  while (std::getline(e, le)) {
    ASSERT_TRUE(std::getline(a, la)) << "missing: " << le;
    EXPECT_EQ(la, le);
  }
  EXPECT_FALSE(std::getline(a, la)) << "extra: " << la;
}

}  // namespace pixtrel::test
