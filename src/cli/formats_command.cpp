// pixtrel-cli formats: the format table as a list, one line per format.
#include <iomanip>
#include <ostream>

#include "cli/cli.h"
#include "cli/command_line.h"
#include "io/formats.h"

namespace pixtrel::cli {

int FormatsCommand(const Invocation& call) {
  if (call.args.size() != 1) throw UsageError{"formats takes no arguments"};
  std::ostream& out = call.out;
  out << "name  extensions   read write  description\n";
  for (const FormatRow& row : FormatRows()) {
    std::string extensions = row.extensions[0];
    if (row.extensions[1]) extensions += std::string(" ") + row.extensions[1];
    std::string description = row.description;
    if (row.question == SaveQuestion::Password) description += " (password)";
    if (row.batchTargetPos > 0) description += " (batch target)";
    if (!row.Readable() && !row.Writable()) description += " (file browser only)";
    if (row.readsMetadata || row.writesMetadata)
      description += std::string(" (metadata ") +
                     (row.readsMetadata && row.writesMetadata ? "kept" : row.readsMetadata ? "read" : "written") + ")";
    out << std::left << std::setw(6) << row.name << std::setw(13) << extensions << std::setw(5)
        << (row.Readable() ? "yes" : "no") << std::setw(7) << (row.Writable() ? "yes" : "no") << description << '\n';
  }
  return kExitDone;
}

}  // namespace pixtrel::cli
