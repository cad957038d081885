#include "search/search_rec.h"

#include "foundation/settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TSearchRec FilledRequest()
{
  TSearchRec request;
  request.Mode = TSearchMode::Tag;
  request.Options = soContext | soHeading | soSkipEqual | soSentence;
  request.DisplayPatterns = {"dog&NN"};
  request.Patterns = {"dog&nn"};
  request.LeftContext = "left";
  request.RightContext = "right";
  request.HeadStart = "<h>";
  request.HeadingPattern = "chapter";
  request.HeadStop = "</h>";
  request.TextStart = "<t>";
  request.TextStop = "</t>";
  request.SkipChars = "-=";
  request.EqualChars = "eé";
  request.HitFrequency = 9;
  return request;
}

class SearchRecTest : public ::testing::Test {
protected:
  void SetUp() override { saved_ = ConcordSettings; }
  void TearDown() override { ConcordSettings = saved_; }
  ConcordConfig saved_;
};

TEST_F(SearchRecTest, RunCopyTakesModeOptionsAndTheEightStringsOnly)
{
  const TSearchRec request = FilledRequest();
  const TSearchRec copy(request);
  EXPECT_EQ(copy.Mode, TSearchMode::Tag);
  EXPECT_EQ(copy.Options, request.Options);
  EXPECT_EQ(copy.LeftContext, "left");
  EXPECT_EQ(copy.RightContext, "right");
  EXPECT_EQ(copy.HeadStart, "<h>");
  EXPECT_EQ(copy.HeadingPattern, "chapter");
  EXPECT_EQ(copy.HeadStop, "</h>");
  EXPECT_EQ(copy.TextStart, "<t>");
  EXPECT_EQ(copy.TextStop, "</t>");
  EXPECT_EQ(copy.SkipChars, "-=");
  EXPECT_TRUE(copy.Patterns.empty());
  EXPECT_TRUE(copy.DisplayPatterns.empty());
  EXPECT_TRUE(copy.EqualChars.empty());
  EXPECT_EQ(copy.HitFrequency, 0);
}

TEST_F(SearchRecTest, RunValuesGuardTheHitFrequencyAndTakeEqualChars)
{
  ConcordSettings.EqualChars = "a\xE0\xE1 e\xE9";
  for (int32_t stored : {0, -7, 1, 16000}) {
    ConcordSettings.FrequencyOfHits = stored;
    TSearchRec copy(FilledRequest());
    copy.SetRunValues();
    EXPECT_EQ(copy.HitFrequency, stored < 1 ? 1 : stored) << "stored " << stored;
    EXPECT_EQ(copy.EqualChars, "a\xE0\xE1 e\xE9");
  }

  TSearchRec plain = FilledRequest();
  plain.Options = soCaseSensitive;
  TSearchRec plainCopy(plain);
  plainCopy.EqualChars = "left over";
  plainCopy.SetRunValues();
  EXPECT_TRUE(plainCopy.EqualChars.empty());
}

}  // namespace
