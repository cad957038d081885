// Regular-expression engine: the backtracking matcher.
//
// At each start position it follows every path through the program, keeping
// the longest end, before it moves on to the next position. Choices and undo
// records go on one failure stack; when that stack would grow past its bound,
// or an attempt takes more steps than its budget, the search gives up rather
// than answer wrongly or run without end.
#include "search/regexp/regexp_match.h"

#include "search/regexp/regexp.h"

#include <algorithm>

namespace regexp {

namespace {

constexpr uint64_t StepBatch = 4096;
constexpr int Registers = 20;  // start and end of groups 0..9
// An attempt that does not note how far it reads runs again, noting it,
// once it has taken this many steps, fewer than any budget.
constexpr uint64_t StepsBeforeNotingReach = 4 * StepBatch;
constexpr int32_t rRunNotingReach = -8;
static_assert(StepsBeforeNotingReach <= Backtracker::kAttemptBaseSteps / Backtracker::kThriftyShare);

}  // namespace

Backtracker::Backtracker(const Program& program, const uint8_t translate[256], bool nullable)
    : prog_(program), translate_(translate), nullable_(nullable)
{
  stepsPerPosition_ = kStepsPerState * prog_.insts.size();
  backRefs_ = std::any_of(prog_.insts.begin(), prog_.insts.end(),
                          [](const Inst& in) { return in.op == Op::BackRef; });
}

uint64_t Backtracker::budget(int32_t reached) const
{
  constexpr uint64_t Most = ~uint64_t(0);
  const auto n = static_cast<uint64_t>(reached) + 1;
  // With back-references the text of a group is part of the state.
  const uint64_t states = !backRefs_ ? n : n > Most / n ? Most : n * n;
  const uint64_t full = states > (kMaxAttemptSteps - kAttemptBaseSteps) / stepsPerPosition_
                            ? kMaxAttemptSteps
                            : kAttemptBaseSteps + stepsPerPosition_ * states;
  return thrifty_ ? full / kThriftyShare : full;
}

bool Backtracker::Push(int32_t tag, int32_t a, int32_t b)
{
  if (stack_.size() >= MaxFailureEntries) {
    overflow_ = true;
    return false;
  }
  stack_.push_back(Entry{tag, a, b});
  return true;
}

int32_t Backtracker::Search(const Text& text, int32_t start, const Prefilter* prefilter,
                            StepCounter& steps, int32_t& end, int32_t* endTouch)
{
  const int32_t result = SearchFrom(text, start, prefilter, steps, end, endTouch);
  // A deep search leaves a large stack behind; do not keep it with the
  // expression.
  if (stack_.capacity() > KeptFailureEntries)
    std::vector<Entry>().swap(stack_);
  return result;
}

int32_t Backtracker::SearchFrom(const Text& text, int32_t start, const Prefilter* prefilter,
                                StepCounter& steps, int32_t& end, int32_t* endTouch)
{
  if (endTouch)
    *endTouch = rNone;
  const bool usePrefilter = !nullable_ && prefilter && prefilter->Active();
  int32_t p = start;
  int32_t charStart = start;  // a character start at or before p
  for (;;) {
    if (usePrefilter) {
      const int32_t q = prefilter->Scan(text, p, steps);
      if (q == rCancelled)
        return rCancelled;
      if (q < 0)
        return rNone;
      p = q;
    }
    // No attempt begins inside a double-byte character.
    if (text.InsideChar(charStart, p)) {
      charStart = ++p;
      continue;
    }
    charStart = p;
    const int32_t r = TryAt(text, p, steps);
    // Attempts that begin at the end itself belong to a longer text.
    if (endTouch && touched_ && *endTouch < 0 && p < text.length)
      *endTouch = p;
    if (r >= 0) {
      end = r;
      return p;
    }
    if (r != rNone)
      return r;
    if (p >= text.length)
      return rNone;
    ++p;
  }
}

int32_t Backtracker::TryAt(const Text& text, int32_t at, StepCounter& steps)
{
  // The budget depends on how far the attempt has read, but almost every
  // attempt ends long before any budget could run out; noting the furthest
  // position at every byte read would slow them all down. The first long
  // one runs its first steps again, and the expression's later attempts
  // note it as they go.
  if (!noteReach_) {
    const int32_t r = Attempt<false>(text, at, steps);
    if (r != rRunNotingReach)
      return r;
    noteReach_ = true;
  }
  return Attempt<true>(text, at, steps);
}

template <bool NoteReach>
int32_t Backtracker::Attempt(const Text& text, int32_t at, StepCounter& steps)
{
  stack_.clear();
  overflow_ = false;
  touched_ = false;
  registers_.assign(Registers, -1);
  counts_.assign(static_cast<size_t>(prog_.counters), 0);
  iterPos_.assign(static_cast<size_t>(prog_.counters), -1);
  const uint8_t* data = text.data;
  const int32_t length = text.length;
  int32_t pc = prog_.start;
  int32_t pos = at;
  int32_t best = rNone;
  uint64_t work = 0;
  uint64_t spent = 0;
  [[maybe_unused]] int32_t furthest = at;  // the furthest position the attempt has reached

  for (;;) {
    if (++work >= StepBatch) {
      if (!steps.Add(work))
        return rCancelled;
      spent += work;
      work = 0;
      if constexpr (!NoteReach) {
        if (spent >= StepsBeforeNotingReach)
          return rRunNotingReach;
      } else if (spent > budget(furthest - at)) {
        return rGaveUp;
      }
    }
    const Inst& in = prog_.insts[pc];
    bool ok = true;
    switch (in.op) {
    case Op::Byte:
      if (pos < length && prog_.sets[in.arg].Has(data[pos])) {
        ++pos;
        if constexpr (NoteReach)
          furthest = std::max(furthest, pos);
        pc = in.out;
      } else {
        touched_ |= pos >= length;
        ok = false;
      }
      break;
    case Op::Split:
      if (!Push(in.out1, pos, 0))
        return rGaveUp;
      pc = in.out;
      break;
    case Op::Jump: pc = in.out; break;
    case Op::Assert:
      touched_ |= pos >= length;
      if (AssertionHolds(in.assertion, text.LeftCtx(pos), text.RightCtx(pos)))
        pc = in.out;
      else
        ok = false;
      break;
    case Op::Save:
      if (!Push(tRegister, in.arg, registers_[in.arg]))
        return rGaveUp;
      registers_[in.arg] = pos;
      pc = in.out;
      break;
    case Op::BackRef: {
      const int32_t from = registers_[in.arg * 2];
      const int32_t to = registers_[in.arg * 2 + 1];
      if (from < 0 || to < from || to - from > length - pos) {
        // A longer text could hold the whole reference.
        touched_ |= from >= 0 && to > from && to - from > length - pos;
        ok = false;
        break;
      }
      const int32_t n = to - from;
      int32_t i = 0;
      const platform::CodePage* page = text.page;
      for (; i < n && ok; ++i) {
        if (page && page->lead[data[from + i]] && i + 1 < n) {
          // A double-byte character compares as it is.
          ok = data[from + i] == data[pos + i] && data[from + i + 1] == data[pos + i + 1];
          ++i;
        } else {
          ok = translate_[data[from + i]] == translate_[data[pos + i]] && !(page && page->lead[data[pos + i]]);
        }
      }
      work += static_cast<uint64_t>(i);  // the bytes compared
      if (ok) {
        pos += n;
        if constexpr (NoteReach)
          furthest = std::max(furthest, pos);
        pc = in.out;
      }
      break;
    }
    case Op::RepInit:
      if (!Push(tCount, in.arg, counts_[in.arg]) || !Push(tIterPos, in.arg, iterPos_[in.arg]))
        return rGaveUp;
      counts_[in.arg] = 0;
      iterPos_[in.arg] = -1;
      pc = in.out;
      break;
    case Op::RepCheck: {
      const int32_t c = in.arg;
      const int32_t n = counts_[c];
      if (n > 0 && iterPos_[c] == pos && n >= in.min) {
        // The last pass matched nothing: another one cannot add anything.
        // Above the minimum the way out was already kept as a choice.
        if (n > in.min)
          ok = false;
        else
          pc = in.out1;
        break;
      }
      if (in.max != Unbounded && n >= in.max) {
        pc = in.out1;
        break;
      }
      if (n >= in.min && !Push(in.out1, pos, 0))
        return rGaveUp;
      if (!Push(tCount, c, n) || !Push(tIterPos, c, iterPos_[c]))
        return rGaveUp;
      counts_[c] = n + 1;
      iterPos_[c] = pos;
      pc = in.out;
      break;
    }
    case Op::Match:
      touched_ |= pos >= length;
      if (pos > best)
        best = pos;
      if (best == length)
        return best;  // nothing can be longer
      ok = false;
      break;
    default: throw ERegExp(RegExpInternalError);
    }
    if (ok)
      continue;
    // Back to the latest choice, undoing what was done since.
    for (;;) {
      if (stack_.empty()) {
        steps.Add(work);
        return steps.Cancelled() ? rCancelled : best;
      }
      const Entry e = stack_.back();
      stack_.pop_back();
      if (e.tag >= 0) {
        pc = e.tag;
        pos = e.a;
        break;
      }
      switch (e.tag) {
      case tRegister: registers_[e.a] = e.b; break;
      case tCount: counts_[e.a] = e.b; break;
      case tIterPos: iterPos_[e.a] = e.b; break;
      default: throw ERegExp(RegExpInternalError);
      }
    }
  }
}

}  // namespace regexp
