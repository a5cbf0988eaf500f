#include "twain_sane/sane_device.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pixtrel::twain_sane {

namespace {

// Resolutions offered where a device gives a range.
constexpr int kCommonResolutions[] = {50, 75, 100, 150, 200, 300, 400, 600, 1200, 2400};

// The largest picture a page may give, in bytes of the bitmap.
constexpr std::uint64_t kMaxPageBytes = std::uint64_t{1} << 31;

int ToDpi(const SANE_Option_Descriptor& option, SANE_Word word) {
  return option.type == SANE_TYPE_FIXED ? static_cast<int>(std::lround(SANE_UNFIX(word))) : word;
}

SANE_Word FromDpi(const SANE_Option_Descriptor& option, int dpi) {
  return option.type == SANE_TYPE_FIXED ? SANE_FIX(dpi) : dpi;
}

void PutU16(std::uint8_t* p, unsigned value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One frame as read: its parameters and bytes.
struct Frame {
  SANE_Parameters parameters{};
  std::vector<std::uint8_t> bytes;
};

// A sample of channel c (0 in a one-channel frame) at (x, row), 0..255.
int Sample(const Frame& frame, int channels, int row, int x, int c) {
  const SANE_Parameters& p = frame.parameters;
  const std::uint8_t* line = frame.bytes.data() + static_cast<std::size_t>(row) * p.bytes_per_line;
  const int index = x * channels + c;
  switch (p.depth) {
    case 1: {
      const int bit = (line[index / 8] >> (7 - index % 8)) & 1;
      // In a grey frame a set bit is black; in a colour frame it is full intensity.
      if (channels == 1) return bit ? 0 : 255;
      return bit ? 255 : 0;
    }
    case 16: {
      std::uint16_t value;
      std::memcpy(&value, line + 2 * index, 2);
      return value >> 8;
    }
    default:
      return line[index];
  }
}

// The page's frames as a packed DIB in a block from malloc.
void* BuildDib(const std::vector<Frame>& frames, int dpi) {
  if (frames.empty()) return nullptr;
  const SANE_Parameters& first = frames.front().parameters;
  const int width = first.pixels_per_line;
  if (width <= 0 || first.bytes_per_line <= 0) return nullptr;
  const bool grey = first.format == SANE_FRAME_GRAY;
  const bool interleaved = first.format == SANE_FRAME_RGB;
  const int channels = interleaved ? 3 : 1;
  const int depth = first.depth;
  if (depth != 1 && depth != 8 && depth != 16) return nullptr;

  // Lines: as announced, but never more than every frame holds.
  std::int64_t lines = first.lines > 0 ? first.lines : INT32_MAX;
  for (const Frame& frame : frames) {
    const SANE_Parameters& p = frame.parameters;
    if (p.pixels_per_line != width || p.depth != depth || p.bytes_per_line <= 0) return nullptr;
    if (static_cast<std::int64_t>(p.bytes_per_line) * 8 < static_cast<std::int64_t>(width) * channels * depth)
      return nullptr;
    lines = std::min<std::int64_t>(lines, static_cast<std::int64_t>(frame.bytes.size() / p.bytes_per_line));
  }
  if (lines <= 0) return nullptr;

  // Colour planes in red, green, blue order (three-pass devices send them apart).
  const Frame* planes[3] = {nullptr, nullptr, nullptr};
  if (!grey && !interleaved) {
    for (const Frame& frame : frames) {
      const int plane = frame.parameters.format == SANE_FRAME_RED     ? 0
                        : frame.parameters.format == SANE_FRAME_GREEN ? 1
                        : frame.parameters.format == SANE_FRAME_BLUE  ? 2
                                                                      : -1;
      if (plane >= 0) planes[plane] = &frame;
    }
    if (!planes[0] || !planes[1] || !planes[2]) return nullptr;
  }

  const int bits = grey ? (depth == 1 ? 1 : 8) : 24;
  const int colors = grey ? (bits == 1 ? 2 : 256) : 0;
  const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
  const std::uint64_t pixelBytes = rowBytes * static_cast<std::uint64_t>(lines);
  if (pixelBytes > kMaxPageBytes) return nullptr;
  const std::size_t headerBytes = 40 + 4 * static_cast<std::size_t>(colors);
  auto* block = static_cast<std::uint8_t*>(std::calloc(1, headerBytes + pixelBytes));
  if (!block) return nullptr;

  const int pelsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
  PutU32(block, 40);
  PutU32(block + 4, static_cast<std::uint32_t>(width));
  PutU32(block + 8, static_cast<std::uint32_t>(lines));  // bottom-up
  PutU16(block + 12, 1);
  PutU16(block + 14, static_cast<unsigned>(bits));
  PutU32(block + 16, 0);  // BI_RGB
  PutU32(block + 20, static_cast<std::uint32_t>(pixelBytes));
  PutU32(block + 24, static_cast<std::uint32_t>(pelsPerMeter));
  PutU32(block + 28, static_cast<std::uint32_t>(pelsPerMeter));
  PutU32(block + 32, static_cast<std::uint32_t>(colors));
  for (int i = 0; i < colors; ++i) {
    // Line art: index 0 white, 1 black, as SANE sets its bits.
    const int level = bits == 1 ? (i ? 0 : 255) : i;
    std::uint8_t* entry = block + 40 + 4 * i;
    entry[0] = entry[1] = entry[2] = static_cast<std::uint8_t>(level);
  }

  std::uint8_t* pixels = block + headerBytes;
  for (std::int64_t row = 0; row < lines; ++row) {
    std::uint8_t* out = pixels + static_cast<std::size_t>(lines - 1 - row) * rowBytes;
    const int y = static_cast<int>(row);
    if (grey && depth == 1) {
      const Frame& frame = frames.front();
      std::memcpy(out, frame.bytes.data() + static_cast<std::size_t>(y) * frame.parameters.bytes_per_line,
                  static_cast<std::size_t>((width + 7) / 8));
    } else if (grey) {
      for (int x = 0; x < width; ++x) out[x] = static_cast<std::uint8_t>(Sample(frames.front(), 1, y, x, 0));
    } else {
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) {
          const int value = interleaved ? Sample(frames.front(), 3, y, x, c) : Sample(*planes[c], 1, y, x, 0);
          out[3 * x + (2 - c)] = static_cast<std::uint8_t>(value);
        }
      }
    }
  }
  return block;
}

