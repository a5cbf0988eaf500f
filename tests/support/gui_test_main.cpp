// Test main of the GUI tests: a QApplication on the offscreen platform, so
// that the real windows can be created, shown and driven, the web engine
// prepared as the program prepares it. The tests that need a real X server
// with a window manager run again under one with PIXTREL_TEST_PLATFORM=xcb
// (tests/app/desktop/on_x_server.sh).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/browser_page.h"

int main(int argc, char** argv) {
  const char* platform = std::getenv("PIXTREL_TEST_PLATFORM");
  setenv("QT_QPA_PLATFORM", platform && *platform ? platform : "offscreen", 1);
  testing::InitGoogleTest(&argc, argv);
  pixtrel::PrepareWebEngine();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
