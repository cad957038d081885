// Regular-expression engine: start-position filters and byte classes.
#include "search/regexp/regexp_match.h"

#include "foundation/byte_scan.h"

#include <algorithm>
#include <cstring>
#include <deque>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define REGEXP_HAVE_AVX2 1
#endif

namespace regexp {

namespace {

// Rough frequency of each byte in running text, per ten thousand bytes. It
// only steers the choice of the byte to scan for.
int ByteFrequency(uint8_t b)
{
  static const int lower[26] = {620, 110, 220, 320, 950, 170, 150, 450, 550, 10, 60, 310, 190,
                                550, 600, 140, 10, 480, 500, 700, 210, 80, 160, 15, 140, 10};
  if (b >= 'a' && b <= 'z')
    return lower[b - 'a'];
  if (b >= 'A' && b <= 'Z')
    return lower[b - 'A'] / 15 + 1;
  if (b >= '0' && b <= '9')
    return 20;
  switch (b) {
  case ' ': return 1700;
  case '\n':
  case '\r': return 170;
  case ',':
  case '.': return 100;
  default: return b >= 0x80 ? 5 : 10;
  }
}

int SetFrequency(const ByteSet& s)
{
  int sum = 0;
  for (int b = 0; b < 256; ++b)
    if (s.Has(static_cast<uint8_t>(b)))
      sum += ByteFrequency(static_cast<uint8_t>(b));
  return sum;
}

// First byte in [p, end) equal to one of n (1 to 3) needles, else end.
const uint8_t* FindAny(const uint8_t* p, const uint8_t* end, const uint8_t* needles, int n)
{
  if (n == 1) {
    const void* r = std::memchr(p, needles[0], static_cast<size_t>(end - p));
    return r ? static_cast<const uint8_t*>(r) : end;
  }
  const uint8_t a = needles[0];
  const uint8_t b = needles[1];
  const uint8_t c = n > 2 ? needles[2] : needles[1];
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(static_cast<char>(a));
  const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
  const __m128i vc = _mm_set1_epi8(static_cast<char>(c));
  while (end - p >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)),
                                   _mm_cmpeq_epi8(x, vc));
    const int mask = _mm_movemask_epi8(m);
    if (mask)
      return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  for (; p < end; ++p)
    if (*p == a || *p == b || *p == c)
      return p;
  return end;
}

#if defined(REGEXP_HAVE_AVX2)
const bool hasAvx2 = CpuHasAvx2();

__attribute__((target("avx2"))) inline __m256i SetMask32(__m256i x, const uint8_t* bytes, int n)
{
  __m256i m = _mm256_cmpeq_epi8(x, _mm256_set1_epi8(static_cast<char>(bytes[0])));
  for (int k = 1; k < n; ++k)
    m = _mm256_or_si256(m, _mm256_cmpeq_epi8(x, _mm256_set1_epi8(static_cast<char>(bytes[k]))));
  return m;
}

// From q on, 32 positions at a time while q < end: the first block whose
// positions have a byte of the first set at off1 and of the second at off2
// (its positions at or past end left out), q moved to it; mask 0 and q at
// or past end when there is none. Both loads of a block must be readable.
__attribute__((target("avx2"))) uint32_t PairBlockAvx2(const uint8_t* base, int32_t& q, int32_t end, int32_t off1,
                                                       const uint8_t* set1, int n1, int32_t off2,
                                                       const uint8_t* set2, int n2)
{
  for (; q < end; q += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + q + off1));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + q + off2));
    auto mask = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(SetMask32(a, set1, n1), SetMask32(b, set2, n2))));
    if (end - q < 32)
      mask &= (1u << (end - q)) - 1;
    if (mask)
      return mask;
  }
  return 0;
}
#endif