PageResult ResultOf(SANE_Status status) {
  switch (status) {
    case SANE_STATUS_GOOD:
      return PageResult::Done;
    case SANE_STATUS_CANCELLED:
      return PageResult::Cancelled;
    case SANE_STATUS_NO_DOCS:
      return PageResult::NoDocuments;
    default:
      return PageResult::Failed;
  }
}

}  // namespace

std::vector<DeviceInfo> ListDevices() {
  std::vector<DeviceInfo> devices;
  const SANE_Device** list = nullptr;
  if (sane_get_devices(&list, SANE_FALSE) != SANE_STATUS_GOOD || !list) return devices;
  for (int i = 0; list[i]; ++i)
    devices.push_back({list[i]->name ? list[i]->name : "", list[i]->vendor ? list[i]->vendor : "",
                       list[i]->model ? list[i]->model : ""});
  return devices;
}

SaneDevice::SaneDevice(const std::string& name) : name_(name) {
  if (sane_open(name.c_str(), &handle_) != SANE_STATUS_GOOD) handle_ = nullptr;
}

SaneDevice::~SaneDevice() {
  if (!handle_) return;
  Cancel();
  sane_close(handle_);
}

int SaneDevice::FindOption(const char* name) const {
  if (!handle_) return -1;
  for (int i = 1;; ++i) {
    const SANE_Option_Descriptor* option = sane_get_option_descriptor(handle_, i);
    if (!option) return -1;
    if (option->name && std::strcmp(option->name, name) == 0) {
      if (!SANE_OPTION_IS_ACTIVE(option->cap)) return -1;
      return i;
    }
  }
}

std::vector<std::string> SaneDevice::Choices(const char* name) const {
  std::vector<std::string> choices;
  const int index = FindOption(name);
  if (index < 0) return choices;
  const SANE_Option_Descriptor& option = *sane_get_option_descriptor(handle_, index);
  if (option.type == SANE_TYPE_STRING && option.constraint_type == SANE_CONSTRAINT_STRING_LIST) {
    for (int i = 0; option.constraint.string_list[i]; ++i) choices.emplace_back(option.constraint.string_list[i]);
  } else if ((option.type == SANE_TYPE_INT || option.type == SANE_TYPE_FIXED) && option.size == sizeof(SANE_Word)) {
    std::vector<int> values;
    if (option.constraint_type == SANE_CONSTRAINT_WORD_LIST) {
      const SANE_Word* list = option.constraint.word_list;
      for (int i = 1; i <= list[0]; ++i) values.push_back(ToDpi(option, list[i]));
    } else if (option.constraint_type == SANE_CONSTRAINT_RANGE) {
      const int low = ToDpi(option, option.constraint.range->min);
      const int high = ToDpi(option, option.constraint.range->max);
      for (int dpi : kCommonResolutions)
        if (dpi >= low && dpi <= high) values.push_back(dpi);
    }
    const std::string current = Value(name);
    if (!current.empty()) values.push_back(std::atoi(current.c_str()));
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    for (int value : values) choices.push_back(std::to_string(value));
  }
  return choices;
}

