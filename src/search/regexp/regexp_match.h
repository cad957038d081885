// Regular-expression engine, internal: the matchers and what they share.
#pragma once

#include "platform/codepage.h"
#include "search/regexp/regexp_program.h"
#include "search/regexp/regexp_syntax.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace regexp {

// Counts matcher steps and asks the cancel hook every StepsPerPoll of them.
class StepCounter {
public:
  static constexpr uint64_t StepsPerPoll = 65536;

  explicit StepCounter(const std::function<bool()>* hook) : hook_(hook) {}

  // False once the hook asked to stop.
  bool Add(uint64_t n)
  {
    count_ += n;
    if (count_ >= nextPoll_) {
      nextPoll_ = count_ + StepsPerPoll;
      if (hook_ && *hook_ && (*hook_)())
        cancelled_ = true;
    }
    return !cancelled_;
  }
  bool Cancelled() const { return cancelled_; }
  uint64_t Count() const { return count_; }

private:
  const std::function<bool()>* hook_;
  uint64_t count_ = 0;
  uint64_t nextPoll_ = StepsPerPoll;
  bool cancelled_ = false;
};

// The text a search runs over.
struct Text {
  const uint8_t* data;
  int32_t length;
  const uint8_t* ctxOf;  // context bits of each byte
  // What anchors and word boundaries at `length` see: the text's edge, or
  // the context of the character that follows when the text goes on.
  uint8_t endCtx = cxEdge;
  // A double-byte code page (null on a single-byte one): the text is read
  // by characters from index 0, and `origin` is a character start that
  // the search knows, from where the boundaries after it are found.
  const platform::CodePage* page = nullptr;
  int32_t origin = 0;

  // Where the character that holds the byte at pos begins, found from a
  // character start `from` at or before pos (on a single-byte page, pos).
  int32_t CharStart(int32_t from, int32_t pos) const
  {
    if (!page || pos <= from)
      return pos;
    return from + static_cast<int32_t>(platform::charStartAt(
                      *page, std::string_view(reinterpret_cast<const char*>(data) + from, size_t(length - from)),
                      size_t(pos - from)));
  }
  // Whether pos lies inside a character (on its trail byte).
  bool InsideChar(int32_t from, int32_t pos) const { return pos < length && CharStart(from, pos) != pos; }
  // The context to the left of pos, a character boundary: on a double-byte
  // page a double-byte character is a word character. `from` is a character
  // start at or before pos.
  uint8_t LeftCtxFrom(int32_t from, int32_t pos) const
  {
    if (pos == 0)
      return cxEdge;
    const uint8_t b = data[pos - 1];
    if (page && (page->lead[b] || (pos >= 2 && page->lead[data[pos - 2]] &&
                                   CharStart(pos - 1 >= from ? from : 0, pos - 1) != pos - 1)))
      return cxWord;
    return ctxOf[b];
  }
  uint8_t LeftCtx(int32_t pos) const { return page ? LeftCtxFrom(origin, pos) : pos == 0 ? uint8_t(cxEdge) : ctxOf[data[pos - 1]]; }
  uint8_t RightCtx(int32_t pos) const { return pos == length ? endCtx : ctxOf[data[pos]]; }
};

// Result codes of the matchers besides positions (>= 0).
enum : int32_t {
  rNone = -1,       // no match
  rCancelled = -2,  // the cancel hook stopped the search
  rGaveUp = -3,     // the backtracker ran out of failure stack or of steps
  rThrash = -4,     // the lazy DFA's cache does not pay off; use the NFA
};

