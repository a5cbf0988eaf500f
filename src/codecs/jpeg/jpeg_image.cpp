#include "codecs/jpeg/jpeg_image.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jerror.h>

#include "codecs/jpeg/jpeg_error.h"
#include "core/byte_reader.h"
#include "core/mul_div.h"
#include "core/stream.h"

namespace pixtrel {

namespace {

// Real progressive files have a dozen scans; thousands of tiny scans over a
// large picture only make a small file expensive to decode.
constexpr int kMaxScans = 500;
// A scan costs time for every block of its components, even when its data
// is a few bytes of end-of-block runs, so a few hundred scans over a large
// picture cost many decodes of it. The scans of a file may visit the blocks
// of each component this many times over (real encoders write at most ten
// scans per component), plus an allowance that leaves pictures of a few
// megapixels to the scan count alone.
constexpr std::int64_t kScanVisitsPerBlock = 32;
constexpr std::int64_t kFreeBlockVisits = std::int64_t{1} << 24;
// Rows decoded per call for the four-component files, which pass through a
// scratch buffer on their way to blue-green-red.
constexpr int kCmykBatch = 16;

enum class RowKind { kBgr, kCmyk, kInvertedCmyk };

// The block visits of the scans read so far, per component. libjpeg calls
// the monitor at least once per scan while it reads the scans in.
struct ScanBudget {
  jpeg_progress_mgr pub;  // first, so libjpeg's progress pointer is also ours
  int countedScan = 0;
  std::int64_t visits[MAX_COMPONENTS] = {};
};

std::int64_t BlocksOf(const jpeg_component_info& component) {
  return std::int64_t{component.width_in_blocks} * component.height_in_blocks;
}

void LimitScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) FailJpeg(cinfo, JpegError::TooManyScans);
  auto* budget = reinterpret_cast<ScanBudget*>(cinfo->progress);
  if (d->input_scan_number == budget->countedScan) return;
  budget->countedScan = d->input_scan_number;
  for (int i = 0; i < d->comps_in_scan; ++i) {
    const jpeg_component_info* component = d->cur_comp_info[i];
    if (component == nullptr || component->component_index < 0 || component->component_index >= MAX_COMPONENTS)
      continue;
    // A scan of several components runs over whole MCUs, padding included.
    const std::int64_t blocks = d->comps_in_scan == 1
                                    ? BlocksOf(*component)
                                    : std::int64_t{d->MCUs_per_row} * d->MCU_rows_in_scan *
                                          component->MCU_width * component->MCU_height;
    std::int64_t& visits = budget->visits[component->component_index];
    visits += blocks;
    if (visits > kScanVisitsPerBlock * BlocksOf(*component) + kFreeBlockVisits)
      FailJpeg(cinfo, JpegError::TooManyScans);
  }
}

