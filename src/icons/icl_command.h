// pixtrel-cli's "icl" command: list, extract and build icon libraries.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pixtrel::icons {

// args[0] is "icl". Returns 0 done, 1 error, 2 for a wrong command line.
int RunIclCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pixtrel::icons
