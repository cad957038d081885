#include "search/hit_line.h"

#include "foundation/corpus_list.h"
#include "foundation/hash_strings.h"
#include "foundation/settings.h"
#include "search/concord_items.h"
#include "search/search_rec.h"
#include "search_fixture.h"
#include "support/memory_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using testsupport::SearchFixture;

class HitLineTest : public SearchFixture {
protected:
  // Loads one file and gives the hits of the patterns as a hit list.
  std::unique_ptr<TConcordItems> Hits(const std::string& text, std::vector<std::string> patterns)
  {
    Load({{"f.txt", text}});
    return ListOf(Run(Request(std::move(patterns))));
  }

  static void SetContext(TConcordItems& list, uint8_t type, int32_t size)
  {
    list.Context.Type = type;
    list.Context.Sizes = {0, 0, 0, 1};
    list.Context.Sizes[type] = size;
  }

  static std::string RunText(const std::string& line, const TSVFormatInfo& run)
  {
    return line.substr(size_t(run.Start - 1), size_t(run.Length));
  }

  static const TSVFormatInfo* HitRun(const TSVFormatArray& runs)
  {
    for (const TSVFormatInfo& r : runs)
      if (r.Hilite)
        return &r;
    return nullptr;
  }
};

TEST_F(HitLineTest, CharactersContextIsFramedAndCentredOnTheHit)
{
  auto list = Hits("The quick brown fox jumps over the lazy dog\r\nand runs away.", {"jumps", "dog"});
  SetContext(*list, 0, 10);
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->GetLine(0), "... brown fox jumps over the  ...");
  const TSVFormatArray& runs = list->GetItem(0)->Spans();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].Start, 15);
  EXPECT_EQ(runs[0].Length, 5);
  EXPECT_TRUE(runs[0].Center);
  EXPECT_TRUE(runs[0].Hilite);
  TSVFontInfo hilite;
  FontToSVFontInfo(ConcordSettings.HiliteFont, hilite);
  EXPECT_EQ(runs[0].Font, hilite);

  // CR LF is one blank.
  const std::string line = list->GetLine(1);
  EXPECT_EQ(line, "...  the lazy dog and runs ...");
  EXPECT_EQ(RunText(line, list->GetItem(1)->Spans()[0]), "dog");
}

TEST_F(HitLineTest, ZeroContextIsTheHitAlone)
{
  auto list = Hits("alpha beta gamma", {"alpha", "beta"});
  SetContext(*list, 1, 0);
  EXPECT_EQ(list->GetLine(1), "beta");
  EXPECT_EQ(list->GetItem(1)->Spans()[0].Start, 1);
  EXPECT_EQ(list->GetItem(1)->Spans()[0].Length, 4);
  // A hit at the start of the file: its left part starts there too.
  SetContext(*list, 1, 3);
  EXPECT_EQ(list->GetLine(0), "... alpha beta gamma ...");
}

TEST_F(HitLineTest, LinesAndSentenceContextsAreNeitherFramedNorCentred)
{
  auto list = Hits("First line.\r\nSecond one. The fox jumps. Last\r\nThird line.", {"jumps"});
  SetContext(*list, 2, 1);
  EXPECT_EQ(list->GetLine(0), "Second one. The fox jumps. Last ");
  const TSVFormatInfo* run = HitRun(list->GetItem(0)->Spans());
  ASSERT_NE(run, nullptr);
  EXPECT_FALSE(run->Center);
  SetContext(*list, 3, 1);
  EXPECT_EQ(list->GetLine(0), "The fox jumps.");
  EXPECT_FALSE(HitRun(list->GetItem(0)->Spans())->Center);
  EXPECT_EQ(list->GetHitText(0), "jumps");
}