// Bottom-up: whether each node can match empty, and the bytes it can begin with.
void Analyse(const Tree& tree, std::vector<char>& nullable, std::vector<ByteSet>& first)
{
  const size_t n = tree.nodes.size();
  nullable.assign(n, 0);
  first.assign(n, ByteSet{});
  for (size_t i = 0; i < n; ++i) {
    const Node& node = tree.nodes[i];
    switch (node.kind) {
    case NodeKind::Empty:
    case NodeKind::Assert: nullable[i] = 1; break;
    case NodeKind::Set: first[i] = tree.sets[node.set]; break;
    case NodeKind::Group:
      nullable[i] = nullable[node.kids[0]];
      first[i] = first[node.kids[0]];
      break;
    case NodeKind::Concat: {
      bool allNullable = true;
      for (int32_t k : node.kids) {
        if (!allNullable)
          break;
        for (int w = 0; w < 4; ++w)
          first[i].bits[w] |= first[k].bits[w];
        allNullable = nullable[k];
      }
      nullable[i] = allNullable;
      break;
    }
    case NodeKind::Alt:
      for (int32_t k : node.kids) {
        nullable[i] |= nullable[k];
        for (int w = 0; w < 4; ++w)
          first[i].bits[w] |= first[k].bits[w];
      }
      break;
    case NodeKind::Repeat:
      nullable[i] = node.min == 0 || nullable[node.kids[0]];
      if (node.max != 0)
        first[i] = first[node.kids[0]];
      break;
    case NodeKind::BackRef:
      nullable[i] = 1;
      for (int w = 0; w < 4; ++w)
        first[i].bits[w] = ~uint64_t(0);
      break;
    }
  }
}

}  // namespace

bool Nullable(const Tree& tree)
{
  std::vector<char> nullable;
  std::vector<ByteSet> first;
  Analyse(tree, nullable, first);
  return nullable[tree.root] != 0;
}

int32_t LongestMatch(const Tree& tree, int32_t cap)
{
  // Bottom-up over the post-order nodes; -1 stands for "more than cap".
  std::vector<int64_t> longest(tree.nodes.size(), 0);
  auto bounded = [cap](int64_t v) { return v < 0 || v > cap ? int64_t(-1) : v; };
  for (size_t i = 0; i < tree.nodes.size(); ++i) {
    const Node& node = tree.nodes[i];
    int64_t v = 0;
    switch (node.kind) {
    case NodeKind::Empty:
    case NodeKind::Assert: v = 0; break;
    case NodeKind::Set: v = 1; break;
    case NodeKind::Group: v = longest[size_t(node.kids[0])]; break;
    case NodeKind::Concat:
      for (int32_t k : node.kids) {
        const int64_t kid = longest[size_t(k)];
        v = kid < 0 ? -1 : bounded(v + kid);
        if (v < 0)
          break;
      }
      break;
    case NodeKind::Alt:
      for (int32_t k : node.kids) {
        const int64_t kid = longest[size_t(k)];
        v = kid < 0 ? -1 : std::max(v, kid);
        if (v < 0)
          break;
      }
      break;
    case NodeKind::Repeat: {
      const int64_t kid = longest[size_t(node.kids[0])];
      if (node.max == 0 || kid == 0)
        v = 0;
      else if (node.max == Unbounded || kid < 0)
        v = -1;
      else
        v = bounded(kid * node.max);
      break;
    }
    case NodeKind::BackRef: v = -1; break;
    }
    longest[i] = v;
  }
  return tree.root < 0 ? 0 : int32_t(longest[size_t(tree.root)]);
}

