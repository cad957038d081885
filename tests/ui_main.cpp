// Entry point of the widget tests: offscreen platform, fixed locale, one
// QApplication for all tests.
#include "foundation/settings.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <unicode/uloc.h>

int main(int argc, char** argv)
{
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("en_US", &status);
  // A fixed stock font, so that font values do not depend on the machine.
  SetStockSystemFont(TFontRec{"DejaVu Sans", 9, 0, clWindowText, 1});
  InitProgramState();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
