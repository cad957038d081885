// Hit lines and the context pane over double-byte text: every cut falls
// between characters and a characters context counts characters.
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "search/hit_line.h"
#include "search/sentence.h"
#include "search_fixture.h"
#include "support/double_byte_text.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using testsupport::DoubleBytePages;
using testsupport::TDoubleBytePage;

struct TCut {
  uint8_t Type;
  int32_t Size;
};

class DoubleByteCutsTest : public testsupport::SearchFixture,
                           public testing::WithParamInterface<std::tuple<size_t, TCut>> {
protected:
  void SetUp() override
  {
    SearchFixture::SetUp();
    SetTextLanguage(Page().LanguageId);
    BuildCharTables();
    text_ = testsupport::MakeDoubleByteText(Page(), 48);
    Load({{"f.txt", text_.Text}});
    testsupport::AddHits(list_, text_);
  }
  void TearDown() override
  {
    SearchFixture::TearDown();
    SetTextLanguage(0x409);
    BuildCharTables();
  }
  static const TDoubleBytePage& Page() { return DoubleBytePages()[std::get<0>(GetParam())]; }

  testsupport::TDoubleByteText text_;
  TConcordItems list_;
};

TEST_P(DoubleByteCutsTest, HitLinesAndTheContextPaneHoldWholeCharacters)
{
  const TCut cut = std::get<1>(GetParam());
  list_.Context.Type = cut.Type;
  list_.Context.Sizes = {0, 0, 0, 1};
  list_.Context.Sizes[cut.Type] = cut.Size;
  const std::u16string shown = testsupport::DecodedAsShown(text_.Text);
  for (int32_t i = 0; i < list_.Count(); ++i) {
    std::string line = list_.GetLine(i);
    if (cut.Type <= ctWords) {
      ASSERT_EQ(line.substr(0, 4), "... ");
      ASSERT_EQ(line.substr(line.size() - 4), " ...");
      line = line.substr(4, line.size() - 8);
    }
    SCOPED_TRACE(i);
    testsupport::ExpectWholeCharacters(shown, testsupport::Decoded(line));
  }
  if (cut.Type == ctCharacters && cut.Size == 10) {
    // Short hits after a run, straight or after a blank or a letter, and
    // before a run: ten characters on each side.
    const auto runs = [&](size_t n) {
      std::string r;
      while (n-- > 0)
        r += Page().Run;
      return r;
    };
    for (const auto& [hit, before] : {std::pair<int32_t, std::string>{0, ""}, {1, " "}, {2, "a"}, {6, ""}})
      EXPECT_EQ(list_.GetLine(hit), "... " + runs(10 - before.size()) + before + Page().Hit + runs(10) + " ...");
  }

  // The context pane, whatever the context type (so once per code page):
  // before the hit, the hit and after it.
  if (cut.Type != ctSentence)
    return;
  BigContextSize = 1;
  const std::u16string whole = testsupport::Decoded(text_.Text);
  TBufStream& reader = *CorpusList[0].Reader;
  for (const auto& [start, end] : text_.Hits) {
    ConfigureBufStream(reader);
    reader.ResetTagState();
    TSVFormatArray spans;
    const std::string pane = ContextText(reader, start, end, spans, VisibleClassMask(false, false, false));
    ASSERT_EQ(spans.size(), 1u);
    const auto hitAt = size_t(spans[0].Start - 1);
    for (const std::string& part : {pane.substr(0, hitAt), pane.substr(hitAt, size_t(spans[0].Length)),
                                    pane.substr(hitAt + size_t(spans[0].Length))})
      testsupport::ExpectWholeCharacters(whole, testsupport::Decoded(part));
  }

  // Part-of-speech tags left out: a trail byte that looks like their
  // delimiter stays with its lead byte.
  ConcordSettings.WordTag = 1;
  ConcordSettings.wTagDelimiter = '_';
  list_.SuppressPartOfSpeech = true;
  for (int32_t i = 0; i < list_.Count(); ++i) {
    EXPECT_EQ(testsupport::Decoded(list_.GetLine(i)).find(u'\uFFFD'), std::u16string::npos) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    PagesAndContexts, DoubleByteCutsTest,
    testing::Combine(testing::Values(size_t(0), size_t(1)),
                     testing::Values(TCut{ctCharacters, 10}, TCut{ctCharacters, 1000}, TCut{ctWords, 3},
                                     TCut{ctWords, 40}, TCut{ctLines, 1}, TCut{ctLines, 10},
                                     TCut{ctSentence, 1})),
    [](const testing::TestParamInfo<std::tuple<size_t, TCut>>& info) {
      const TCut cut = std::get<1>(info.param);
      return std::string(DoubleBytePages()[std::get<0>(info.param)].Name) + "_type" + std::to_string(cut.Type) +
             "_size" + std::to_string(cut.Size);
    });

// The words of a hit record are its sort keys: a word of 300 bytes on each
// side of a hit and in it is cut between characters, and so are the hit
// texts of Text mode (its words joined, with the last after " ... ") and of
// Regex mode (its head and tail).
class DoubleByteHitWordsTest : public testsupport::SearchFixture, public testing::WithParamInterface<size_t> {
protected:
  void TearDown() override
  {
    SearchFixture::TearDown();
    SetTextLanguage(0x409);
    BuildCharTables();
  }
};

TEST_P(DoubleByteHitWordsTest, LongWordsAndHitTextsAreCutBetweenCharacters)
{
  const TDoubleBytePage& page = DoubleBytePages()[GetParam()];
  SetTextLanguage(page.LanguageId);
  BuildCharTables();
  std::string run;
  for (int n = 0; n < 150; ++n)
    run += page.Run;
  const std::string text = "q " + run + " xy " + run + " ab " + run + " z";
  Load({{"f.txt", text}});
  TBufStream& reader = *CorpusList[0].Reader;
  const auto abEnd = int32_t(text.find(" ab ") + 3);
  const auto runEnd = int32_t(text.size() - 2);
  const struct {
    TSearchMode Mode;
    const char* From;
    int32_t End;
  } hits[] = {{TSearchMode::Text, "xy", abEnd}, {TSearchMode::Text, "xy", runEnd}, {TSearchMode::Regex, "y ", abEnd}};
  for (const auto& hit : hits) {
    ConfigureBufStream(reader);
    TConcordItem item;
    item.HitStart = int32_t(text.find(hit.From));
    item.HitEnd = hit.End;
    FillHitWords(reader, item.HitStart, item.HitEnd, item, hit.Mode);
    for (int slot = 0; slot < TConcordItem::SlotCount; ++slot) {
      const std::u16string word = testsupport::Decoded(std::string(item.Word(slot)));
      EXPECT_EQ(word.find(u'\uFFFD'), std::u16string::npos) << page.Name << " " << hit.From << hit.End << " " << slot;
    }
    // A cut word ends the joined words, even with a byte of room left.
    if (hit.End == runEnd) {
      EXPECT_EQ(item.Word(0), "xy " + run.substr(0, 56)) << page.Name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, DoubleByteHitWordsTest, testing::Values(size_t(0), size_t(1)),
                         [](const testing::TestParamInfo<size_t>& info) {
                           return std::string(DoubleBytePages()[info.param].Name);
                         });

}  // namespace
