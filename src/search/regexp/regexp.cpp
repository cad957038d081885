// Regular-expression engine: compiled expressions, searching, and the
// engine's syntax table.
#include "search/regexp/regexp.h"

#include "foundation/chartables.h"
#include "platform/codepage.h"
#include "search/regexp/regexp_match.h"
#include "search/regexp/regexp_program.h"
#include "search/regexp/regexp_syntax.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

const char* const RegExpErrorTexts[RegExpErrorCount] = {
  "Success",
  "No match",
  "Invalid regular expression",
  "Invalid collation character",
  "Invalid character class name",
  "Trailing backslash",
  "Invalid back reference",
  "Unmatched [ or [^",
  "Unmatched ( or \\(",
  "Unmatched \\{",
  "Invalid content of \\{\\}",
  "Invalid range end",
  "Memory exhausted",
  "Invalid preceding regular expression",
  "Premature end of regular expression",
  "Regular expression too big",
  "Unmatched ) or \\)",
};

const char* const RegExpInternalError = "Internal regexp error.";

uint8_t RegExpSyntaxTable[256];

void BuildRegExpSyntaxTable()
{
  for (int c = 0; c < 256; ++c) {
    const uint8_t flags = CharTypeTable[c];
    uint8_t v = 0;
    if (flags & (ctDigit | ctUpper | ctLower))
      v |= sySword;
    if (flags & ctDigit)
      v |= syDigit;
    if (flags & (ctSpace | ctBlank))
      v |= sySpace;
    RegExpSyntaxTable[c] = v;
  }
  RegExpSyntaxTable[static_cast<unsigned char>('_')] |= sySword;
}

void InitRegExpSyntaxTable()
{
  static std::once_flag once;
  std::call_once(once, [] {
    AddCharTablesListener(BuildRegExpSyntaxTable);
    BuildRegExpSyntaxTable();
  });
}

namespace {

// Largest automaton; a pattern whose counted repeats expand beyond it runs on
// the backtracker.
constexpr size_t AutomatonBudget = 20000;

// Whether the tree tests word boundaries (\b \B \< \>).
bool HasWordAssertions(const regexp::Tree& tree)
{
  using regexp::Assertion;
  return std::any_of(tree.nodes.begin(), tree.nodes.end(), [](const regexp::Node& n) {
    return n.kind == regexp::NodeKind::Assert &&
           (n.assertion == Assertion::WordBoundary || n.assertion == Assertion::NotWordBoundary ||
            n.assertion == Assertion::WordStart || n.assertion == Assertion::WordEnd);
  });
}

}  // namespace

struct TRegExp::TImpl {
  regexp::Tables tables;
  uint8_t ctxOf[256];
  TRegExpMatcher matcher = TRegExpMatcher::Dfa;
  regexp::Prefilter prefilter;
  regexp::Program forward;
  regexp::Program reverse;
  regexp::Program backtrack;
  regexp::ByteClasses classes;
  std::unique_ptr<regexp::Dfa> dfaForward;
  std::unique_ptr<regexp::Dfa> dfaReverse;
  bool dfaFailed = false;
  std::unique_ptr<regexp::Backtracker> backtracker;
  std::function<bool()> cancel;
  TRegExpOutcome outcome = TRegExpOutcome::NoMatch;
  bool emptyMatch = false;
  int64_t giveUps = 0;
  int32_t longest = -1;

  void Compile(const char* pattern, TRegExpMatcher requested);
  // endTouch, when given, receives the earliest start (at most the match's)
  // of an attempt that reached the end of the text, or rNone.
  int32_t Run(const regexp::Text& text, int32_t start, regexp::StepCounter& steps, int32_t& end,
              int32_t* endTouch = nullptr);
  int32_t Literal(const regexp::Text& text, int32_t start, regexp::StepCounter& steps,
                  int32_t& end);
};

