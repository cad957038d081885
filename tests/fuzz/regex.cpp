// The regular-expression engine: pattern, text, start, ignore case and an
// equal-character group from the input. Compiling raises ERegExp with one of
// the engine's texts or succeeds; searches from several starts run under a
// step budget (the cancel hook stops them after a fixed number of polls).
// Every match lies inside the text from its start on, and the matchers agree
// on the extents unless one gave up or was stopped. The top three bits of the
// options byte pick the language: 4 to 7 a double-byte code page (932, 936,
// 949, 950), where every match also begins and ends between characters.
#include "foundation/chartables.h"
#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "search/regexp/regexp.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int PollBudget = 4;  // about 4 x 64K matcher steps per search

struct TResult {
  bool found = false;
  int32_t start = -1, end = -1;
  TRegExpOutcome outcome = TRegExpOutcome::NoMatch;
};

std::unique_ptr<TRegExp> compile(const std::string& pattern, TRegExpMatcher matcher, std::string& error)
{
  try {
    return std::make_unique<TRegExp>(pattern, matcher);
  } catch (const ERegExp& e) {
    bool known = false;
    for (int i = 2; i < RegExpErrorCount; ++i)
      known = known || std::strcmp(e.what(), RegExpErrorTexts[i]) == 0;
    fuzz::check(known, std::string("unknown error text: ") + e.what());
    error = e.what();
    return nullptr;
  }
}

// Double-byte languages by the top bits of the options byte (0: 1252).
constexpr int32_t Languages[8] = {0, 0, 0, 0, 0x411, 0x804, 0x412, 0x404};

TResult search(TRegExp& re, const std::string& text, int32_t start)
{
  int polls = 0;
  re.SetCancelHook([&polls] { return ++polls > PollBudget; });
  TResult r;
  r.found = re.Search(text.data(), int32_t(text.size()), start, r.start, r.end);
  r.outcome = re.LastOutcome();
  if (r.found) {
    fuzz::check(r.outcome == TRegExpOutcome::Found, "found without outcome Found");
    fuzz::check(start <= r.start && r.start < r.end && r.end <= int32_t(text.size()),
                "match " + std::to_string(r.start) + ".." + std::to_string(r.end) + " outside " +
                    std::to_string(start) + ".." + std::to_string(text.size()));
  }
  return r;
}

bool settled(const TResult& r)
{
  return r.outcome == TRegExpOutcome::Found || r.outcome == TRegExpOutcome::NoMatch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  fuzz::TInput in(data, size);
  const uint8_t options = in.byte();
  const std::string equal(in.piece().substr(0, 8));
  const std::string pattern(in.piece());
  const std::string text(in.rest());
  const int32_t language = Languages[options >> 5];
  if (language != 0) {
    SetTextLanguage(language);
    BuildCharTables();
  }
  const platform::CodePage& page = platform::codePage(AnsiCodePage);
  if (!(options & 1))
    for (int c = 0; c < 256; ++c)
      FoldTable[c] = char(c);
  for (char c : equal)
    FoldTable[static_cast<unsigned char>(c)] = FoldTable[static_cast<unsigned char>(equal[0])];

  std::string error;
  std::unique_ptr<TRegExp> automatic = compile(pattern, TRegExpMatcher::Auto, error);
  std::string backtrackError;
  std::unique_ptr<TRegExp> backtracker = compile(pattern, TRegExpMatcher::Backtracker, backtrackError);
  fuzz::check(error == backtrackError, "the matchers compile differently: " + error + " / " + backtrackError);
  if (!automatic)
    return 0;
  std::unique_ptr<TRegExp> other = compile(pattern, (options & 2) ? TRegExpMatcher::Nfa : TRegExpMatcher::Dfa, error);
  fuzz::check(other != nullptr, "a forced automaton refused the pattern");

  const int32_t length = int32_t(text.size());
  std::vector<int32_t> starts = {0, length / 2, length};
  if (length > 0)
    starts.push_back(int32_t(options) % (length + 1));
  for (int32_t start : starts) {
    const TResult a = search(*automatic, text, start);
    const TResult b = search(*backtracker, text, start);
    const TResult c = search(*other, text, start);
    if (settled(a) && settled(b))
      fuzz::check(a.found == b.found && a.start == b.start && a.end == b.end,
                  "auto and backtracker differ at start " + std::to_string(start));
    if (settled(a) && settled(c))
      fuzz::check(a.found == c.found && a.start == c.start && a.end == c.end,
                  "auto and automaton differ at start " + std::to_string(start));
    // What callers that look for starts in the raw text rely on: the start
    // filter admits the match's start and passes over none before it, the
    // first byte is not one the filter says no match begins with, and the
    // match is no longer than the bound.
    if (a.found) {
      if (page.dbcs)
        for (int32_t edge : {a.start, a.end})
          fuzz::check(edge == int32_t(text.size()) || platform::charStartAt(page, text, size_t(edge)) == size_t(edge),
                      "a match edge inside a character at " + std::to_string(edge));
      if (automatic->HasStartFilter()) {
        fuzz::check(automatic->NextStart(text.data(), length, start, length) <= a.start &&
                        automatic->NextStart(text.data(), length, a.start, length) == a.start,
                    "the start filter passes over the match at " + std::to_string(a.start));
      }
      const char first = text[size_t(a.start)];
      fuzz::check(first == '\0' || !automatic->StartAvoids(std::string(1, first).c_str()),
                  "a match begins with a byte the start filter avoids");
      const int32_t longest = automatic->LongestMatch();
      fuzz::check(longest < 0 || a.end - a.start <= longest, "a match longer than the bound");
    }
  }
  return 0;
}
