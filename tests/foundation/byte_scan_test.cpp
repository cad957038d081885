#include "foundation/byte_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// Each byte a member with the given chance in percent; member[] marks the
// same bytes.
ByteScanSet randomSet(std::mt19937& rng, int percent, bool (&member)[256])
{
  ByteScanSet set;
  for (int c = 0; c < 256; ++c)
    if (int(rng() % 100) < percent) {
      set.Add(uint8_t(c));
      member[c] = true;
    }
  return set;
}

}  // namespace

TEST(ByteScanSetTest, FindsTheSameBytesAsAPlainLoopForAnySet)
{
  std::mt19937 rng(7);
  std::vector<unsigned char> data(300);
  for (int round = 0; round < 40; ++round) {
    bool member[256] = {};
    const int density = round % 4 == 0 ? 2 : round % 4 == 1 ? 50 : round % 4 == 2 ? 97 : 10;
    const ByteScanSet set = randomSet(rng, density, member);
    for (auto& b : data)
      b = uint8_t(rng());
    for (size_t from = 0; from < 70; from += 3) {
      for (size_t len : {size_t(0), size_t(1), size_t(31), size_t(32), size_t(33), size_t(64), size_t(200)}) {
        const unsigned char* p = data.data() + from;
        const unsigned char* end = p + len;
        const unsigned char* in = p;
        while (in < end && !member[*in])
          ++in;
        const unsigned char* notIn = p;
        while (notIn < end && member[*notIn])
          ++notIn;
        ASSERT_EQ(set.FindIn(p, end), in) << "round " << round << " from " << from << " len " << len;
        ASSERT_EQ(set.FindNotIn(p, end), notIn) << "round " << round << " from " << from << " len " << len;
      }
    }
    ByteScanSet other;
    other.Add(0);
    uint64_t a = 0, b = 0, c = 0;
    if (ByteScanSet::Masks64(data.data() + 5, set, other, set, a, b, c)) {
      for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(bool(a >> i & 1), member[data[size_t(5 + i)]]) << i;
        ASSERT_EQ(bool(b >> i & 1), data[size_t(5 + i)] == 0) << i;
      }
      EXPECT_EQ(a, c);
    }
  }
}

// Where runs of members begin, across 64-byte blocks and with the state the
// call before left.
TEST(ByteScanSetTest, CountsRunStartsAsAPlainLoop)
{
  std::mt19937 rng(3);
  std::vector<unsigned char> data(1000);
  for (int round = 0; round < 30; ++round) {
    bool member[256] = {};
    const ByteScanSet set = randomSet(rng, 5 + round * 3, member);
    for (auto& b : data)
      b = uint8_t(rng() % (round % 2 ? 256 : 40));
    for (int32_t len : {0, 1, 63, 64, 65, 128, 200, 999}) {
      uint32_t after = uint32_t(round % 3 == 0);
      uint32_t expectedAfter = after;
      int32_t expected = 0;
      for (int32_t i = 0; i < len; ++i) {
        const uint32_t m = member[data[size_t(i)]];
        expected += int32_t(m && !expectedAfter);
        expectedAfter = m;
      }
      ASSERT_EQ(set.CountRunStarts(data.data(), len, after), expected) << round << " " << len;
      ASSERT_EQ(after, expectedAfter) << round << " " << len;
    }
  }
}

TEST(PopCount64Test, AgreesWithCountingBitByBit)
{
  std::mt19937_64 rng(11);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t x = i < 64 ? (uint64_t(1) << i) - 1 : rng() & rng();
    int expected = 0;
    for (int b = 0; b < 64; ++b)
      expected += int((x >> b) & 1);
    EXPECT_EQ(PopCount64(x), expected) << x;
  }
  EXPECT_EQ(PopCount64(~uint64_t(0)), 64);
}
