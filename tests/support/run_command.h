// Running a program as a user would from a shell, for the tests that drive
// pixtrel-cli and the peer tools.
#pragma once

#include <string>

namespace pixtrel::test {

struct CommandResult {
  int exitCode = -1;   // -1 when the command did not exit normally
  std::string output;  // what it wrote to standard output
};

// Runs command through the shell; "2>&1" in it joins standard error.
CommandResult RunCommand(const std::string& command);

struct SeparateOutputs {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs command through the shell with its standard output and standard
// error kept apart.
SeparateOutputs RunCommandApart(const std::string& command);

}  // namespace pixtrel::test
