// Advanced collocation of a concordance window: the tuples of its hits
// counted into a new word-list window.
#pragma once

#include "foundation/settings.h"

#include <vector>

class QWidget;
class TConcordItems;
class TWordListForm;

// Counts the hits' tuples and returns a new word-list window (not yet added
// to the frame) that closes with owner; nullptr when the user cancelled.
// Other failures are raised.
TWordListForm* AdvancedCollocation(QWidget* owner, const TConcordItems& hits,
                                   const std::vector<TAdvancedSortColItem>& keys,
                                   const TAdvancedSortColOptions& record);
