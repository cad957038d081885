#include "search/search_driver.h"

#include "foundation/program_state.h"
#include "search/concord_items.h"
#include "search_fixture.h"

#include "corpus_generator.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using testsupport::SearchFixture;

// Every start of `needle` in `text`.
std::vector<int32_t> Occurrences(const std::string& text, const std::string& needle)
{
  std::vector<int32_t> out;
  for (size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1))
    out.push_back(int32_t(p));
  return out;
}

std::vector<int32_t> StartsOf(const std::vector<std::unique_ptr<TConcordItem>>& hits)
{
  std::vector<int32_t> out;
  for (const auto& h : hits)
    out.push_back(h->HitStart);
  return out;
}

class SearchDriverTest : public SearchFixture {};

// --- order, every Nth hit, maximum -------------------------------------------

TEST_F(SearchDriverTest, HitsFollowFilesThenPatternsThenPositions)
{
  const std::string a = "alpha beta alpha beta\r\n";
  const std::string b = "beta alpha\r\n";
  Load({{"a.txt", a}, {"b.txt", b}});
  auto hits = Run(Request({"beta", "alpha"}));
  ASSERT_EQ(hits.size(), 6u);
  const std::vector<std::pair<int32_t, std::string>> expected = {
    {0, "beta"}, {0, "beta"}, {0, "alpha"}, {0, "alpha"}, {1, "beta"}, {1, "alpha"}};
  for (size_t i = 0; i < hits.size(); ++i) {
    EXPECT_EQ(hits[i]->FileIndex, expected[i].first) << i;
    EXPECT_EQ(hits[i]->Word(0), expected[i].second) << i;
    EXPECT_EQ(HitBytes(hits[i]->FileIndex == 0 ? a : b, *hits[i]), expected[i].second) << i;
  }
  EXPECT_EQ(StartsOf(hits), (std::vector<int32_t>{6, 17, 0, 11, 0, 5}));
}

TEST_F(SearchDriverTest, EveryNthHitCountsOnlyHitsThatStayInTheirSentence)
{
  // "a. b" crosses a sentence end: in sentence mode it is dropped before it
  // is counted, so only the pairs "a b" count.
  std::string text;
  for (int i = 0; i < 4; ++i)
    text += "a b. a. b a b. ";
  Load({{"s.txt", text}});
  ConcordSettings.SentenceMode = true;
  ConcordSettings.FrequencyOfHits = 3;
  const std::vector<int32_t> kept = Occurrences(text, "a b");
  ASSERT_EQ(kept.size(), 8u);
  EXPECT_EQ(StartsOf(Run(Request({"a b"}))), (std::vector<int32_t>{kept[2], kept[5]}));

  // Without sentence mode every pair counts, the crossing ones included.
  ConcordSettings.SentenceMode = false;
  ConcordSettings.FrequencyOfHits = 2;
  auto all = Run(Request({"a b"}));
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(HitBytes(text, *all[0]), "a. b");

  // A frequency of hits below 1 keeps every hit.
  ConcordSettings.FrequencyOfHits = 0;
  EXPECT_EQ(Run(Request({"a b"})).size(), 12u);
}

TEST_F(SearchDriverTest, MaximumStopsInTheMiddleOfAFileAndSpansItems)
{
  Load({{"a.txt", "x x x x x"}, {"b.txt", "x x"}});
  EXPECT_EQ(StartsOf(Run(Request({"x"}), 2)), (std::vector<int32_t>{0, 2}));
  auto hits = Run(Request({"x"}), 6);
  ASSERT_EQ(hits.size(), 6u);
  EXPECT_EQ(hits[5]->FileIndex, 1);
  EXPECT_EQ(Run(Request({"x"})).size(), 7u);
}

// --- hit records ---------------------------------------------------------------

