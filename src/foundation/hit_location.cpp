#include "foundation/hit_location.h"

#include "foundation/corpus_list.h"
#include "foundation/indexed_stream.h"
#include "foundation/settings.h"
#include "foundation/sync_stream.h"
#include "foundation/tag_scan.h"
#include "foundation/utils.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

std::string NumberText(int32_t value)
{
  return value > 0 ? std::to_string(value) : std::string(NotAvailableText);
}

// The row of the last value at most position in an index's column; -1 when
// there is none.
int32_t RowOf(TIndexedStream& index, int32_t position, int32_t column)
{
  if (column < 0 || column >= index.Columns() || index.RowCount() == 0)
    return -1;
  return index.LookupColumn(position, column);
}

// Where the value of a tag occurrence ends in data: through the first stop
// character (COCOA) or the first match of the stop text; the whole data when
// there is none.
size_t ValueLength(const TWatchedTag& tag, std::string_view data)
{
  if (tag.Cocoa) {
    // Through the first tag stop after the first byte; "#" stands for a
    // line break or a blank.
    const char stop = ConcordSettings.TagStop;
    for (size_t i = 1; i < data.size(); ++i) {
      const char c = data[i];
      if (stop == '#' ? (c == ' ' || c == '\r' || c == '\n') : c == stop)
        return i + 1;
    }
    return data.size();
  }
  const std::string& stop = tag.TagStop;
  if (stop.empty())
    return data.size();
  if (stop.back() == '#') {
    std::string tried = stop;
    for (char end : {' ', '\r', '\n'}) {
      tried.back() = end;
      const size_t at = data.find(tried);
      if (at != std::string_view::npos)
        return at + tried.size();
    }
    return data.size();
  }
  const size_t at = data.find(stop);
  return at == std::string_view::npos ? data.size() : at + stop.size();
}

std::string InfoNumber(int32_t value)
{
  return value >= 0 ? std::to_string(value) : std::string(NotAvailableText);
}

}  // namespace

THitSources HitSourcesOf(int32_t fileIndex)
{
  if (fileIndex < 0 || fileIndex >= CorpusList.Count())
    return {};
  TCorpusItem& item = CorpusList[fileIndex];
  return {item.Source.get(), item.LineIndex.Index.get(), item.PageIndex.Index.get(), item.TagIndex.Index.get()};
}

THitLocation GetHitLocation(int32_t fileIndex, int32_t position)
{
  return GetHitLocation(HitSourcesOf(fileIndex), position);
}

std::string FormatHitLocation(int32_t fileIndex, int32_t position)
{
  return FormatHitLocation(GetHitLocation(fileIndex, position));
}

std::string GetTrackedTagValue(int32_t fileIndex, int32_t position, int32_t k)
{
  return GetTrackedTagValue(HitSourcesOf(fileIndex), position, k);
}

THitInfo GetHitInfo(int32_t fileIndex, int32_t position, const std::string& matchText)
{
  THitInfo info;
  info.Match = matchText;
  if (fileIndex >= 0 && fileIndex < CorpusList.Count())
    info.FileName = CorpusList[fileIndex].Name;
  const THitLocation loc = GetHitLocation(fileIndex, position);
  info.AbsLine = InfoNumber(loc.AbsLine);
  info.Page = InfoNumber(loc.Page);
  info.LineInPage = InfoNumber(loc.LineInPage);
  if (loc.TagValues) {
    for (size_t k = 0; k < WatchedTags.size() && k < loc.TagValues->size(); ++k) {
      const TWatchedTag& tag = WatchedTags[k];
      info.Tags.emplace_back(tag.Name.empty() ? tag.TagStart : tag.Name, (*loc.TagValues)[k]);
    }
  }
  return info;
}

THitLocation GetHitLocation(const THitSources& item, int32_t position)
{
  THitLocation loc;
  if (item.LineIndex) {
    const int32_t row = RowOf(*item.LineIndex, position, 0);
    if (row >= 0)
      loc.AbsLine = row + 1;
  }
  if (item.PageIndex && !ConcordSettings.PageSeparator.empty()) {
    const int32_t row = RowOf(*item.PageIndex, position, 0);
    if (row >= 0) {
      loc.Page = row + 1;
      // Without a line index the line in the page is unknown.
      if (item.LineIndex && loc.AbsLine > 0) {
        const int32_t pageStart = item.PageIndex->ValueAt(row, 0);
        const int32_t startRow = RowOf(*item.LineIndex, pageStart, 0);
        if (startRow >= 0)
          loc.LineInPage = loc.AbsLine - (startRow + 1) + 1;
      }
    }
  }
  if (!WatchedTags.empty()) {
    std::vector<std::string> values;
    values.reserve(WatchedTags.size());
    for (size_t k = 0; k < WatchedTags.size(); ++k)
      values.push_back(NotAvailableText);
    if (item.TagIndex && item.Stream) {
      for (size_t k = 0; k < WatchedTags.size(); ++k) {
        const auto col = static_cast<int32_t>(k);
        const int32_t row = RowOf(*item.TagIndex, position, col);
        if (row < 0)
          continue;
        const int32_t at = item.TagIndex->ValueAt(row, col);
        if (at >= 0)
          values[k] = ReadTrackedTagValue(WatchedTags[k], *item.Stream, at);
      }
    }
    loc.TagValues = std::move(values);
  }
  return loc;
}

std::string FormatHitLocation(const THitLocation& loc)
{
  const ConcordConfig& cfg = ConcordSettings;
  std::string text;
  const std::string pageText = "Page " + NumberText(loc.Page);
  if (cfg.ShowPages)
    text = pageText;
  if (cfg.ShowLines) {
    if (!cfg.ShowPages)
      text = "Line " + NumberText(loc.AbsLine);
    else if (cfg.RelativeLines)
      text = pageText + ", Line " + NumberText(loc.LineInPage);
    else
      text = "Line " + NumberText(loc.AbsLine) + ", " + pageText;
  }
  if (loc.TagValues) {
    for (const std::string& value : *loc.TagValues) {
      if (value == NotAvailableText)
        continue;
      if (!text.empty())
        text += ", ";
      text += value;
    }
  }
  return text;
}

std::string GetTrackedTagValue(const THitSources& item, int32_t position, int32_t k)
{
  if (k < 0 || static_cast<size_t>(k) >= WatchedTags.size() || !item.TagIndex || !item.Stream)
    return {};
  const int32_t row = RowOf(*item.TagIndex, position, k);
  if (row < 0)
    return {};
  const int32_t at = item.TagIndex->ValueAt(row, k);
  if (at < 0)
    return {};
  return ReadTrackedTagValue(WatchedTags[static_cast<size_t>(k)], *item.Stream, at);
}

std::string ReadTrackedTagValue(const TWatchedTag& tag, TSynchroStream& stream, int32_t tagPosition)
{
  char buffer[TrackedTagValueLength];
  int32_t pos = tagPosition;
  const int32_t n = std::max(0, stream.ReadAt(pos, buffer, TrackedTagValueLength));
  const std::string_view data(buffer, static_cast<size_t>(n));
  std::string value(data.substr(0, ValueLength(tag, data)));
  FlattenLineBreaks(value);
  return value;
}
