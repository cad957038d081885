#include "forms/context_options.h"

#include <gtest/gtest.h>

namespace {

TContextRecord record(int32_t type, int32_t chars, int32_t words, int32_t lines, int32_t sentence,
                      int32_t extra)
{
  TContextRecord r;
  r.ContextType = type;
  r.Sizes = {chars, words, lines, sentence};
  r.CallerValue = extra;
  return r;
}

TEST(ContextOptionsModelTest, TypeChangeGivesRangeAndStoredSize)
{
  TContextOptionsModel m(record(1, 40, 8, 3, 1, 77));
  EXPECT_EQ(m.Type(), 1);
  EXPECT_EQ(m.SizeMin(), 0);
  EXPECT_EQ(m.SizeMax(), 40);
  EXPECT_EQ(m.SizeText(), "8");
  EXPECT_TRUE(m.SizeVisible());
  EXPECT_FALSE(m.OptionsVisible());

  // A size typed and not confirmed is dropped by the next type change.
  m.SetSizeText("33");
  m.SelectType(0);
  EXPECT_EQ(m.SizeMax(), 1000);
  EXPECT_EQ(m.SizeText(), "40");
  m.SelectType(1);
  EXPECT_EQ(m.SizeText(), "8");

  // Sentence shows only the options button; its size stays 1.
  m.SelectType(3);
  EXPECT_FALSE(m.SizeVisible());
  EXPECT_TRUE(m.OptionsVisible());
  EXPECT_EQ(m.SizeMin(), 1);
  EXPECT_EQ(m.SizeMax(), 1);
  EXPECT_EQ(m.Ok(), record(3, 40, 8, 3, 1, 77));
}

TEST(ContextOptionsModelTest, OkStoresTheClampedSizeOfTheCurrentTypeOnly)
{
  TContextOptionsModel m(record(2, 40, 8, 3, 1, -5));
  m.SetSizeText("99");
  EXPECT_EQ(m.Ok(), record(2, 40, 8, 10, 1, -5));

  TContextOptionsModel words(record(1, 40, 8, 3, 1, 0));
  words.SetSizeText(" 12 ");
  EXPECT_EQ(words.Ok().Sizes[1], 12);
  // Not a number: the up-down's position stays.
  words.SetSizeText("abc");
  EXPECT_EQ(words.Ok().Sizes[1], 12);
  // A negative entry counts as above the maximum, as the up-down edits do.
  words.SetSizeText("-3");
  EXPECT_EQ(words.Ok().Sizes[1], 40);
  // At most five characters are typed.
  words.SetSizeText("1234567");
  EXPECT_EQ(words.SizeText(), "12345");
}

TEST(ContextOptionsModelTest, BadStoredValuesAreKeptInRange)
{
  // A stored size outside the range shows and stores clamped; an unknown type
  // becomes the nearest one.
  TContextOptionsModel m(record(9, 5000, -4, 3, 0, 1));
  EXPECT_EQ(m.Type(), 3);
  EXPECT_EQ(m.Ok().Sizes[3], 1);
  m.SelectType(0);
  EXPECT_EQ(m.SizeText(), "1000");
  m.SelectType(1);
  EXPECT_EQ(m.SizeText(), "0");
}

TEST(ContextOptionsModelTest, ArrowsStepByTenInsideTheRange)
{
  TContextOptionsModel m(record(0, 995, 8, 3, 1, 0));
  m.StepSize(1);
  EXPECT_EQ(m.SizeText(), "1000");
  m.StepSize(-3);
  EXPECT_EQ(m.SizeText(), "970");
  m.SetSizeText("4");
  m.StepSize(-1);
  EXPECT_EQ(m.SizeText(), "0");
}

TEST(ContextOptionsModelTest, EntryPointRunsTheInstalledForm)
{
  TContextRecord r = record(0, 40, 8, 3, 1, 0);
  SetContextOptionsEditor({});
  EXPECT_FALSE(EditContextOptions(r));
  SetContextOptionsEditor([](TContextRecord& rec) {
    TContextOptionsModel m(rec);
    m.SelectType(1);
    m.SetSizeText("20");
    rec = m.Ok();
    return true;
  });
  EXPECT_TRUE(EditContextOptions(r));
  EXPECT_EQ(r, record(1, 40, 20, 3, 1, 0));
  SetContextOptionsEditor({});
}

}  // namespace
