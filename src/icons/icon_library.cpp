#include "icons/icon_library.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

#include "core/byte_reader.h"
#include "core/stream.h"

namespace pixtrel::icons {

namespace {

constexpr std::size_t kMaxNameLength = 255;
// Groups may name one image many times; the copies a reader makes are capped
// so that a small file cannot ask for unbounded memory.
constexpr std::size_t kMaxImageBytes = std::size_t{256} << 20;

void Spend(std::size_t& budget, std::size_t bytes) {
  if (bytes > budget) throw EImageTooLarge();
  budget -= bytes;
}

void Put16(std::vector<std::uint8_t>& out, int v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Patch16(std::vector<std::uint8_t>& out, std::size_t at, int v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A resource block of an NE module: offset and length in units of 2^shift.
std::span<const std::uint8_t> NeBlock(std::span<const std::uint8_t> file, std::uint16_t offset, std::uint16_t length,
                                      int shift) {
  const std::uint64_t start = static_cast<std::uint64_t>(offset) << shift;
  const std::uint64_t size = static_cast<std::uint64_t>(length) << shift;
  if (start > file.size() || size > file.size() - start) throw EReadError();
  return file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(size));
}

std::string Utf16ToUtf8(std::span<const std::uint8_t> units) {
  std::string out;
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    std::uint32_t c = units[i] | (units[i + 1] << 8);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < units.size()) {
      const std::uint32_t low = units[i + 2] | (units[i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The resource directory of a PE image, mapped from RVAs to file offsets.
class PeResources {
 public:
  explicit PeResources(std::span<const std::uint8_t> file) : file_(file) {
    ByteReader r(file);
    if (r.U16LE() != 0x5A4D) throw EInvalidGraphic();
    r.Seek(60);
    const std::uint32_t pe = r.U32LE();
    r.Seek(pe);
    if (r.U32LE() != 0x00004550) throw EInvalidGraphic();
    r.Skip(2);
    const int sections = r.U16LE();
    r.Skip(12);
    const int optionalSize = r.U16LE();
    r.Skip(2);
    const std::size_t optional = r.Position();
    const int magic = r.U16LE();
    std::size_t dirs = 0;
    std::size_t countAt = 0;
    if (magic == 0x10B) {
      countAt = optional + 92;
      dirs = optional + 96;
    } else if (magic == 0x20B) {
      countAt = optional + 108;
      dirs = optional + 112;
    } else {
      throw EInvalidGraphic();
    }
    r.Seek(countAt);
    if (r.U32LE() < 3) return;
    r.Seek(dirs + 16);
    const std::uint32_t rva = r.U32LE();
    r.Seek(optional + optionalSize);
    for (int i = 0; i < sections; ++i) {
      r.Skip(8);
      Section s;
      s.virtualSize = r.U32LE();
      s.virtualAddress = r.U32LE();
      s.rawSize = r.U32LE();
      s.rawPointer = r.U32LE();
      r.Skip(16);
      sections_.push_back(s);
    }
    if (rva == 0) return;
    root_ = Map(rva, 16);
    hasRoot_ = true;
  }

  struct Entry {
    bool named = false;
    std::string name;
    std::uint32_t id = 0;
    std::uint32_t target = 0;  // offset from the root, top bit: subdirectory
  };

  bool HasResources() const { return hasRoot_; }

  // The entries of a directory at an offset from the root.
  std::vector<Entry> Directory(std::uint32_t offset) const {
    ByteReader r(file_);
    r.Seek(At(offset, 16));
    r.Skip(12);
    const int named = r.U16LE();
    const int ids = r.U16LE();
    r.Seek(At(offset + 16, 8 * static_cast<std::size_t>(named + ids)));
    std::vector<Entry> entries;
    for (int i = 0; i < named + ids; ++i) {
      Entry e;
      const std::uint32_t name = r.U32LE();
      e.target = r.U32LE();
      if (name & 0x80000000u) {
        e.named = true;
        const std::uint32_t at = name & 0x7FFFFFFFu;
        ByteReader s(file_);
        s.Seek(At(at, 2));
        const std::size_t length = s.U16LE();
        e.name = Utf16ToUtf8(file_.subspan(At(at + 2, 2 * length), 2 * length));
      } else {
        e.id = name & 0xFFFF;
      }
      entries.push_back(std::move(e));
    }
    return entries;
  }

  // The data of a resource: through the first language of a name entry.
  std::span<const std::uint8_t> Data(const Entry& nameEntry) const {
    std::uint32_t target = nameEntry.target;
    if (target & 0x80000000u) {
      const auto languages = Directory(target & 0x7FFFFFFFu);
      if (languages.empty()) throw EReadError();
      target = languages.front().target;
      if (target & 0x80000000u) throw EReadError();  // no deeper levels
    }
    ByteReader r(file_);
    r.Seek(At(target, 16));
    const std::uint32_t rva = r.U32LE();
    const std::uint32_t size = r.U32LE();
    return file_.subspan(Map(rva, size), size);
  }

  // The name entries of one resource type; empty when the type is absent.
  std::vector<Entry> OfType(std::uint32_t type) const {
    if (!hasRoot_) return {};
    for (const Entry& e : Directory(0))
      if (!e.named && e.id == type && (e.target & 0x80000000u)) return Directory(e.target & 0x7FFFFFFFu);
    return {};
  }

 private:
  struct Section {
    std::uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
  };

  std::size_t Map(std::uint32_t rva, std::size_t size) const {
    for (const Section& s : sections_) {
      const std::uint32_t extent = std::max(s.virtualSize, s.rawSize);
      if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
        const std::uint64_t offset = static_cast<std::uint64_t>(s.rawPointer) + (rva - s.virtualAddress);
        if (offset > file_.size() || size > file_.size() - offset) throw EReadError();
        return static_cast<std::size_t>(offset);
      }
    }
    throw EReadError();
  }
  std::size_t At(std::uint64_t offset, std::size_t size) const {
    const std::uint64_t at = root_ + offset;
    if (at > file_.size() || size > file_.size() - at) throw EReadError();
    return static_cast<std::size_t>(at);
  }

  std::span<const std::uint8_t> file_;
  std::vector<Section> sections_;
  std::size_t root_ = 0;
  bool hasRoot_ = false;
};

// Group icons in the order of the platform's enumeration.
std::vector<PeResources::Entry> GroupIcons(const PeResources& pe) {
  std::vector<PeResources::Entry> groups = pe.OfType(14);
  std::stable_sort(groups.begin(), groups.end(), [](const PeResources::Entry& a, const PeResources::Entry& b) {
    if (a.named != b.named) return a.named;
    if (a.named) return false;
    return a.id < b.id;
  });
  return groups;
}

// The group-icon count of an NE module, 0 when it cannot be read.
int CountNeIcons(std::span<const std::uint8_t> bytes) {
  try {
    ByteReader r(bytes);
    r.Seek(60);
    const std::size_t ne = r.U16LE();
    r.Seek(ne + 36);
    const std::size_t table = ne + r.U16LE();
    r.Seek(table + 2);
    int count = 0;
    for (;;) {
      const int type = r.U16LE();
      if (type == 0) break;
      const int n = r.U16LE();
      r.Skip(4 + 12 * static_cast<std::size_t>(n));
      if (type == 0x800E) count += n;
    }
    return count;
  } catch (const Exception&) {
    return 0;
  }
}

int CountPeIcons(std::span<const std::uint8_t> bytes) {
  try {
    return static_cast<int>(PeResources(bytes).OfType(14).size());
  } catch (const Exception&) {
    return 0;
  }
}

std::string IconNumberName(const std::string& base, int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%.3d", number);
  return base + " " + digits;
}

}  // namespace

std::string BaseName(const std::string& fileName) {
  std::filesystem::path path(fileName);
  return path.stem().string();
}

// --- IconList ---

void IconList::Assign(IconList& other) {
  if (&other == this) return;
  items_.clear();
  items_ = std::move(other.items_);
  other.items_.clear();
}

void IconList::AddIcon(std::string name, std::unique_ptr<AdvancedIcon> icon) {
  if (!icon) return;
  if (name.empty()) name = "Icon " + std::to_string(Count() + 1);
  items_.emplace_back(std::move(name), std::move(icon));
}

void IconList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

// --- module kind ---

ModuleKind GetModuleKind(std::span<const std::uint8_t> bytes) {
  try {
    ByteReader r(bytes);
    if (r.U8() != 'M' || r.U8() != 'Z') return ModuleKind::None;
    r.Seek(60);
    r.Seek(r.U16LE());
    const std::uint8_t a = r.U8();
    const std::uint8_t b = r.U8();
    if (a == 'P' && b == 'E') return ModuleKind::Win32;
    if (a == 'N' && b == 'E') return ModuleKind::Win16;
  } catch (const Exception&) {
  }
  return ModuleKind::None;
}

ModuleKind GetModuleKind(const std::string& fileName) { return GetModuleKind(ReadFileBytes(fileName)); }

bool ICLReader::Load() {
  try {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(FileName);
    Read(bytes);
    return true;
  } catch (const Exception&) {
    List.Clear();
    return false;
  }
}

// --- T16BitReader ---

void T16BitReader::Read(std::span<const std::uint8_t> bytes) {
  List.Clear();
  names_.clear();
  ByteReader r(bytes);
  if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z') throw EICLReadError(IconError::NotValidIcl);
  r.Seek(60);
  const std::size_t ne = r.U16LE();
  if (ne < 60) throw EICLReadError(IconError::InvalidOffset);
  r.Seek(ne);
  if (r.Remaining() < 2 || r.U8() != 'N' || r.U8() != 'E') throw EICLReadError(IconError::InvalidHeader);
  r.Seek(ne + 36);
  const std::size_t resourceOffset = r.U16LE();
  const std::size_t namesOffset = r.U16LE();
  if (resourceOffset == 0) throw EICLReadError(IconError::NoResources);
  if (namesOffset == 0) throw EICLReadError(IconError::NoNamesTable);

  r.Seek(ne + resourceOffset);
  const int shift = r.U16LE();
  if (shift > 24) throw EReadError();
  std::span<const std::uint8_t> iconTable;
  std::span<const std::uint8_t> groupTable;
  bool haveIcons = false;
  bool haveGroups = false;
  for (;;) {
    const int type = r.U16LE();
    if (type == 0) break;
    const std::size_t count = r.U16LE();
    r.Skip(4);
    const auto table = r.Take(12 * count);
    if (type & 0x8000) {
      if ((type & 0xFF) == 3) {
        iconTable = table;
        haveIcons = true;
      } else if ((type & 0xFF) == 14) {
        groupTable = table;
        haveGroups = true;
      }
    }
  }
  if (!haveIcons || !haveGroups) throw EICLReadError(IconError::ResourceTableError);

  for (;;) {
    const std::size_t length = r.U8();
    if (length == 0) break;
    const auto chars = r.Take(length);
    std::string name(chars.begin(), chars.end());
    if (names_.empty() && name == "ICL") continue;
    names_.push_back(std::move(name));
  }

  auto u16 = [](std::span<const std::uint8_t> t, std::size_t at) {
    return static_cast<std::uint16_t>(t[at] | (t[at + 1] << 8));
  };
  const std::string base = BaseName(FileName);
  const std::size_t groups = groupTable.size() / 12;
  const std::size_t icons = iconTable.size() / 12;
  // The first icon-image entry of every ID with the top bit inverted.
  std::unordered_map<int, std::size_t> iconById;
  for (std::size_t k = icons; k-- > 0;) iconById[u16(iconTable, 12 * k + 6) ^ 0x8000] = k;
  std::size_t budget = kMaxImageBytes;
  for (std::size_t g = 0; g < groups; ++g) {
    const auto block = NeBlock(bytes, u16(groupTable, 12 * g), u16(groupTable, 12 * g + 2), shift);
    auto icon = std::make_unique<ICL16Icon>();
    icon->Name = IconNumberName(base, static_cast<int>(g + 1));
    ByteReader gr(block);
    if (block.size() >= 6 && gr.U16LE() == 0 && gr.U16LE() == 1) {
      const int count = gr.U16LE();
      icon->Images().SetCapacity(static_cast<std::uint16_t>(count));
      for (int i = 0; i < count; ++i) {
        const auto raw = gr.Take(14);
        const int imageId = raw[12] | (raw[13] << 8);
        const auto it = iconById.find(imageId);
        if (it == iconById.end()) throw EICLReadError(IconError::IconResourceNotFound);
        const std::size_t found = it->second;
        const auto data = NeBlock(bytes, u16(iconTable, 12 * found), u16(iconTable, 12 * found + 2), shift);
        IconImage::Entry entry;
        std::copy(raw.begin(), raw.begin() + 12, entry.begin());
        // The block is padded to the alignment; the image keeps its own bytes.
        auto image = std::make_unique<ICL16IconImage>(entry, std::vector<std::uint8_t>());
        const std::size_t own = std::min<std::size_t>(image->BytesInRes(), data.size());
        Spend(budget, own);
        image->SetData(std::vector<std::uint8_t>(data.begin(), data.begin() + own));
        icon->Images().Add(std::move(image));
      }
    }
    std::string name = icon->Name;
    List.AddIcon(std::move(name), std::move(icon));
  }
  if (names_.size() == groups)
    for (std::size_t g = 0; g < groups; ++g) {
      List.SetName(static_cast<int>(g), names_[g]);
      static_cast<ICL16Icon*>(List.Icon(static_cast<int>(g)))->Name = names_[g];
    }
}

// --- T32BitReader ---

void T32BitReader::Read(std::span<const std::uint8_t> bytes) {
  List.Clear();
  const PeResources pe(bytes);
  if (!pe.HasResources()) return;
  std::unordered_map<int, PeResources::Entry> iconById;
  for (const PeResources::Entry& e : pe.OfType(3))
    if (!e.named) iconById.emplace(static_cast<int>(e.id), e);
  std::size_t budget = kMaxImageBytes;
  for (const PeResources::Entry& group : GroupIcons(pe)) {
    auto icon = std::make_unique<AdvancedIcon>();
    icon->LoadFromGroup(pe.Data(group), [&](int id) {
      const auto it = iconById.find(id);
      if (it == iconById.end()) return std::vector<std::uint8_t>();
      const auto data = pe.Data(it->second);
      Spend(budget, data.size());
      return std::vector<std::uint8_t>(data.begin(), data.end());
    });
    List.AddIcon(group.named ? group.name : std::to_string(group.id), std::move(icon));
  }
}

// --- T16BitWriter ---

std::vector<std::uint8_t> T16BitWriter::Write() const {
  if (icons_.Count() == 0) throw EICLReadError(IconError::NoIcons);
  if (icons_.Count() > 32767) throw EICLReadError(IconError::TooManyIcons);
  std::size_t images = 0;
  for (int i = 0; i < icons_.Count(); ++i) images += icons_.Icon(i)->Images().Count();
  if (images > 32767) throw EICLReadError(IconError::TooManyImages);
  std::vector<std::uint8_t> out;
  // A shift too small for the padded blocks is raised until they fit.
  for (int shift = -1; shift <= 24; ++shift)
    if (Build(shift, out)) return out;
  throw EICLReadError(IconError::TooManyImages);
}

// shift -1: the estimate decides.
bool T16BitWriter::Build(int minimumShift, std::vector<std::uint8_t>& out) const {
  out.clear();
  const int n = icons_.Count();
  std::size_t m = 0;
  for (int i = 0; i < n; ++i) m += icons_.Icon(i)->Images().Count();

  out.assign(192, 0);
  out[0] = 'M';
  out[1] = 'Z';
  Patch16(out, 60, 128);
  out[126] = 'I';
  out[127] = 'M';
  out[128] = 'N';
  out[129] = 'E';
  Patch16(out, 128 + 34, 64);
  Patch16(out, 128 + 36, 64);
  const std::size_t namesField = 128 + 38;
  Patch16(out, 128 + 54, 2);
  out[128 + 63] = 3;

  const std::size_t table = out.size();
  Put16(out, 0);
  Put16(out, 0x800E);
  Put16(out, n);
  Put16(out, 0);
  Put16(out, 0);
  std::vector<std::size_t> groupEntries;
  for (int k = 1; k <= n; ++k) {
    groupEntries.push_back(out.size());
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0x1C30);
    Put16(out, 0x8000 + k);
    Put16(out, 0);
    Put16(out, 0);
  }
  Put16(out, 0x8003);
  Put16(out, static_cast<int>(m));
  Put16(out, 0);
  Put16(out, 0);
  std::vector<std::size_t> imageEntries;
  for (std::size_t k = 1; k <= m; ++k) {
    imageEntries.push_back(out.size());
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0x1C30);
    Put16(out, static_cast<int>(0x8000 + k));
    Put16(out, 0);
    Put16(out, 0);
  }
  Put16(out, 0);

  Patch16(out, namesField, static_cast<int>(out.size() - 128));
  out.push_back(3);
  out.insert(out.end(), {'I', 'C', 'L'});
  for (int i = 0; i < n; ++i) {
    const std::string& name = icons_.Name(i);
    const std::size_t length = std::min(name.size(), kMaxNameLength);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length));
  }
  out.push_back(0);

