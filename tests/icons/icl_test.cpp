// Icon libraries: the 16-bit writer byte for byte, the NE and PE readers on
// the corpus as wrestool sees it, and round trips.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <regex>

#include "core/stream.h"
#include "icons/icon_library.h"
#include "support/corpus.h"
#include "support/golden.h"

namespace pixtrel::icons {
namespace {

std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  return out;
}

int U16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

std::unique_ptr<AdvancedIcon> IconOfSizes(std::initializer_list<std::uint32_t> sizes, std::uint8_t seed) {
  auto icon = std::make_unique<AdvancedIcon>();
  for (std::uint32_t size : sizes) {
    IconImage::Entry e{};
    e[0] = e[1] = 32;
    e[2] = seed;
    e[6] = 8;
    for (int i = 0; i < 4; ++i) e[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + seed);
    icon->Images().Add(std::make_unique<IconImage>(e, std::move(data)));
  }
  return icon;
}

TEST(T16BitWriter, WorkedExample) {
  IconList list;
  list.AddIcon("", IconOfSizes({2216}, 1));
  EXPECT_EQ(list.Name(0), "Icon 1");
  T16BitWriter writer(list);
  const std::vector<std::uint8_t> b = writer.Write();
  ASSERT_EQ(b.size(), 2486u);
  EXPECT_EQ(b[0], 'M');
  EXPECT_EQ(U16(b, 60), 128);
  EXPECT_EQ(b[126], 'I');
  EXPECT_EQ(b[128], 'N');
  EXPECT_EQ(U16(b, 128 + 34), 64);
  EXPECT_EQ(U16(b, 128 + 36), 64);
  EXPECT_EQ(U16(b, 128 + 38), 108);
  EXPECT_EQ(U16(b, 128 + 54), 2);
  EXPECT_EQ(b[128 + 63], 3);
  EXPECT_EQ(U16(b, 192), 0);  // AlignShift
  EXPECT_EQ(U16(b, 194), 0x800E);
  EXPECT_EQ(U16(b, 196), 1);
  EXPECT_EQ(U16(b, 202), 248);  // group entry: offset, length, flags, ID
  EXPECT_EQ(U16(b, 204), 20);
  EXPECT_EQ(U16(b, 206), 0x1C30);
  EXPECT_EQ(U16(b, 208), 0x8001);
  EXPECT_EQ(U16(b, 214), 0x8003);
  EXPECT_EQ(U16(b, 222), 268);
  EXPECT_EQ(U16(b, 224), 2216);
  EXPECT_EQ(U16(b, 226), 0x1C30);
  EXPECT_EQ(U16(b, 228), 0x8001);
  EXPECT_EQ(U16(b, 234), 0);
  EXPECT_EQ(b[236], 3);
  EXPECT_EQ(std::string(b.begin() + 237, b.begin() + 240), "ICL");
  EXPECT_EQ(b[240], 6);
  EXPECT_EQ(b[247], 0);
  EXPECT_EQ(U16(b, 248 + 4), 1);
  EXPECT_EQ(U16(b, 248 + 6 + 12), 1);  // image number
}

TEST(T16BitWriter, LimitsAndShifts) {
  IconList empty;
  try {
    T16BitWriter(empty).Write();
    FAIL();
  } catch (const EICLReadError& e) {
    EXPECT_EQ(e.Code(), "icon.NoIcons");
  }
  IconList many;
  for (int i = 0; i < 32767; ++i) many.AddIcon("", std::make_unique<AdvancedIcon>());
  EXPECT_NO_THROW(T16BitWriter(many).Write());
  many.AddIcon("", std::make_unique<AdvancedIcon>());
  try {
    T16BitWriter(many).Write();
    FAIL();
  } catch (const EICLReadError& e) {
    EXPECT_EQ(e.Code(), "icon.TooManyIcons");
  }

  for (auto [size, shift] : {std::pair{70000u, 1}, std::pair{140000u, 2}}) {
    SCOPED_TRACE(shift);
    IconList list;
    list.AddIcon("big", IconOfSizes({size / 2, 33, size / 2}, 3));
    T16BitWriter writer(list);
    const std::vector<std::uint8_t> b = writer.Write();
    EXPECT_EQ(writer.AlignShift(), shift);
    EXPECT_EQ(U16(b, 192), shift);
    // Offsets count in units of 2^shift: the group lies right after the
    // names, rounded up, and the images follow without gaps.
    const int names = U16(b, 128 + 38) + 128;
    int end = names + 1 + 3 + 1 + 3 + 1;
    end = (end + (1 << shift) - 1) >> shift << shift;
    EXPECT_EQ(U16(b, 202) << shift, end);
    for (int k = 0; k < 3; ++k) EXPECT_EQ((U16(b, 222 + 12 * k) << shift) % (1 << shift), 0);
    EXPECT_EQ(U16(b, 222 + 12) << shift, (U16(b, 222) + U16(b, 224)) << shift);
    const std::string path = test::TempDir() + "/shift" + std::to_string(shift) + ".icl";
    WriteFileBytes(path, b);
    IconLibrary library;
    library.LoadFromFile(path);
    ASSERT_EQ(library.Icons.Count(), 1);
    EXPECT_EQ(library.Icons.Name(0), "big");
    const IconImageList& images = library.Icons.Icon(0)->Images();
    ASSERT_EQ(images.Count(), 3);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(images.Get(j)->Data(), list.Icon(0)->Images().Get(j)->Data()) << j;
  }
}

TEST(IconLibrary, RoundTripKeepsNamesOrderEntriesAndData) {
  IconLibrary library;
  library.Icons.AddIcon("first", IconOfSizes({744, 2216}, 1));
  library.Icons.AddIcon("second", IconOfSizes({100}, 2));
  library.Icons.AddIcon("first", IconOfSizes({5, 6, 7}, 3));
  library.Icons.AddIcon(std::string(300, 'n'), IconOfSizes({40}, 4));
  const std::string path = test::TempDir() + "/round.icl";
  library.SaveToFile(path);

  IconLibrary back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.FileName, path);
  ASSERT_EQ(back.Icons.Count(), 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const std::string expected = i == 3 ? std::string(255, 'n') : library.Icons.Name(i);
    EXPECT_EQ(back.Icons.Name(i), expected);
    const IconImageList& a = library.Icons.Icon(i)->Images();
    const IconImageList& b = back.Icons.Icon(i)->Images();
    ASSERT_EQ(a.Count(), b.Count());
    for (int j = 0; j < a.Count(); ++j) {
      EXPECT_EQ(a.Get(j)->DirEntry(), b.Get(j)->DirEntry());
      EXPECT_EQ(a.Get(j)->Data(), b.Get(j)->Data());
    }
  }
  // wrestool lists every icon and image.
  const std::string listing = Shell("wrestool -l '" + path + "' 2>&1");
  int groups = 0, images = 0;
  for (std::size_t p = 0; (p = listing.find("type=group_icon", p)) != std::string::npos; ++p) ++groups;
  for (std::size_t p = 0; (p = listing.find("[type=icon ", p)) != std::string::npos; ++p) ++images;
  EXPECT_EQ(groups, 4) << listing;
  EXPECT_EQ(images, 7) << listing;
}

