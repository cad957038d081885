// Regular expressions of the search.
//
// The dialect is the POSIX extended syntax with the GNU operators and
// back-references:
//   c        an ordinary character, compared after translation
//   .        any character but NUL (newline included)
//   [...]    a list, [^...] its complement; ranges a-z (end points compared
//            as unsigned bytes, untranslated); classes [:alnum:] [:alpha:]
//            [:blank:] [:cntrl:] [:digit:] [:graph:] [:lower:] [:print:]
//            [:punct:] [:space:] [:upper:] [:xdigit:]
//   * + ? {m} {m,} {m,n}   repetition of the preceding atom (m, n <= 32767)
//   ( ) |    grouping and alternation
//   ^ $      line anchors anywhere in the pattern (text edges and LF)
//   \1..\9   back-references, compared through the translate table
//   \w \W \s \S \d \D      word, space and digit characters by the syntax table
//   \< \> \b \B            word start, word end, boundary, not a boundary
//   \` \'    the very start and end of the text
// Known edge cases, all kept on purpose:
//   - a '{' that does not open a valid interval is an ordinary character and
//     what follows it is read again as pattern text ("x{2,1}", "x{");
//   - a repetition operator with nothing before it (at the start, after '('
//     or '|') is ignored; a ')' without its '(' is ordinary;
//   - ']' first in a list and a backslash inside a list are ordinary;
//     "[:" without a closing ":]" leaves '[' and ':' as list members;
//   - any other escaped character is that character ("\n" is the letter n);
//   - a reference to a group that is still open is the digit itself;
//   - [[:upper:]] and [[:lower:]] admit every upper- or lower-case letter;
//   - a back-reference compares through the translate table; a group that
//     took no part in the match fails it, and a group inside a repeat keeps
//     the text of the last pass that went through it.
//
// On a double-byte code page (932, 936, 949, 950: the current language's at
// compile time) the pattern and the text are read by characters, a lead byte
// with the byte after it being one character (a lead byte at the very end
// stands alone). A double-byte character in the pattern, escaped or not, is
// itself, compared as it is: the translate table never changes its bytes.
// '.', lists, ranges (end points compared as lead * 256 + trail), [^...],
// \w \W \s \S \d \D take one whole character; a double-byte character is a
// letter, so \w, \S, \D, [:alnum:] [:alpha:] [:graph:] [:lower:] [:print:]
// [:upper:] and the word assertions count it as a word character. Matches
// begin and end between characters only: the text must begin on a
// character, and a start inside one moves to the next character.
//
// Matching is leftmost-longest for the whole match: the leftmost start at or
// after the start position, then the longest end there. Search reports only
// non-empty matches: where the leftmost match is empty, the search goes on at
// the next position, so "[0-9]*" finds every number as "[0-9]+" does.
//
// Patterns without back-references run on an automaton (lazy DFA, with an NFA
// simulation behind it) that needs no limit; patterns with back-references,
// and patterns whose counted repeats expand beyond the automaton's budget, run
// on a backtracking matcher with a bounded failure stack and a step budget
// per attempt (growing with the text the attempt reads). When either is used
// up the search gives up: Search returns false, LastOutcome() tells GaveUp
// and GiveUpCount() grows, so that a caller can warn the user. While
// GiveUpCount() is above 0, each attempt gets 1/64 of that budget: a caller
// that searches part after part of a long text spends little on each part
// where the expression gives up again, and searches that end within the
// smaller budget have the same results as ever.
//
// One expression is used by one thread at a time; different expressions are
// independent of each other and may be searched on different threads at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// A compile error; the message is one of the error texts below.
class ERegExp : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The error texts, indexed by error code. Codes 0 and 1 are never raised.
inline constexpr int RegExpErrorCount = 17;
extern const char* const RegExpErrorTexts[RegExpErrorCount];
// Raised for an inconsistency inside the engine itself.
extern const char* const RegExpInternalError;

// The program-wide syntax table of the engine: per character the bits word,
// space and digit, taken from CharTypeTable. Rebuilt on every BuildCharTables;
// each expression copies it when it is compiled.
enum : uint8_t { sySword = 1, sySpace = 2, syDigit = 4 };
extern uint8_t RegExpSyntaxTable[256];
// Rebuilds RegExpSyntaxTable from the current CharTypeTable.
void BuildRegExpSyntaxTable();
// Builds the syntax table once and hooks it to BuildCharTables. Compiling an
// expression does this too; calling it again does nothing.
void InitRegExpSyntaxTable();

