#include "foundation/byte_scan.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QUILL_HAVE_AVX2_SCAN 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

bool CpuHasAvx2()
{
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool has = [] {
    __builtin_cpu_init();  // may run before main
    return bool(__builtin_cpu_supports("avx2"));
  }();
  return has;
#else
  return false;
#endif
}

namespace {

#ifdef QUILL_HAVE_AVX2_SCAN

// Membership of 32 bytes at once: the high nibble picks a row of the set, the
// low nibble a bit in it.
__attribute__((target("avx2"))) const unsigned char* scanAvx2(const unsigned char* p, const unsigned char* end,
                                                              const uint8_t* rowsLow, const uint8_t* rowsHigh,
                                                              bool wantMember)
{
  const __m256i tLow = _mm256_load_si256(reinterpret_cast<const __m256i*>(rowsLow));
  const __m256i tHigh = _mm256_load_si256(reinterpret_cast<const __m256i*>(rowsHigh));
  const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128,
                                        1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i seven = _mm256_set1_epi8(7);
  const uint32_t flip = wantMember ? 0u : ~0u;
  while (end - p >= 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i lo = _mm256_and_si256(v, nibble);
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
    const __m256i row = _mm256_blendv_epi8(_mm256_shuffle_epi8(tLow, hi), _mm256_shuffle_epi8(tHigh, hi),
                                           _mm256_cmpgt_epi8(lo, seven));
    const __m256i bit = _mm256_shuffle_epi8(bits, lo);
    const __m256i member = _mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit);
    const uint32_t mask = uint32_t(_mm256_movemask_epi8(member)) ^ flip;
    if (mask)
      return p + __builtin_ctz(mask);
    p += 32;
  }
  return p;
}

__attribute__((target("avx2"))) inline uint32_t memberMask32(__m256i v, __m256i tLow, __m256i tHigh)
{
  const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128,
                                        1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i lo = _mm256_and_si256(v, nibble);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
  const __m256i row = _mm256_blendv_epi8(_mm256_shuffle_epi8(tLow, hi), _mm256_shuffle_epi8(tHigh, hi),
                                         _mm256_cmpgt_epi8(lo, _mm256_set1_epi8(7)));
  const __m256i bit = _mm256_shuffle_epi8(bits, lo);
  return uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit)));
}

__attribute__((target("avx2"))) void masks64Avx2(const unsigned char* p, const uint8_t* const* rows,
                                                 uint64_t* out)
{
  const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  for (int s = 0; s < 3; ++s) {
    const __m256i tLow = _mm256_load_si256(reinterpret_cast<const __m256i*>(rows[2 * s]));
    const __m256i tHigh = _mm256_load_si256(reinterpret_cast<const __m256i*>(rows[2 * s + 1]));
    out[s] = uint64_t(memberMask32(v0, tLow, tHigh)) | (uint64_t(memberMask32(v1, tLow, tHigh)) << 32);
  }
}

// Which of the 32 positions from q are candidates of a byte pair (0xFF each).
__attribute__((target("avx2"))) inline __m256i pairAt(const unsigned char* q, int32_t k1, int32_t k2, __m256i t1,
                                                      __m256i m1, __m256i t2, __m256i m2)
{
  const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + k1)), m1);
  const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + k2)), m2);
  return _mm256_and_si256(_mm256_cmpeq_epi8(a, t1), _mm256_cmpeq_epi8(b, t2));
}

// Candidates of a byte pair, 64 and then 32 positions at a time: the first
// candidate in [p, last], or the position where fewer than 32 are left.
__attribute__((target("avx2"))) const unsigned char* pairAvx2(const unsigned char* p, const unsigned char* last,
                                                              const TBytePairScan& pair)
{
  const __m256i t1 = _mm256_set1_epi8(char(pair.Target[0]));
  const __m256i m1 = _mm256_set1_epi8(char(pair.Mask[0]));
  const __m256i t2 = _mm256_set1_epi8(char(pair.Target[1]));
  const __m256i m2 = _mm256_set1_epi8(char(pair.Mask[1]));
  const int32_t k1 = pair.Offset[0];
  const int32_t k2 = pair.Offset[1];
  auto at = [&](const unsigned char* q) __attribute__((target("avx2"))) { return pairAt(q, k1, k2, t1, m1, t2, m2); };
  // Every byte loaded lies at or before last plus the larger offset.
  for (; last - p >= 63; p += 64) {
    const __m256i lo = at(p);
    const __m256i hi = at(p + 32);
    if (!_mm256_testz_si256(_mm256_or_si256(lo, hi), _mm256_or_si256(lo, hi))) {
      const uint64_t bits = uint64_t(uint32_t(_mm256_movemask_epi8(lo))) |
                            (uint64_t(uint32_t(_mm256_movemask_epi8(hi))) << 32);
      return p + __builtin_ctzll(bits);
    }
  }
  for (; last - p >= 31; p += 32) {
    const auto bits = uint32_t(_mm256_movemask_epi8(at(p)));
    if (bits)
      return p + __builtin_ctz(bits);
  }
  return p;
}