// A damaged entry claiming more bytes than its image holds (a few bytes of a
// file saying 4 GB) is written with the bytes the image has, not padded out.
TEST(IconLibrary, AnEntryClaimingMoreThanItsDataWritesTheData) {
  IconList list;
  list.AddIcon("small", IconOfSizes({100}, 1));
  list.AddIcon("liar", IconOfSizes({300}, 2));
  IconImage& liar = *list.Icon(1)->Images().Get(0);
  IconImage::Entry entry = liar.DirEntry();
  entry[8] = 0x00, entry[9] = 0x00, entry[10] = 0x00, entry[11] = 0xF0;
  liar.SetDirEntry(entry);
  const std::vector<std::uint8_t> written = T16BitWriter(list).Write();
  EXPECT_LT(written.size(), 2000u);
  T16BitReader reader("liar.icl");
  reader.Read(written);
  ASSERT_EQ(reader.List.Count(), 2);
  const IconImage& back = *reader.List.Icon(1)->Images().Get(0);
  EXPECT_EQ(back.BytesInRes(), 300u);
  EXPECT_EQ(back.Data(), liar.Data());
  EXPECT_EQ(liar.WrittenEntry(), back.DirEntry());
}

TEST(T16BitReader, NamingRules) {
  IconList list;
  list.AddIcon("ICL", IconOfSizes({10}, 1));
  list.AddIcon("two", IconOfSizes({10}, 2));
  std::vector<std::uint8_t> bytes = T16BitWriter(list).Write();
  T16BitReader reader("/some/folder/Lib.Name.icl");
  reader.Read(bytes);
  // The first "ICL" of the table is the library's own; the icon called
  // "ICL" is skipped too while the list is empty, so the names do not match
  // the icons and the B 001 rule names them.
  ASSERT_EQ(reader.List.Count(), 2);
  EXPECT_NE(reader.List.Name(0), "ICL");
  EXPECT_EQ(reader.List.Name(0), "Lib.Name 001");
  EXPECT_EQ(reader.List.Name(1), "Lib.Name 002");
}