  std::uint64_t estimate = out.size();
  for (int i = 0; i < n; ++i) {
    estimate += 6;
    const IconImageList& list = icons_.Icon(i)->Images();
    for (int j = 0; j < list.Count(); ++j) {
      const IconImage::Entry entry = list.Get(j)->WrittenEntry();
      estimate += 14 + (entry[8] | (entry[9] << 8) | (entry[10] << 16) | (std::uint64_t{entry[11]} << 24));
    }
  }
  int shift = 0;
  while ((std::uint64_t{0xFFFF} << shift) < estimate) ++shift;
  if (minimumShift > shift) shift = minimumShift;
  alignShift_ = shift;
  Patch16(out, table, shift);

  const std::size_t unit = std::size_t{1} << shift;
  auto pad = [&out, unit] {
    while (out.size() % unit != 0) {
      const std::size_t missing = unit - out.size() % unit;
      out.insert(out.end(), std::min<std::size_t>(missing, 256), 0);
    }
  };
  bool fits = true;
  auto patch = [&](std::size_t entry, std::size_t start, std::size_t end) {
    const std::size_t offset = start >> shift;
    const std::size_t length = (end - start) >> shift;
    if (offset > 0xFFFF || length > 0xFFFF) fits = false;
    Patch16(out, entry, static_cast<int>(offset));
    Patch16(out, entry + 2, static_cast<int>(length));
  };
  pad();
  int imageNumber = 1;
  for (int i = 0; i < n; ++i) {
    const std::size_t start = out.size();
    const IconImageList& list = icons_.Icon(i)->Images();
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, list.Count());
    for (int j = 0; j < list.Count(); ++j) {
      const IconImage::Entry entry = list.Get(j)->WrittenEntry();
      out.insert(out.end(), entry.begin(), entry.end());
      Put16(out, imageNumber++);
    }
    pad();
    patch(groupEntries[i], start, out.size());
  }
  std::size_t image = 0;
  for (int i = 0; i < n; ++i) {
    const IconImageList& list = icons_.Icon(i)->Images();
    for (int j = 0; j < list.Count(); ++j) {
      const std::size_t start = out.size();
      MemoryStream data;
      list.Get(j)->SaveData(data);
      out.insert(out.end(), data.Bytes().begin(), data.Bytes().end());
      pad();
      patch(imageEntries[image++], start, out.size());
    }
  }
  Put16(out, 0);
  return fits;
}

