// pixtrel-cli stamp: one shape painted into an image, as "Paint Shape" does.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pixtrel::shapes {

// The options of the stamp command, for the usage text.
const char* StampUsage();

// Runs "stamp IN OUT OPTIONS" or "stamp --list" (args[0] is "stamp");
// returns the exit code: 0 done, 1 error, 2 usage. Errors of opening and
// saving propagate as exceptions.
int RunStampCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pixtrel::shapes