TEST(T16BitReader, Errors) {
  IconList list;
  list.AddIcon("a", IconOfSizes({10}, 1));
  const std::vector<std::uint8_t> good = T16BitWriter(list).Write();
  auto codeOf = [](std::vector<std::uint8_t> b) -> std::string {
    try {
      T16BitReader("x.icl").Read(b);
    } catch (const EICLReadError& e) {
      return e.Code();
    } catch (const Exception&) {
      return "other";
    }
    return "";
  };
  EXPECT_EQ(codeOf(good), "");
  auto b = good;
  b[0] = 'Z';
  EXPECT_EQ(codeOf(b), "icon.NotValidIcl");
  b = good;
  b[60] = 0x20;
  EXPECT_EQ(codeOf(b), "icon.InvalidOffset");
  b = good;
  b[129] = 'X';
  EXPECT_EQ(codeOf(b), "icon.InvalidHeader");
  b = good;
  b[128 + 36] = 0;
  EXPECT_EQ(codeOf(b), "icon.NoResources");
  b = good;
  b[128 + 38] = 0;
  EXPECT_EQ(codeOf(b), "icon.NoNamesTable");
  b = good;
  b[194] = 0x0F;  // the group type becomes another
  EXPECT_EQ(codeOf(b), "icon.ResourceTableError");
  b = good;
  b[(U16(b, 202) << U16(b, 192)) + 6 + 12] = 9;  // the group names image 9
  EXPECT_EQ(codeOf(b), "icon.IconResourceNotFound");
  b = good;
  b.resize(250);
  EXPECT_EQ(codeOf(b), "other");
}

// What wrestool lists per group icon: the names in file order.
std::vector<std::string> WrestoolGroups(const std::string& path) {
  std::vector<std::string> names;
  const std::string listing = Shell("wrestool -l '" + path + "' 2>/dev/null");
  const std::regex line(R"(--type=14 --name=('([^']*)'|(\d+)))");
  for (std::sregex_iterator it(listing.begin(), listing.end(), line), end; it != end; ++it)
    names.push_back((*it)[2].matched ? (*it)[2].str() : (*it)[3].str());
  return names;
}

TEST(IconLibraryCorpus, ListsWhatWrestoolLists) {
  int read = 0;
  for (const std::string family : {"icl", "pe"})
    for (const test::CorpusEntry& entry : test::CorpusEntries(family)) {
      SCOPED_TRACE(entry.path);
      IconLibrary library;
      library.Icons.AddIcon("old", std::make_unique<AdvancedIcon>());
      library.LoadFromFile(entry.FullPath());
      if (entry.expected == "must-fail") {
        ASSERT_EQ(library.Icons.Count(), 1);
        EXPECT_EQ(library.Icons.Name(0), "old");
        continue;
      }
      const std::vector<std::string> groups = WrestoolGroups(entry.FullPath());
      ASSERT_EQ(library.Icons.Count(), static_cast<int>(groups.size()));
      const bool named = entry.path.find("numeric") == std::string::npos;
      for (int i = 0; i < library.Icons.Count(); ++i) {
        if (family == std::string("pe") || named) {
          // NE names are the strings after the resource table; wrestool shows
          // the same names for the groups of our libraries.
          if (family == std::string("pe")) {
            EXPECT_EQ(library.Icons.Name(i), groups[i]);
          }
        } else {
          char expected[64];
          std::snprintf(expected, sizeof expected, "own-icl-numeric-ids-shared %03d", i + 1);
          EXPECT_EQ(library.Icons.Name(i), expected);
        }
        EXPECT_GT(library.Icons.Icon(i)->Images().Count(), 0);
        for (int j = 0; j < library.Icons.Icon(i)->Images().Count(); ++j) {
          const IconImage& image = *library.Icons.Icon(i)->Images().Get(j);
          EXPECT_NO_THROW(image.Picture()) << i << "/" << j;
        }
      }
      ++read;
    }
  EXPECT_GE(read, 6);
}

