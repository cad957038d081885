// Regular-expression engine: NFA simulation (leftmost-longest, no limit).
#include "search/regexp/regexp_match.h"

#include "search/regexp/regexp.h"

#include <algorithm>

namespace regexp {

namespace {

struct Thread {
  int32_t inst;
  int32_t start;  // where the thread's match began
};

}  // namespace

int32_t PikeSearch(const Program& program, const Text& text, int32_t start,
                   const Prefilter* prefilter, StepCounter& steps, int32_t& end, int32_t* endTouch)
{
  if (endTouch)
    *endTouch = rNone;
  const size_t n = program.insts.size();
  std::vector<Thread> current;
  std::vector<Thread> next;
  SparseSet visited;
  SparseSet queued;
  visited.Resize(n);
  queued.Resize(n);
  std::vector<int32_t> stack;
  bool matched = false;
  int32_t bestStart = rNone;
  int32_t bestEnd = rNone;
  const bool usePrefilter = prefilter && prefilter->Active();
  // On a double-byte page: whether p lies inside a character (no thread
  // starts there), and the context to its left, both carried along.
  const platform::CodePage* page = text.page;
  bool inside = false;
  uint8_t leftOfP = text.LeftCtx(start);

  int32_t p = start;
  for (;;) {
    if (current.empty()) {
      if (matched)
        break;
      if (usePrefilter) {
        const int32_t q = prefilter->Scan(text, p, steps);
        if (q == rCancelled)
          return rCancelled;
        if (q < 0)
          break;
        if (page && q != p) {
          const int32_t from = inside ? p - 1 : p;
          inside = text.InsideChar(from, q);
          leftOfP = inside ? uint8_t(cxWord) : text.LeftCtxFrom(from, q);
        }
        p = q;
      }
    }
    const uint8_t left = page ? leftOfP : text.LeftCtx(p);
    const uint8_t right = text.RightCtx(p);
    const int byte = p < text.length ? text.data[p] : -1;
    visited.Clear();
    queued.Clear();
    next.clear();
    uint64_t work = 0;

    // Follows one thread's closure: a Match records its extent, a Byte that
    // takes the current byte queues the thread for the next position.
    auto follow = [&](int32_t from, int32_t threadStart) {
      stack.push_back(from);
      while (!stack.empty()) {
        const int32_t x = stack.back();
        stack.pop_back();
        if (!visited.Insert(x))
          continue;
        ++work;
        const Inst& in = program.insts[x];
        switch (in.op) {
        case Op::Byte:
          if (byte >= 0 && program.sets[in.arg].Has(static_cast<uint8_t>(byte)) &&
              queued.Insert(in.out))
            next.push_back(Thread{in.out, threadStart});
          break;
        case Op::Match:
          if (!matched || threadStart < bestStart) {
            matched = true;
            bestStart = threadStart;
            bestEnd = p;
          } else if (threadStart == bestStart) {
            bestEnd = p;
          }
          break;
        case Op::Jump: stack.push_back(in.out); break;
        case Op::Split:
          stack.push_back(in.out1);
          stack.push_back(in.out);
          break;
        case Op::Assert:
          if (AssertionHolds(in.assertion, left, right))
            stack.push_back(in.out);
          break;
        default: throw ERegExp(RegExpInternalError);
        }
      }
    };

    // The threads that reached the end of the text would go on in a longer
    // one; the oldest of them that can still win is the earliest such start.
    if (endTouch && p == text.length && !current.empty() && (!matched || current[0].start <= bestStart))
      *endTouch = current[0].start;
    // Threads are kept oldest first; once a match is known, younger threads
    // can no longer win and are dropped, and no new ones start.
    for (const Thread& t : current) {
      if (matched && t.start > bestStart)
        break;
      follow(t.inst, t.start);
    }
    if (!matched && !inside)
      follow(program.start, p);
    if (!steps.Add(work))
      return rCancelled;
    if (p == text.length)
      break;
    current.swap(next);
    if (page) {
      const bool lead = !inside && page->lead[byte];
      leftOfP = inside || lead ? uint8_t(cxWord) : text.ctxOf[byte];
      inside = lead;
    }
    ++p;
  }
  if (!matched)
    return rNone;
  end = bestEnd;
  return bestStart;
}

}  // namespace regexp
