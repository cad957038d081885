// Advanced collocation: how often each combination of words at chosen
// positions around the hits occurs.
//
// Positions are given either as a key list (slots in the order of the
// collocation key table: 4L, 3L, 2L, 1L, the hit, 1R .. 4R) or as a span of
// N positions: every run of N neighbouring positions that holds the hit.
// A combination (a tuple) is one text: its words joined by blanks, with
// " ..." where a list skips positions of the table.
#pragma once

#include "foundation/settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TConcordItem;
class TConcordItems;
class THashStrings;
class ProgressDialog;

// The place of a word slot in the collocation key table and back: slots
// 1..4 are places 0..3, slot 0 (the hit text) is place 4, slots 5..8 stay.
int AdvCollocPlace(int slot);
int AdvCollocSlot(int place);

// The tuple of one hit for a key list given in table order (list mode).
// Absent words are left out; the empty tuple is a tuple.
void ListModeTuple(const TConcordItem& hit, std::span<const TAdvancedSortColItem> keys, std::string& tuple);
// Every complete window of one hit in span mode, the hit's own first,
// appended to tuples: window k (0..span-1) is the span places starting k
// places left of the hit, complete when none of its words is absent.
void SpanModeTuples(const TConcordItem& hit, int span, std::vector<std::string>& tuples);

// "Advanced Collocation - " and "Span N", or the keys' names joined by ", ".
std::string AdvancedCollocationCaption(const TAdvancedSortColOptions& record,
                                       std::span<const TAdvancedSortColItem> keys);

// Counts the tuples of every hit (span mode when record.SpanCollocation)
// into a new table folding as FrequencySettings.IgnoreCase says, sorted by
// count, highest first. A progress dialog shows above 256 hits (setup, when
// given, prepares it before it shows); its Cancel raises EAbort.
std::unique_ptr<THashStrings> CountAdvancedCollocation(const TConcordItems& hits,
                                                       std::span<const TAdvancedSortColItem> keys,
                                                       const TAdvancedSortColOptions& record,
                                                       const std::function<void(ProgressDialog&)>& setup = {});
