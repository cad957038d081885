// The patterns file, then what consumes its lines: BuildBatchPatterns and
// the search dialog's ValidatePattern on every piece. The three line-end
// styles read alike; every piece's offset lies inside its line.
#include "forms/search_dialog_model.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"
#include "search/search_defaults.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  fuzz::registerSettingsAreas();  // the search dialog's model among them
  ApplySearchParameterDefaults();
  fuzz::TInput in(data, size);
  const uint8_t mode = in.byte() % 3;
  const std::string text(in.rest());
  const std::vector<std::string> lines = fuzz::readListFile(text, LoadPatternsFile);

  const auto syntax = static_cast<TSearchMode>(mode);
  std::vector<std::string> list = lines;
  const std::vector<TBatchPattern> pieces = BuildBatchPatterns(syntax, list);
  fuzz::check(list.size() == lines.size(), "lines lost");
  // Offsets count every line break as two characters, as the editor does.
  int64_t total = 0;
  for (const std::string& line : list)
    total += int64_t(line.size()) + 2;
  int32_t previous = -1;
  TSearchTemplateModel& m = *SearchTemplateModel();
  m.PatternRadio.Checked = syntax == TSearchMode::Text;
  m.GrepRadio.Checked = syntax == TSearchMode::Regex;
  m.TagRadio.Checked = syntax == TSearchMode::Tag;
  for (const TBatchPattern& p : pieces) {
    fuzz::check(p.Offset >= 0 && p.Offset + int64_t(p.Text.size()) <= total, "piece outside the list");
    fuzz::check(p.Offset > previous, "pieces out of order");
    previous = p.Offset;
    if (p.Text.size() > 4096)
      continue;
    std::string message;
    m.ValidatePattern(p.Text, "pattern", message);
  }
  return 0;
}
