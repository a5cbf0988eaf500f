#include "codecs/tiff/read_tiff.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "codecs/tiff/tiff_tags.h"
#include "core/interaction.h"

namespace pixtrel {

namespace {

enum class Kind { Bilevel, Greyscale, Palette, Rgb };

// The strips of a directory read one after another as one run of bytes.
class StripBytes {
 public:
  StripBytes(std::span<const std::uint8_t> file, const std::vector<TiffStrip>& strips) : file_(file), strips_(strips) {
    starts_.reserve(strips.size());
    for (const TiffStrip& strip : strips) {
      starts_.push_back(total_);
      total_ += strip.byteCount;
    }
  }

  std::uint64_t Total() const { return total_; }

  // n bytes at position pos of the run; copied into scratch when they
  // straddle strips. The caller keeps pos + n within Total().
  const std::uint8_t* At(std::uint64_t pos, std::size_t n, std::vector<std::uint8_t>& scratch) const {
    std::size_t i =
        static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), pos) - starts_.begin()) - 1;
    std::uint64_t inStrip = pos - starts_[i];
    if (inStrip + n <= strips_[i].byteCount) return file_.data() + strips_[i].offset + inStrip;
    scratch.resize(n);
    std::size_t done = 0;
    while (done < n) {
      const std::size_t part =
          static_cast<std::size_t>(std::min<std::uint64_t>(n - done, strips_[i].byteCount - inStrip));
      std::memcpy(scratch.data() + done, file_.data() + strips_[i].offset + inStrip, part);
      done += part;
      ++i;
      inStrip = 0;
    }
    return scratch.data();
  }

 private:
  std::span<const std::uint8_t> file_;
  const std::vector<TiffStrip>& strips_;
  std::vector<std::uint64_t> starts_;
  std::uint64_t total_ = 0;
};

class DirectoryDecoder {
 public:
  DirectoryDecoder(const FileTiff& file, const GraphicTiff& directory, UserInteraction& interaction,
                   std::int64_t pixelLimit)
      : file_(file), dir_(directory), interaction_(interaction), pixelLimit_(pixelLimit) {}

  std::optional<Bitmap> Decode(Kind kind, bool whiteIsZero) {
    auto width = dir_.Value(tifftag::kImageWidth);
    if (!width) return Fail(TiffMessage::ImageWidth);
    auto height = dir_.Value(tifftag::kImageLength);
    if (!height) return Fail(TiffMessage::ImageHeight);
    if (*width > kMaxTiffDimension || *height > kMaxTiffDimension) throw EImageTooLarge();
    width_ = static_cast<int>(*width);
    height_ = static_cast<int>(*height);

    if (kind == Kind::Bilevel && !dir_.Find(tifftag::kPhotometricInterpretation)) return Fail(TiffMessage::Photometric);
    auto compression = dir_.Value(tifftag::kCompression);
    if (!compression) return Fail(TiffMessage::Compression);
    if (*compression != 1) {
      switch (kind) {
        case Kind::Bilevel:
          return Fail(TiffMessage::CompressedBilevel);
        case Kind::Greyscale:
          return Fail(TiffMessage::CompressedGrey);
        case Kind::Palette:
          return Fail(TiffMessage::CompressedPalette);
        case Kind::Rgb:
          return Fail(TiffMessage::CompressedRgb);
      }
    }

    int bits = 1;
    pixtrel::Palette palette;
    switch (kind) {
      case Kind::Bilevel:
        palette = whiteIsZero ? pixtrel::Palette{clWhite, clBlack} : pixtrel::Palette{clBlack, clWhite};
        break;
      case Kind::Greyscale: {
        auto value = dir_.Value(tifftag::kBitsPerSample);
        if (!value) return Fail(TiffMessage::BitsPerSample);
        if (*value != 4 && *value != 8) return Fail(TiffMessage::GreyBits);
        bits = static_cast<int>(*value);
        const int maximum = (1 << bits) - 1;
        for (int i = 0; i <= maximum; ++i) {
          const int grey = (whiteIsZero ? maximum - i : i) * 255 / maximum;
          palette.push_back(RGB(grey, grey, grey));
        }
        break;
      }
      case Kind::Palette: {
        auto value = dir_.Value(tifftag::kBitsPerSample);
        if (!value) return Fail(TiffMessage::BitsPerSample);
        const TiffEntry* colorMap = dir_.Find(tifftag::kColorMap);
        if (!colorMap) return Fail(TiffMessage::ColorMap);
        // 2-bit and deeper palettes have no raster format here.
        if (*value != 1 && *value != 4 && *value != 8) return Fail(TiffMessage::PaletteBits);
        bits = static_cast<int>(*value);
        if (!ReadColorMap(*colorMap, bits, palette)) return Fail(TiffMessage::ColorMap);
        break;
      }
      case Kind::Rgb: {
        const TiffEntry* entry = dir_.Find(tifftag::kBitsPerSample);
        auto first = dir_.Value(tifftag::kBitsPerSample);
        if (!entry || !first) return Fail(TiffMessage::BitsPerSample);
        bool all8 = *first == 8;
        if (entry->count != 1) {
          auto samples = entry->count >= 3 ? dir_.Values(*entry, 3) : std::nullopt;
          all8 = samples && std::all_of(samples->begin(), samples->end(), [](std::uint32_t v) { return v == 8; });
        }
        if (!all8) return Fail(TiffMessage::RgbBits);
        bits = 24;
        break;
      }
    }
    return Raster(bits, std::move(palette));
  }

 private:
  std::nullopt_t Fail(TiffMessage message) {
    interaction_.ShowMessage(TiffMessageText(message));
    return std::nullopt;
  }

