#include <QCoreApplication>

#include <cctype>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/modules/modules.h"
#include "core/errors.h"

namespace {

// Whether a file name has the extension of a metafile, whose text records
// are drawn when it is read.
bool IsMetafileName(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".WMF" || ext == ".EMF";
}

// Qt lays out text only under a QGuiApplication, and making one loads the
// drawing module and a platform plugin (which may warn on stderr), so there
// is one only where text may be drawn: a stamp with a caption, a draw script,
// and a metafile read by convert, info or stamp.
bool DrawsText(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  const std::string& command = args[0];
  if (command == "draw") return true;
  if (command != "stamp" && command != "convert" && command != "info") return false;
  for (const std::string& arg : args)
    if ((command == "stamp" && arg == "--caption") || IsMetafileName(arg)) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  std::unique_ptr<QCoreApplication> app;
  if (DrawsText(args)) {
    // No window is ever shown: the offscreen platform needs no display.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int appArgc = 1;
    static char name[] = "pixtrel";
    static char* appArgv[] = {name, nullptr};
    try {
      app.reset(pixtrel::cli::LoadedDrawModule().makeApplication(appArgc, appArgv));
    } catch (const std::exception& e) {
      std::cerr << "error: " << pixtrel::ErrorText(e) << '\n';
      return pixtrel::cli::kExitError;
    }
  }
  return pixtrel::cli::Run(args, std::cout, std::cerr);
}
