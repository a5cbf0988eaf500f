// The libraries the program is built on, with the versions it runs with, for
// the About box.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pixtrel {

// ("Qt", "6.4.2"), ("JPEG library", ...), ("zlib", ...), ("Crypto++", ...).
std::vector<std::pair<std::string, std::string>> LibraryVersions();

}  // namespace pixtrel
