#include "forms/corpus_comparison.h"

#include "forms/word_list_rows.h"
#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/frequency_list.h"
#include "foundation/settings.h"
#include "platform/read_file.h"
#include "search/quick_sort.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

constexpr std::chrono::milliseconds PumpInterval{50};

// Lets the progress dialog's events in about every 50 ms; true once the user
// has cancelled.
class ProgressPacer {
public:
  explicit ProgressPacer(ProgressDialog& progress) : progress_(progress), next_(Clock::now() + PumpInterval) {}
  bool Cancelled(int64_t done)
  {
    const Clock::time_point now = Clock::now();
    if (now < next_)
      return false;
    next_ = now + PumpInterval;
    progress_.SetProgress(done);
    return progress_.poll() != ProgressRunning;
  }

private:
  using Clock = std::chrono::steady_clock;
  ProgressDialog& progress_;
  Clock::time_point next_;
};

// Splits text into lines ending at CR LF, LF or CR.
class LineReader {
public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line)
  {
    if (pos_ >= text_.size())
      return false;
    size_t end = pos_;
    while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n')
      ++end;
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < text_.size() && text_[pos_] == '\r')
      ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '\n' && (pos_ == end || text_[pos_ - 1] == '\r'))
      ++pos_;
    return true;
  }

private:
  std::string_view text_;
  size_t pos_ = 0;
};

int64_t CountLines(std::string_view text)
{
  LineReader reader(text);
  std::string_view line;
  int64_t n = 0;
  while (reader.Next(line))
    ++n;
  return n;
}

std::string_view Trimmed(std::string_view s)
{
  while (!s.empty() && uint8_t(s.front()) <= 0x20)
    s.remove_prefix(1);
  while (!s.empty() && uint8_t(s.back()) <= 0x20)
    s.remove_suffix(1);
  return s;
}

bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

bool IsWordListTitle(std::string_view title)
{
  for (const char* t : {FreqOrderCaption, AlphaOrderCaption, BatchFreqOrderTitle, BatchAlphaOrderTitle})
    if (title.find(t) != std::string_view::npos)
      return true;
  return false;
}

