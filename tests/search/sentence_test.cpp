#include "search/sentence.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using testsupport::ScratchFolder;

namespace {

class SentenceTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    ConcordSettings.NonWordChars = ".,;:!?\"()<>";
    ConcordSettings.WildCard0orMore = '*';
    ConcordSettings.WildCard0or1 = '%';
    ConcordSettings.WildCardExactly1 = '~';
    ConcordSettings.WildCardMatchWords = '@';
    SentDelimitersExcepts.clear();
  }
  void TearDown() override
  {
    SentDelimitersExcepts.clear();
    InitProgramState();
  }

  TBufStream& open(const std::string& text)
  {
    text_ = text;
    stream_ = std::make_unique<TFileSynchroStream>(dir_.write("corpus.txt", text), CorpusFileMode);
    reader_ = std::make_unique<TBufStream>(stream_.get());
    ConfigureBufStream(*reader_);
    return *reader_;
  }
  // The position of the n-th occurrence (0-based) of s in the text.
  int32_t at(const std::string& s, int n = 0) const
  {
    size_t p = text_.find(s);
    while (n-- > 0)
      p = text_.find(s, p + 1);
    EXPECT_NE(p, std::string::npos) << s;
    return int32_t(p);
  }
  int32_t end(const std::string& s) const { return at(s) + int32_t(s.size()); }
  bool crosses(const std::string& text, const std::string& hit)
  {
    open(text);
    return CrossesSentence(*reader_, at(hit), end(hit));
  }
  TBufStream& validated(const std::string& text)
  {
    open(text);
    reader_->ValidateBuffer(0, int32_t(text.size()));
    return *reader_;
  }

  ScratchFolder dir_;
  std::string text_;
  std::unique_ptr<TFileSynchroStream> stream_;
  std::unique_ptr<TBufStream> reader_;
};

TEST_F(SentenceTest, WordAndDelimiterTests)
{
  EXPECT_TRUE(IsSentenceDelimiter('.'));
  EXPECT_TRUE(IsSentenceDelimiter('?'));
  EXPECT_FALSE(IsSentenceDelimiter(','));
  EXPECT_FALSE(IsSentenceDelimiter('\0'));

  // Abbreviations only with smart detection: short, capitalised, final ".".
  EXPECT_FALSE(IsAbbreviation("Fig."));
  SmartAbbrDetect = true;
  EXPECT_TRUE(IsAbbreviation("Fig."));
  EXPECT_TRUE(IsAbbreviation("A."));
  EXPECT_FALSE(IsAbbreviation("Figs."));  // five characters
  EXPECT_FALSE(IsAbbreviation("fig."));
  EXPECT_FALSE(IsAbbreviation("Fig!"));
  EXPECT_FALSE(IsAbbreviation("1st."));
  // "\xC9" is an upper-case letter of code page 1252; "\xA7" is not a letter
  // even where CharTypeTable counts it as one.
  EXPECT_TRUE(IsAbbreviation("\xC9t."));
  EXPECT_FALSE(IsAbbreviation("\xA7" "3."));

  // Exceptions only without it, ignoring case on both sides.
  SentDelimitersExcepts = {"etc", "Approx"};
  EXPECT_FALSE(IsException("etc."));
  SmartAbbrDetect = false;
  EXPECT_TRUE(IsException("etc."));
  EXPECT_TRUE(IsException("ETC."));
  EXPECT_TRUE(IsException("approx."));
  EXPECT_FALSE(IsException("etc"));
  EXPECT_FALSE(IsException("etc!"));
  EXPECT_FALSE(IsException("."));
}

TEST_F(SentenceTest, HitsAcrossSentenceEnds)
{
  EXPECT_FALSE(crosses("It is the end. Then we go.", "end"));
  EXPECT_TRUE(crosses("It is the end. Then we go.", "end. Then"));
  // A delimiter before the hit's first word never counts: the attempt may
  // begin on it.
  open("Stop. here we are");
  EXPECT_FALSE(CrossesSentence(*reader_, at("."), end("we")));
  EXPECT_FALSE(crosses("nothing but blanks   ", "   "));
  // After a delimiter that is no sentence end the test goes on.
  SmartAbbrDetect = true;
  EXPECT_FALSE(crosses("see Fig. 3 here", "Fig. 3"));
  EXPECT_TRUE(crosses("see Fig. 3 here. And more", "Fig. 3 here. And"));
  SmartAbbrDetect = false;
  EXPECT_TRUE(crosses("see Fig. 3 here", "Fig. 3"));
}

