#include "support/run_command.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "support/corpus.h"

namespace pixtrel::test {

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

SeparateOutputs RunCommandApart(const std::string& command) {
  const std::string errors = TempDir() + "/stderr.txt";
  const CommandResult run = RunCommand(command + " 2>'" + errors + "'");
  SeparateOutputs result{run.exitCode, run.output, std::string()};
  std::ifstream err(errors);
  result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return result;
}

}  // namespace pixtrel::test
