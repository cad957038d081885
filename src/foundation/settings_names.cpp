#include "foundation/settings.h"

const char* const ContextsNames[ContextsCount] = {
  "Search Term", "4L", "3L", "2L", "1L", "1R", "2R", "3R", "4R",
  "Original Order", "Unsorted", "Defined", "Tracked tag",
};

const char* const CollocatePositionNames[8] = {
  "4-Left", "3-Left", "2-Left", "1-Left", "1-Right", "2-Right", "3-Right", "4-Right",
};