void Prefilter::Build(const Tree& tree)
{
  std::vector<char> nullable;
  std::vector<ByteSet> first;
  Analyse(tree, nullable, first);
  if (nullable[tree.root])
    return;  // a match may be empty anywhere: every position is a candidate

  // The byte sets every match begins with, in order.
  std::vector<ByteSet> prefix;
  bool exact = true;
  std::deque<int32_t> work{tree.root};
  while (!work.empty()) {
    const Node& node = tree.nodes[work.front()];
    work.pop_front();
    bool stop = false;
    switch (node.kind) {
    case NodeKind::Set:
      if (prefix.size() == 64)
        stop = true;
      else
        prefix.push_back(tree.sets[node.set]);
      break;
    case NodeKind::Assert: exact = false; break;
    case NodeKind::Empty: break;
    case NodeKind::Group: work.push_front(node.kids[0]); break;
    case NodeKind::Concat:
      for (size_t k = node.kids.size(); k-- > 0;)
        work.push_front(node.kids[k]);
      break;
    case NodeKind::Repeat: {
      const Node& kid = tree.nodes[node.kids[0]];
      if (kid.kind != NodeKind::Set) {
        stop = true;
        break;
      }
      const int32_t copies = std::min<int32_t>(node.min, 64 - static_cast<int32_t>(prefix.size()));
      for (int32_t k = 0; k < copies; ++k)
        prefix.push_back(tree.sets[kid.set]);
      stop = copies < node.min || node.max != node.min;
      break;
    }
    default: stop = true; break;
    }
    if (stop) {
      exact = false;
      break;
    }
  }
  pureLiteral_ = exact && !prefix.empty();
  lead_ = first[tree.root];
  for (const ByteSet& set : prefix)
    for (int w = 0; w < 4; ++w)
      lead_.bits[w] |= set.bits[w];
  prefixLength_ = static_cast<int32_t>(prefix.size());
  for (size_t j = 0; j < prefix.size(); ++j)
    for (int b = 0; b < 256; ++b)
      if (prefix[j].Has(static_cast<uint8_t>(b)))
        prefixMask_[b] |= uint64_t(1) << j;

  // Scan for the rarest position with at most three bytes.
  int best = -1;
  int bestScore = 0;
  const ByteSet& firstSet = first[tree.root];
  auto consider = [&](const ByteSet& s, int offset) {
    if (s.Count() == 0 || s.Count() > 3)
      return;
    const int score = SetFrequency(s);
    if (best < 0 || score < bestScore) {
      best = offset;
      bestScore = score;
      rareCount_ = 0;
      for (int b = 0; b < 256; ++b)
        if (s.Has(static_cast<uint8_t>(b)))
          rareBytes_[rareCount_++] = static_cast<uint8_t>(b);
    }
  };
  consider(firstSet, 0);
  for (size_t j = 0; j < prefix.size(); ++j)
    consider(prefix[j], static_cast<int>(j));
  if (best >= 0) {
    mode_ = Mode::RareBytes;
    rareOffset_ = best;
    // The rarest other position of the prefix: every position Verify
    // accepts has one of its bytes there.
    int second = -1;
    int secondScore = 0;
    for (size_t j = 0; j < prefix.size(); ++j) {
      const ByteSet& set = prefix[j];
      if (static_cast<int>(j) == best || set.Count() == 0 || set.Count() > 3)
        continue;
      const int score = SetFrequency(set);
      if (second < 0 || score < secondScore) {
        second = static_cast<int>(j);
        secondScore = score;
      }
    }
    rare2Count_ = 0;
    if (second >= 0) {
      rare2Offset_ = second;
      for (int b = 0; b < 256; ++b)
        if (prefix[size_t(second)].Has(static_cast<uint8_t>(b)))
          rare2Bytes_[rare2Count_++] = static_cast<uint8_t>(b);
    }
    return;
  }
  if (SetFrequency(firstSet) < 3000) {
    mode_ = Mode::FirstTable;
    for (int b = 0; b < 256; ++b)
      first_[b] = firstSet.Has(static_cast<uint8_t>(b));
  }
}

bool Prefilter::Verify(const Text& text, int32_t q) const
{
  if (prefixLength_ > text.length - q)
    return false;
  for (int32_t j = 0; j < prefixLength_; ++j)
    if (!((prefixMask_[text.data[q + j]] >> j) & 1))
      return false;
  return true;
}

int32_t Prefilter::NextPair(const Text& text, int32_t& pos, int32_t limit) const
{
#if defined(__SSE2__)
  // Start positions q whose bytes at both rare offsets are in their sets,
  // 16 at a time while both loads stay inside the text; the rest is left to
  // the one-byte scan from the position reached.
  const uint8_t* base = text.data;
  const int32_t far = std::max(rareOffset_, rare2Offset_);
  const int32_t vectorEnd = std::min<int64_t>(limit, int64_t(text.length) - far - 16 + 1) > pos
                                ? int32_t(std::min<int64_t>(limit, int64_t(text.length) - far - 16 + 1))
                                : pos;
  auto setMask = [](const __m128i& x, const uint8_t* bytes, int n) {
    __m128i m = _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(bytes[0])));
    for (int k = 1; k < n; ++k)
      m = _mm_or_si128(m, _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(bytes[k]))));
    return m;
  };
  int32_t q = pos;
#if defined(REGEXP_HAVE_AVX2)
  if (hasAvx2) {
    const int64_t wideEnd = std::min<int64_t>(limit, int64_t(text.length) - far - 32 + 1);
    while (q < wideEnd) {
      uint32_t mask = PairBlockAvx2(base, q, int32_t(wideEnd), rareOffset_, rareBytes_, rareCount_, rare2Offset_,
                                    rare2Bytes_, rare2Count_);
      for (; mask != 0; mask &= mask - 1) {
        const int32_t c = q + __builtin_ctz(mask);
        if (Verify(text, c))
          return c;
      }
      if (q < wideEnd)
        q += 32;
    }
    q = std::max(pos, std::min<int32_t>(q, int32_t(std::max<int64_t>(wideEnd, pos))));
  }
