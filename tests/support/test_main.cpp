#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

// Tests never need a display; ctest's discovery step runs the binaries at build time too.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
