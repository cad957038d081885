#include "foundation/frequency_list.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/stop_list.h"
#include "foundation/utils.h"
#include "foundation/settings.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

namespace {

constexpr size_t MaxCountedWord = 64;   // characters of a word kept in the table
constexpr int64_t ReportEvery = 4096;   // characters between progress checks

}  // namespace

std::chrono::milliseconds CountWordsReportInterval{200};

std::string FormatPercent(double value)
{
  if (!std::isfinite(value))
    return "0.0000";
  // The exact decimal expansion of the double (a dyadic fraction whose
  // lowest bit is 2^(exponent - 53), so that many decimals hold it), then
  // rounded by hand at the fourth decimal: a 5 in the fifth rounds away from
  // zero.
  const bool negative = std::signbit(value);
  int exponent = 0;
  std::frexp(value, &exponent);
  const int decimals = std::clamp(53 - exponent, 5, 1075);
  static thread_local char buf[1500];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed, decimals);
  std::string digits(buf, r.ptr);
  const size_t point = digits.find('.');
  const bool up = digits[point + 5] >= '5';
  digits.resize(point + 5);
  if (up) {
    size_t i = digits.size();
    while (i-- > 0) {
      if (digits[i] == '.')
        continue;
      if (digits[i] != '9') {
        ++digits[i];
        break;
      }
      digits[i] = '0';
      if (i == 0)
        digits.insert(digits.begin(), '1');
    }
  }
  const bool zero = digits.find_first_not_of("0.") == std::string::npos;
  return (negative && !zero ? "-" : "") + digits;
}

namespace {

// The key of a number of `units` ten-thousandths (a text of as many integer
// digits as units / 10000 has, at least one), ten times more with a "-".
double lengthKeyOfUnits(double units, bool minus)
{
  return std::max(units, 10000.0) * (minus ? 10 : 1);
}

}  // namespace

double percentLengthKey(double value)
{
  if (!std::isfinite(value) || value == 0)
    return lengthKeyOfUnits(0, false);
  const double scaled = std::fabs(value) * 10000;
  if (std::fabs(scaled - std::floor(scaled) - 0.5) > 1e-15 * std::max(scaled, 1.0)) {
    const double units = std::round(scaled);
    return lengthKeyOfUnits(units, std::signbit(value) && units > 0);
  }
  // Close to a half at the fifth decimal only the exact expansion tells
  // which way the text rounds.
  const std::string text = FormatPercent(value);
  const size_t before = text.find('.');
  return std::pow(10.0, double(before + 3));
}

double integerLengthKey(int64_t value)
{
  return lengthKeyOfUnits(std::fabs(double(value)) * 10000, value < 0);
}

std::unique_ptr<THashStrings> CountCorpusWords()
{
  auto table = std::make_unique<THashStrings>(4096, LanguageId);
  table->FoldCase = FrequencySettings.IgnoreCase;

  std::unique_ptr<ProgressDialog> progress = CreateProgressForm(false);
  progress->SetCaption("Counting words in corpus");
  progress->SetMaxValue(100);
  progress->Show();

  const int64_t totalSize = TotalCorpusSize().value_or(0);
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastReport = Clock::now();
  int64_t chars = 0;
  int64_t nextCheck = ReportEvery;
  int64_t words = 0;
  int64_t wordsAtReport = 0;

  // Words are taken from the reader a window at a time where no tag rule
  // applies (one at a time where one does) and counted apart from the table,
  // which receives them in the order of first sight at the end.
  TWordCounter counter(*table);
  const platform::CodePage& page = platform::codePage(AnsiCodePage);
  constexpr int32_t Bulk = 1024;
  std::string_view found[Bulk];
  int64_t base = 0;  // characters of the items before this one
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    const TCorpusItem* item = &CorpusList[i];
    TBufStream reader(item->Source.get());
    if (FrequencySettings.SkipTags)
      ConfigureBufStream(reader);
    progress->SetProgressLabel("Scanning " + ItemDisplayName(item->Name) + "...");

    for (;;) {
      int32_t n = reader.NextPlainWords(found, Bulk);
      if (n > 0) {
        for (int32_t k = 0; k < n; ++k)
          if (found[k].size() > MaxCountedWord)
            found[k] = found[k].substr(0, MaxCountedWord);
        counter.AddPadded(found, size_t(n));  // the window is padded
      } else {
        const std::string_view word = reader.NextWord();
        if (word.empty())
          break;
        counter.Add(WholeCharsPrefix(page, word, MaxCountedWord));
        n = 1;
      }
      words += n;
      chars = base + reader.GetPosition();
      if (chars < nextCheck)
        continue;
      nextCheck = chars + ReportEvery;
      const Clock::time_point now = Clock::now();
      if (now - lastReport < CountWordsReportInterval)
        continue;
      if (progress->poll() != 0)
        return nullptr;
      if (CorpusList.IndexOf(item) < 0)
        return nullptr;  // the corpus changed while events ran
      if (totalSize > 0)
        progress->SetProgress(std::llround(double(chars) * 100.0 / double(totalSize)));
      const double seconds = std::chrono::duration<double>(now - lastReport).count();
      progress->SetSpecialText(std::to_string(std::llround(double(words - wordsAtReport) / seconds)) +
                               " words/sec");
      lastReport = now;
      wordsAtReport = words;
      progress->poll();
      if (CorpusList.IndexOf(item) < 0)
        return nullptr;
    }
    base += std::max<int64_t>(reader.GetPosition(), 0);
  }
  counter.MoveTo(*table);
  TotalWordCount = words;
  table->Sort(THashStrings::ssByCount);
  return table;
}

bool PassesFrequencyFilter(std::string_view word, int32_t count)
{
  if (count < FrequencySettings.MinimumFrequency)
    return false;
  if (FrequencySettings.MaximumFrequency != 0 && count > FrequencySettings.MaximumFrequency)
    return false;
  return !GlobalStopList.IsStopWord(word);
}

std::string FormatFrequencyLine(int32_t count, std::string_view word)
{
  // "%10.d": a precision of 0 prints no digit for the value 0.
  std::string digits = count == 0 ? std::string() : std::to_string(count);
  std::string line;
  if (digits.size() < 10)
    line.assign(10 - digits.size(), ' ');
  line += digits;
  line += ": ";
  const double percent = TotalWordCount > 0 ? double(count) / double(TotalWordCount) * 100.0 : 0.0;
  line += FormatPercent(percent);
  line += "% ";
  line.append(word);
  return line;
}

void WriteFrequencyList(const std::function<void(const std::string& line)>& writeLine, THashStrings& table,
                        bool alphabetical)
{
  table.Sort(alphabetical ? THashStrings::ssByWord : THashStrings::ssByCount);
  for (int32_t i = 0; i < table.Count(); ++i) {
    const std::string_view word = table.Strings(i);
    const int32_t count = table.Counts(i);
    if (PassesFrequencyFilter(word, count))
      writeLine(FormatFrequencyLine(count, word));
  }
}