// Finds where a match can start: a rare byte of a literal prefix, or the set
// of first bytes. Never skips a position where a match starts.
class Prefilter {
public:
  void Build(const Tree& tree);
  bool Active() const { return mode_ != Mode::None; }
  // The pattern is a fixed sequence of byte sets with nothing else: its only
  // match at a position is that sequence.
  bool PureLiteral() const { return pureLiteral_; }
  int32_t LiteralLength() const { return prefixLength_; }
  // The first position in [pos, limit) where a match may start, else rNone.
  int32_t Next(const Text& text, int32_t pos, int32_t limit) const;
  // The first position >= pos where a match may start, else rNone; scans in
  // chunks and counts a step per 16 bytes, so the cancel hook is asked on a
  // long scan (rCancelled when it stopped the search).
  int32_t Scan(const Text& text, int32_t pos, StepCounter& steps) const;
  // The first position that Next() passes over because the text ends too
  // soon for the literal prefix (the literal search of a pure literal uses
  // Next() whether the filter is active or not): a match might start there
  // in a longer text. `length` when it passes over none.
  int32_t TailStart(int32_t length) const;
  // The bytes a match may have at its first position or at some position
  // of the literal prefix (every byte for a pattern that can match empty).
  const ByteSet& LeadBytes() const { return lead_; }

private:
  static constexpr int32_t ScanChunk = 1 << 20;  // bytes scanned between polls
  enum class Mode : uint8_t { None, RareBytes, FirstTable };
  bool Verify(const Text& text, int32_t q) const;
  // Next over the positions where both rare offsets can be tested 16 at a
  // time: the match, rNone when [pos, limit) holds none, or -2 with pos
  // moved to where the one-byte scan goes on.
  int32_t NextPair(const Text& text, int32_t& pos, int32_t limit) const;

  Mode mode_ = Mode::None;
  bool pureLiteral_ = false;
  int32_t prefixLength_ = 0;  // positions of the literal prefix (at most 64)
  uint64_t prefixMask_[256] = {};  // bit j: the byte may stand at prefix offset j
  int32_t rareOffset_ = 0;
  int rareCount_ = 0;
  uint8_t rareBytes_[3] = {};
  // A second rare prefix position (another offset, at most three bytes):
  // both are tested at once, 16 positions at a time, so few candidates
  // reach Verify. rare2Count_ 0: none.
  int32_t rare2Offset_ = 0;
  int rare2Count_ = 0;
  uint8_t rare2Bytes_[3] = {};
  bool first_[256] = {};
  ByteSet lead_{{~uint64_t(0), ~uint64_t(0), ~uint64_t(0), ~uint64_t(0)}};
};

// Partition of the byte values into classes the automaton cannot tell apart.
struct ByteClasses {
  uint8_t map[256] = {};
  int count = 1;
  uint8_t representative[256] = {};

  // With a double-byte page, lead bytes are classes of their own.
  void Build(const Program& program, const uint8_t ctxOf[256], const platform::CodePage* page = nullptr);
};

// A set of small integers with O(1) clear.
class SparseSet {
public:
  void Resize(size_t n)
  {
    dense_.resize(n);
    sparse_.resize(n);
    size_ = 0;
  }
  void Clear() { size_ = 0; }
  bool Contains(int32_t v) const
  {
    const uint32_t i = sparse_[v];
    return i < size_ && dense_[i] == v;
  }
  // True when v was not in the set.
  bool Insert(int32_t v)
  {
    if (Contains(v))
      return false;
    sparse_[v] = static_cast<uint32_t>(size_);
    dense_[size_++] = v;
    return true;
  }

private:
  std::vector<int32_t> dense_;
  std::vector<uint32_t> sparse_;
  size_t size_ = 0;
};

// Lazy DFA over an automaton program.
//
// Forward, it finds the end of the leftmost-longest match: its states are
// ordered lists of "generations", the NFA states reached from one start
// position each, oldest first. A state reached by an older generation is not
// kept for a younger one; when a generation reaches Match, all younger ones
// are dropped and no new ones start. The last match position seen belongs to
// the oldest generation that matched, and the scan ends when none is left.
// Backward, over the reversed program and anchored at that end, it finds the
// leftmost start of a match ending there, which is the match's start.
class Dfa {
public:
  // Memory for cached states; when it is used up the cache starts afresh.
  static constexpr size_t DefaultMemoryBudget = size_t(4) << 20;

  // With a double-byte page, the forward automaton starts attempts only at
  // character boundaries, which its states track (the backward one is told
  // them by FindStart).
  Dfa(const Program& program, const ByteClasses& classes, const uint8_t ctxOf[256], bool forward,
      bool idleIsSpecial, size_t memoryBudget = DefaultMemoryBudget,
      const platform::CodePage* page = nullptr);
  ~Dfa();