void TRegExp::TImpl::Compile(const char* pattern, TRegExpMatcher requested)
{
  InitRegExpSyntaxTable();
  const platform::CodePage& page = platform::codePage(AnsiCodePage);
  tables.page = page.dbcs ? &page : nullptr;
  for (int c = 0; c < 256; ++c) {
    tables.translate[c] = static_cast<uint8_t>(FoldTable[c]);
    tables.charTypes[c] = CharTypeTable[c];
    tables.syntax[c] = RegExpSyntaxTable[c];
    // A lead byte begins a double-byte character, a letter.
    const bool word = (tables.syntax[c] & sySword) || (tables.page && page.lead[c]);
    ctxOf[c] = static_cast<uint8_t>((c == '\n' ? regexp::cxNewline : 0) | (word ? regexp::cxWord : 0));
  }
  const regexp::Tree tree = regexp::ParsePattern(pattern ? pattern : "", tables);
  prefilter.Build(tree);
  longest = regexp::LongestMatch(tree, 65536);
  const bool automaton = !tree.hasBackRefs && requested != TRegExpMatcher::Backtracker &&
                         regexp::ExpandedSize(tree) <= AutomatonBudget &&
                         regexp::BuildProgram(tree, regexp::BuildMode::Forward, AutomatonBudget,
                                              forward) &&
                         regexp::BuildProgram(tree, regexp::BuildMode::Reverse, AutomatonBudget,
                                              reverse);
  if (automaton) {
    // Going backward, the automaton cannot tell a double-byte character
    // before a position from the single byte its trail byte would be, so
    // word boundaries on a double-byte page are left to the NFA.
    const bool nfa = requested == TRegExpMatcher::Nfa || (tables.page && HasWordAssertions(tree));
    matcher = nfa ? TRegExpMatcher::Nfa : TRegExpMatcher::Dfa;
    classes.Build(forward, ctxOf, tables.page);
    dfaForward = std::make_unique<regexp::Dfa>(forward, classes, ctxOf, true, prefilter.Active(),
                                               regexp::Dfa::DefaultMemoryBudget, tables.page);
    dfaReverse = std::make_unique<regexp::Dfa>(reverse, classes, ctxOf, false, false,
                                               regexp::Dfa::DefaultMemoryBudget, tables.page);
    return;
  }
  matcher = TRegExpMatcher::Backtracker;
  forward = regexp::Program{};
  reverse = regexp::Program{};
  regexp::BuildProgram(tree, regexp::BuildMode::Backtracker, 0, backtrack);
  backtracker = std::make_unique<regexp::Backtracker>(backtrack, tables.translate,
                                                      regexp::Nullable(tree));
}

int32_t TRegExp::TImpl::Literal(const regexp::Text& text, int32_t start,
                                regexp::StepCounter& steps, int32_t& end)
{
  for (int32_t from = start;;) {
    const int32_t q = prefilter.Scan(text, from, steps);
    // Not inside a double-byte character; from there on, the next one.
    if (q >= 0 && text.InsideChar(from, q)) {
      from = q + 1;
      continue;
    }
    if (q >= 0)
      end = q + prefilter.LiteralLength();
    return q;
  }
}