TEST_F(SearchDriverTest, WordsAtFileStartAndEnd)
{
  Load({{"w.txt", "alpha beta gamma"}});
  auto first = Run(Request({"alpha"}));
  ASSERT_EQ(first.size(), 1u);
  for (int slot = ctx4L; slot <= ctx1L; ++slot)
    EXPECT_FALSE(first[0]->HasWord(slot)) << slot;
  EXPECT_EQ(first[0]->Word(ctx1R), "beta");
  EXPECT_EQ(first[0]->Word(ctx2R), "gamma");
  EXPECT_FALSE(first[0]->HasWord(ctx3R));
  EXPECT_EQ(first[0]->WordStart(ctx2R), 11);
  EXPECT_EQ(first[0]->WordEnd(ctx2R), 16);

  // The last word of the file keeps its last character although no
  // delimiter follows it.
  auto last = Run(Request({"gamma"}));
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0]->HitStart, 11);
  EXPECT_EQ(last[0]->HitEnd, 16);
  EXPECT_EQ(last[0]->Word(ctx1L), "beta");
  EXPECT_EQ(last[0]->Word(ctx2L), "alpha");
  EXPECT_FALSE(last[0]->HasWord(ctx3L));
  EXPECT_FALSE(last[0]->HasWord(ctx1R));
}

TEST_F(SearchDriverTest, HitTextAndTrimmingPerMode)
{
  const std::string text = "one, alpha beta gamma; two\r\n";
  Load({{"t.txt", text}});
  // The attempt starts on the delimiters after "one"; the record trims them
  // and the delimiter after "gamma".
  auto hits = Run(Request({"alpha @@ gamma"}));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(HitBytes(text, *hits[0]), "alpha beta gamma");
  EXPECT_EQ(hits[0]->Word(0), "alpha beta gamma");
  EXPECT_EQ(hits[0]->Word(ctx1L), "one");
  EXPECT_EQ(hits[0]->Word(ctx1R), "two");
}

TEST_F(SearchDriverTest, LongHitTextKeepsItsLastWord)
{
  // Ten words of six letters join to 69 characters; the last word has 8.
  std::string words;
  for (int i = 0; i < 9; ++i)
    words += std::string(6, char('a' + i)) + " ";
  words += "zzzzzzzz";
  Load({{"l.txt", words + " tail"}});
  auto hits = Run(Request({"aaaaaa @@ zzzzzzzz"}));
  ASSERT_EQ(hits.size(), 1u);
  const std::string expected = words.substr(0, 46) + " ... zzzzzzzz";
  EXPECT_EQ(hits[0]->Word(0), expected);
  EXPECT_EQ(hits[0]->Word(0).size(), 59u);
}

TEST_F(SearchDriverTest, TagModeHitTextLeavesTheTagsOut)
{
  ConcordSettings.WordTag = 1;
  const std::string text = "the_DT dog_NN runs_VBZ fast_RB";
  Load({{"p.txt", text}});
  auto hits = Run(Request({"dog&NN runs"}, TSearchMode::Tag));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0]->Word(0), "dog runs");
  EXPECT_EQ(hits[0]->HitStart, 7);
  EXPECT_EQ(hits[0]->Word(ctx1L), "the");
  EXPECT_EQ(hits[0]->Word(ctx1R), "fast");
}

TEST_F(SearchDriverTest, RegexHitTextFoldsLineBreaksAndCutsLongHits)
{
  const std::string text = "one word\r\nnext two start" + std::string(80, 'x') + "end tail";
  Load({{"r.txt", text}});
  auto hits = Run(Request({"word next", "startx+end"}, TSearchMode::Regex));
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(HitBytes(text, *hits[0]), "word\r\nnext");
  EXPECT_EQ(hits[0]->Word(0), "word next");
  EXPECT_EQ(hits[0]->Word(ctx1L), "one");
  EXPECT_EQ(hits[0]->Word(ctx1R), "two");
  const std::string hit = "start" + std::string(80, 'x') + "end";
  EXPECT_EQ(hits[1]->Word(0), hit.substr(0, 27) + " ... " + hit.substr(hit.size() - 28));
}

TEST_F(SearchDriverTest, RegexGiveUpsEndTheRunWithAWarning)
{
  Load({{"g.txt", "abca abca"}, {"h.txt", "aa" + std::string(10000, ' ') + "ax"}});
  TSearch search;
  int32_t phase = -1;
  std::string error;
  search.Prepare(Request({"ab*ca"}, TSearchMode::Regex), phase, error);
  // A search the engine finishes warns of nothing.
  search.RunSearch(INT32_MAX, [](std::unique_ptr<TConcordItem>) {});
  EXPECT_TRUE(dialogs.Messages.empty());
  // The engine gives up on a window (its failure stack ran out) while the
  // run goes on.
  search.Prepare(Request({"ab*ca"}, TSearchMode::Regex), phase, error);
  search.RunSearch(INT32_MAX, [&](std::unique_ptr<TConcordItem>) { ++search.RegexGiveUps; });
  // Attempts run out of steps: the scan counts the give-ups itself, and the
  // hits of other windows are kept.
  EXPECT_EQ(StartsOf(Run(Request({"(a*){5000}x"}, TSearchMode::Regex))), (std::vector<int32_t>{10002}));
  ASSERT_EQ(dialogs.Messages.size(), 2u);
  for (const auto& message : dialogs.Messages) {
    EXPECT_EQ(message.Kind, mtWarning);
    EXPECT_EQ(message.Text,
              "The regular expression was too complex for parts of the text; some hits may be missing.");
  }
}

