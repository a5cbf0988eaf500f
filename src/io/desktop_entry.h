// What a desktop needs to offer the program for files: the MIME types of the
// formats it opens (from the format table), the menu entry, and a MIME
// package for the types of its own that the desktop does not know.
#pragma once

#include <string>
#include <vector>

namespace pixtrel {

// The MIME type of an extension (upper-cased, with the dot) the program
// opens, or an empty text for one it has none for.
std::string MimeTypeOfExtension(const std::string& upperExt);

// The MIME types of every format the program opens (the file browser's
// formats), each once, in table order.
std::vector<std::string> OpenedMimeTypes();

// The extensions of the file browser's formats that have no MIME type: a
// new row of the format table needs one (tests check this is empty).
std::vector<std::string> ExtensionsWithoutMimeType();

// The menu entry "pixtrel.desktop" (freedesktop.org desktop entry) starting
// exec with a file.
std::string DesktopEntryText(const std::string& exec);

// The shared MIME package (share/mime/packages/pixtrel.xml) for the types
// no common MIME database knows: the encrypted containers and the icon
// libraries.
std::string MimePackageText();

}  // namespace pixtrel