  // Forward: the end of the leftmost-longest match starting at or after
  // `start`, or rNone, rCancelled, rThrash. aliveAtEnd, when given, tells
  // whether the scan reached the end of the text with attempts still going.
  int32_t FindEnd(const Text& text, int32_t start, const Prefilter* prefilter, StepCounter& steps,
                  bool* aliveAtEnd = nullptr);
  // Forward, again from `start` to the end of the text: the last position
  // at which no attempt begun earlier was still going, so that every attempt
  // alive at the end began there or later; or rCancelled, rThrash.
  int32_t LastIdle(const Text& text, int32_t start, const Prefilter* prefilter, StepCounter& steps);
  // Backward: the leftmost start >= `start` of a match ending at `end`, or
  // rNone, rCancelled, rThrash.
  int32_t FindStart(const Text& text, int32_t start, int32_t end, StepCounter& steps);
  // How often the cache was started afresh.
  int Clears() const { return clears_; }

private:
  struct KeyHash {
    size_t operator()(const std::vector<int32_t>& k) const;
  };
  enum : uint8_t { fMatchBefore = 1, fDead = 2, fIdle = 4 };

  int32_t Intern(std::vector<int32_t>& key);
  // Forward: the header of the state with nothing pending at pos, found
  // from a character start `from` at or before it; and a character start at
  // or before pos, where the forward scan is in `state`.
  int32_t IdleHeader(const Text& text, int32_t from, int32_t pos) const;
  int32_t CharStartOf(int32_t state, int32_t pos) const;
  int32_t StateFor(std::vector<int32_t>& key, bool& cleared);
  // The state after `byte`, filling the table; rThrash or rCancelled when the
  // search must stop.
  int32_t Transition(int32_t state, uint8_t byte, StepCounter& steps);
  bool MatchesAtEnd(int32_t state, uint8_t right, StepCounter& steps);
  bool MatchesAtBoundary(int32_t state, uint8_t left, StepCounter& steps);
  bool Step(const std::vector<int32_t>& key, int byte, uint8_t contextOther,
            std::vector<int32_t>& next, StepCounter& steps);
  void Closure(int32_t from, uint8_t left, uint8_t right, bool& hit, StepCounter& steps);
  void Clear();
  bool NoteClear();

  const Program& prog_;
  const ByteClasses& classes_;
  const uint8_t* ctxOf_;
  const platform::CodePage* page_;
  std::vector<int32_t> starts_;  // backward, on a double-byte page: the match starts found
  bool forward_;
  bool idleIsSpecial_;
  size_t memoryBudget_;
  int stride_;

  std::vector<int32_t> trans_;  // per state and class: state * stride, negated for special states; 0 unknown
  std::vector<uint8_t> flags_;
  std::vector<int8_t> endMatch_;  // forward: at the text end; backward: per left context (8 per state)
  std::vector<std::vector<int32_t>> keys_;
  std::unordered_map<std::vector<int32_t>, int32_t, KeyHash> index_;
  size_t memory_ = 0;
  // Forward: the state with nothing pending, per left context and whether
  // the position lies inside a character.
  int32_t idle_[16] = {};
  int32_t revStart_[8] = {};  // reverse: the start state, per right context
  int clears_ = 0;
  int64_t bytes_ = 0;  // bytes run through the table, for judging the cache
  int64_t progressAtClear_ = 0;
  int32_t statesAtClear_ = 0;

  SparseSet visited_;
  SparseSet kernel_;
  std::vector<int32_t> stack_;
  std::vector<int32_t> consumers_;
  std::vector<int32_t> genOut_;
};

// NFA simulation with the same generations as the DFA, keeping each thread's
// start position. Returns the match start and sets `end`, or rNone,
// rCancelled. endTouch, when given, receives the earliest start of a thread
// that reached the end of the text and could still matter (rNone when none).
int32_t PikeSearch(const Program& program, const Text& text, int32_t start,
                   const Prefilter* prefilter, StepCounter& steps, int32_t& end,
                   int32_t* endTouch = nullptr);