// A byte buffer that is neither zeroed nor copied on creation. On virtual
// machines the first touch of each fresh page costs more than filling it, so
// buffers of a few megabytes ask for transparent huge pages, which the system
// grants on request: one fault per 2 MiB instead of one per 4 KiB.
class RawBuffer {
 public:
  RawBuffer() = default;
  explicit RawBuffer(std::size_t size) {
    if (!Allocate(size)) throw std::bad_alloc();
  }
  ~RawBuffer() { std::free(data_); }
  RawBuffer(const RawBuffer&) = delete;
  RawBuffer& operator=(const RawBuffer&) = delete;
  RawBuffer& operator=(RawBuffer&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

  // Doubles the buffer, keeping its contents; false when memory ran out.
  bool Grow() noexcept {
    RawBuffer bigger;
    if (!bigger.Allocate(std::max<std::size_t>(2 * size_, 4096))) return false;
    if (size_ > 0) std::memcpy(bigger.data_, data_, size_);
    std::swap(data_, bigger.data_);
    std::swap(size_, bigger.size_);
    return true;
  }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  bool Allocate(std::size_t size) noexcept {
    void* p;
    if (size >= kHugePage) {
      const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
      p = std::aligned_alloc(kHugePage, rounded);
      if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);  // only a hint: failure changes nothing
    } else {
      p = std::malloc(std::max<std::size_t>(size, 1));
    }
    if (p == nullptr) return false;
    data_ = static_cast<std::uint8_t*>(p);
    size_ = size;
    return true;
  }

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Adobe's writers store CMYK inverted (0 is full ink), so there a channel is
// C * K / 255; plain CMYK is (255 - C) * (255 - K) / 255.
void CmykToBgr(const std::uint8_t* in, std::uint8_t* out, unsigned width, bool inverted) {
  const unsigned flip = inverted ? 0 : 255;
  for (unsigned x = 0; x < width; ++x, in += 4, out += 3) {
    unsigned k = in[3] ^ flip;
    out[0] = MulDiv255(in[2] ^ flip, k);
    out[1] = MulDiv255(in[1] ^ flip, k);
    out[2] = MulDiv255(in[0] ^ flip, k);
  }
}

// The stages of a decode. Each runs under the error manager's setjmp and
// returns false when libjpeg (or a check of ours) failed; they hold nothing
// that needs destroying, so the jump can skip them.
bool ReadHeader(JpegDecompressor& d, const std::uint8_t* data, std::size_t size, jpeg_progress_mgr* progress,
                RowKind* kind) {
  if (setjmp(d.errors.jump)) return false;
  j_decompress_ptr cinfo = &d.cinfo;
  cinfo->progress = progress;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
    cinfo->out_color_space = JCS_CMYK;
    *kind = cinfo->saw_Adobe_marker ? RowKind::kInvertedCmyk : RowKind::kCmyk;
  } else {
    // Greyscale too: libjpeg replicates the grey into the three channels.
    cinfo->out_color_space = JCS_EXT_BGR;
    *kind = RowKind::kBgr;
  }
  jpeg_calc_output_dimensions(cinfo);
  return true;
}

