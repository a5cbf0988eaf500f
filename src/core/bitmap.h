// The raster surface every part of the system works on.
//
// Rows are stored top-down, each padded to a multiple of four bytes, and are
// reached through ScanLine(y) with row 0 at the top. pf24bit rows are blue,
// green, red; pf32bit adds a spare fourth byte; pf15bit and pf16bit are
// little-endian 16-bit words (5-5-5 and 5-6-5); pf1bit, pf4bit and pf8bit hold
// palette indices with the leftmost pixel in the highest bits.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/color.h"
#include "core/geometry.h"
#include "core/graphic.h"
#include "core/large_buffer.h"

namespace pixtrel {

enum PixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// Bits per pixel of a format; pfDevice counts as the 32-bit device it stands for.
int BitsPerPixel(PixelFormat format);
// The format of a bit count (1, 4, 8, 15, 16, 24, 32); pfDevice for anything else.
PixelFormat FormatForBits(int bits);
// Bytes in one stored row of width pixels at bits per pixel, padded to 4.
std::size_t RowBytes(int width, int bits);

using Palette = std::vector<Color>;

enum TransparentMode { tmAuto, tmFixed };

class Canvas;

class Bitmap : public Graphic {
 public:
  Bitmap();
  Bitmap(int width, int height, pixtrel::PixelFormat format = pfDevice);
  ~Bitmap() override;
  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Size changes keep the old pixels at the top-left, cut to the new size,
  // and fill new area with the canvas brush colour.
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  void SetSize(int width, int height);

  // pfDevice is stored and reported as pf32bit.
  pixtrel::PixelFormat PixelFormat() const { return format_; }
  // Converts the pixels; the current format does nothing. Conversion to an
  // indexed format maps every colour to the nearest entry of the format's
  // fixed palette: black and white, the 16-colour standard palette or the
  // 256-colour halftone palette.
  void SetPixelFormat(pixtrel::PixelFormat format);

  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  // Row y as blue, green, red triplets, Width() of them, whatever the format:
  // what the row would hold after SetPixelFormat(pf24bit).
  void RowAsBGR(int y, std::uint8_t* out) const;
  std::size_t RowStride() const { return stride_; }
  int BitCount() const { return BitsPerPixel(format_); }

  // The colour table of an indexed bitmap (2, 16 or 256 entries; a reader may
  // set fewer); empty for the other formats.
  const pixtrel::Palette& Palette() const { return palette_; }
  // Replaces the colour table without touching the indices.
  void SetPalette(pixtrel::Palette palette);

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent) { transparent_ = transparent; }
  pixtrel::TransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(pixtrel::TransparentMode mode) { transparentMode_ = mode; }
  // tmAuto: the colour of the bottom-left pixel (clWhite for an empty bitmap).
  Color TransparentColor() const;
  // Sets the colour and switches to tmFixed.
  void SetTransparentColor(Color color);

  // Colour of one pixel in any format; outside the bitmap, clBlack.
  Color Pixel(int x, int y) const;
  // Writes one pixel in any format (indexed formats take the nearest entry).
  void SetPixel(int x, int y, Color color);
  // Palette index at (x, y) of an indexed bitmap.
  int PixelIndex(int x, int y) const;
  void SetPixelIndex(int x, int y, int index);

  pixtrel::Canvas& Canvas();

  // Copy of size, format, palette, pixels and transparency settings (a
  // Bitmap source) or the decoded picture of another graphic.
  void Assign(const Graphic& source);
  void AssignTo(Bitmap& target) const override;

  // Windows BMP.
  void LoadFromStream(Stream& stream) override;
  void SaveToStream(Stream& stream) const override;

  void Draw(pixtrel::Canvas& canvas, const Rect& rect) const override;

  // All of the pixel storage, rows top-down at RowStride().
  std::span<std::uint8_t> Bits() { return pixels_; }
  std::span<const std::uint8_t> Bits() const { return pixels_; }

  // Fills the whole bitmap with one colour.
  void Fill(Color color);

  // Colour used to fill new area on a size change: the canvas brush's.
  Color FillColor() const;

 private:
  void Reallocate(int width, int height, pixtrel::PixelFormat format);

  int width_ = 0;
  int height_ = 0;
  pixtrel::PixelFormat format_ = pf32bit;
  std::size_t stride_ = 0;
  ByteBuffer pixels_;
  pixtrel::Palette palette_;
  bool transparent_ = false;
  pixtrel::TransparentMode transparentMode_ = tmAuto;
  Color transparentColor_ = clWhite;
  std::unique_ptr<pixtrel::Canvas> canvas_;
};

// The fixed palettes of the indexed formats.
const Palette& MonochromePalette();   // black, white
const Palette& StandardPalette16();   // the 16-colour standard palette
const Palette& HalftonePalette256();  // see palettes.cpp for its layout
const Palette& DefaultPalette20();    // the 20 static system colours
// Index of the nearest palette entry (squared RGB distance, lowest index on ties).
int NearestPaletteIndex(const Palette& palette, Color color);

}  // namespace pixtrel