// How the last Search of an expression ended.
enum class TRegExpOutcome : uint8_t {
  Found,      // a match of at least one character
  NoMatch,    // no match, or the leftmost match is empty
  Cancelled,  // the cancel hook asked to stop
  GaveUp,     // the backtracking matcher ran out of failure stack or of steps
};

// Which matcher runs an expression. Auto picks as described above; the others
// are for tests and measurements. A pattern that a forced automaton cannot run
// (back-references, oversized repeats) runs on the backtracker.
enum class TRegExpMatcher : uint8_t { Auto, Backtracker, Nfa, Dfa };

class TRegExp {
public:
  // Compiles a pattern (up to its first NUL) with a copy of the current
  // FoldTable as translate table and copies of the character tables.
  // Throws ERegExp with the error text on a bad pattern.
  explicit TRegExp(const char* pattern, TRegExpMatcher matcher = TRegExpMatcher::Auto);
  explicit TRegExp(const std::string& pattern, TRegExpMatcher matcher = TRegExpMatcher::Auto);
  ~TRegExp();
  TRegExp(const TRegExp&) = delete;
  TRegExp& operator=(const TRegExp&) = delete;
  // A moved-from expression may only be destroyed or assigned to.
  TRegExp(TRegExp&&) noexcept;
  TRegExp& operator=(TRegExp&&) noexcept;

  // Searches text[start..length) for the leftmost-longest match. The text
  // still begins at index 0: anchors and word boundaries at `start` look at
  // the character before it. True for a match of at least one character, with
  // the 0-based start and the exclusive end; false otherwise (see
  // LastOutcome). Bytes beyond `length` are never read; NUL inside is an
  // ordinary byte that only '.' refuses.
  bool Search(const char* text, int32_t length, int32_t start, int32_t& matchStart,
              int32_t& matchEnd);
  // The same, and endTouch tells which attempts ran into the end of the
  // text: the earliest start, from `start` up to the match's start, of an
  // attempt whose outcome could change if the text went on (it read or
  // tested the position `length`, or matched up to it); -1 when there was
  // none. It may be earlier than the true one, never later, so a caller that
  // holds only part of a longer text knows where the result stops being
  // final. The other results are those of the plain Search.
  // With textGoesOn, text[length] must be readable: it is the character
  // that follows, and anchors and word boundaries at `length` see it, so
  // '$', "\'" and "\>" never hold at a cut that is not the text's end.
  bool Search(const char* text, int32_t length, int32_t start, int32_t& matchStart,
              int32_t& matchEnd, int32_t& endTouch, bool textGoesOn = false);
  // The same up to the text's first NUL.
  bool Search(const char* text, int32_t start, int32_t& matchStart, int32_t& matchEnd);

  // A hook that Search calls about every 64K matcher steps; when it returns
  // true, Search stops at once and returns false with the outcome Cancelled.
  void SetCancelHook(std::function<bool()> hook);
  TRegExpOutcome LastOutcome() const;
  // Whether the last search ended on an empty match at the text's last
  // position (its outcome is NoMatch).
  bool LastMatchWasEmpty() const;
  // Searches that gave up since the expression was compiled or the count was
  // reset; while above 0, attempts run on the smaller budget.
  int64_t GiveUpCount() const;
  void ResetGiveUpCount();

  // The matcher this expression runs on (never Auto).
  TRegExpMatcher Matcher() const;

  // For callers that look for match starts in text before they prepare it:
  // the most bytes a match can span (-1 when unbounded or above 65536);
  // whether a start filter is in use; whether it lets a match begin with
  // none of the given bytes at its first position or anywhere in its
  // literal prefix; how many bytes from a position the filter looks at
  // (at least 1); and the first position in [from, limit) that the filter
  // admits, all its bytes inside text[0..length), else -1. Every match
  // starts at a position the filter admits.
  int32_t LongestMatch() const;
  bool HasStartFilter() const;
  bool StartAvoids(const char* bytes) const;
  int32_t StartSpan() const;
  int32_t NextStart(const char* text, int32_t length, int32_t from, int32_t limit) const;

private:
  bool SearchFrom(const char* text, int32_t length, int32_t start, int32_t& matchStart,
                  int32_t& matchEnd, int32_t* endTouch, bool textGoesOn = false);

  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};