  // Red values, then green, then blue, 16 bits each; a palette channel is a
  // value's high byte. A map of no or more than 256 colours gives the grey ramp.
  bool ReadColorMap(const TiffEntry& entry, int bits, pixtrel::Palette& palette) {
    const std::size_t size = std::size_t{1} << bits;
    const std::size_t colours = entry.count / 3;
    palette.assign(size, clBlack);
    if (colours < 1 || colours > 256) {
      for (std::size_t i = 0; i < size; ++i) palette[i] = RGB(int(i), int(i), int(i));
      return true;
    }
    auto values = dir_.Values(entry, 3 * colours);
    if (!values) return false;
    for (std::size_t i = 0; i < std::min(size, colours); ++i)
      palette[i] = RGB((*values)[i] >> 8, (*values)[colours + i] >> 8, (*values)[2 * colours + i] >> 8);
    return true;
  }

  std::optional<Bitmap> Raster(int bits, pixtrel::Palette palette) {
    const std::vector<TiffStrip>& strips = dir_.Strips();
    if (strips.empty() || width_ == 0 || height_ == 0) return Fail(TiffMessage::ImageData);
    for (const TiffStrip& strip : strips)
      if (strip.offset > file_.FileSize() || strip.byteCount > file_.FileSize() - strip.offset)
        return Fail(TiffMessage::ImageData);
    const StripBytes data(file_.Bytes(), strips);

    // Rows are RowsPerStrip to a strip (the last strip may hold fewer); a
    // RowsPerStrip beyond the image means one strip for the whole image.
    auto rowsPerStrip = dir_.Value(tifftag::kRowsPerStrip);
    if (!rowsPerStrip || *rowsPerStrip == 0) return Fail(TiffMessage::ImageData);
    const std::uint64_t rowsInFirst = std::min<std::uint64_t>(*rowsPerStrip, static_cast<std::uint64_t>(height_));
    const std::uint64_t rowLength = strips[0].byteCount / rowsInFirst;
    const std::size_t rowBytes = (static_cast<std::size_t>(width_) * bits + 7) / 8;
    if (rowLength < rowBytes || (static_cast<std::uint64_t>(height_) - 1) * rowLength + rowBytes > data.Total())
      return Fail(TiffMessage::ImageData);

    // Over the user's limit is said as such; past what a bitmap holds, the
    // reader's own out-of-memory message.
    if (pixelLimit_ > 0 && std::int64_t{width_} * height_ > pixelLimit_)
      throw EImageTooLarge(width_, height_, pixelLimit_);
    Bitmap bitmap;
    try {
      bitmap = Bitmap(width_, height_, FormatForBits(bits));
    } catch (const EImageTooLarge&) {
      return Fail(TiffMessage::OutOfMemory);
    } catch (const std::bad_alloc&) {
      return Fail(TiffMessage::OutOfMemory);
    }

    std::vector<std::uint8_t> scratch;
    for (int y = 0; y < height_; ++y) {
      const std::uint8_t* in = data.At(static_cast<std::uint64_t>(y) * rowLength, rowBytes, scratch);
      std::uint8_t* out = bitmap.ScanLine(y);
      if (bits == 24) {
        for (int x = 0; x < width_; ++x, in += 3, out += 3) {
          out[0] = in[2];
          out[1] = in[1];
          out[2] = in[0];
        }
      } else {
        std::memcpy(out, in, rowBytes);
      }
    }
    if (bits != 24) bitmap.SetPalette(std::move(palette));
    return bitmap;
  }

  const FileTiff& file_;
  const GraphicTiff& dir_;
  UserInteraction& interaction_;
  std::int64_t pixelLimit_;
  int width_ = 0;
  int height_ = 0;
};

void ReadDirectories(const FileTiff& file, const std::string& fileName, Bitmap& target, UserInteraction& interaction,
                     std::int64_t pixelLimit) {
  if (!file.Valid()) {
    interaction.ShowMessage(TiffMessageText(TiffMessage::NotValidTiff, fileName));
    return;
  }
  std::optional<Bitmap> picture;
  for (const GraphicTiff& directory : file.Directories()) {
    auto photometric = directory.Value(tifftag::kPhotometricInterpretation);
    if (!photometric) {
      interaction.ShowMessage(TiffMessageText(TiffMessage::Photometric));
      break;
    }
    if (*photometric > 3) {
      interaction.ShowMessage(TiffMessageText(TiffMessage::EvaluatingPhotometric, std::to_string(*photometric)));
      break;
    }
    Kind kind = Kind::Rgb;
    if (*photometric <= 1) {
      auto bits = directory.Value(tifftag::kBitsPerSample);
      if (!bits || *bits == 1) {
        kind = Kind::Bilevel;
      } else if (*bits == 4 || *bits == 8) {
        kind = Kind::Greyscale;
      } else {
        continue;
      }
    } else if (*photometric == 3) {
      kind = Kind::Palette;
    }
    DirectoryDecoder decoder(file, directory, interaction, pixelLimit);
    if (auto decoded = decoder.Decode(kind, *photometric == 0)) picture = std::move(*decoded);
  }
  if (picture) target = std::move(*picture);
}

}  // namespace

void ReadTiffFile(const std::string& fileName, Bitmap& target, UserInteraction& interaction,
                  std::int64_t pixelLimit) {
  FileTiff file;
  file.SetFileName(fileName);
  ReadDirectories(file, fileName, target, interaction, pixelLimit);
}

void ReadTiffBytes(std::span<const std::uint8_t> bytes, const std::string& fileName, Bitmap& target,
                   UserInteraction& interaction, std::int64_t pixelLimit) {
  FileTiff file;
  file.SetBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  ReadDirectories(file, fileName, target, interaction, pixelLimit);
}

}  // namespace pixtrel