std::string SaneDevice::Value(const char* name) const {
  const int index = FindOption(name);
  if (index < 0) return {};
  const SANE_Option_Descriptor& option = *sane_get_option_descriptor(handle_, index);
  std::vector<char> buffer(static_cast<std::size_t>(std::max<SANE_Int>(option.size, sizeof(SANE_Word))) + 1, 0);
  if (sane_control_option(handle_, index, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) != SANE_STATUS_GOOD)
    return {};
  if (option.type == SANE_TYPE_STRING) return std::string(buffer.data());
  if (option.type == SANE_TYPE_INT || option.type == SANE_TYPE_FIXED) {
    SANE_Word word;
    std::memcpy(&word, buffer.data(), sizeof word);
    return std::to_string(ToDpi(option, word));
  }
  return {};
}

bool SaneDevice::SetValue(const char* name, const std::string& value) {
  const int index = FindOption(name);
  if (index < 0 || value.empty()) return false;
  const SANE_Option_Descriptor& option = *sane_get_option_descriptor(handle_, index);
  if (!SANE_OPTION_IS_SETTABLE(option.cap)) return false;
  SANE_Int info = 0;
  if (option.type == SANE_TYPE_STRING) {
    std::vector<char> buffer(static_cast<std::size_t>(std::max<SANE_Int>(option.size, 1)), 0);
    std::strncpy(buffer.data(), value.c_str(), buffer.size() - 1);
    return sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, buffer.data(), &info) == SANE_STATUS_GOOD;
  }
  if ((option.type == SANE_TYPE_INT || option.type == SANE_TYPE_FIXED) && option.size == sizeof(SANE_Word)) {
    SANE_Word word = FromDpi(option, std::atoi(value.c_str()));
    return sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, &word, &info) == SANE_STATUS_GOOD;
  }
  return false;
}

bool SaneDevice::FeedsDocuments() const {
  std::string source = Value(SANE_NAME_SCAN_SOURCE);
  std::transform(source.begin(), source.end(), source.begin(), [](unsigned char c) { return std::tolower(c); });
  return source.find("adf") != std::string::npos || source.find("feeder") != std::string::npos ||
         source.find("duplex") != std::string::npos;
}

PageResult SaneDevice::ScanPage(void** block) {
  *block = nullptr;
  lastError_.clear();
  if (!handle_) return PageResult::Failed;
  if (!started_) {
    const SANE_Status status = sane_start(handle_);
    if (status != SANE_STATUS_GOOD) {
      lastError_ = sane_strstatus(status);
      sane_cancel(handle_);
      return ResultOf(status);
    }
    started_ = true;
  }
  std::vector<Frame> frames;
  for (;;) {
    Frame frame;
    if (const SANE_Status status = sane_get_parameters(handle_, &frame.parameters); status != SANE_STATUS_GOOD) {
      lastError_ = sane_strstatus(status);
      return PageResult::Failed;
    }
    std::vector<SANE_Byte> buffer(64 * 1024);
    SANE_Status status;
    for (;;) {
      SANE_Int length = 0;
      status = sane_read(handle_, buffer.data(), static_cast<SANE_Int>(buffer.size()), &length);
      if (status != SANE_STATUS_GOOD) break;
      if (frame.bytes.size() + static_cast<std::size_t>(length) > kMaxPageBytes) {
        lastError_ = sane_strstatus(SANE_STATUS_NO_MEM);
        return PageResult::Failed;
      }
      frame.bytes.insert(frame.bytes.end(), buffer.begin(), buffer.begin() + length);
    }
    if (status != SANE_STATUS_EOF) {
      lastError_ = sane_strstatus(status);
      started_ = false;
      sane_cancel(handle_);
      return ResultOf(status) == PageResult::Done ? PageResult::Failed : ResultOf(status);
    }
    const bool last = frame.parameters.last_frame;
    frames.push_back(std::move(frame));
    if (last || frames.size() >= 3) break;
    if (const SANE_Status next = sane_start(handle_); next != SANE_STATUS_GOOD) {
      lastError_ = sane_strstatus(next);
      started_ = false;
      sane_cancel(handle_);
      return PageResult::Failed;
    }
  }
  started_ = false;
  const std::string resolution = Value(SANE_NAME_SCAN_RESOLUTION);
  *block = BuildDib(frames, resolution.empty() ? 72 : std::atoi(resolution.c_str()));
  if (!*block) lastError_ = "The scanner sent a picture of a kind or size this source cannot take";
  return *block ? PageResult::Done : PageResult::Failed;
}

PageResult SaneDevice::StartNextPage() {
  if (!handle_) return PageResult::Failed;
  const PageResult started = ResultOf(sane_start(handle_));
  if (started == PageResult::Done)
    started_ = true;
  else
    Cancel();
  return started;
}

void SaneDevice::Cancel() {
  if (handle_) sane_cancel(handle_);
  started_ = false;
}

}  // namespace pixtrel::twain_sane
