// The comparison's word-list reader (ReadFrequencyFile) with the
// missing-total question answered from the input, then the comparison rows
// against a small current table. A refused file shows "Invalid frequency
// file!" (or that it cannot be opened); counts stay 32-bit, totals positive,
// percentages and log-likelihoods finite.
#include "forms/corpus_comparison.h"
#include "foundation/dialogs.h"
#include "foundation/hash_strings.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"
#include "support/fake_bridge.h"

#include <cmath>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  fuzz::TInput in(data, size);
  const bool agree = in.flag();
  const int64_t currentTotal = 1 + in.range(0, 1 << 20);
  fuzz::dialogs().Answers.push_back(agree ? mrYes : mrNo);
  const fuzz::TMemFile file(in.rest());
  int64_t total = -1;
  std::unique_ptr<THashStrings> table;
  if (!ReadFrequencyFile(file.path(), 4096, total, table)) {
    fuzz::check(!table && total == 0, "a refused file left a table");
    for (const auto& m : fuzz::dialogs().Messages)
      if (m.Kind == mtError)
        fuzz::check(m.Text == InvalidFrequencyFileText, "message: " + m.Text);
    return 0;
  }
  fuzz::check(table && total > 0, "no table or total");
  for (int32_t i = 0; i < table->Count(); ++i)
    fuzz::check(table->Counts(i) >= 0, "negative count");

  THashStrings current(16, LanguageId);
  current.AddCount("the", 7);
  current.AddCount("a", 1);
  if (table->Count() > 0)
    current.AddCount(table->Strings(0), 3);
  const TCompRecords rows = BuildComparison(current, currentTotal, *table, total);
  for (const TCorpusCompRec& r : rows) {
    fuzz::check(r.CurCount >= 0 && r.RefCount >= 0, "negative count in a row");
    fuzz::check(std::isfinite(r.CurPercent) && std::isfinite(r.RefPercent), "percentage not finite: " + r.Word);
    fuzz::check(std::isfinite(r.LL), "log-likelihood not finite: " + r.Word);
    for (int column = 0; column < CompColumnCount; ++column)
      CompCellText(r, column);
  }
  return 0;
}
