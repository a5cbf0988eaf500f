// Plain transcriptions of the effects, written for reading rather than speed:
// one pixel at a time through accessors, in the visiting order the rules give.
// The tests compare the library's routines with these on random images.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/bitmap.h"

namespace pixtrel::reference {

// A picture as plain channel values, blue, green, red per pixel.
struct Plain {
  int w = 0;
  int h = 0;
  std::vector<int> v;

  Plain() = default;
  Plain(int width, int height) : w(width), h(height), v(static_cast<std::size_t>(width) * height * 3, 0) {}
  int& at(int x, int y, int c) { return v[(static_cast<std::size_t>(y) * w + x) * 3 + c]; }
  int at(int x, int y, int c) const { return v[(static_cast<std::size_t>(y) * w + x) * 3 + c]; }
  friend bool operator==(const Plain&, const Plain&) = default;
};

Plain FromBitmap(const Bitmap& bitmap);  // any format, read as pf24bit
Bitmap ToBitmap(const Plain& plain);     // pf24bit
// Random pf24bit picture; spread limits the values to a few levels when small.
Bitmap RandomBitmap(int width, int height, std::mt19937& rng, int levels = 256);

int Clamp(int v);
long double Round(long double v);

Plain Lighten(Plain p, int amount);
Plain Darken(Plain p, int amount);
Plain AdjustContrast(Plain p, int amount);
Plain AdjustSaturation(Plain p, int amount);
Plain ToGrayscale(Plain p);
Plain InvertColors(Plain p);
Plain Posterize(const Plain& p, int depth);
Plain Solarize(const Plain& p, int threshold);
Plain Blend(const Plain& a, const Plain& b, double t);

Plain Convolve3x3(const Plain& p, const int k[9], int divisor);
Plain AntiAlias(Plain p);
Plain SplitBlur(Plain p, int a);
Plain Emboss(Plain p);

Plain FlipVertical(const Plain& p);
Plain FlipHorizontal(const Plain& p);
Plain MirrorRight(Plain p);
Plain MirrorDown(Plain p);
Plain RotateQuarter(const Plain& p);
void SampleBilinear(const Plain& p, float sx, float sy, int out[3]);
Plain Fisheye(const Plain& p, double amount);
Plain Twist(const Plain& p, int amount);
Plain Mosaic(Plain p, int n);
Plain Wipe(Plain p, int a);
Plain CastShadow(const Plain& p, int ox, int oy, bool upward);
Plain MakeSeamless(Plain p, int a);
Plain ButtonizeRect(Plain p, int d, int w);

// ResampleBitmap with "Lanczos3" and support 3, one destination pixel at a
// time with its weights computed where it is needed.
Plain ResampleLanczos3(const Plain& p, int dw, int dh);

}  // namespace pixtrel::reference