// --- headings and contexts -----------------------------------------------------

class HeadingTest : public SearchDriverTest {
protected:
  TSearchRec HeadingRequest(const std::string& pattern, const std::string& heading, uint8_t options = 0)
  {
    TSearchRec r = Request({pattern}, TSearchMode::Text, uint8_t(options | soHeading));
    r.HeadStart = "<h>";
    r.HeadStop = "</h>";
    r.TextStart = "<t>";
    r.TextStop = "</t>";
    r.HeadingPattern = heading;
    return r;
  }
};

TEST_F(HeadingTest, OnlyTheTextOfMatchingHeadingsIsSearched)
{
  const std::string text =
    "alpha <h>Intro</h> <t>alpha one</t>\r\n"
    "<h>Body</h> <t>alpha two</t>\r\n"
    "<h>Intro</h> alpha without a text range\r\n"
    "<h>Intro</h> <t>alpha three</t> alpha after\r\n"
    "<h>Intro</h> <t>alpha four";
  Load({{"h.txt", text}});
  auto hits = Run(HeadingRequest("alpha", "intro"));
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0]->Word(ctx1R), "one");
  EXPECT_EQ(hits[1]->Word(ctx1R), "three");
  // The search for a heading goes on after a heading that does not match.
  EXPECT_EQ(Run(HeadingRequest("alpha", "body")).size(), 1u);
}

TEST_F(HeadingTest, FileEndsAtTheFirstMarkerNotFound)
{
  // The second heading has no stop: the scan of the file ends there.
  Load({{"h.txt", "<h>Intro</h><t>alpha</t> <h>Intro <t>alpha</t>"}});
  EXPECT_EQ(Run(HeadingRequest("alpha", "intro")).size(), 1u);
}

TEST_F(HeadingTest, HitEndingAtTheTextStopKeepsItsLastCharacter)
{
  Load({{"h.txt", "<h>Intro</h><t>one alpha</t>"}});
  auto hits = Run(HeadingRequest("alpha", "intro"));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0]->HitEnd - hits[0]->HitStart, 5);
  EXPECT_EQ(hits[0]->Word(0), "alpha");
}

TEST_F(HeadingTest, MarkerEndingInHashNeedsABlankAndFoldsCaseWhenIgnoringIt)
{
  const std::string text = "chapterx one. {alpha a} CHAPTER one. {alpha b}";
  Load({{"c.txt", text}});
  TSearchRec r = Request({"alpha"}, TSearchMode::Text, soHeading);
  r.HeadStart = "chapter#";
  r.HeadStop = ".";
  r.TextStart = "{";
  r.TextStop = "}";
  r.HeadingPattern = "one";
  auto hits = Run(r);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0]->Word(ctx1R), "b");

  // Case-sensitive: the capitals no longer match the marker, "chapterx"
  // never did.
  r.Options |= soCaseSensitive;
  EXPECT_TRUE(Run(r).empty());
}

TEST_F(HeadingTest, EmptyMarkerIsRefused)
{
  Load({{"h.txt", "<h>Intro</h><t>alpha</t>"}});
  const int formsBefore = dialogs.ProgressFormsCreated;
  for (std::string TSearchRec::*marker :
       {&TSearchRec::HeadStart, &TSearchRec::HeadStop, &TSearchRec::TextStart, &TSearchRec::TextStop}) {
    for (const char* empty : {"", "#"}) {
      TSearchRec r = HeadingRequest("alpha", "intro");
      r.*marker = empty;
      TSearch search;
      int32_t phase = -1;
      std::string error;
      search.Prepare(r, phase, error);
      EXPECT_EQ(phase, 3);
      EXPECT_EQ(error, "Heading markers must not be empty.");
      EXPECT_THROW(search.RunSearch(10, [](std::unique_ptr<TConcordItem>) { FAIL(); }), std::logic_error);
    }
  }
  EXPECT_EQ(dialogs.ProgressFormsCreated, formsBefore);
}

