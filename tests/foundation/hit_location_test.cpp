#include "foundation/hit_location.h"

#include "foundation/indexed_stream.h"
#include "foundation/settings.h"
#include "foundation/sync_stream.h"
#include "foundation/tag_scan.h"

#include "support/corpus_fixture.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using testsupport::ScratchFolder;

namespace {

TCharSet wordDelimiters()
{
  TCharSet set;
  for (int c = 0; c <= 32; ++c)
    set.set(size_t(c));
  for (unsigned char c : std::string(".,;:!<>"))
    set.set(c);
  return set;
}

// A corpus file with the indexes the tag scan builds for it.
class HitLocationTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    ConcordSettings.TagStart = '<';
    ConcordSettings.TagStop = '>';
    ConcordSettings.PageSeparator = "@@PAGE";
    WatchedTags.clear();
  }
  void TearDown() override
  {
    WatchedTags.clear();
    InitProgramState();
  }

  void load(const std::string& text, bool lines = true, bool pages = true)
  {
    text_ = text;
    stream_ = std::make_unique<TFileSynchroStream>(dir_.write("corpus.txt", text), CorpusFileMode);
    TTagScanOptions o;
    o.delimiters = wordDelimiters();
    o.tagStart = ConcordSettings.TagStart;
    o.tagStop = ConcordSettings.TagStop;
    o.lines = lines;
    o.pageSeparator = pages ? ConcordSettings.PageSeparator : "";
    o.tags = WatchedTags;
    if (lines) {
      lines_ = TIndexedStream::Create(dir_.file("LNT1.tmp"), 1);
      lines_->Add(0);
    }
    if (pages) {
      pages_ = TIndexedStream::Create(dir_.file("PGT1.tmp"), 1);
      pages_->Add(0);
    }
    if (!WatchedTags.empty())
      tags_ = TIndexedStream::Create(dir_.file("WTT1.tmp"), int32_t(WatchedTags.size()));
    TTagScanner scanner(o, lines_.get(), pages_.get(), tags_.get());
    std::memcpy(scanner.NewBytes(), text.data(), text.size());
    scanner.Commit(int32_t(text.size()));
    scanner.Finish();
  }
  THitSources sources() const { return {stream_.get(), lines_.get(), pages_.get(), tags_.get()}; }
  int32_t at(const std::string& s) const { return int32_t(text_.find(s)); }
  THitLocation locate(const std::string& s) const { return GetHitLocation(sources(), at(s)); }
  std::string format(const std::string& s) const { return FormatHitLocation(locate(s)); }

  ScratchFolder dir_;
  std::string text_;
  std::unique_ptr<TFileSynchroStream> stream_;
  std::unique_ptr<TIndexedStream> lines_, pages_, tags_;
};

const char* const PagedText =
    "one\r\ntwo\r\n@@PAGE three\r\nfour\r\nfive\r\n@@PAGE six\r\nseven";

TEST_F(HitLocationTest, LinesAndPages)
{
  load(PagedText);
  const THitLocation first = locate("one");
  EXPECT_EQ(first.AbsLine, 1);
  EXPECT_EQ(first.Page, 1);
  EXPECT_EQ(first.LineInPage, 1);
  EXPECT_FALSE(first.TagValues.has_value());

  const THitLocation five = locate("five");
  EXPECT_EQ(five.AbsLine, 5);
  EXPECT_EQ(five.Page, 2);
  EXPECT_EQ(five.LineInPage, 3);  // the page began on line 3
  EXPECT_EQ(locate("six").LineInPage, 1);
  EXPECT_EQ(locate("seven").AbsLine, 7);

  // The four forms of the location text.
  ConcordSettings.ShowPages = true;
  EXPECT_EQ(format("five"), "Page 2");
  ConcordSettings.ShowLines = true;
  EXPECT_EQ(format("five"), "Line 5, Page 2");
  ConcordSettings.RelativeLines = true;
  EXPECT_EQ(format("five"), "Page 2, Line 3");
  ConcordSettings.ShowPages = false;
  EXPECT_EQ(format("five"), "Line 5");
  ConcordSettings.ShowLines = false;
  EXPECT_EQ(format("five"), "");
}