int32_t TRegExp::TImpl::Run(const regexp::Text& text, int32_t start, regexp::StepCounter& steps,
                            int32_t& end, int32_t* endTouch)
{
  using namespace regexp;
  if (endTouch)
    *endTouch = rNone;
  if (matcher == TRegExpMatcher::Backtracker) {
    // After a give-up, attempts run on a small budget (see setThrifty).
    backtracker->setThrifty(giveUps > 0);
    return backtracker->Search(text, start, &prefilter, steps, end, endTouch);
  }
  // A literal match cannot change with more text; positions too close to the
  // end for the literal are the prefilter's tail (see Search).
  if (matcher == TRegExpMatcher::Dfa && prefilter.PureLiteral())
    return Literal(text, start, steps, end);
  if (matcher == TRegExpMatcher::Dfa && !dfaFailed) {
    bool alive = false;
    const int32_t e = dfaForward->FindEnd(text, start, &prefilter, steps, endTouch ? &alive : nullptr);
    // Attempts still going at the end began at or after the last position
    // where none was: a safe, usually close, bound for the earliest of them.
    auto touch = [&]() -> int32_t {
      if (!alive)
        return rNone;
      const int32_t idle = dfaForward->LastIdle(text, start, &prefilter, steps);
      if (idle == rCancelled)
        return rCancelled;
      if (idle > start)
        return idle;
      // No position after the start was free of live attempts (or the cache
      // gave up), so any of them may have reached the end: the exact matcher
      // tells which attempt did first.
      int32_t pikeEnd = rNone;
      int32_t exact = rNone;
      if (PikeSearch(forward, text, start, &prefilter, steps, pikeEnd, &exact) == rCancelled)
        return rCancelled;
      return exact >= 0 ? exact : rNone;
    };
    if (e == rCancelled)
      return e;
    if (e == rNone) {
      const int32_t t = touch();
      if (t == rCancelled)
        return t;
      if (endTouch)
        *endTouch = t;
      return e;
    }
    if (e >= 0) {
      const int32_t s = dfaReverse->FindStart(text, start, e, steps);
      if (s == rCancelled)
        return s;
      if (s >= 0) {
        const int32_t t = touch();
        if (t == rCancelled)
          return t;
        if (endTouch)
          *endTouch = t >= 0 ? std::min(t, s) : rNone;
        end = e;
        return s;
      }
      if (s != rThrash)
        throw ERegExp(RegExpInternalError);  // the two automata disagree
    }
    // The cache does not pay off for this pattern: simulate the NFA.
    dfaFailed = true;
    dfaForward.reset();
    dfaReverse.reset();
  }
  return PikeSearch(forward, text, start, &prefilter, steps, end, endTouch);
}

TRegExp::TRegExp(const char* pattern, TRegExpMatcher matcher) : Impl(std::make_unique<TImpl>())
{
  try {
    Impl->Compile(pattern, matcher);
  } catch (const std::bad_alloc&) {
    throw ERegExp(RegExpErrorTexts[12]);
  } catch (const std::length_error&) {
    throw ERegExp(RegExpErrorTexts[12]);
  }
}

TRegExp::TRegExp(const std::string& pattern, TRegExpMatcher matcher)
    : TRegExp(pattern.c_str(), matcher)
{
}

TRegExp::~TRegExp() = default;
TRegExp::TRegExp(TRegExp&&) noexcept = default;
TRegExp& TRegExp::operator=(TRegExp&&) noexcept = default;

bool TRegExp::Search(const char* text, int32_t length, int32_t start, int32_t& matchStart,
                     int32_t& matchEnd)
{
  return SearchFrom(text, length, start, matchStart, matchEnd, nullptr);
}

bool TRegExp::Search(const char* text, int32_t length, int32_t start, int32_t& matchStart,
                     int32_t& matchEnd, int32_t& endTouch, bool textGoesOn)
{
  return SearchFrom(text, length, start, matchStart, matchEnd, &endTouch, textGoesOn);
}