// --- IconLibrary ---

void IconLibrary::LoadFromFile(const std::string& fileName) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
  const ModuleKind kind = GetModuleKind(bytes);
  if (kind == ModuleKind::None) return;
  const int count = kind == ModuleKind::Win16 ? CountNeIcons(bytes) : CountPeIcons(bytes);
  if (count < 1) return;
  FileName = fileName;
  std::unique_ptr<ICLReader> reader;
  if (kind == ModuleKind::Win32)
    reader = std::make_unique<T32BitReader>(fileName);
  else
    reader = std::make_unique<T16BitReader>(fileName);
  if (reader->Load()) Icons.Assign(reader->List);
}

void IconLibrary::LoadFromProgram(const std::string& programPath, const std::string& iconsFolder) {
  std::error_code error;
  const std::filesystem::path program =
      programPath.empty() ? std::filesystem::read_symlink("/proc/self/exe", error) : std::filesystem::path(programPath);
  FileName = program.string();
  // The icons the program ships: <program folder>/icons/*.ico, by file name.
  std::vector<std::filesystem::path> files;
  const std::filesystem::path folder =
      iconsFolder.empty() ? program.parent_path() / "icons" : std::filesystem::path(iconsFolder);
  for (const auto& item : std::filesystem::directory_iterator(folder, error))
    if (item.is_regular_file() && (item.path().extension() == ".ico" || item.path().extension() == ".ICO"))
      files.push_back(item.path());
  std::sort(files.begin(), files.end());
  IconList list;
  for (const auto& file : files) {
    auto icon = std::make_unique<AdvancedIcon>();
    try {
      if (!icon->LoadFromFile(file.string())) continue;
    } catch (const Exception&) {
      continue;
    }
    list.AddIcon(file.stem().string(), std::move(icon));
  }
  Icons.Assign(list);
}

void IconLibrary::SaveToFile(const std::string& fileName) const {
  const std::vector<std::uint8_t> bytes = T16BitWriter(Icons).Write();
  WriteFileBytes(fileName, bytes);
}

}  // namespace pixtrel::icons