TEST_F(SearchDriverTest, ContextRangesRunFromLeftHitToRightAttempt)
{
  const std::string text = "alpha start alpha beta stop alpha start alpha stop alpha";
  Load({{"c.txt", text}});
  TSearchRec r = Request({"alpha"}, TSearchMode::Text, soContext);
  r.LeftContext = "start";
  r.RightContext = "stop";
  auto hits = Run(r);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0]->Word(ctx1R), "beta");
  EXPECT_EQ(hits[1]->Word(ctx1R), "stop");

  // Without a right context one range runs to the end of the file.
  r.RightContext.clear();
  EXPECT_EQ(StartsOf(Run(r)), (std::vector<int32_t>{12, 28, 40, 51}));
}

TEST_F(HeadingTest, ContextsInsideHeadings)
{
  Load({{"c.txt", "<h>a</h><t>x start alpha alpha</t> alpha <h>a</h><t>alpha start alpha</t>"}});
  TSearchRec r = HeadingRequest("alpha", "a", soContext);
  r.LeftContext = "start";
  auto hits = Run(r);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[2]->Word(ctx1L), "start");
}

// --- preparation, cancel and progress -------------------------------------------

TEST_F(SearchDriverTest, FailedPreparationNamesWhatFailedAndIsNeverRun)
{
  Load({{"r.txt", "alpha"}});
  const int formsBefore = dialogs.ProgressFormsCreated;
  struct Case {
    int32_t phase;
    void (*set)(TSearchRec&);
  };
  const Case cases[] = {
    {4, [](TSearchRec& r) { r.Patterns = {"ok", "("}; r.DisplayPatterns = r.Patterns; }},
    {1, [](TSearchRec& r) { r.Options |= soContext; r.LeftContext = "[a"; }},
    {2, [](TSearchRec& r) { r.Options |= soContext; r.LeftContext = "a"; r.RightContext = "(b"; }},
    {3, [](TSearchRec& r) {
       r.Options |= soHeading;
       r.HeadStart = r.HeadStop = r.TextStart = r.TextStop = "x";
       r.HeadingPattern = "(";
     }},
  };
  for (const Case& c : cases) {
    TSearchRec r = Request({"alpha"}, TSearchMode::Regex);
    c.set(r);
    TSearch search;
    int32_t phase = -1;
    std::string error;
    search.Prepare(r, phase, error);
    EXPECT_EQ(phase, c.phase);
    EXPECT_FALSE(error.empty());
    EXPECT_THROW(search.RunSearch(10, [](std::unique_ptr<TConcordItem>) {}), std::logic_error);
  }
  EXPECT_EQ(dialogs.ProgressFormsCreated, formsBefore);
}

TEST_F(SearchDriverTest, ProgressShowsWhatIsSearchedAndEverythingIsRestored)
{
  ProgramTitle = "Quillmar Pro";
  Load({{"one.txt", "alpha beta"}});
  TSearchRec r = Request({"al*"}, TSearchMode::Text, soSkipEqual | soSentence);
  r.DisplayPatterns = {"AL*"};
  r.SkipChars = "-=";
  ConcordSettings.FrequencyOfHits = 2;
  std::vector<std::string> seen;
  bridge.OnPump([&](int) {
    auto* p = dynamic_cast<DoubleProgressDialog*>(ProgressDialog::Topmost());
    if (!p)
      return;
    seen = {p->Caption(), p->SubProgressLabel(), p->ProgressLabel(), p->ActionLabel(),
            p->SearchInfo(SearchInfoField::Syntax), p->SearchInfo(SearchInfoField::IgnoreCase),
            p->SearchInfo(SearchInfoField::FreqOfHits), p->SearchInfo(SearchInfoField::SentMode),
            p->SearchInfo(SearchInfoField::SkipChars)};
    EXPECT_TRUE(p->PanelVisible(SearchInfoPanel::Padding));
    EXPECT_FALSE(p->PanelVisible(SearchInfoPanel::Heading));
    EXPECT_FALSE(p->PanelVisible(SearchInfoPanel::Context));
    EXPECT_TRUE(p->Visible());
    EXPECT_EQ(bridge.BusyCursorDepth(), 1);
  });
  Run(r);
  bridge.OnPump(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"Searching for [AL*]...", "Scanning one.txt...",
                                            "Progress through entire corpus:", "Searching...", "Text", "ON",
                                            "2", "ON", "-="}));
  EXPECT_EQ(ProgressDialog::Topmost(), nullptr);
  EXPECT_EQ(bridge.BusyCursorDepth(), 0);
  std::vector<std::string> captions;
  for (const std::string& c : sink.Calls)
    if (c.rfind("caption: ", 0) == 0)
      captions.push_back(c);
  EXPECT_EQ(captions, (std::vector<std::string>{"caption: Quillmar Pro - [Searching]", "caption: Quillmar Pro"}));
}