// What a reader makes of a library file: per icon its name, its images
// (WxH@bits from their directory bytes) and a CRC of their data; or the code
// of the reader's error.
std::string LibraryListing(const test::CorpusEntry& entry) {
  const std::string file = entry.path.substr(entry.path.rfind('/') + 1);
  std::unique_ptr<ICLReader> reader;
  if (entry.format == "pe") {
    reader = std::make_unique<T32BitReader>(entry.FullPath());
  } else {
    reader = std::make_unique<T16BitReader>(entry.FullPath());
  }
  try {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(entry.FullPath());
    if (entry.format == "pe") {
      static_cast<T32BitReader&>(*reader).Read(bytes);
    } else {
      static_cast<T16BitReader&>(*reader).Read(bytes);
    }
  } catch (const Exception& e) {
    return file + "\terror " + (e.Code().empty() ? "uncoded " + std::string(e.what()) : e.Code()) + "\n";
  }
  std::string out = file + "\t" + std::to_string(reader->List.Count()) + " icons\n";
  for (int i = 0; i < reader->List.Count(); ++i) {
    out += file + "\t" + reader->List.Name(i) + "\t";
    uLong crc = crc32(0L, nullptr, 0);
    const IconImageList& images = reader->List.Icon(i)->Images();
    for (int j = 0; j < images.Count(); ++j) {
      const IconImage& image = *images.Get(j);
      const int w = image.Width() == 0 ? 256 : image.Width();
      const int h = image.Height() == 0 ? 256 : image.Height();
      out += (j ? " " : "") + std::to_string(w) + "x" + std::to_string(h) + "@" + std::to_string(image.BitCount());
      if (!image.Data().empty()) crc = crc32(crc, image.Data().data(), static_cast<uInt>(image.Data().size()));
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lx", crc);
    out += std::string("\t") + hex + "\n";
  }
  return out;
}

TEST(IconLibraryCorpus, GoldenListing) {
  std::string actual;
  for (const std::string family : {"icl", "pe"})
    for (const test::CorpusEntry& entry : test::CorpusEntries(family)) actual += LibraryListing(entry);
  test::CheckGoldenTable("tests/icons/icl_golden.tsv", actual);
}

TEST(IconLibrary, PlainFilesChangeNothing) {
  const std::string dir = test::TempDir();
  WriteFileBytes(dir + "/text.icl", std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'});
  IconLibrary library;
  library.LoadFromFile(dir + "/text.icl");
  library.LoadFromFile(test::CorpusDir() + "/ico/rs-smile.ico");
  EXPECT_EQ(library.Icons.Count(), 0);
  EXPECT_TRUE(library.FileName.empty());
}

// The one table of the icon errors' texts, as the users see them.
TEST(IconErrors, EveryCodeKeepsItsFixedText) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"icon.NotValidIcl", "Not a valid ICL File"},
      {"icon.InvalidOffset", "Invalid Windows 16 Offset"},
      {"icon.InvalidHeader", "Invalid Windows 16 Header"},
      {"icon.NoResources", "No Resources in file"},
      {"icon.NoNamesTable", "Names Table not found"},
      {"icon.ResourceTableError", "ResourceTable has an Error"},
      {"icon.IconResourceNotFound", "Icon Resource Not Found"},
      {"icon.NoIcons", "Unable to write Iconlibrary with no icons"},
      {"icon.TooManyIcons", "Iconlibraries with more than 32767 are not possible"},
      {"icon.TooManyImages", "Iconlibraries with more than 32767 images are not possible"},
      {"icon.IconInvalid", "Icon image is not valid"},
      {"icon.BitmapInvalid", "Bitmap image is not valid"},
      {"icon.IconListFull", "An icon holds at most 65535 images"},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto error = static_cast<IconError>(i);
    EXPECT_EQ(ErrorCode(error), expected[i].first);
    EXPECT_EQ(ErrorText(error), expected[i].second);
  }
  const EICLReadError read(IconError::NoNamesTable);
  EXPECT_EQ(read.Message(), "Names Table not found");
  EXPECT_EQ(read.Code(), "icon.NoNamesTable");
  EXPECT_EQ(EIconInvalid().Message(), "Icon image is not valid");
  EXPECT_EQ(InvalidIconBitmap().Code(), "icon.BitmapInvalid");
  EXPECT_EQ(EIconListFull().Code(), "icon.IconListFull");
}

}  // namespace
}  // namespace pixtrel::icons
