#include "app/twain_scan_command.h"

#include "acquire/twain_acquire.h"
#include "app/commands.h"
#include "app/guarded.h"

namespace pixtrel {

QAction* NewTwainScanCommand(QObject* parent, Workspace& workspace, UserInteraction& ui,
                             const std::vector<std::string>& sourceManagers, const std::string& programFolder) {
  QAction* action = NewCommand(parent, "&Twain Scan...", "TwainScan1");
  const TwainOptions options =
      sourceManagers.empty() ? DefaultTwainOptions(programFolder) : TwainOptions{sourceManagers};
  QObject::connect(action, &QAction::triggered, parent, [&workspace, &ui, options] {
    Guarded(ui, [&] { TwainScan(workspace, ui, options); });
  });
  return action;
}

}  // namespace pixtrel