TEST_F(HitLocationTest, MissingIndexesGiveNotAvailable)
{
  // A page index without a page separator shows no page.
  load(PagedText);
  ConcordSettings.PageSeparator.clear();
  EXPECT_EQ(locate("five").Page, -1);
  EXPECT_EQ(locate("five").LineInPage, -1);
  ConcordSettings.ShowPages = true;
  EXPECT_EQ(format("five"), "Page N/A");

  // Without a line index: no line, and no line within the page either.
  ConcordSettings.PageSeparator = "@@PAGE";
  lines_.reset();
  const THitLocation loc = locate("five");
  EXPECT_EQ(loc.AbsLine, -1);
  EXPECT_EQ(loc.Page, 2);
  EXPECT_EQ(loc.LineInPage, -1);
  ConcordSettings.ShowPages = false;
  ConcordSettings.ShowLines = true;
  EXPECT_EQ(format("five"), "Line N/A");
  ConcordSettings.ShowPages = true;
  ConcordSettings.RelativeLines = true;
  EXPECT_EQ(format("five"), "Page 2, Line N/A");

  // Nothing at all.
  EXPECT_EQ(GetHitLocation(THitSources{}, 3).AbsLine, -1);
}

TEST_F(HitLocationTest, TrackedTagValues)
{
  WatchedTags.push_back(TWatchedTag::Make("Speaker", "<sp", ">"));
  WatchedTags.push_back(TWatchedTag::Make("Chapter", "chapter#", "#"));
  load("<sp Ann> hello\r\nchapter\r\nOne two\r\nthen <sp Bob> bye", true, false);

  // Before any occurrence of the second tag.
  const THitLocation hello = locate("hello");
  ASSERT_TRUE(hello.TagValues.has_value());
  EXPECT_EQ(*hello.TagValues, (std::vector<std::string>{"<sp Ann>", "N/A"}));
  // A stop text "#" takes the first blank of the bytes read, after the line
  // break; line breaks become blanks.
  EXPECT_EQ(*locate("then").TagValues, (std::vector<std::string>{"<sp Ann>", "chapter One "}));
  EXPECT_EQ(*locate("bye").TagValues, (std::vector<std::string>{"<sp Bob>", "chapter One "}));

  EXPECT_EQ(GetTrackedTagValue(sources(), at("bye"), 0), "<sp Bob>");
  EXPECT_EQ(GetTrackedTagValue(sources(), at("hello"), 1), "");
  EXPECT_EQ(GetTrackedTagValue(sources(), at("hello"), 2), "");

  // Unknown values are left out of the location text.
  ConcordSettings.ShowLines = true;
  EXPECT_EQ(format("hello"), "Line 1, <sp Ann>");
  ConcordSettings.ShowLines = false;
  EXPECT_EQ(format("hello"), "<sp Ann>");
  EXPECT_EQ(format("bye"), "<sp Bob>, chapter One ");

  // Without a tag index every value is unknown, but the list is there.
  tags_.reset();
  EXPECT_EQ(*locate("bye").TagValues, (std::vector<std::string>{"N/A", "N/A"}));
}