TEST_F(HitLineTest, LongHitIsCutAndLaterRunsFollowTheCut)
{
  std::string middle;
  for (int i = 0; i < 12; ++i)
    middle += "word" + std::to_string(i) + " ";
  const std::string hit = "alpha " + middle + "omega";
  auto list = Hits("before left " + hit + " right after", {"alpha @@ omega"});
  ASSERT_EQ(list->Count(), 1);
  TConcordItem& item = *list->GetItem(0);
  ASSERT_EQ(item.HitEnd - item.HitStart, int32_t(hit.size()));
  SetContext(*list, 0, 12);

  // Mark the words around the hit: 1L with rank 0, 1R with rank 2, 2L unranked.
  list->GenerateCollocation(ctx2L, ctx2R);
  list->CollocTables[ctx2L]->SetTopLimit(5);
  list->HighlightCollocates = true;
  list->CollocColour = 0x0000FF;
  item.CollocRanks[ctx1L] = 0;
  item.CollocRanks[ctx1R] = 2;

  const std::string line = list->GetLine(0);
  const std::string cut = hit.substr(0, 27) + " ... " + hit.substr(hit.size() - 28);
  EXPECT_EQ(line, "... before left " + cut + " right after ...");
  const TSVFormatArray& runs = item.Spans();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(RunText(line, runs[0]), "left");
  EXPECT_FALSE(runs[0].Hilite);
  EXPECT_FALSE(runs[0].Center);
  EXPECT_EQ(runs[0].Font.Color, 0x0000FF);
  EXPECT_EQ(runs[1].Length, 60);
  EXPECT_EQ(RunText(line, runs[1]), cut);
  EXPECT_EQ(RunText(line, runs[2]), "right");
  // Rank 2 of 5: 255 - round(2 * (255 - 25) / 5) = 163.
  EXPECT_EQ(runs[2].Font.Color, 163);

  // Tables that are gone mean no marking.
  list->CollocTables[ctx1R].reset();
  list->GetLine(0);
  EXPECT_EQ(item.Spans().size(), 1u);
}

TEST_F(HitLineTest, SuppressedClassesAndConcealedRuns)
{
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  auto list = Hits("<p>alpha <b>beta</b> gamma</p>", {"beta"});
  SetContext(*list, 1, 1);
  list->SuppressTags = true;
  EXPECT_EQ(list->GetLine(0), "... alpha beta gamma ...");
  list->SuppressTags = false;
  list->SuppressWords = true;
  // The context ends after the character that ended its word: the "<" of "</p>".
  EXPECT_EQ(list->GetLine(0), "...  <b></b> < ...");
  list->SuppressWords = false;

  list->ConcealHits = true;
  EXPECT_EQ(list->GetHitText(0), "----");
  EXPECT_EQ(list->GetLine(0).find("beta"), std::string::npos);
}

TEST_F(HitLineTest, LineThatCannotBeBuiltReadsOutOfMemory)
{
  auto list = Hits("alpha beta", {"beta"});
  SetContext(*list, 0, 10);
  list->GetLine(0);
  ASSERT_FALSE(list->GetItem(0)->Spans().empty());
  list->GetItem(0)->FileIndex = 7;
  EXPECT_EQ(list->GetLine(0), "<out of memory>");
  EXPECT_TRUE(list->GetItem(0)->Spans().empty());
  EXPECT_EQ(list->GetHitText(0), "<out of memory>");
}

TEST_F(HitLineTest, ContextPaneKeepsLineEndsAndMarksTheHit)
{
  BigContextSize = 1;
  std::string text;
  for (int i = 0; i < 60; ++i)
    text += "line " + std::to_string(i) + " of the text\r\n";
  text += "the target word\r\n" + text;
  auto list = Hits(text, {"target"});
  ASSERT_EQ(list->Count(), 1);
  const TConcordItem& item = *list->GetItem(0);
  TSVFormatArray runs;
  const std::string pane = ContextText(*CorpusList[0].Reader, item.HitStart, item.HitEnd, runs,
                                       VisibleClassMask(false, false, false));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(RunText(pane, runs[0]), "target");
  EXPECT_FALSE(runs[0].Center);
  EXPECT_NE(pane.find("\r\n"), std::string::npos);
  // 512 bytes each side (and the character whose end reaches that limit).
  EXPECT_EQ(pane, text.substr(size_t(item.HitStart - 513), size_t(item.HitEnd - item.HitStart + 1025)));
}

}  // namespace

