// Build step: "pixtrel-make-icon PICTURE.png TARGET.ico" writes the
// program's own icon, made from the one picture, into the "icons" folder the
// program reads its own icon library from.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "core/errors.h"
#include "core/stream.h"
#include "workspace/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pixtrel-make-icon PICTURE.png TARGET.ico\n");
    return 2;
  }
  try {
    const auto icon = pixtrel::MakeProgramIcon(pixtrel::ReadFileBytes(argv[1]));
    const std::filesystem::path target(argv[2]);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
    icon->SaveToFile(target.string());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pixtrel-make-icon: %s\n", pixtrel::ErrorText(error).c_str());
    return 1;
  }
  return 0;
}
