#include "io/desktop_entry.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "io/formats.h"

namespace pixtrel::test {
namespace {

TEST(DesktopEntry, EveryFormatTheProgramOpensHasAMimeType) {
  // A new row of the format table needs its MIME type beside it.
  EXPECT_TRUE(ExtensionsWithoutMimeType().empty());
  const std::vector<std::string> types = OpenedMimeTypes();
  for (const std::string& ext : LoadExtensions())
    EXPECT_NE(std::find(types.begin(), types.end(), MimeTypeOfExtension(ext)), types.end()) << ext;
  // Each type once: .JPG and .JPEG share theirs.
  EXPECT_EQ(MimeTypeOfExtension(".JPEG"), MimeTypeOfExtension(".JPG"));
  for (const std::string& type : types) EXPECT_EQ(std::count(types.begin(), types.end(), type), 1) << type;
  // Written-only or unknown extensions have none.
  EXPECT_EQ(MimeTypeOfExtension(".TIFF"), "");
}

TEST(DesktopEntry, MenuEntryStartsTheProgramWithAFile) {
  const std::string entry = DesktopEntryText("pixtrel");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(entry.find("\nExec=pixtrel %f\n"), std::string::npos);
  EXPECT_NE(entry.find("\nIcon=pixtrel\n"), std::string::npos);
  EXPECT_NE(entry.find("\nName=Pixtrel 11\n"), std::string::npos);
  EXPECT_NE(entry.find("image/png;"), std::string::npos);
  EXPECT_NE(entry.find("image/jpeg;"), std::string::npos);
  EXPECT_NE(entry.find("application/x-pixtrel-xgif;"), std::string::npos);
  // The package declares exactly the types of the program's own.
  const std::string package = MimePackageText();
  EXPECT_NE(package.find("<mime-type type=\"application/x-pixtrel-xjpg\">"), std::string::npos);
  EXPECT_NE(package.find("<glob pattern=\"*.xjpg\"/>"), std::string::npos);
  EXPECT_EQ(package.find("image/png"), std::string::npos);
}

}  // namespace
}  // namespace pixtrel::test