__attribute__((target("avx2,popcnt"))) int32_t countRunStartsAvx2(const unsigned char* p, int32_t n,
                                                                  const uint8_t* rowsLow, const uint8_t* rowsHigh,
                                                                  uint64_t& carry)
{
  const __m256i tLow = _mm256_load_si256(reinterpret_cast<const __m256i*>(rowsLow));
  const __m256i tHigh = _mm256_load_si256(reinterpret_cast<const __m256i*>(rowsHigh));
  int32_t starts = 0;
  for (int32_t t = 0; t + 64 <= n; t += 64) {
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + t));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + t + 32));
    const uint64_t m = uint64_t(memberMask32(v0, tLow, tHigh)) | (uint64_t(memberMask32(v1, tLow, tHigh)) << 32);
    starts += int32_t(__builtin_popcountll(m & ~((m << 1) | carry)));
    carry = m >> 63;
  }
  return starts;
}

const bool avx2 = CpuHasAvx2();

#endif

}  // namespace

bool ByteScanSet::Vectorised()
{
#ifdef QUILL_HAVE_AVX2_SCAN
  return avx2;
#else
  return false;
#endif
}

bool ByteScanSet::Masks64(const unsigned char* p, const ByteScanSet& a, const ByteScanSet& b,
                          const ByteScanSet& c, uint64_t& ma, uint64_t& mb, uint64_t& mc)
{
#ifdef QUILL_HAVE_AVX2_SCAN
  if (avx2) {
    const uint8_t* rows[6] = {a.rowsLow_, a.rowsHigh_, b.rowsLow_, b.rowsHigh_, c.rowsLow_, c.rowsHigh_};
    uint64_t out[3];
    masks64Avx2(p, rows, out);
    ma = out[0];
    mb = out[1];
    mc = out[2];
    return true;
  }
#endif
  (void)p, (void)a, (void)b, (void)c, (void)ma, (void)mb, (void)mc;
  return false;
}

const unsigned char* TBytePairScan::FindFirst(const unsigned char* p, const unsigned char* last) const
{
  if (p > last)
    return nullptr;
#ifdef QUILL_HAVE_AVX2_SCAN
  if (avx2)
    p = pairAvx2(p, last, *this);
#endif
#if defined(__SSE2__)
  {
    const __m128i t1 = _mm_set1_epi8(char(Target[0]));
    const __m128i m1 = _mm_set1_epi8(char(Mask[0]));
    const __m128i t2 = _mm_set1_epi8(char(Target[1]));
    const __m128i m2 = _mm_set1_epi8(char(Mask[1]));
    for (; last - p >= 15; p += 16) {
      const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + Offset[0])), m1);
      const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + Offset[1])), m2);
      const auto bits = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, t1), _mm_cmpeq_epi8(b, t2))));
      if (bits)
        return p + __builtin_ctz(bits);
    }
  }
#endif
  for (; p <= last; ++p)
    if (Matches(p))
      return p;
  return nullptr;
}

int32_t ByteScanSet::CountRunStarts(const unsigned char* p, int32_t n, uint32_t& after) const
{
  int32_t starts = 0;
  int32_t t = 0;
#ifdef QUILL_HAVE_AVX2_SCAN
  if (avx2 && n >= 64) {
    uint64_t carry = after & 1;
    starts = countRunStartsAvx2(p, n, rowsLow_, rowsHigh_, carry);
    t = n & ~63;
    after = uint32_t(carry);
  }
#endif
  for (; t < n; ++t) {
    const uint32_t m = members_[p[t]] ? 1 : 0;
    starts += int32_t(m & (after ^ 1));
    after = m;
  }
  return starts;
}

void ByteScanSet::Clear()
{
  std::memset(members_, 0, sizeof members_);
  std::memset(rowsLow_, 0, sizeof rowsLow_);
  std::memset(rowsHigh_, 0, sizeof rowsHigh_);
}

void ByteScanSet::Add(unsigned char c)
{
  members_[c] = true;
  const int hi = c >> 4;
  const int lo = c & 0x0F;
  uint8_t* rows = lo < 8 ? rowsLow_ : rowsHigh_;
  rows[hi] |= uint8_t(1u << (lo & 7));
  rows[hi + 16] = rows[hi];
}

const unsigned char* ByteScanSet::FindIn(const unsigned char* p, const unsigned char* end) const
{
#ifdef QUILL_HAVE_AVX2_SCAN
  if (avx2) {
    p = scanAvx2(p, end, rowsLow_, rowsHigh_, true);
    if (p < end && (end - p >= 32 || members_[*p]))
      return p;
  }
#endif
  while (p < end && !members_[*p])
    ++p;
  return p;
}

const unsigned char* ByteScanSet::FindNotIn(const unsigned char* p, const unsigned char* end) const
{
#ifdef QUILL_HAVE_AVX2_SCAN
  if (avx2) {
    p = scanAvx2(p, end, rowsLow_, rowsHigh_, false);
    if (p < end && (end - p >= 32 || !members_[*p]))
      return p;
  }
#endif
  while (p < end && members_[*p])
    ++p;
  return p;
}