TEST_F(SentenceTest, AbbreviationsExceptionsAndTags)
{
  EXPECT_TRUE(crosses("apples, pears etc. and more", "etc. and"));
  SentDelimitersExcepts = {"etc"};
  EXPECT_FALSE(crosses("apples, pears etc. and more", "etc. and"));
  // Words loaded from a file keep their case and still match.
  SentDelimitersExcepts = {"Etc"};
  EXPECT_FALSE(crosses("apples, pears etc. and more", "etc. and"));
  SmartAbbrDetect = true;  // the list applies only without smart detection
  EXPECT_TRUE(crosses("apples, pears etc. and more", "etc. and"));

  // "!" and "?" end a sentence after a short capitalised word.
  EXPECT_TRUE(crosses("He said Wow! Then left", "Wow! Then"));
  EXPECT_TRUE(crosses("Is it Dr? Yes", "Dr? Yes"));

  // Delimiters inside a markup tag or a part-of-speech tag never count.
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  EXPECT_FALSE(crosses("the <a.b> end here", "the <a.b> end"));
  ConcordSettings.WordTag = 2;
  ConcordSettings.wTagStarts = {"{"};
  ConcordSettings.wTagStop = '}';
  EXPECT_FALSE(crosses("the{D.T} dog{NN} runs", "the{D.T} dog"));
  EXPECT_TRUE(crosses("the{DT}. dog{NN} runs", "the{DT}. dog"));
}

TEST_F(SentenceTest, LongHitsAndNulBytes)
{
  // 64 bytes before the start count towards the 8192-byte limit.
  std::string text = std::string(100, 'x') + " " + std::string(8300, 'a') + " tail";
  open(text);
  const int32_t start = 101;
  EXPECT_TRUE(CrossesSentence(*reader_, start, start - 64 + 8192));
  EXPECT_FALSE(CrossesSentence(*reader_, start, start - 64 + 8191));
  // A NUL byte is an ordinary character: the sentence end after it is seen.
  EXPECT_TRUE(crosses(std::string("one\0two. three four", 19), std::string("one\0two. three", 14)));
  EXPECT_FALSE(crosses(std::string("one\0two three. four", 19), std::string("one\0two three", 13)));
}

TEST_F(SentenceTest, CharacterExtentsStayInsideTheFile)
{
  TBufStream& r = open("0123456789");
  EXPECT_EQ(LeftExtent(r, 5, ctCharacters, 3, 0, 10), 2);
  EXPECT_EQ(LeftExtent(r, 2, ctCharacters, 40, 0, 10), 0);
  EXPECT_EQ(RightExtent(r, 5, ctCharacters, 3, 0, 10), 8);
  EXPECT_EQ(RightExtent(r, 5, ctCharacters, 40, 0, 10), 10);
}

TEST_F(SentenceTest, WordExtents)
{
  const std::string text = "one two, three four HIT five six. seven";
  TBufStream& r = validated(text);
  const int32_t n = int32_t(text.size());
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctWords, 1, 0, n), at("four"));
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctWords, 3, 0, n), at("two"));
  // The text begins before the words are counted.
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctWords, 8, 0, n), 0);
  // The lower bound stops the count.
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctWords, 8, at("hree"), n), at("hree"));
  // Right: after the character that ended the last word.
  EXPECT_EQ(RightExtent(r, end("HIT"), ctWords, 1, 0, n), end("five") + 1);
  EXPECT_EQ(RightExtent(r, end("HIT"), ctWords, 2, 0, n), end("six") + 1);
  EXPECT_EQ(RightExtent(r, end("HIT"), ctWords, 9, 0, n), n);
  EXPECT_EQ(RightExtent(r, end("HIT"), ctWords, 9, 0, at("six")), at("six"));
  // Size 0 leaves the hit's edges.
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctWords, 0, 0, n), at("HIT"));
  EXPECT_EQ(RightExtent(r, end("HIT"), ctWords, 0, 0, n), end("HIT"));
}

