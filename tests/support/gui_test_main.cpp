// Test main of the GUI tests: a QApplication on the offscreen platform, so
// that the real windows can be created, shown and driven, the web engine
// prepared as the program prepares it.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/browser_page.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testing::InitGoogleTest(&argc, argv);
  pixtrel::PrepareWebEngine();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
