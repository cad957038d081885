#include "search/advanced_collocation.h"

#include "foundation/abort.h"
#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/hash_strings.h"
#include "search/concord_items.h"

namespace {

constexpr int HitPlace = 4;
constexpr int PlaceCount = 9;
constexpr int32_t PumpStep = 256;     // hits between pumps of the count
constexpr int32_t TableBuckets = 8192;
constexpr const char* PlaceNames[PlaceCount] = {"4L", "3L", "2L", "1L", "Search term",
                                                "1R", "2R", "3R", "4R"};

}  // namespace

int AdvCollocPlace(int slot)
{
  if (slot == 0)
    return HitPlace;
  return slot <= 4 ? slot - 1 : slot;
}

int AdvCollocSlot(int place)
{
  if (place == HitPlace)
    return 0;
  return place < HitPlace ? place + 1 : place;
}

void ListModeTuple(const TConcordItem& hit, std::span<const TAdvancedSortColItem> keys, std::string& tuple)
{
  tuple.clear();
  int previous = -1;
  for (const TAdvancedSortColItem& key : keys) {
    const int slot = key.Key;
    if (slot < 0 || slot >= TConcordItem::SlotCount)
      continue;
    const int place = AdvCollocPlace(slot);
    if (hit.HasWord(slot)) {
      if (previous >= 0 && place != previous + 1)
        tuple += " ...";
      if (!tuple.empty())
        tuple += ' ';
      tuple += hit.Word(slot);
    }
    previous = place;
  }
}

namespace {

// Calls add(tuple) for every complete span window of one hit, the hit's own
// first, the hit's words read once for all its windows.
template <typename Add>
void forEachSpanTuple(const TConcordItem& hit, int span, std::string& tuple, Add&& add)
{
  if (span < 1 || span > PlaceCount)
    return;
  std::string_view words[PlaceCount];
  unsigned present = 0;  // bit per place
  for (int p = 0; p < PlaceCount; ++p) {
    const int slot = AdvCollocSlot(p);
    if (hit.HasWord(slot)) {
      words[p] = hit.Word(slot);
      present |= 1u << p;
    }
  }
  const unsigned window = (1u << span) - 1;
  for (int k = 0; k < span; ++k) {
    const int first = HitPlace - k;
    if (first < 0 || first + span > PlaceCount || ((present >> first) & window) != window)
      continue;
    tuple.clear();
    tuple += words[first];
    for (int p = first + 1; p < first + span; ++p) {
      tuple += ' ';
      tuple += words[p];
    }
    add(tuple);
  }
}

}  // namespace

void SpanModeTuples(const TConcordItem& hit, int span, std::vector<std::string>& tuples)
{
  std::string tuple;
  forEachSpanTuple(hit, span, tuple, [&](const std::string& t) { tuples.push_back(t); });
}

std::string AdvancedCollocationCaption(const TAdvancedSortColOptions& record,
                                       std::span<const TAdvancedSortColItem> keys)
{
  std::string caption = "Advanced Collocation - ";
  if (record.SpanCollocation)
    return caption + "Span " + std::to_string(record.SpanNumber);
  bool first = true;
  for (const TAdvancedSortColItem& key : keys) {
    if (key.Key >= TConcordItem::SlotCount)
      continue;
    if (!first)
      caption += ", ";
    caption += PlaceNames[AdvCollocPlace(key.Key)];
    first = false;
  }
  return caption;
}

std::unique_ptr<THashStrings> CountAdvancedCollocation(const TConcordItems& hits,
                                                       std::span<const TAdvancedSortColItem> keys,
                                                       const TAdvancedSortColOptions& record,
                                                       const std::function<void(ProgressDialog&)>& setup)
{
  const int32_t n = hits.Count();
  std::unique_ptr<ProgressDialog> progress = CreateProgressForm(false);
  progress->SetSpecialTextVisible(false);
  progress->SetProgressLabel("Counting Hits");
  progress->SetCaption("Advanced Collocation");
  progress->SetMaxValue(n > 0 ? n - 1 : 0);
  if (setup)
    setup(*progress);
  if (n > PumpStep)
    progress->Show();

  auto table = std::make_unique<THashStrings>(TableBuckets, LanguageId);
  table->FoldCase = FrequencySettings.IgnoreCase;
  std::string tuple;
  {
    // Tuples go to the table in groups with its memory fetched ahead, in the
    // order they come, so the table ends as one Add per tuple leaves it.
    TWordBatch batch(*table);
    const int span = record.SpanNumber;
    for (int32_t i = 0; i < n; ++i) {
      if (i % PumpStep == 0) {
        progress->SetProgress(i);
        if (progress->poll() != ProgressRunning)
          throw EAbort();
      }
      const TConcordItem& hit = *hits.GetItem(i);
      if (record.SpanCollocation)
        forEachSpanTuple(hit, span, tuple, [&](const std::string& t) { batch.Add(t); });
      else {
        ListModeTuple(hit, keys, tuple);
        batch.Add(tuple);
      }
    }
  }
  table->Sort(THashStrings::ssByCount);
  return table;
}