TEST_F(SentenceTest, LineExtentsCountCrLfOnce)
{
  const std::string text = "l1\r\nl2\r\nl3\r\nl4 HIT x\r\nr1\r\nr2\r\nr3";
  TBufStream& r = validated(text);
  const int32_t n = int32_t(text.size());
  // Size 3: the line two lines above the hit's; the context begins on the LF
  // that follows the third line end found.
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctLines, 3, 0, n), at("l2") - 1);
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctLines, 1, 0, n), at("l4") - 1);
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctLines, 9, 0, n), 0);
  EXPECT_EQ(RightExtent(r, end("HIT"), ctLines, 1, 0, n), at("r1") - 1);
  EXPECT_EQ(RightExtent(r, end("HIT"), ctLines, 2, 0, n), at("r2") - 1);
  EXPECT_EQ(RightExtent(r, end("HIT"), ctLines, 9, 0, n), n);

  const std::string lf = "a\nb\nc HIT";
  TBufStream& r2 = validated(lf);
  EXPECT_EQ(LeftExtent(r2, 6, ctLines, 2, 0, int32_t(lf.size())), 2);
}

TEST_F(SentenceTest, SentenceExtents)
{
  const std::string text = "First one.  Second Dr. Who HIT here etc. on. Next one";
  TBufStream& r = validated(text);
  const int32_t n = int32_t(text.size());
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctSentence, 1, 0, n), at("Who"));
  EXPECT_EQ(RightExtent(r, end("HIT"), ctSentence, 1, 0, n), end("etc."));
  SmartAbbrDetect = true;
  EXPECT_EQ(LeftExtent(r, at("HIT"), ctSentence, 1, 0, n), at("Second"));
  SmartAbbrDetect = false;
  SentDelimitersExcepts = {"etc"};
  EXPECT_EQ(RightExtent(r, end("HIT"), ctSentence, 1, 0, n), end("on."));
  // No sentence end before the hit: from the lower bound, blanks skipped.
  const std::string open_ = "   lead in HIT tail";
  TBufStream& r2 = validated(open_);
  EXPECT_EQ(LeftExtent(r2, 11, ctSentence, 1, 0, 19), 3);
  EXPECT_EQ(LeftExtent(r2, 11, ctSentence, 1, 5, 19), 5);
  // None after it: where the reading stopped.
  EXPECT_EQ(RightExtent(r2, 14, ctSentence, 1, 0, 19), 19);
  EXPECT_EQ(RightExtent(r2, 14, ctSentence, 1, 0, 16), 16);
}

TEST_F(SentenceTest, TrailBytesThatLookLikeDelimitersEndNoSentence)
{
  // Characters whose trail bytes are a backslash and '@', both made delimiters.
  struct Row {
    int32_t LanguageId;
    std::string Backslash, At;
  };
  for (const Row& row : {Row{0x411, "\x95\x5C", "\x83\x40"}, Row{0x804, "\x81\x5C", "\x81\x40"}}) {
    SetTextLanguage(row.LanguageId);
    BuildCharTables();
    SentDelimiters = ".\\@";
    const std::string pair = row.Backslash + row.At;
    const std::string text = "one. " + pair + " HIT " + pair + " two. three";
    TBufStream& r = validated(text);
    const auto n = int32_t(text.size());
    EXPECT_EQ(LeftExtent(r, at("HIT"), ctSentence, 1, 0, n), at(pair)) << row.LanguageId;
    EXPECT_EQ(RightExtent(r, end("HIT"), ctSentence, 1, 0, n), end("two.")) << row.LanguageId;
    EXPECT_FALSE(crosses(text, "HIT " + pair + " two")) << row.LanguageId;
    EXPECT_TRUE(crosses("a HIT \\ two", "HIT \\ two")) << row.LanguageId;
  }
}

}  // namespace

// The settings texts on a double-byte page are read by characters: the
// exception ア (83 41) is not ヂ (83 61), and the delimiter 。 (81 42) makes
// no 'B' a sentence end.
TEST_F(SentenceTest, DoubleByteSettingsTextsAreReadByCharacters)
{
  SetTextLanguage(0x411);
  BuildCharTables();
  SentDelimitersExcepts = {"\x83\x41"};
  EXPECT_NE(FindSentException("\x83\x41"), SentDelimitersExcepts.end());
  EXPECT_EQ(FindSentException("\x83\x61"), SentDelimitersExcepts.end());
  EXPECT_TRUE(EndsSentence("\x83\x61.", '.'));
  SentDelimiters = ".\x81\x42";
  EXPECT_TRUE(IsSentenceDelimiter('.'));
  EXPECT_FALSE(IsSentenceDelimiter('B'));
  EXPECT_FALSE(crosses("a HIT B two", "HIT B two"));
}