// Backtracking matcher with a bounded failure stack and a step budget per
// attempt, for back-references and large counted repeats.
class Backtracker {
public:
  // Entries of the failure stack before the search gives up.
  static constexpr size_t MaxFailureEntries = size_t(1) << 20;
  // The steps an attempt may take before the search gives up (budget): a
  // base of four steps per entry the failure stack can hold, so that any path
  // the stack can hold runs to its end and back several times, and
  // kStepsPerState for each state of the attempt's reach: per instruction and
  // position it has reached, and with back-references, whose groups' text is
  // part of the state, per instruction and pair of such positions. Attempts
  // that share out the text among nullable repeats in ever more ways run out
  // of it within milliseconds, and an attempt at the start of a long text no
  // later: the budget grows with the text the attempt has read, not with the
  // text that lies ahead. It never exceeds kMaxAttemptSteps, about a second's
  // work, above what any attempt that ends needs (back-reference
  // searches on real text take up to some 170M steps); without that cap the
  // square of 10 KB read would allow minutes.
  static constexpr uint64_t kAttemptBaseSteps = 4 * MaxFailureEntries;
  static constexpr uint64_t kStepsPerState = 64;
  static constexpr uint64_t kMaxAttemptSteps = uint64_t(1) << 28;
  // Once the expression has given up, each later attempt gets this share
  // of that budget (see setThrifty).
  static constexpr uint64_t kThriftyShare = 64;

  Backtracker(const Program& program, const uint8_t translate[256], bool nullable);
  // Returns the match start and sets `end`, or rNone, rCancelled, rGaveUp
  // (the failure stack or an attempt's budget ran out; the search ends
  // there, so a search spends at most one budget in vain). endTouch, when
  // given, receives the earliest start of an attempt that read or tested the
  // end of the text, or matched up to it (rNone when none).
  int32_t Search(const Text& text, int32_t start, const Prefilter* prefilter, StepCounter& steps,
                 int32_t& end, int32_t* endTouch = nullptr);
  // On: attempts get 1/kThriftyShare of their budget. An expression that
  // has given up once will mostly give up again on text like that, and a
  // scan that searches window after window would spend a whole budget on
  // each; thrifty attempts still finish everything that is cheap, and
  // whatever ends within its budget has the same result either way.
  void setThrifty(bool on) { thrifty_ = on; }

private:
  struct Entry {
    int32_t tag;  // >= 0: resume at that instruction; else what to restore
    int32_t a;
    int32_t b;
  };
  enum : int32_t { tRegister = -1, tCount = -2, tIterPos = -3 };

  static constexpr size_t KeptFailureEntries = size_t(1) << 16;

  int32_t SearchFrom(const Text& text, int32_t start, const Prefilter* prefilter,
                     StepCounter& steps, int32_t& end, int32_t* endTouch);
  int32_t TryAt(const Text& text, int32_t at, StepCounter& steps);
  template <bool NoteReach>
  int32_t Attempt(const Text& text, int32_t at, StepCounter& steps);
  bool Push(int32_t tag, int32_t a, int32_t b);
  // The steps of an attempt that has read `reached` bytes past its start.
  uint64_t budget(int32_t reached) const;

  const Program& prog_;
  const uint8_t* translate_;
  bool nullable_;
  uint64_t stepsPerPosition_ = 0;
  bool backRefs_ = false;  // the budget counts pairs of positions
  bool thrifty_ = false;
  bool noteReach_ = false;  // an attempt ran long: attempts note how far they read
  std::vector<Entry> stack_;
  bool overflow_ = false;
  bool touched_ = false;  // the current attempt reached the end of the text
  std::vector<int32_t> registers_;
  std::vector<int32_t> counts_;
  std::vector<int32_t> iterPos_;
};

// Whether the tree can match the empty string (assertions taken as true).
bool Nullable(const Tree& tree);
// The most bytes a match of the tree can span, or -1 when there is no bound
// (an unbounded repeat, a back-reference) or it is above `cap`.
int32_t LongestMatch(const Tree& tree, int32_t cap);

}  // namespace regexp
