// Helpers for the settings tests: whole files as text, and checks run in a
// child process.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "support/in_child.h"

namespace pixtrel::test {

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace pixtrel::test
