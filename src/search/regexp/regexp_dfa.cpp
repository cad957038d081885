// Regular-expression engine: the lazy DFA.
//
// A state's key is its header followed by the NFA instructions still to be
// followed ("kernel"), before their closure: assertions depend on the byte on
// each side of a position, and the byte to the right is only known when the
// transition is taken. Forward, the header holds the left context, whether a
// match was seen and whether one ended just before the last byte; the kernel
// is a list of generations, oldest first, separated by -1. Backward, the
// header holds the right context and the kernel is one set.
//
// On a double-byte page the forward header also tells whether the position
// lies inside a character (after a lead byte that began one): no attempt
// starts there, and the left context after a double-byte character is a
// word character. Backward, a match start counts only on a character start.
#include "search/regexp/regexp_match.h"

#include "search/regexp/regexp.h"

#include <algorithm>

namespace regexp {

namespace {

constexpr int32_t FastChunk = 1 << 16;      // bytes run through the table between polls
constexpr int32_t HeaderMatched = 8;
constexpr int32_t HeaderMatchBefore = 16;
constexpr int32_t HeaderInside = 32;

}  // namespace

size_t Dfa::KeyHash::operator()(const std::vector<int32_t>& k) const
{
  uint64_t h = 1469598103934665603ull;
  for (int32_t v : k) {
    h ^= static_cast<uint32_t>(v);
    h *= 1099511628211ull;
  }
  return static_cast<size_t>(h ^ (h >> 29));
}

Dfa::Dfa(const Program& program, const ByteClasses& classes, const uint8_t ctxOf[256],
         bool forward, bool idleIsSpecial, size_t memoryBudget, const platform::CodePage* page)
    : prog_(program), classes_(classes), ctxOf_(ctxOf), page_(page), forward_(forward),
      idleIsSpecial_(idleIsSpecial), memoryBudget_(memoryBudget), stride_(classes.count)
{
  visited_.Resize(prog_.insts.size());
  kernel_.Resize(prog_.insts.size());
  Clear();
}

Dfa::~Dfa() = default;

void Dfa::Clear()
{
  trans_.assign(static_cast<size_t>(stride_), 0);  // state 0 is never used
  flags_.assign(1, 0);
  keys_.assign(1, {});
  endMatch_.assign(forward_ ? 1 : 8, -1);
  index_.clear();
  memory_ = 0;
  std::fill(std::begin(idle_), std::end(idle_), 0);
  std::fill(std::begin(revStart_), std::end(revStart_), 0);
}

// Called after a clear; true when the cache does not pay off.
bool Dfa::NoteClear()
{
  ++clears_;
  const int64_t bytes = bytes_ - progressAtClear_;
  const bool poor = clears_ > 3 && bytes < 10 * static_cast<int64_t>(statesAtClear_);
  progressAtClear_ = bytes_;
  return poor;
}

int32_t Dfa::Intern(std::vector<int32_t>& key)
{
  auto it = index_.find(key);
  if (it != index_.end())
    return it->second;
  const int32_t id = static_cast<int32_t>(keys_.size());
  uint8_t f = 0;
  if (key[0] & HeaderMatchBefore)
    f |= fMatchBefore;
  if (key.size() == 1) {
    if (!forward_ || (key[0] & HeaderMatched))
      f |= fDead;
    else if (idleIsSpecial_)
      f |= fIdle;
  }
  flags_.push_back(f);
  trans_.resize(trans_.size() + static_cast<size_t>(stride_), 0);
  endMatch_.resize(endMatch_.size() + (forward_ ? 1 : 8), -1);
  memory_ += key.size() * 2 * sizeof(int32_t) + static_cast<size_t>(stride_) * sizeof(int32_t) + 96;
  index_.emplace(key, id);
  keys_.push_back(std::move(key));
  statesAtClear_ = std::max(statesAtClear_, id);
  return id;
}

int32_t Dfa::StateFor(std::vector<int32_t>& key, bool& cleared)
{
  if (memory_ > memoryBudget_ && index_.find(key) == index_.end()) {
    Clear();
    cleared = true;
  }
  return Intern(key);
}

void Dfa::Closure(int32_t from, uint8_t left, uint8_t right, bool& hit, StepCounter& steps)
{
  stack_.push_back(from);
  uint64_t n = 0;
  while (!stack_.empty()) {
    const int32_t x = stack_.back();
    stack_.pop_back();
    if (!visited_.Insert(x))
      continue;
    ++n;
    const Inst& in = prog_.insts[x];
    switch (in.op) {
    case Op::Byte: consumers_.push_back(x); break;
    case Op::Match: hit = true; break;
    case Op::Jump: stack_.push_back(in.out); break;
    case Op::Split:
      stack_.push_back(in.out1);
      stack_.push_back(in.out);
      break;
    case Op::Assert:
      if (AssertionHolds(in.assertion, left, right))
        stack_.push_back(in.out);
      break;
    default: throw ERegExp(RegExpInternalError);
    }
  }
  steps.Add(n);
}

// One step from a state's key over `byte` (-1: no byte, at the text end going
// forward or at the start bound going backward, where `edgeCtx` is the
// context beyond). Fills `next` when a byte is given; returns whether a match
// ends at the position before the byte.
bool Dfa::Step(const std::vector<int32_t>& key, int byte, uint8_t edgeCtx,
               std::vector<int32_t>& next, StepCounter& steps)
{
  const uint8_t byteCtx = byte < 0 ? edgeCtx : ctxOf_[byte];
  const uint8_t left = forward_ ? static_cast<uint8_t>(key[0] & 7) : byteCtx;
  const uint8_t right = forward_ ? byteCtx : static_cast<uint8_t>(key[0] & 7);
  const bool matched = forward_ && (key[0] & HeaderMatched);
  const bool inside = forward_ && (key[0] & HeaderInside);
  visited_.Clear();
  kernel_.Clear();
  next.assign(1, 0);
  bool hitAny = false;
  bool emitted = false;

  auto runGeneration = [&](const int32_t* begin, const int32_t* end) {
    consumers_.clear();
    bool hit = false;
    for (const int32_t* s = begin; s != end; ++s)
      Closure(*s, left, right, hit, steps);
    if (byte >= 0) {
      genOut_.clear();
      for (int32_t x : consumers_) {
        const Inst& in = prog_.insts[x];
        if (prog_.sets[in.arg].Has(static_cast<uint8_t>(byte)) && kernel_.Insert(in.out))
          genOut_.push_back(in.out);
      }
      if (!genOut_.empty()) {
        std::sort(genOut_.begin(), genOut_.end());
        if (emitted)
          next.push_back(-1);
        next.insert(next.end(), genOut_.begin(), genOut_.end());
        emitted = true;
      }
    }
    return hit;
  };

  const int32_t* p = key.data() + 1;
  const int32_t* end = key.data() + key.size();
  while (p < end && !hitAny) {
    const int32_t* genEnd = forward_ ? std::find(p, end, -1) : end;
    hitAny = runGeneration(p, genEnd);
    p = genEnd == end ? end : genEnd + 1;
  }
  if (forward_ && !matched && !hitAny && !inside) {
    const int32_t fresh = prog_.start;
    hitAny = runGeneration(&fresh, &fresh + 1);
  }
  if (byte >= 0) {
    int32_t header = byteCtx;
    if (forward_ && page_) {
      if (inside)
        header = cxWord;  // the trail byte of a double-byte character
      else if (page_->lead[byte])
        header = cxWord | HeaderInside;
    }
    if (forward_ && (matched || hitAny))
      header |= HeaderMatched;
    if (hitAny)
      header |= HeaderMatchBefore;
    next[0] = header;
  }
  return hitAny;
}

int32_t Dfa::Transition(int32_t state, uint8_t byte, StepCounter& steps)
{
  ++bytes_;
  std::vector<int32_t> next;
  Step(keys_[state], byte, 0, next, steps);
  bool cleared = false;
  const int32_t target = StateFor(next, cleared);
  if (cleared) {
    if (NoteClear())
      return rThrash;
    statesAtClear_ = 0;
  } else {
    const int32_t code = target * stride_;
    trans_[static_cast<size_t>(state) * stride_ + classes_.map[byte]] = flags_[target] ? -code : code;
  }
  return steps.Cancelled() ? rCancelled : target;
}

bool Dfa::MatchesAtEnd(int32_t state, uint8_t right, StepCounter& steps)
{
  std::vector<int32_t> unused;
  if (right != cxEdge)  // a text that goes on: rare, not kept
    return Step(keys_[state], -1, right, unused, steps);
  int8_t& m = endMatch_[state];
  if (m < 0)
    m = Step(keys_[state], -1, cxEdge, unused, steps) ? 1 : 0;
  return m == 1;
}

bool Dfa::MatchesAtBoundary(int32_t state, uint8_t left, StepCounter& steps)
{
  int8_t& m = endMatch_[static_cast<size_t>(state) * 8 + left];
  if (m < 0) {
    std::vector<int32_t> unused;
    m = Step(keys_[state], -1, left, unused, steps) ? 1 : 0;
  }
  return m == 1;
}

int32_t Dfa::FindEnd(const Text& text, int32_t start, const Prefilter* prefilter,
                     StepCounter& steps, bool* aliveAtEnd)
{
  if (aliveAtEnd)
    *aliveAtEnd = false;
  const bool usePrefilter = prefilter && prefilter->Active() && idleIsSpecial_;
  auto idleState = [&](int32_t from, int32_t pos) {
    const int32_t header = IdleHeader(text, from, pos);
    const int slot = (header & 7) | ((header & HeaderInside) ? 8 : 0);
    if (idle_[slot] == 0) {
      std::vector<int32_t> key{header};
      bool cleared = false;
      const int32_t s = StateFor(key, cleared);
      idle_[slot] = s;  // after any clear
    }
    return idle_[slot];
  };
  int32_t p = start;
  int32_t lastEnd = rNone;
  int32_t s = idleState(start, p);
  const uint8_t* data = text.data;
  const uint8_t* classMap = classes_.map;
  for (;;) {
    const uint8_t f = flags_[s];
    if (f) {
      if (f & fMatchBefore)
        lastEnd = p - 1;
      if (f & fDead)
        return lastEnd;
      if ((f & fIdle) && usePrefilter) {
        const int32_t q = prefilter->Scan(text, p, steps);
        if (q == rCancelled)
          return rCancelled;
        if (q < 0)
          return lastEnd;  // idle: nothing has matched
        if (q != p) {
          s = idleState(CharStartOf(s, p), q);
          p = q;
        }
      }
    }
    if (p == text.length) {
      if (aliveAtEnd)
        *aliveAtEnd = keys_[s].size() > 1;
      if (MatchesAtEnd(s, text.endCtx, steps))
        lastEnd = p;
      return steps.Cancelled() ? rCancelled : lastEnd;
    }
    const int32_t chunkEnd = p + std::min(FastChunk, text.length - p);
    const int32_t* trans = trans_.data();
    int32_t offset = s * stride_;
    int32_t t = 1;
    const int32_t p0 = p;
    while (p < chunkEnd) {
      t = trans[offset + classMap[data[p]]];
      if (t <= 0)
        break;
      offset = t;
      ++p;
    }
    s = offset / stride_;
    bytes_ += p - p0;
    if (!steps.Add(static_cast<uint64_t>(p - p0)))
      return rCancelled;
    if (t > 0)
      continue;
    if (t < 0) {
      s = -t / stride_;
      ++p;
      continue;
    }
    const int32_t next = Transition(s, data[p], steps);
    if (next < 0)
      return next;
    s = next;
    ++p;
  }
}

int32_t Dfa::LastIdle(const Text& text, int32_t start, const Prefilter* prefilter,
                      StepCounter& steps)
{
  const bool usePrefilter = prefilter && prefilter->Active() && idleIsSpecial_;
  auto idleState = [&](int32_t from, int32_t pos) {
    std::vector<int32_t> key{IdleHeader(text, from, pos)};
    bool cleared = false;
    return StateFor(key, cleared);
  };
  int32_t p = start;
  int32_t last = start;
  int32_t s = idleState(start, p);
  const uint8_t* data = text.data;
  const uint8_t* classMap = classes_.map;
  for (;;) {
    const std::vector<int32_t>& key = keys_[s];
    if (key.size() == 1 && !(key[0] & HeaderMatched)) {
      last = p;
      if (usePrefilter) {
        const int32_t q = prefilter->Scan(text, p, steps);
        if (q == rCancelled)
          return rCancelled;
        if (q < 0)
          return last;
        if (q != p) {
          s = idleState(CharStartOf(s, p), q);
          p = q;
          last = p;
        }
      }
    }
    if (p == text.length)
      return last;
    const int32_t t = trans_[static_cast<size_t>(s) * stride_ + classMap[data[p]]];
    if (t != 0) {
      s = (t < 0 ? -t : t) / stride_;
    } else {
      const int32_t next = Transition(s, data[p], steps);
      if (next < 0)
        return next;
      s = next;
    }
    if ((p & 0xFFFF) == 0 && !steps.Add(65536))
      return rCancelled;
    ++p;
  }
}

int32_t Dfa::IdleHeader(const Text& text, int32_t from, int32_t pos) const
{
  if (!page_)
    return text.LeftCtx(pos);
  if (text.InsideChar(from, pos))
    return cxWord | HeaderInside;
  return text.LeftCtxFrom(from, pos);
}

int32_t Dfa::CharStartOf(int32_t state, int32_t pos) const
{
  return (keys_[state][0] & HeaderInside) ? pos - 1 : pos;
}

int32_t Dfa::FindStart(const Text& text, int32_t start, int32_t end, StepCounter& steps)
{
  // The start state is looked up once per right context, not per search
  // (a search whose leftmost matches are empty runs once per position).
  const uint8_t right = text.RightCtx(end);
  int32_t s = revStart_[right];
  if (s == 0) {
    std::vector<int32_t> key{right, prog_.start};
    bool cleared = false;
    s = StateFor(key, cleared);
    revStart_[right] = s;  // after any clear
  }
  int32_t p = end;
  int32_t best = rNone;
  const uint8_t* data = text.data;
  const uint8_t* classMap = classes_.map;
  // On a double-byte page the starts found are kept, and the leftmost of
  // them that begins a character is the match's (mostly the leftmost one).
  starts_.clear();
  auto leftmost = [&]() -> int32_t {
    if (!page_)
      return best;
    for (auto it = starts_.rbegin(); it != starts_.rend(); ++it)
      if (text.CharStart(start, *it) == *it)
        return *it;
    return rNone;
  };
  for (;;) {
    const uint8_t f = flags_[s];
    if (f & fMatchBefore) {
      best = p + 1;
      if (page_)
        starts_.push_back(best);
    }
    if (f & fDead)
      return leftmost();
    if (p == start) {
      if (MatchesAtBoundary(s, text.LeftCtx(start), steps))
        return steps.Cancelled() ? rCancelled : start;
      return steps.Cancelled() ? rCancelled : leftmost();
    }
    const int32_t chunkEnd = p - std::min(FastChunk, p - start);
    const int32_t* trans = trans_.data();
    int32_t offset = s * stride_;
    int32_t t = 1;
    const int32_t p0 = p;
    while (p > chunkEnd) {
      t = trans[offset + classMap[data[p - 1]]];
      if (t <= 0)
        break;
      offset = t;
      --p;
    }
    s = offset / stride_;
    bytes_ += p0 - p;
    if (!steps.Add(static_cast<uint64_t>(p0 - p)))
      return rCancelled;
    if (t > 0)
      continue;
    if (t < 0) {
      s = -t / stride_;
      --p;
      continue;
    }
    const int32_t next = Transition(s, data[p - 1], steps);
    if (next < 0)
      return next;
    s = next;
    --p;
  }
}

}  // namespace regexp
