// The lazy DFA with a small state cache: it starts afresh when the cache is
// full, and reports when clearing no longer pays off. Its extents must equal
// the NFA simulation's throughout.
#include "regexp_fixture.h"

#include "search/regexp/regexp_match.h"
#include "search/regexp/regexp_program.h"
#include "search/regexp/regexp_syntax.h"

#include <algorithm>
#include <random>
#include <string>

using namespace regexptest;

namespace {

class RegExpAutomatonTest : public RegExpFixture {
protected:
  void Compile(const std::string& pattern)
  {
    for (int c = 0; c < 256; ++c) {
      tables_.translate[c] = static_cast<uint8_t>(FoldTable[c]);
      tables_.charTypes[c] = CharTypeTable[c];
      tables_.syntax[c] = RegExpSyntaxTable[c];
      ctxOf_[c] = static_cast<uint8_t>((c == '\n' ? regexp::cxNewline : 0) |
                                       ((tables_.syntax[c] & sySword) ? regexp::cxWord : 0));
    }
    const regexp::Tree tree = regexp::ParsePattern(pattern, tables_);
    ASSERT_TRUE(regexp::BuildProgram(tree, regexp::BuildMode::Forward, 20000, forward_));
    ASSERT_TRUE(regexp::BuildProgram(tree, regexp::BuildMode::Reverse, 20000, reverse_));
    classes_.Build(forward_, ctxOf_);
  }

  regexp::Tables tables_;
  uint8_t ctxOf_[256];
  regexp::Program forward_;
  regexp::Program reverse_;
  regexp::ByteClasses classes_;
};

}  // namespace

TEST_F(RegExpAutomatonTest, SmallCacheClearsAndGivesWayToTheNfa)
{
  std::mt19937 rng(7);
  std::string text;
  for (int i = 0; i < 6000; ++i)
    text += "ab \n"[rng() % 4 == 0 ? 2 + rng() % 2 : rng() % 2];
  const regexp::Text t{reinterpret_cast<const uint8_t*>(text.data()),
                       static_cast<int32_t>(text.size()), ctxOf_};
  int clearedRuns = 0;
  int thrashedRuns = 0;
  for (const char* pattern : {"(a|b)*a(a|b){7}b", "\\<a[ab]{6}b*\\>", "^(a|b)+a(a|b){5}$"}) {
    Compile(pattern);
    for (size_t budget : {size_t(2000), size_t(8000), size_t(30000)}) {
      regexp::Dfa forward(forward_, classes_, ctxOf_, true, false, budget);
      regexp::Dfa reverse(reverse_, classes_, ctxOf_, false, false, budget);
      regexp::StepCounter steps(nullptr);
      int hits = 0;
      bool thrashed = false;
      for (int32_t p = 0; p < t.length && !thrashed;) {
        int32_t nfaEnd = -1;
        const int32_t nfaStart = regexp::PikeSearch(forward_, t, p, nullptr, steps, nfaEnd);
        const int32_t end = forward.FindEnd(t, p, nullptr, steps);
        if (end == regexp::rThrash) {
          thrashed = true;
          break;
        }
        if (nfaStart < 0) {
          EXPECT_EQ(end, regexp::rNone) << pattern << " at " << p;
          break;
        }
        ASSERT_EQ(end, nfaEnd) << pattern << " at " << p;
        const int32_t start = reverse.FindStart(t, p, end, steps);
        if (start == regexp::rThrash) {
          thrashed = true;
          break;
        }
        ASSERT_EQ(start, nfaStart) << pattern << " at " << p;
        ++hits;
        p = std::max(end, start + 1);
      }
      thrashedRuns += thrashed;
      clearedRuns += !thrashed && forward.Clears() + reverse.Clears() > 0;
      EXPECT_TRUE(thrashed || hits > 20) << pattern;
    }
  }
  EXPECT_GT(clearedRuns, 0);
  EXPECT_GT(thrashedRuns, 0);
}

TEST_F(RegExpAutomatonTest, TinyCacheEndsInThrashOnABlowUp)
{
  Compile("(a|b)*a(a|b){9}");
  std::mt19937 rng(11);
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "ab"[rng() % 2];
  text += "c";
  const regexp::Text t{reinterpret_cast<const uint8_t*>(text.data()),
                       static_cast<int32_t>(text.size()), ctxOf_};
  regexp::Dfa forward(forward_, classes_, ctxOf_, true, false, 4000);
  regexp::StepCounter steps(nullptr);
  // The leftmost match never ends before the text does, so the scan meets
  // many states; with room for only a few the cache cannot pay off.
  EXPECT_EQ(forward.FindEnd(t, 0, nullptr, steps), regexp::rThrash);
  regexp::Dfa roomy(forward_, classes_, ctxOf_, true, false);
  int32_t nfaEnd = -1;
  ASSERT_EQ(regexp::PikeSearch(forward_, t, 0, nullptr, steps, nfaEnd), 0);
  EXPECT_EQ(roomy.FindEnd(t, 0, nullptr, steps), nfaEnd);
}