TEST_F(HitLocationTest, TagValueReading)
{
  const std::string long_ = "<note " + std::string(200, 'x') + ">";
  const std::string text = "<b 1>\t<b\r\n2> <n 7> " + long_ + " <open end";
  stream_ = std::make_unique<TFileSynchroStream>(dir_.write("tags.txt", text), CorpusFileMode);
  const int32_t size = int32_t(text.size());

  const TWatchedTag cocoa = TWatchedTag::Make("", "n", "");
  ASSERT_TRUE(cocoa.Cocoa);
  EXPECT_EQ(ReadTrackedTagValue(cocoa, *stream_, int32_t(text.find("<n"))), "<n 7>");
  // Control characters go, line breaks become one blank.
  const TWatchedTag b = TWatchedTag::Make("", "<b", ">");
  EXPECT_EQ(ReadTrackedTagValue(b, *stream_, int32_t(text.find("<b\r"))), "<b 2>");
  EXPECT_EQ(ReadTrackedTagValue(b, *stream_, 0), "<b 1>");
  // At most 128 bytes, and never past the data.
  const TWatchedTag note = TWatchedTag::Make("", "<note", ">");
  EXPECT_EQ(ReadTrackedTagValue(note, *stream_, int32_t(text.find("<note"))),
            long_.substr(0, TrackedTagValueLength));
  EXPECT_EQ(ReadTrackedTagValue(b, *stream_, int32_t(text.find("<open"))), "<open end");
  EXPECT_EQ(ReadTrackedTagValue(b, *stream_, size), "");
  // A COCOA tag with "#" as tag stop ends at a blank or line break.
  ConcordSettings.TagStop = '#';
  EXPECT_EQ(ReadTrackedTagValue(cocoa, *stream_, int32_t(text.find("<open"))), "<open ");
}

// Through the corpus list, with the indexes its loading pass builds.
class CorpusHitLocationTest : public testsupport::CorpusFixture {};

TEST_F(CorpusHitLocationTest, LocationsOfLoadedItems)
{
  ConcordSettings.PageSeparator = "<pb>";
  WatchedTags = {TWatchedTag::Make("", "<sp", ">"), TWatchedTag::Make("Div", "<div", ">")};
  const std::string text = "<sp A> one\r\ntwo <pb>\r\nthree <div 2> four";
  const std::string a = files.write("a.txt", text);
  const std::string b = files.write("b.txt", "plain\nfile\n");
  LoadCorpusItems(frame, {a, b});
  ASSERT_EQ(CorpusList.Count(), 2);
  const auto at = [&text](const char* s) { return int32_t(text.find(s)); };

  const THitLocation loc = GetHitLocation(0, at("four"));
  EXPECT_EQ(loc.AbsLine, 3);
  EXPECT_EQ(loc.Page, 2);
  EXPECT_EQ(loc.LineInPage, 2);
  ConcordSettings.ShowPages = ConcordSettings.ShowLines = ConcordSettings.RelativeLines = true;
  EXPECT_EQ(FormatHitLocation(0, at("four")), "Page 2, Line 2, <sp A>, <div 2>");
  EXPECT_EQ(FormatHitLocation(0, at("one")), "Page 1, Line 1, <sp A>");
  EXPECT_EQ(GetTrackedTagValue(0, at("four"), 1), "<div 2>");
  EXPECT_EQ(GetTrackedTagValue(0, at("one"), 1), "");

  const THitInfo info = GetHitInfo(0, at("two"), "two");
  EXPECT_EQ(info.Match, "two");
  EXPECT_EQ(info.FileName, a);
  EXPECT_EQ(info.AbsLine, "2");
  EXPECT_EQ(info.Page, "1");
  EXPECT_EQ(info.LineInPage, "2");
  using Row = std::pair<std::string, std::string>;
  EXPECT_EQ(info.Tags, (std::vector<Row>{{"<sp", "<sp A>"}, {"Div", "N/A"}}));

  // An item outside the list, or one whose indexes are gone.
  const THitInfo none = GetHitInfo(5, 0, "x");
  EXPECT_EQ(none.FileName, "");
  EXPECT_EQ(none.AbsLine, "N/A");
  EXPECT_EQ(none.Tags, (std::vector<Row>{{"<sp", "N/A"}, {"Div", "N/A"}}));
  CorpusList[0].LineIndex.Index.reset();
  EXPECT_EQ(FormatHitLocation(0, at("four")), "Page 2, Line N/A, <sp A>, <div 2>");
}

}  // namespace
