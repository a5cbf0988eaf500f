// Colours as the system passes them around: a 32-bit value with red in the
// low byte, then green, then blue. The top byte is zero for plain colours.
#pragma once

#include <cstdint>

namespace pixtrel {

using Color = std::uint32_t;

constexpr Color RGB(int r, int g, int b) {
  return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr Color clBlack = RGB(0, 0, 0);
constexpr Color clWhite = RGB(255, 255, 255);
constexpr Color clRed = RGB(255, 0, 0);
constexpr Color clLime = RGB(0, 255, 0);
constexpr Color clBlue = RGB(0, 0, 255);
constexpr Color clYellow = RGB(255, 255, 0);
constexpr Color clFuchsia = RGB(255, 0, 255);
constexpr Color clAqua = RGB(0, 255, 255);
constexpr Color clMaroon = RGB(128, 0, 0);
constexpr Color clGreen = RGB(0, 128, 0);
constexpr Color clNavy = RGB(0, 0, 128);
constexpr Color clOlive = RGB(128, 128, 0);
constexpr Color clPurple = RGB(128, 0, 128);
constexpr Color clTeal = RGB(0, 128, 128);
constexpr Color clGray = RGB(128, 128, 128);
constexpr Color clSilver = RGB(192, 192, 192);

}  // namespace pixtrel