bool TRegExp::SearchFrom(const char* text, int32_t length, int32_t start, int32_t& matchStart,
                         int32_t& matchEnd, int32_t* endTouch, bool textGoesOn)
{
  TImpl& m = *Impl;
  m.outcome = TRegExpOutcome::NoMatch;
  m.emptyMatch = false;
  if (endTouch)
    *endTouch = -1;
  // Only an empty match could start at the end of the text.
  if (!text || length < 0 || start < 0 || start >= length)
    return false;
  regexp::Text t{reinterpret_cast<const uint8_t*>(text), length, m.ctxOf};
  if (textGoesOn)
    t.endCtx = m.ctxOf[static_cast<uint8_t>(text[length])];
  t.page = m.tables.page;
  // On a double-byte page a match begins only where a character does.
  if (t.InsideChar(0, start) && ++start >= length)
    return false;
  regexp::StepCounter steps(&m.cancel);
  int32_t end = regexp::rNone;
  int32_t touch = regexp::rNone;
  int32_t s = regexp::rNone;
  for (int32_t from = start;;) {
    int32_t runTouch = regexp::rNone;
    t.origin = from;
    s = m.Run(t, from, steps, end, endTouch ? &runTouch : nullptr);
    if (s == regexp::rCancelled || runTouch == regexp::rCancelled) {
      m.outcome = TRegExpOutcome::Cancelled;
      return false;
    }
    if (runTouch >= 0)
      touch = touch >= 0 ? std::min(touch, runTouch) : runTouch;
    // An empty leftmost match is never a hit: no longer match starts there,
    // so the search goes on at the next position.
    if (s < 0 || end > s)
      break;
    const int32_t next =
        s + (t.page ? int32_t(platform::charBytesAt(*t.page, std::string_view(text, size_t(length)), size_t(s))) : 1);
    if (next >= length)
      break;
    from = next;
  }
  if (endTouch) {
    // Without a match, the positions the prefilter passed over near the end
    // count too: a match may begin there in a longer text.
    if (s < 0) {
      const int32_t tail = m.prefilter.TailStart(length);
      if (tail < length)
        touch = touch >= 0 ? std::min(touch, std::max(tail, start)) : std::max(tail, start);
    }
    *endTouch = touch >= 0 ? touch : -1;
  }
  if (s == regexp::rGaveUp) {
    m.outcome = TRegExpOutcome::GaveUp;
    ++m.giveUps;
    return false;
  }
  if (s < 0 || end <= s) {
    m.emptyMatch = s >= 0;
    return false;  // no match, or the leftmost match is empty
  }
  m.outcome = TRegExpOutcome::Found;
  matchStart = s;
  matchEnd = end;
  return true;
}

bool TRegExp::Search(const char* text, int32_t start, int32_t& matchStart, int32_t& matchEnd)
{
  if (!text) {
    Impl->outcome = TRegExpOutcome::NoMatch;
    Impl->emptyMatch = false;
    return false;
  }
  const size_t n = std::strlen(text);
  const int32_t length = static_cast<int32_t>(
      std::min<size_t>(n, static_cast<size_t>(std::numeric_limits<int32_t>::max())));
  return Search(text, length, start, matchStart, matchEnd);
}

void TRegExp::SetCancelHook(std::function<bool()> hook)
{
  Impl->cancel = std::move(hook);
}

TRegExpOutcome TRegExp::LastOutcome() const
{
  return Impl->outcome;
}

bool TRegExp::LastMatchWasEmpty() const
{
  return Impl->emptyMatch;
}

int64_t TRegExp::GiveUpCount() const
{
  return Impl->giveUps;
}

void TRegExp::ResetGiveUpCount()
{
  Impl->giveUps = 0;
}

TRegExpMatcher TRegExp::Matcher() const
{
  return Impl->matcher;
}

int32_t TRegExp::LongestMatch() const
{
  return Impl->longest;
}

bool TRegExp::HasStartFilter() const
{
  return Impl->prefilter.Active();
}

bool TRegExp::StartAvoids(const char* bytes) const
{
  for (; bytes && *bytes; ++bytes)
    if (Impl->prefilter.LeadBytes().Has(static_cast<uint8_t>(*bytes)))
      return false;
  return true;
}

int32_t TRegExp::StartSpan() const
{
  return std::max<int32_t>(1, Impl->prefilter.LiteralLength());
}

int32_t TRegExp::NextStart(const char* text, int32_t length, int32_t from, int32_t limit) const
{
  if (!text || from < 0 || from >= std::min(limit, length))
    return -1;
  const regexp::Text t{reinterpret_cast<const uint8_t*>(text), length, Impl->ctxOf};
  const int32_t q = Impl->prefilter.Next(t, from, limit);
  return q >= 0 ? q : -1;
}