bool ReadRows(JpegDecompressor& d, JSAMPROW* rows, RowKind kind, JSAMPROW* scratch) {
  if (setjmp(d.errors.jump)) return false;
  j_decompress_ptr cinfo = &d.cinfo;
  jpeg_start_decompress(cinfo);
  const JDIMENSION height = cinfo->output_height;
  while (cinfo->output_scanline < height) {
    const JDIMENSION first = cinfo->output_scanline;
    JDIMENSION got;
    if (kind == RowKind::kBgr) {
      got = jpeg_read_scanlines(cinfo, rows + first, height - first);
    } else {
      got = jpeg_read_scanlines(cinfo, scratch, std::min<JDIMENSION>(kCmykBatch, height - first));
      for (JDIMENSION i = 0; i < got; ++i) {
        CmykToBgr(scratch[i], rows[first + i], cinfo->output_width, kind == RowKind::kInvertedCmyk);
      }
    }
    if (got == 0) break;  // only a suspending source returns nothing, and ours never suspends
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

// Compressed bytes go straight into a buffer that doubles when full.
struct BufferDestination {
  jpeg_destination_mgr pub;
  RawBuffer* bytes;
  std::size_t used;
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<BufferDestination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->bytes->data();
  dest->pub.free_in_buffer = dest->bytes->size();
}

// Called with the whole buffer full.
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<BufferDestination*>(cinfo->dest);
  const std::size_t used = dest->bytes->size();
  if (!dest->bytes->Grow()) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
  dest->pub.next_output_byte = dest->bytes->data() + used;
  dest->pub.free_in_buffer = dest->bytes->size() - used;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<BufferDestination*>(cinfo->dest);
  dest->used = dest->bytes->size() - dest->pub.free_in_buffer;
}

bool WriteRows(JpegCompressor& c, BufferDestination* dest, JSAMPROW* rows, int width, int height, bool fourBytes,
               int quality, bool grayscale) {
  if (setjmp(c.errors.jump)) return false;
  j_compress_ptr cinfo = &c.cinfo;
  cinfo->dest = &dest->pub;
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = fourBytes ? 4 : 3;
  cinfo->in_color_space = fourBytes ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  // libjpeg's own luma weights turn the blue-green-red rows into grey.
  if (grayscale) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    jpeg_write_scanlines(cinfo, rows + cinfo->next_scanline, cinfo->image_height - cinfo->next_scanline);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

bool EncodesDirectly(PixelFormat format) { return format == pf24bit || format == pf32bit; }

// Encodes into a buffer of which the first `used` bytes are the file.
void Compress(const Bitmap& source, int quality, bool grayscale, RawBuffer& bytes, std::size_t& used) {
  const int width = source.Width();
  const int height = source.Height();
  std::vector<JSAMPROW> rows(static_cast<std::size_t>(std::max(height, 0)));
  for (int y = 0; y < height; ++y) {
    // libjpeg's row type is not const, but the compressor only reads the rows.
    rows[static_cast<std::size_t>(y)] = const_cast<JSAMPROW>(source.ScanLine(y));
  }

  // A twentieth of the raw size holds a photo up to middle qualities; past
  // that the buffer doubles. Untouched pages of the guess cost nothing.
  bytes = RawBuffer(
      std::max<std::size_t>(16384, CheckedMul(source.RowStride(), static_cast<std::size_t>(std::max(height, 0))) / 20));
  BufferDestination dest{};
  dest.pub.init_destination = InitDestination;
  dest.pub.empty_output_buffer = EmptyOutputBuffer;
  dest.pub.term_destination = TermDestination;
  dest.bytes = &bytes;

  JpegCompressor c;
  if (!CreateJpegCompressor(c) || !WriteRows(c, &dest, rows.data(), width, height, source.PixelFormat() == pf32bit,
                                             std::clamp(quality, 1, 100), grayscale)) {
    ThrowJpegError(c.errors);
  }
  used = dest.used;
}

}  // namespace

void JPEGImage::LoadFromStream(Stream& stream) {
  // A memory stream (the optimize window's round trip, the decrypted
  // container) is decoded where it lies.
  if (auto* memory = dynamic_cast<MemoryStream*>(&stream)) {
    const auto& bytes = memory->Bytes();
    const auto start = static_cast<std::size_t>(std::clamp<std::int64_t>(memory->Position(), 0, memory->Size()));
    LoadFromBytes(std::span<const std::uint8_t>(bytes).subspan(start));
    memory->Seek(memory->Size());
    return;
  }
  const std::int64_t remaining = stream.Size() - stream.Position();
  RawBuffer bytes(remaining > 0 ? static_cast<std::size_t>(remaining) : 0);
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::size_t n = stream.Read(bytes.data() + got, bytes.size() - got);
    if (n == 0) break;
    got += n;
  }
  LoadFromBytes(std::span<const std::uint8_t>(bytes.data(), got));
}

namespace {

// A file of several scans (progressive, or sequential with its components in
// separate scans) is decoded from coefficients held for the whole picture, two
// bytes a sample beside the picture itself. They count against the pixel limit
// as pixels of the 24-bit picture, so that no small file makes the decoder
// hold more than the limit allows.
void CheckCoefficientMemory(jpeg_decompress_struct& cinfo, std::int64_t limit) {
  if (limit <= 0 || !jpeg_has_multiple_scans(&cinfo)) return;
  const std::int64_t width = cinfo.image_width, height = cinfo.image_height;
  int maxH = 1, maxV = 1;
  for (int c = 0; c < cinfo.num_components; ++c) {
    maxH = std::max(maxH, cinfo.comp_info[c].h_samp_factor);
    maxV = std::max(maxV, cinfo.comp_info[c].v_samp_factor);
  }
  std::int64_t bytes = 0;
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info& comp = cinfo.comp_info[c];
    const std::int64_t h = std::max(comp.h_samp_factor, 1), v = std::max(comp.v_samp_factor, 1);
    std::int64_t blocksWide = (width * h + maxH * 8 - 1) / (maxH * 8);
    std::int64_t blocksHigh = (height * v + maxV * 8 - 1) / (maxV * 8);
    blocksWide = (blocksWide + h - 1) / h * h;
    blocksHigh = (blocksHigh + v - 1) / v * v;
    bytes += blocksWide * blocksHigh * static_cast<std::int64_t>(sizeof(JBLOCK));
  }
  const std::int64_t extra = (bytes + 2) / 3;
  if (width * height + extra > limit) throw EImageTooLarge(width, height, extra, limit);
}

}  // namespace

void JPEGImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
  JpegDecompressor d;
  ScanBudget budget;
  budget.pub.progress_monitor = LimitScans;
  RowKind kind = RowKind::kBgr;
  if (!CreateJpegDecompressor(d) || !ReadHeader(d, bytes.data(), bytes.size(), &budget.pub, &kind)) {
    ThrowJpegError(d.errors);
  }

  const int width = static_cast<int>(d.cinfo.output_width);
  const int height = static_cast<int>(d.cinfo.output_height);
  CheckImageSize(width, height, PixelLimit());
  CheckCoefficientMemory(d.cinfo, PixelLimit());

  Bitmap picture(width, height, pf24bit);
  std::vector<JSAMPROW> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) rows[static_cast<std::size_t>(y)] = picture.ScanLine(y);

  std::vector<std::uint8_t> scratch;
  std::vector<JSAMPROW> scratchRows;
  if (kind != RowKind::kBgr) {
    const std::size_t scratchStride = CheckedMul(static_cast<std::size_t>(width), 4);
    scratch.resize(CheckedMul(scratchStride, kCmykBatch));
    for (int i = 0; i < kCmykBatch; ++i) scratchRows.push_back(scratch.data() + i * scratchStride);
  }

  if (!ReadRows(d, rows.data(), kind, scratchRows.data())) ThrowJpegError(d.errors);

  picture_ = std::move(picture);
  warnings_ = JpegWarnings(d.errors);
}

std::vector<std::uint8_t> CompressJPEG(const Bitmap& source, int quality, bool grayscale) {
  if (!EncodesDirectly(source.PixelFormat())) {
    Bitmap converted(source);
    converted.SetPixelFormat(pf24bit);
    return CompressJPEG(converted, quality, grayscale);
  }
  RawBuffer bytes;
  std::size_t used = 0;
  Compress(source, quality, grayscale, bytes, used);
  return std::vector<std::uint8_t>(bytes.data(), bytes.data() + used);
}

void CompressJPEG(const Bitmap& source, int quality, bool grayscale, Stream& stream) {
  if (!EncodesDirectly(source.PixelFormat())) {
    Bitmap converted(source);
    converted.SetPixelFormat(pf24bit);
    CompressJPEG(converted, quality, grayscale, stream);
    return;
  }
  RawBuffer bytes;
  std::size_t used = 0;
  Compress(source, quality, grayscale, bytes, used);
  stream.Write(bytes.data(), used);
}

void JPEGImage::SaveToStream(Stream& stream) const { CompressJPEG(picture_, quality_, grayscale_, stream); }

std::vector<std::uint8_t> JPEGImage::SaveToBytes() const { return CompressJPEG(picture_, quality_, grayscale_); }

void JPEGImage::Assign(const Bitmap& source) {
  if (EncodesDirectly(source.PixelFormat())) {
    picture_ = source;
  } else {
    Bitmap converted(source);
    converted.SetPixelFormat(pf24bit);
    picture_ = std::move(converted);
  }
  warnings_.clear();
}

void JPEGImage::Assign(Bitmap&& source) {
  if (!EncodesDirectly(source.PixelFormat())) source.SetPixelFormat(pf24bit);
  picture_ = std::move(source);
  warnings_.clear();
}

void JPEGImage::AssignTo(Bitmap& target) const {
  if (picture_.PixelFormat() == pf24bit || picture_.Empty()) {
    target = picture_;
    return;
  }
  Bitmap converted(picture_);
  converted.SetPixelFormat(pf24bit);
  target = std::move(converted);
}

Bitmap JPEGImage::TakeBitmap() {
  Bitmap taken = std::move(picture_);
  picture_ = Bitmap();
  return taken;
}

void JPEGImage::SetCompressionQuality(int quality) { quality_ = std::clamp(quality, 1, 100); }

}  // namespace pixtrel
