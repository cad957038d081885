// Entry point of the core tests: a fixed locale and stock font so that
// results do not depend on the machine, and a fresh program state.
#include "foundation/settings.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

int main(int argc, char** argv)
{
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("en_US", &status);
  // A fixed stock font, so that font values do not depend on the machine.
  SetStockSystemFont(TFontRec{"DejaVu Sans", 9, 0, clWindowText, 1});
  InitProgramState();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
