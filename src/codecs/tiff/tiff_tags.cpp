#include "codecs/tiff/tiff_tags.h"

#include <QFile>
#include <algorithm>
#include <unordered_set>

#include "core/stream.h"

namespace pixtrel {

std::size_t TiffTypeSize(std::uint16_t type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
      return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
    case 3:
    case 8:
      return 2;  // SHORT, SSHORT
    case 4:
    case 9:
    case 11:
      return 4;  // LONG, SLONG, FLOAT
    case 5:
    case 10:
    case 12:
      return 8;  // RATIONAL, SRATIONAL, DOUBLE
    default:
      return 0;
  }
}

namespace {

bool IsIntegerType(std::uint16_t type) {
  return type == 1 || type == 3 || type == 4 || type == 6 || type == 8 || type == 9;
}

}  // namespace

// ---------------------------------------------------------------------------

GraphicTiff::GraphicTiff(const FileTiff& file, std::vector<TiffEntry> entries, std::uint32_t nextOffset)
    : file_(&file), entries_(std::move(entries)), nextOffset_(nextOffset) {
  LoadStripTable();
}

const TiffEntry* GraphicTiff::Find(std::uint16_t tag) const {
  for (const TiffEntry& entry : entries_)
    if (entry.tag == tag) return &entry;
  return nullptr;
}

std::optional<std::vector<std::uint32_t>> GraphicTiff::Values(const TiffEntry& entry, std::size_t n) const {
  if (!IsIntegerType(entry.type) || n > entry.count) return std::nullopt;
  const std::size_t size = TiffTypeSize(entry.type);
  const std::size_t total = static_cast<std::size_t>(entry.count) * size;
  std::size_t position = entry.fieldPosition;
  if (total > 4) {
    auto offset = file_->U32(entry.fieldPosition);
    if (!offset) return std::nullopt;
    position = *offset;
  }
  const auto bytes = file_->Bytes();
  if (position > bytes.size() || n * size > bytes.size() - position) return std::nullopt;
  std::vector<std::uint32_t> values(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = position + i * size;
    switch (size) {
      case 1:
        values[i] = bytes[at];
        break;
      case 2:
        values[i] = *file_->U16(at);
        break;
      default:
        values[i] = *file_->U32(at);
        break;
    }
  }
  return values;
}

std::optional<std::uint32_t> GraphicTiff::Value(std::uint16_t tag) const {
  const TiffEntry* entry = Find(tag);
  if (!entry || entry->count == 0) return std::nullopt;
  auto values = Values(*entry, 1);
  if (!values) return std::nullopt;
  return (*values)[0];
}

void GraphicTiff::LoadStripTable() {
  const TiffEntry* offsets = Find(tifftag::kStripOffsets);
  const TiffEntry* counts = Find(tifftag::kStripByteCounts);
  if (!offsets || !counts || offsets->count != counts->count || offsets->count == 0) return;
  // Values are read at their own size, so SHORT arrays (common for small
  // strips) read as they are written.
  auto offsetValues = Values(*offsets, offsets->count);
  auto countValues = Values(*counts, counts->count);
  if (!offsetValues || !countValues) return;
  strips_.resize(offsetValues->size());
  for (std::size_t i = 0; i < strips_.size(); ++i) strips_[i] = {(*offsetValues)[i], (*countValues)[i]};
}

// ---------------------------------------------------------------------------

FileTiff::FileTiff() = default;
FileTiff::~FileTiff() = default;

void FileTiff::SetFileName(const std::string& path) {
  // Mapping spares a copy of the whole file; strips are read in place.
  auto file = std::make_unique<QFile>(QString::fromStdString(path));
  if (file->open(QIODevice::ReadOnly) && file->size() > 0) {
    if (uchar* data = file->map(0, file->size())) {
      directories_.clear();
      owned_.clear();
      mapped_ = std::move(file);
      bytes_ = std::span<const std::uint8_t>(data, static_cast<std::size_t>(mapped_->size()));
      valid_ = false;
      Parse();
      return;
    }
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const Exception&) {
    bytes.clear();
  }
  SetBytes(std::move(bytes));
}

void FileTiff::SetBytes(std::vector<std::uint8_t> bytes) {
  directories_.clear();
  mapped_.reset();
  owned_ = std::move(bytes);
  bytes_ = owned_;
  valid_ = false;
  Parse();
}

std::optional<std::uint16_t> FileTiff::U16(std::size_t position) const {
  if (position > bytes_.size() || bytes_.size() - position < 2) return std::nullopt;
  const std::uint8_t* p = bytes_.data() + position;
  return static_cast<std::uint16_t>(bigEndian_ ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8));
}

std::optional<std::uint32_t> FileTiff::U32(std::size_t position) const {
  if (position > bytes_.size() || bytes_.size() - position < 4) return std::nullopt;
  const std::uint8_t* p = bytes_.data() + position;
  const std::uint32_t b0 = p[0], b1 = p[1], b2 = p[2], b3 = p[3];
  return bigEndian_ ? (b0 << 24) | (b1 << 16) | (b2 << 8) | b3 : b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
}

void FileTiff::Parse() {
  if (bytes_.size() < 8) return;
  if (bytes_[0] == 'I' && bytes_[1] == 'I') {
    bigEndian_ = false;
  } else if (bytes_[0] == 'M' && bytes_[1] == 'M') {
    bigEndian_ = true;
  } else {
    return;
  }
  if (*U16(2) != 42) return;
  valid_ = true;

  // A chain that comes back to a directory already read ends there.
  std::unordered_set<std::uint32_t> visited;
  std::uint32_t offset = *U32(4);
  while (offset > 7 && visited.insert(offset).second) {
    auto count = U16(offset);
    if (!count) break;
    // A directory cut short by the end of the file keeps the entries that
    // fit and ends the chain.
    const std::size_t first = static_cast<std::size_t>(offset) + 2;
    const std::size_t fitting = std::min<std::size_t>(*count, (bytes_.size() - first) / 12);
    const std::size_t end = first + 12 * fitting;
    if (directories_.size() == kMaxTiffDirectories) throw ETiffTooManyDirectories();
    std::vector<TiffEntry> entries(fitting);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::size_t at = first + 12 * i;
      entries[i] = {*U16(at), *U16(at + 2), *U32(at + 4), at + 8};
    }
    const std::uint32_t next = fitting == *count ? U32(end).value_or(0) : 0;
    directories_.emplace_back(*this, std::move(entries), next);
    offset = next;
  }
}

}  // namespace pixtrel