TEST_F(SearchDriverTest, CancelMidFileKeepsTheHitsReportedSoFar)
{
  corpusgen::Options o;
  o.size = 400000;
  o.vocabularySize = 2000;
  o.seed = 7;
  Load({{"big.txt", corpusgen::generateToString(o)}, {"more.txt", "walk walk"}});
  const size_t all = Run(Request({"walk*"})).size();
  ASSERT_GT(all, 100u);

  // The third pump (the first is at the start of the pattern pass, the
  // others every 512 checks) presses Cancel.
  bridge.PressCancelAt(bridge.Pumps() + 3);
  TSearch search;
  int32_t phase = -1;
  std::string error;
  search.Prepare(Request({"walk*"}), phase, error);
  size_t got = 0;
  search.RunSearch(INT32_MAX, [&](std::unique_ptr<TConcordItem> hit) {
    EXPECT_EQ(hit->FileIndex, 0);
    ++got;
  });
  EXPECT_TRUE(search.Stopped);
  EXPECT_GT(got, 0u);
  EXPECT_LT(got, all);
  EXPECT_EQ(ProgressDialog::Topmost(), nullptr);
  EXPECT_EQ(bridge.BusyCursorDepth(), 0);
}

TEST_F(SearchDriverTest, CallbackFailureEndsTheRunAndRestoresTheFrame)
{
  ProgramTitle = "Q";
  Load({{"a.txt", "x x x"}});
  TSearch search;
  int32_t phase = -1;
  std::string error;
  search.Prepare(Request({"x"}), phase, error);
  int calls = 0;
  EXPECT_THROW(search.RunSearch(INT32_MAX,
                                [&](std::unique_ptr<TConcordItem>) {
                                  if (++calls == 2)
                                    throw std::runtime_error("disk full");
                                }),
               std::runtime_error);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ProgressDialog::Topmost(), nullptr);
  EXPECT_EQ(bridge.BusyCursorDepth(), 0);
  EXPECT_EQ(sink.Calls.back(), "caption: Q");
}

}  // namespace

TEST_F(HeadingTest, ATextMarkerWithoutItsPartnerSearchesNothingOfThatHeading)
{
  struct Case {
    const char* what;
    const char* text;
  };
  const Case cases[] = {
    {"stop without start", "<h>Intro</h> alpha one</t> <h>Intro</h> <t>alpha two</t> alpha after"},
    {"start without stop", "<h>Intro</h> <t>alpha one <h>Intro</h> <t>alpha two</t> alpha after"},
  };
  for (const Case& c : cases) {
    Load({{"h.txt", c.text}});
    auto hits = Run(HeadingRequest("alpha", "intro"));
    std::string words;
    for (const auto& h : hits)
      words += std::string(h->Word(ctx1R)) + ";";
    EXPECT_EQ(words, "two;") << c.what;
    UnloadCorpus(frame);
  }
}

TEST_F(SearchDriverTest, EachFileEndMovesTheCorpusGaugeAtOnce)
{
  // Far fewer than a thousand words: only the forced update at each file's
  // end moves the gauges.
  const std::string one = "alpha beta gamma\r\n", two = "delta alpha\r\n";
  Load({{"one.txt", one}, {"two.txt", two}});
  std::vector<std::pair<std::string, int64_t>> seen;
  bridge.OnPump([&](int) {
    if (auto* p = dynamic_cast<DoubleProgressDialog*>(ProgressDialog::Topmost()))
      seen.emplace_back(p->SubProgressLabel(), p->Progress());
  });
  Run(Request({"alpha"}));
  bridge.OnPump(nullptr);
  auto second = std::find_if(seen.begin(), seen.end(),
                             [](const auto& s) { return s.first == "Scanning two.txt..."; });
  ASSERT_NE(second, seen.end());
  EXPECT_EQ(second->second, int64_t(one.size()));
}