// The decimal number of the whole text; false when it is none or too large.
bool ParseTotal(std::string_view text, int64_t& value)
{
  if (text.empty() || text.size() > 18)
    return false;
  value = 0;
  for (char c : text) {
    if (!IsDigit(c))
      return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// The count and word of a trimmed, non-blank data line.
bool ParseDataLine(std::string_view line, int32_t& count, std::string_view& word)
{
  if (!IsDigit(line.front()))
    return false;
  int64_t value = 0;
  for (size_t i = 0; i < line.size() && IsDigit(line[i]); ++i) {
    value = value * 10 + (line[i] - '0');
    if (value > INT32_MAX)
      return false;
  }
  const size_t gap = line.find_last_of(" \t");
  if (gap == std::string_view::npos)
    return false;
  count = int32_t(value);
  word = line.substr(gap + 1);
  return true;
}

float Percent(int32_t count, int64_t total)
{
  return float(static_cast<long double>(count) / static_cast<long double>(total) * 100.0L);
}

// n ln(n / expected), 0 for a count of 0.
long double LLTerm(int32_t n, long double expected)
{
  if (n == 0)
    return 0;
  return static_cast<long double>(n) * std::log(static_cast<long double>(n) / expected);
}

int Sign(long double d)
{
  return d > 0 ? 1 : d < 0 ? -1 : 0;
}

// The records' words compare by LocaleCompare, or by their order keys
// (which give the same sign) when the sort has made them.
int CompareOnKey(uint8_t key, const TCorpusCompRec& x, const TCorpusCompRec& y, const std::string* xKey,
                 const std::string* yKey)
{
  switch (key) {
  case 1:
    return x.CurCount > y.CurCount ? 1 : x.CurCount < y.CurCount ? -1 : 0;
  case 2:
    return Sign(static_cast<long double>(x.CurPercent) - y.CurPercent);
  case 3:
    if (xKey)
      return xKey->compare(*yKey);
    return LocaleCompare(x.Word, y.Word, false);
  case 4:
    return x.RefCount > y.RefCount ? 1 : x.RefCount < y.RefCount ? -1 : 0;
  case 5:
    return Sign(static_cast<long double>(x.RefPercent) - y.RefPercent);
  case 6:
    return Sign(static_cast<long double>(CompPercentChange(x)) - CompPercentChange(y));
  case 7:
    return Sign(x.LL - y.LL);
  default:
    return 0;
  }
}

}  // namespace

bool ReadFrequencyFile(const std::string& fileName, int32_t bucketCount, int64_t& total,
                       std::unique_ptr<THashStrings>& table)
{
  total = 0;
  table.reset();
  std::string text;
  if (platform::readRegularFile(fileName, text) != 0) {
    ShowError("Unable to open file: " + fileName + ".");
    return false;
  }
  std::unique_ptr<ProgressDialog> progress = CreateProgressForm(false);
  progress->SetCaption(FrequencyFileCaption);
  progress->SetProgressLabel("Reading...");
  progress->Show();
  progress->SetMaxValue(CountLines(text));
  BusyScope busy(BusyLoading);

  auto fail = [&](bool showMessage) {
    table.reset();
    total = 0;
    if (showMessage)
      ShowError(InvalidFrequencyFileText);
    return false;
  };
  LineReader reader(text);
  std::string_view line;
  if (!reader.Next(line) || !IsWordListTitle(line))
    return fail(true);
  const size_t open = line.find('(');
  const bool summing = open == std::string_view::npos;
  if (summing) {
    if (!ConfirmYesNo(MissingWordCountText, true))
      return fail(false);
  } else {
    std::string_view rest = line.substr(open + 1);
    rest = rest.substr(0, rest.find(' '));
    if (!ParseTotal(rest, total))
      return fail(true);
  }
  reader.Next(line);  // line 2, whatever it holds
  table = std::make_unique<THashStrings>(std::max(bucketCount, 1), LanguageId);
  table->FoldCase = true;
  ProgressPacer pacer(*progress);
  int64_t lineNo = 2;
  int64_t sum = 0;
  while (reader.Next(line)) {
    ++lineNo;
    const std::string_view trimmed = Trimmed(line);
    if (!trimmed.empty()) {
      int32_t count = 0;
      std::string_view word;
      if (!ParseDataLine(trimmed, count, word))
        return fail(true);
      sum += count;
      table->AddCount(word, count);
    }
    if (pacer.Cancelled(lineNo))
      return fail(false);
  }
  progress->SetProgress(lineNo);
  if (summing)
    total = sum;
  if (total <= 0)
    return fail(true);
  return true;
}

TCompRecords BuildComparison(const THashStrings& current, int64_t currentTotal, THashStrings& reference,
                             int64_t referenceTotal)
{
  for (int32_t i = 0; i < current.Count(); ++i)
    reference.Add(current.Strings(i), false);
  const long double ct = static_cast<long double>(currentTotal);
  const long double rt = static_cast<long double>(referenceTotal);
  const long double both = static_cast<long double>(currentTotal + referenceTotal);
  TCompRecords records(size_t(reference.Count()));
  for (int32_t i = 0; i < reference.Count(); ++i) {
    TCorpusCompRec& r = records[size_t(i)];
    r.Word = reference.Strings(i);
    r.CurCount = current.CountOf(r.Word);
    r.RefCount = reference.Counts(i);
    r.CurPercent = Percent(r.CurCount, currentTotal);
    r.RefPercent = Percent(r.RefCount, referenceTotal);
    const long double ab = static_cast<long double>(int64_t(r.CurCount) + int64_t(r.RefCount));
    const long double e1 = ct / both * ab;
    const long double e2 = rt / both * ab;
    r.LL = 2 * (LLTerm(r.CurCount, e1) + LLTerm(r.RefCount, e2));
  }
  return records;
}

namespace {

int CompareWithKeys(const TCompSortKeys& keys, const TCorpusCompRec& x, const TCorpusCompRec& y,
                    const std::string* xKey, const std::string* yKey)
{
  for (int k = 0; k < 3; ++k) {
    int result = CompareOnKey(keys[size_t(2 * k)], x, y, xKey, yKey);
    if (keys[size_t(2 * k + 1)])
      result = -result;
    if (result != 0)
      return result;
  }
  return 0;
}

}  // namespace

double CompPercentChange(const TCorpusCompRec& record)
{
  return double(record.CurPercent) - double(record.RefPercent);
}

int CompareCompRecords(const TCompSortKeys& keys, const TCorpusCompRec& x, const TCorpusCompRec& y)
{
  return CompareWithKeys(keys, x, y, nullptr, nullptr);
}

void SortCompRecords(TCompRecords& records, const TCompSortKeys& keys)
{
  if (records.size() < 2)
    return;
  // A sort on the word compares order keys made once per record.
  std::vector<std::string> wordKeys;
  if (keys[0] == 3 || keys[2] == 3 || keys[4] == 3) {
    wordKeys.resize(records.size());
    for (size_t i = 0; i < records.size(); ++i)
      wordKeys[i] = LocaleOrderKey(records[i].Word, false);
  }
  std::vector<uint32_t> order(records.size());
  for (size_t i = 0; i < records.size(); ++i)
    order[i] = uint32_t(i);
  const bool withKeys = !wordKeys.empty();
  search::QuickSort(order, 0, int64_t(order.size()) - 1, [&](uint32_t x, uint32_t y) {
    return CompareWithKeys(keys, records[x], records[y], withKeys ? &wordKeys[x] : nullptr,
                           withKeys ? &wordKeys[y] : nullptr);
  });
  TCompRecords sorted;
  sorted.reserve(records.size());
  for (uint32_t i : order)
    sorted.push_back(std::move(records[i]));
  records = std::move(sorted);
}

std::string CompCellText(const TCorpusCompRec& record, int column)
{
  switch (column) {
  case 0:
    return std::to_string(record.CurCount);
  case 1:
    return FormatPercent(record.CurPercent) + "%";
  case 2:
    return record.Word;
  case 3:
    return std::to_string(record.RefCount);
  case 4:
    return FormatPercent(record.RefPercent) + "%";
  case 5:
    return FormatPercent(CompPercentChange(record)) + "%";
  default:
    return FormatPercent(double(record.LL));
  }
}

double compCellLengthKey(const TCorpusCompRec& record, int column)
{
  switch (column) {
  case 0:
    return integerLengthKey(record.CurCount);
  case 1:
    return percentLengthKey(record.CurPercent);
  case 2:
    return double(record.Word.size());
  case 3:
    return integerLengthKey(record.RefCount);
  case 4:
    return percentLengthKey(record.RefPercent);
  case 5:
    return percentLengthKey(CompPercentChange(record));
  default:
    return percentLengthKey(double(record.LL));
  }
}

std::string FormatCompRecord(const TCorpusCompRec& record, uint32_t mask)
{
  std::string line;
  bool first = true;
  for (int c = 0; c < CompColumnCount; ++c) {
    if (!(mask & (1u << c)))
      continue;
    if (!first)
      line += '\t';
    first = false;
    line += CompCellText(record, c);
  }
  return line;
}

std::string CompCopyText(const TCompRecords& records, int32_t first, int32_t last, int firstColumn, int lastColumn)
{
  std::string text;
  first = std::max(first, 0);
  last = std::min(last, int32_t(records.size()) - 1);
  firstColumn = std::max(firstColumn, 0);
  lastColumn = std::min(lastColumn, CompColumnCount - 1);
  for (int32_t r = first; r <= last; ++r) {
    for (int c = firstColumn; c <= lastColumn; ++c) {
      text += CompCellText(records[size_t(r)], c);
      text += '\t';
    }
    text += LineEnd;
  }
  return text;
}

void WriteComparison(const TCompRecords& records, TTextSink& file, bool printing, uint32_t mask,
                     const std::function<void(ProgressDialog&)>& prepare)
{
  std::unique_ptr<ProgressDialog> progress = CreateProgressForm(false);
  progress->SetCaption(CompFileCaption);
  progress->SetProgressLabel(printing ? "Printing..." : "Saving...");
  progress->SetMaxValue(int64_t(records.size()));
  if (prepare)
    prepare(*progress);
  progress->Show();
  BusyScope busy(BusySaving);
  ProgressPacer pacer(*progress);
  int64_t done = 0;
  for (const TCorpusCompRec& r : records) {
    file.WriteLine(FormatCompRecord(r, mask));
    if (pacer.Cancelled(++done))
      break;
  }
  file.Close();
}
