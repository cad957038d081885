// A set of byte values that finds the first byte in (or not in) the set in a
// range many bytes at a time: 32 at once where the processor has AVX2, one by
// one otherwise. The corpus reader uses it to step over whole words, runs of
// delimiters and tags.
#pragma once

#include <cstdint>

// The set bits of x, inline: without a popcount instruction in the build the
// compiler's own popcount is a library call that looks bytes up in a table.
inline int PopCount64(uint64_t x)
{
#if defined(__POPCNT__)
  return __builtin_popcountll(x);
#else
  x -= (x >> 1) & 0x5555555555555555ull;
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return int((x * 0x0101010101010101ull) >> 56);
#endif
}

// Whether the processor runs AVX2 code (asked once; false where the build
// cannot use it).
bool CpuHasAvx2();

// The positions p at which two bytes at fixed offsets from p both have the
// wanted values: (p[Offset[j]] | Mask[j]) == Target[j] for j = 0 and 1. A
// mask of 0x20 takes a letter in either case. The word-start search uses it
// to pass over text that cannot hold its prefix, 32 positions at a time
// with AVX2, 16 with SSE2, one by one otherwise.
struct TBytePairScan {
  int32_t Offset[2] = {0, 0};
  uint8_t Target[2] = {0, 0};
  uint8_t Mask[2] = {0, 0};

  bool Matches(const unsigned char* p) const
  {
    return (p[Offset[0]] | Mask[0]) == Target[0] && (p[Offset[1]] | Mask[1]) == Target[1];
  }
  // The first such position in [p, last], or nullptr. The bytes read run up
  // to last plus the larger offset.
  const unsigned char* FindFirst(const unsigned char* p, const unsigned char* last) const;
};

class ByteScanSet {
public:
  ByteScanSet() { Clear(); }

  void Clear();
  void Add(unsigned char c);
  bool Contains(unsigned char c) const { return members_[c]; }

  // The first position in [p, end) whose byte is in the set, or end.
  const unsigned char* FindIn(const unsigned char* p, const unsigned char* end) const;
  // The first position in [p, end) whose byte is not in the set, or end.
  const unsigned char* FindNotIn(const unsigned char* p, const unsigned char* end) const;

  // The members among n bytes at p that follow a byte that is not one (the
  // byte before p counts as one when after is 1): where runs of members
  // begin. after becomes 1 when the last byte is a member, else 0.
  int32_t CountRunStarts(const unsigned char* p, int32_t n, uint32_t& after) const;

  // Whether the many-at-a-time scan is in use on this processor.
  static bool Vectorised();

  // Membership masks of 64 bytes at p (bit i for p[i]) in three sets at once;
  // false, and nothing set, where the processor cannot do it quickly. All 64
  // bytes must be readable.
  static bool Masks64(const unsigned char* p, const ByteScanSet& a, const ByteScanSet& b,
                      const ByteScanSet& c, uint64_t& ma, uint64_t& mb, uint64_t& mc);

private:
  bool members_[256];
  // Per high nibble (the index), the members among the low nibbles 0..7 and
  // 8..15 as bits; each table twice, once per 128-bit lane.
  alignas(32) uint8_t rowsLow_[32];
  alignas(32) uint8_t rowsHigh_[32];
};