#endif
  for (; q < vectorEnd; q += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + q + rareOffset_));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + q + rare2Offset_));
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(setMask(a, rareBytes_, rareCount_), setMask(b, rare2Bytes_, rare2Count_))));
    // Positions past vectorEnd are checked by the rest of the scan.
    if (vectorEnd - q < 16)
      mask &= (1u << (vectorEnd - q)) - 1;
    for (; mask != 0; mask &= mask - 1) {
      const int32_t c = q + __builtin_ctz(mask);
      if (Verify(text, c))
        return c;
    }
  }
  pos = std::max(pos, std::min(q, vectorEnd));
  return pos >= limit ? rNone : -2;
#else
  (void)text;
  (void)pos;
  (void)limit;
  return -2;
#endif
}

int32_t Prefilter::Next(const Text& text, int32_t pos, int32_t limit) const
{
  limit = std::min(limit, text.length);
  if (mode_ == Mode::RareBytes && rare2Count_ > 0) {
    const int32_t q = NextPair(text, pos, limit);
    if (q != -2)
      return q;
  }
  if (mode_ == Mode::RareBytes) {
    const uint8_t* base = text.data;
    const int64_t scanEnd = std::min<int64_t>(int64_t(limit) + rareOffset_, text.length);
    const uint8_t* p = base + pos + rareOffset_;
    const uint8_t* end = base + scanEnd;
    while (p < end) {
      const uint8_t* hit = FindAny(p, end, rareBytes_, rareCount_);
      if (hit == end)
        break;
      const int32_t q = static_cast<int32_t>(hit - base) - rareOffset_;
      if (Verify(text, q))
        return q;
      p = hit + 1;
    }
    return rNone;
  }
  if (mode_ == Mode::FirstTable) {
    for (int32_t q = pos; q < limit; ++q)
      if (first_[text.data[q]] && Verify(text, q))
        return q;
    return rNone;
  }
  for (int32_t q = pos; q < limit; ++q)
    if (Verify(text, q))
      return q;
  return rNone;
}

int32_t Prefilter::Scan(const Text& text, int32_t pos, StepCounter& steps) const
{
  while (pos < text.length) {
    const int32_t limit = pos + std::min(ScanChunk, text.length - pos);
    const int32_t q = Next(text, pos, limit);
    if (q >= 0)
      return q;
    if (!steps.Add(static_cast<uint64_t>(limit - pos) / 16 + 1))
      return rCancelled;
    pos = limit;
  }
  return rNone;
}

int32_t Prefilter::TailStart(int32_t length) const
{
  if (prefixLength_ <= 1)
    return length;
  return std::max(0, length - prefixLength_ + 1);
}

void ByteClasses::Build(const Program& program, const uint8_t ctxOf[256], const platform::CodePage* page)
{
  std::fill(std::begin(map), std::end(map), 0);
  count = 1;
  auto refine = [&](auto&& key) {
    int newId[512];
    std::fill(std::begin(newId), std::end(newId), -1);
    int next = 0;
    for (int b = 0; b < 256; ++b) {
      const int k = map[b] * 2 + (key(b) ? 1 : 0);
      if (newId[k] < 0)
        newId[k] = next++;
      map[b] = static_cast<uint8_t>(newId[k]);
    }
    count = next;
  };
  std::vector<char> used(program.sets.size(), 0);
  for (const Inst& inst : program.insts)
    if (inst.op == Op::Byte)
      used[inst.arg] = 1;
  for (size_t s = 0; s < program.sets.size(); ++s)
    if (used[s])
      refine([&](int b) { return program.sets[s].Has(static_cast<uint8_t>(b)); });
  refine([&](int b) { return (ctxOf[b] & cxNewline) != 0; });
  refine([&](int b) { return (ctxOf[b] & cxWord) != 0; });
  if (page)
    refine([&](int b) { return page->lead[b]; });
  for (int b = 255; b >= 0; --b)
    representative[map[b]] = static_cast<uint8_t>(b);
}

}  // namespace regexp
