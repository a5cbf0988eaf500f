// pixtrel-cli: conversions and image facts from the command line, with the
// same open and save code the desktop program uses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pixtrel::cli {

constexpr int kExitDone = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

// Runs one command line (without the program name); returns the exit code.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pixtrel::cli
