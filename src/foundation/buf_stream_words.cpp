// Reading words in bulk for counting: whole runs of word characters found
// from 64-byte membership masks of the window, without the per-word work of
// NextWord. Anything that needs the tag rules, and every word that touches
// the window's end, is left to NextWord.
#include "foundation/buf_stream.h"

void TBufStream::PlainWordMasks(const unsigned char* p, uint64_t& word, uint64_t& stop) const
{
  uint64_t delim;
  if (ByteScanSet::Masks64(p, wordSet_, skipStopSet_, delimSet_, word, stop, delim))
    return;
  word = stop = 0;
  for (unsigned i = 0; i < 64; ++i) {
    const uint8_t k = fastClass_[p[i]];
    word |= uint64_t(k == ccWord) << i;
    stop |= uint64_t(k == ccWord || k == kSpecial) << i;
  }
}

int32_t TBufStream::NextPlainWords(std::string_view* out, int32_t max)
{
  // Double-byte text is read by NextWord, a character at a time.
  if (slow_ || inTag_ || inWordTag_ || bufPos_ < 0 || max <= 0 || !(cur_ < limit_))
    return 0;
  // The window is followed by 64 spare bytes, so the 64 bytes of a block
  // that starts before the limit are always readable; bits at or past the
  // limit are cleared.
  const unsigned char* const lim = limit_;
  const unsigned char* b = cur_;  // the block's first byte
  uint64_t word = 0, stop = 0, valid = 0;
  auto load = [&](const unsigned char* at) {
    PlainWordMasks(at, word, stop);
    const ptrdiff_t avail = lim - at;
    valid = avail >= 64 ? ~uint64_t(0) : (uint64_t(1) << avail) - 1;
    word &= valid;
    stop &= valid;
  };
  load(b);
  unsigned i = 0;  // the first bit of the block not yet looked at
  int32_t n = 0;
  while (n < max) {
    const uint64_t starts = i < 64 ? stop & (~uint64_t(0) << i) : 0;
    if (starts == 0) {
      // Delimiters up to the block's end.
      if (valid != ~uint64_t(0) || b + 64 >= lim) {
        cur_ = lim;
        return n;
      }
      b += 64;
      i = 0;
      load(b);
      continue;
    }
    const unsigned s = unsigned(__builtin_ctzll(starts));
    if (!((word >> s) & 1)) {
      cur_ = b + s;  // a character that may begin a tag
      return n;
    }
    const uint64_t ends = ~word & valid & (~uint64_t(0) << s);
    if (ends == 0) {
      // The run goes on past this block.
      if (valid != ~uint64_t(0)) {
        cur_ = b + s;  // it reaches the limit: NextWord reads on
        return n;
      }
      if (s > 0) {
        b += s;
        i = 0;
        load(b);
        continue;
      }
      // A run of 64 word characters or more from b.
      const unsigned char* const end = wordSet_.FindNotIn(b + 64, lim);
      if (end == lim || fastClass_[*end] == kSpecial) {
        cur_ = b;
        return n;
      }
      out[n++] = std::string_view(reinterpret_cast<const char*>(b), size_t(end - b));
      b = end + 1;
      i = 0;
      if (b >= lim) {
        cur_ = lim;
        return n;
      }
      load(b);
      continue;
    }
    const unsigned e = unsigned(__builtin_ctzll(ends));
    if ((stop >> e) & 1) {
      cur_ = b + s;  // ended by a character that may begin a tag
      return n;
    }
    out[n++] = std::string_view(reinterpret_cast<const char*>(b + s), e - s);
    i = e + 1;  // the delimiter is consumed with the word
  }
  cur_ = b + i;
  return n;
}

size_t WholeCharsLength(const platform::CodePage& cp, std::string_view kept)
{
  if (!cp.dbcs || kept.empty())
    return kept.size();
  const size_t last = kept.size() - 1;
  // A lead byte that stands alone at the end lost its trail byte.
  if (cp.lead[static_cast<unsigned char>(kept[last])] && platform::charStartAt(cp, kept, last) == last)
    return last;
  return kept.size();
}

std::string_view WholeCharsPrefix(const platform::CodePage& cp, std::string_view word, size_t max)
{
  return platform::charsWithin(cp, word, max);
}
