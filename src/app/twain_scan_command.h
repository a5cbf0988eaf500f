// File > "&Twain Scan..." (TwainScan1Click): the source chooser, then one
// acquisition whose first picture replaces the workspace image, with no
// undo snapshot.
#pragma once

#include <QAction>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "workspace/workspace.h"

namespace pixtrel {

// The command, owned by parent; sourceManagers are the libraries tried in
// order (empty: ours in programFolder, then the system's).
QAction* NewTwainScanCommand(QObject* parent, Workspace& workspace, UserInteraction& ui,
                             const std::vector<std::string>& sourceManagers, const std::string& programFolder);

}  // namespace pixtrel