namespace {

// Bytes 0 to 32 as delimiters.
TCharSet ControlDelimiters()
{
  TCharSet delimiters;
  for (int c = 0; c <= 32; ++c)
    delimiters.set(size_t(c));
  return delimiters;
}

// Whether c is a word character that begins no tag for the reader's settings:
// a word that a bounded range cuts goes on over such bytes.
bool BeginsNoTag(const TBufStream& reader, unsigned char c)
{
  return !reader.Delimiters().test(c) && !(reader.TagStart() && c == uint8_t(reader.TagStart())) &&
         !(reader.WordTagStyle() == 1 && c == uint8_t(reader.WordTagDelimiter())) &&
         !(reader.WordTagStyle() == 2 && c == '<');
}

// The context words of a hit as a fresh classification of the whole bounded
// range on each side finds them, read from the classes one by one.
struct TWordsSeen {
  std::vector<std::string> texts;
  std::vector<std::pair<int32_t, int32_t>> spans;
  bool operator==(const TWordsSeen&) const = default;
};

void PrintTo(const TWordsSeen& seen, std::ostream* os)
{
  for (size_t i = 0; i < seen.texts.size(); ++i)
    *os << "[" << seen.texts[i].substr(0, 20) << "(" << seen.texts[i].size() << ") " << seen.spans[i].first << ".."
        << seen.spans[i].second << "] ";
}

TWordsSeen WordsOfItem(const TConcordItem& item)
{
  TWordsSeen seen;
  for (int s = 1; s < TConcordItem::SlotCount; ++s) {
    if (!item.HasWord(s))
      continue;
    seen.texts.emplace_back(item.Word(s));
    seen.spans.emplace_back(item.WordStart(s), item.WordEnd(s));
  }
  return seen;
}

// Runs of class 4 in the classes of the whole range, stepping from pos
// towards the hit's left (step -1) or right (step 1), up to four.
void RunsOfWords(TBufStream& reader, const std::string& text, int32_t pos, int step, TWordsSeen& seen)
{
  const int32_t lo = reader.RangeStart();
  const int32_t hi = reader.RangeEnd();
  auto word = [&](int32_t at) { return reader.ClassAt(at) == ccWord; };
  for (int n = 0; n < 4; ++n) {
    int32_t start = pos;
    int32_t end = pos;
    if (step < 0) {
      while (end > lo && !word(end - 1))
        --end;
      if (end == lo)
        break;
      for (start = end - 1; start > lo && word(start - 1);)
        --start;
      pos = start;
      // A word the range cuts is read whole: back over word characters that
      // begin no tag.
      if (start == lo)
        while (start > 0 && BeginsNoTag(reader, static_cast<unsigned char>(text[size_t(start - 1)])))
          --start;
    } else {
      while (start < hi && !word(start))
        ++start;
      if (start == hi)
        break;
      for (end = start + 1; end < hi && word(end);)
        ++end;
      pos = end;
      if (end == hi) {
        while (end < int32_t(text.size()) && BeginsNoTag(reader, static_cast<unsigned char>(text[size_t(end)])))
          ++end;
        pos = hi;
      }
    }
    const std::string w = text.substr(size_t(start), size_t(std::min(end - start, 255)));
    const auto at = step < 0 ? 0 : seen.texts.size();
    seen.texts.insert(seen.texts.begin() + std::ptrdiff_t(at), w);
    seen.spans.insert(seen.spans.begin() + std::ptrdiff_t(at), {start, end});
  }
}

TWordsSeen WordsByWholeRanges(TBufStream& reader, const std::string& text, int32_t hitStart, int32_t hitEnd)
{
  const int32_t size = reader.StreamSize();
  TWordsSeen seen;
  reader.ValidateBuffer(std::max(0, hitStart - 255), std::min(hitStart + 1, size));
  RunsOfWords(reader, text, hitStart, -1, seen);
  TWordsSeen right;
  reader.ValidateBuffer(std::max(0, hitEnd - 64), std::min(hitEnd + 255, size));
  RunsOfWords(reader, text, hitEnd, 1, right);
  seen.texts.insert(seen.texts.end(), right.texts.begin(), right.texts.end());
  seen.spans.insert(seen.spans.end(), right.spans.begin(), right.spans.end());
  return seen;
}

// Random text with markup tags, both styles of part-of-speech tags, long
// words and every line end; hits anywhere.
TEST(HitWordsTest, NearClassificationAgreesWithTheWholeRanges)
{
  std::mt19937 rng(5);
  const std::string pieces[] = {"ab", "c", "word", "x_NN", std::string(300, 'z'), "<tag a b>", "<w VB>", " ", " ",
                                "\r\n", "\n", "\r", ".", ",", "longlonglonglonglonglonglonglonglonglong"};
  for (int round = 0; round < 12; ++round) {
    std::string text;
    const size_t size = 2000 + rng() % 3000;
    while (text.size() < size)
      text += pieces[rng() % std::size(pieces)];
    testsupport::MemoryStream stream(text);
    TCharSet delimiters = ControlDelimiters();
    for (unsigned char c : std::string(".,<>"))
      delimiters.set(c);
    TBufStream reader(&stream, delimiters);
    TBufStream reference(&stream, delimiters);
    const std::vector<std::string> starts = {"<w "};
    for (TBufStream* r : {&reader, &reference}) {
      r->SetTagStart(round % 3 == 0 ? '\0' : '<');
      r->SetTagStop('>');
      r->SetWordTagStyle(uint8_t(round % 3));
      r->SetWordTagDelimiter('_');
      r->SetWordTagStarts(&starts);
      r->SetWordTagStop('>');
    }
    for (int hit = 0; hit < 200; ++hit) {
      const auto start = int32_t(rng() % text.size());
      const auto end = std::min(int32_t(text.size()), start + int32_t(rng() % 12));
      TConcordItem item;
      item.HitStart = start;
      item.HitEnd = end;
      FillHitWords(reader, start, end, item, TSearchMode::Text);
      EXPECT_EQ(WordsOfItem(item), WordsByWholeRanges(reference, text, start, end))
          << "round " << round << " hit " << start << ".." << end;
    }
  }
}

// item made the record of a Text-mode hit in text whose part-of-speech tags
// (style 1) follow "_".
void MakeTextHitRecord(const std::string& text, uint8_t style, int32_t hitStart, int32_t hitEnd, TConcordItem& item)
{
  testsupport::MemoryStream stream(text);
  TBufStream reader(&stream, ControlDelimiters());
  reader.SetWordTagStyle(style);
  reader.SetWordTagDelimiter('_');
  item.HitStart = hitStart;
  item.HitEnd = hitEnd;
  FillHitWords(reader, hitStart, hitEnd, item, TSearchMode::Text);
}

// A left word that begins more than 255 bytes before the hit is read whole,
// in plain text and next to part-of-speech tags.
TEST(HitWordsTest, ALeftWordBeyondTheLeftRangeIsWhole)
{
  const std::string longWord = "a" + std::string(299, 'b');
  for (const std::string& before : {std::string("x "), std::string(9000, 'c') + " "}) {
    for (uint8_t style : {0, 1}) {
      const std::string text = before + (style ? "q_NN " : "") + longWord + " hit";
      const auto hitStart = int32_t(text.size() - 3);
      TConcordItem item;
      MakeTextHitRecord(text, style, hitStart, hitStart + 3, item);
      const auto wordStart = int32_t(text.size() - 4 - longWord.size());
      ASSERT_TRUE(item.HasWord(ctx1L)) << style;
      EXPECT_EQ(item.Word(ctx1L), longWord.substr(0, 255)) << before.size() << " " << int(style);
      EXPECT_EQ(item.WordStart(ctx1L), wordStart);
      EXPECT_EQ(item.WordEnd(ctx1L), hitStart - 1);
      EXPECT_EQ(item.Word(ctx0), "hit");
    }
  }
}

// A right word that goes on past 255 bytes after the hit is read whole too.
TEST(HitWordsTest, ARightWordBeyondTheRightRangeIsWhole)
{
  const std::string longWord = "a" + std::string(299, 'b');
  for (const std::string& gap : {std::string(" "), std::string(" ") + std::string(200, 'c') + " "}) {
    for (uint8_t style : {0, 1}) {
      const std::string text = "hit" + gap + longWord + (style ? "_NN q" : " q") + std::string(9000, 'd');
      TConcordItem item;
      MakeTextHitRecord(text, style, 0, 3, item);
      const int slot = gap.size() > 1 ? ctx2R : ctx1R;
      const auto wordStart = int32_t(3 + gap.size());
      ASSERT_TRUE(item.HasWord(slot)) << style;
      EXPECT_EQ(item.Word(slot), longWord.substr(0, 255)) << gap.size() << " " << int(style);
      EXPECT_EQ(item.WordStart(slot), wordStart);
      EXPECT_EQ(item.WordEnd(slot), wordStart + int32_t(longWord.size()));
    }
  }
}

// The record of a hit as it was always made: each side's whole range
// classified afresh, words read from the classes one by one (and a left word
// that the range cuts read whole, over word characters that begin no tag).
void FreshHitWords(TBufStream& reader, const std::string& text, int32_t hitStart, int32_t hitEnd,
                   TConcordItem& item, TSearchMode mode)
{
  const auto fileSize = int32_t(text.size());
  std::array<TConcordItem::TWordEntry, TConcordItem::SlotCount> words;
  std::array<std::string, TConcordItem::SlotCount> texts;
  auto keep = [&](int slot, std::string_view w, int32_t start, int32_t end) {
    texts[size_t(slot)].assign(w);
    words[size_t(slot)] = {true, texts[size_t(slot)], start, end};
  };
  const int32_t lo = std::max(0, hitStart - 255);
  reader.ValidateBuffer(lo, std::min(hitStart + 1, fileSize));
  reader.Seek(hitStart);
  for (int slot = ctx1L; slot >= ctx4L; --slot) {
    const std::string_view w = reader.PrevWord();
    if (w.empty())
      break;
    int32_t start = reader.WordStart();
    if (start == lo)
      while (start > 0 && BeginsNoTag(reader, static_cast<unsigned char>(text[size_t(start - 1)])))
        --start;
    keep(slot, text.substr(size_t(start), size_t(std::min(reader.WordEnd() - start, 255))), start,
         reader.WordEnd());
  }
  reader.Seek(hitStart);
  TCharClass firstClass;
  reader.NextCharClassified(firstClass);
  reader.SetRange(hitStart, hitEnd);
  reader.SetTagState(firstClass);
  std::string hit;
  if (mode != TSearchMode::Regex) {
    size_t fullLength = 0;
    std::string last;
    for (bool first = true;; first = false) {
      const std::string_view w = reader.NextWord();
      if (w.empty())
        break;
      fullLength += w.size() + (first ? 0 : 1);
      if (hit.size() < 60) {
        if (!first)
          hit.push_back(' ');
        hit.append(w);
        hit.resize(std::min<size_t>(hit.size(), 60));
      }
      last.assign(w);
    }
    if (fullLength > 60 && last.size() < 54)
      hit = hit.substr(0, 54 - last.size()) + " ... " + last;
  } else {
    auto fold = [&](char c) {
      if (c == '\n') {
        if (hit.empty() || hit.back() == '\r')
          return;
        c = '\r';
      } else if (c == '\r' && !hit.empty() && hit.back() == '\r') {
        return;
      }
      hit.push_back(c);
    };
    if (hitEnd - hitStart < 61) {
      for (int32_t p = hitStart; p < hitEnd; ++p)
        fold(text[size_t(p)]);
    } else {
      for (int32_t p = hitStart; hit.size() < 27 && p < hitEnd; ++p)
        fold(text[size_t(p)]);
      hit += " ... ";
      for (int32_t p = hitEnd - 28; hit.size() < 60 && p < hitEnd; ++p)
        fold(text[size_t(p)]);
    }
    std::replace(hit.begin(), hit.end(), '\r', ' ');
  }
  keep(ctx0, hit, 0, 0);
  const int32_t hi = std::min(hitEnd + 255, fileSize);
  reader.ValidateBuffer(std::max(0, hitEnd - 64), hi);
  reader.Seek(hitEnd);
  for (int slot = ctx1R; slot <= ctx4R; ++slot) {
    const std::string_view w = reader.NextWord();
    if (w.empty())
      break;
    int32_t end = reader.WordEnd();
    if (end == hi)
      while (end < fileSize && BeginsNoTag(reader, static_cast<unsigned char>(text[size_t(end)])))
        ++end;
    keep(slot, text.substr(size_t(reader.WordStart()), size_t(std::min(end - reader.WordStart(), 255))),
         reader.WordStart(), end);
  }
  item.SetWords(words);
}

std::string RecordOf(const TConcordItem& item)
{
  std::string out;
  for (int s = 0; s < TConcordItem::SlotCount; ++s) {
    if (item.HasWord(s))
      out += std::to_string(s) + ":" + std::string(item.Word(s)) + "@" + std::to_string(item.WordStart(s)) + ".." +
             std::to_string(item.WordEnd(s)) + " ";
  }
  return out;
}

// Hit records read in place, from a classification begun at a later point,
// or from bytes the scanner's window lends, against the fresh classification
// of every hit: random text with every line-end style, NUL bytes, bytes of
// code pages 1252 and 932, markup tags, both styles of part-of-speech tags,
// long words, hits of every mode anywhere, small windows so that hits lie
// across window edges.
TEST(HitWordsTest, RecordsAgreeWithAFreshClassificationOfEveryHit)
{
  std::mt19937 rng(11);
  const std::string endings[] = {"\r\n", "\n", "\r"};
  for (int round = 0; round < 36; ++round) {
    const std::string pieces[] = {"ab", "c", "word", "x_NN", "y_VB", std::string(300, 'z'),
                                  std::string(1, '\0'), "<tag a b>", "<w VB>", " ", " ", "  ",
                                  endings[round % 3], endings[rng() % 3], ".", ",", "caf\xe9",
                                  "\x82\xa0\x82\xa2", "\x93\xfa\x96\x7b", "longlonglonglonglonglonglonglonglonglong"};
    std::string text;
    const size_t size = 3000 + rng() % 9000;
    while (text.size() < size)
      text += pieces[rng() % std::size(pieces)];
    testsupport::MemoryStream stream(text);
    TCharSet delimiters = ControlDelimiters();
    for (unsigned char c : std::string(round % 2 ? ".,<>" : ".,"))
      delimiters.set(c);
    if (round % 4 == 1)
      delimiters.set('_');  // a tag delimiter that is a delimiter too
    const int32_t windows[] = {TBufStream::BufferSize, 700, 1500};
    TBufStream reader(&stream, delimiters, windows[round % 3]);
    TBufStream scanner(&stream, delimiters, windows[(round / 3) % 3]);
    TBufStream fresh(&stream, delimiters);
    if (round % 4 != 3)
      reader.SetDonor(&scanner);
    const std::vector<std::string> starts = {"<w "};
    const auto style = uint8_t((round / 2) % 3);
    for (TBufStream* r : {&reader, &scanner, &fresh}) {
      r->SetTagStart(round % 5 == 0 ? '\0' : '<');
      r->SetTagStop('>');
      r->SetWordTagStyle(style);
      r->SetWordTagDelimiter('_');
      r->SetWordTagStarts(&starts);
      r->SetWordTagStop('>');
    }
    for (int hit = 0; hit < 150; ++hit) {
      const auto mode = TSearchMode(rng() % 3);
      const auto start = int32_t(rng() % (text.size() + 1));
      const int32_t length = rng() % 8 == 0 ? int32_t(rng() % 900) : int32_t(rng() % 16);
      const auto end = std::min(int32_t(text.size()), start + length);
      scanner.Seek(std::max(0, start + int32_t(rng() % 1200) - 600));
      TConcordItem item, expected;
      item.HitStart = expected.HitStart = start;
      item.HitEnd = expected.HitEnd = end;
      FillHitWords(reader, start, end, item, mode);
      FreshHitWords(fresh, text, start, end, expected, mode);
      ASSERT_EQ(RecordOf(item), RecordOf(expected))
          << "round " << round << " mode " << int(mode) << " hit " << start << ".." << end;
    }
  }
}

}  // namespace
