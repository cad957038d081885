// The scan jumps from word to word that can begin a hit instead of trying
// every word. These tests run each search twice: once as it is, and once with
// a skipping character that never occurs in the text, which turns the jumps
// off without changing what matches. Every hit record must be the same.
#include "search/search_driver.h"

#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "search/concord_items.h"
#include "search/search_context.h"
#include "search_fixture.h"

#include "corpus_generator.h"

#include <gtest/gtest.h>

#include <random>

#include <string>
#include <tuple>
#include <vector>

namespace {

using testsupport::SearchFixture;

struct Record {
  int32_t file, start, end;
  std::vector<std::string> words;
  bool operator==(const Record&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Record& r)
{
  out << r.file << ":" << r.start << "-" << r.end;
  for (const std::string& w : r.words)
    out << " [" << w << "]";
  return out;
}

class ScanJumpTest : public SearchFixture {
protected:
  std::vector<Record> Records(const TSearchRec& original, bool jumps)
  {
    TSearchRec request(original);  // the strings and options
    request.Patterns = original.Patterns;
    request.DisplayPatterns = original.DisplayPatterns;
    if (!jumps) {
      request.Options |= soSkipEqual;
      request.SkipChars = "\x7F";
    }
    std::vector<Record> out;
    for (const auto& h : Run(request)) {
      Record r{h->FileIndex, h->HitStart, h->HitEnd, {}};
      for (int s = 0; s < TConcordItem::SlotCount; ++s)
        r.words.push_back(h->HasWord(s) ? std::string(h->Word(s)) : "<absent>");
      out.push_back(r);
    }
    return out;
  }

  // The raw hits of one pattern over one file as the matcher gives them:
  // attempt start, end, and whether a delimiter ended the last word.
  std::vector<std::tuple<int32_t, int32_t, bool>> RawHits(const std::string& pattern, TSearchMode mode,
                                                          int32_t file, bool jumps,
                                                          int32_t window = TBufStream::BufferSize)
  {
    struct Owner : TSearchOwner {
      void ProcessMessages() override {}
      bool CancelPressed() override { return false; }
      void UpdateProgress(int32_t, bool) override {}
    } owner;
    TCharSet skip;
    if (!jumps)
      skip.set(0x7F);
    TSearchContext context(LocaleLowerStr(pattern), false, "", skip, mode);
    context.Owner = &owner;
    TBufStream reader(CorpusList[file].Source.get(), CorpusList[file].Reader->Delimiters(), window);
    ConfigureBufStream(reader);
    std::vector<std::tuple<int32_t, int32_t, bool>> out;
    while (context.FindNextHit(reader, true))
      out.emplace_back(context.HitStart, context.HitEnd, context.HitEndAfterDelimiter);
    return out;
  }

  void ExpectSameRawHits(const std::string& pattern, TSearchMode mode)
  {
    // Small windows make words, tags and the jumps' look-behind straddle
    // every refill.
    for (int32_t f = 0; f < CorpusList.Count(); ++f) {
      const auto walked = RawHits(pattern, mode, f, false);
      EXPECT_EQ(RawHits(pattern, mode, f, true), walked) << pattern << " " << f;
      EXPECT_EQ(RawHits(pattern, mode, f, true, 48), walked) << pattern << " " << f << " window 48";
    }
  }

  void ExpectSameHits(const TSearchRec& request)
  {
    ExpectSameRawHits(request.Patterns[0], request.Mode);
    const std::vector<Record> jumped = Records(request, true);
    const std::vector<Record> walked = Records(request, false);
    EXPECT_FALSE(walked.empty()) << request.Patterns[0];
    EXPECT_EQ(jumped, walked) << request.Patterns[0];
  }

  static corpusgen::Options Options(uint64_t seed, int posStyle, bool markup)
  {
    corpusgen::Options o;
    o.size = 120000;
    o.seed = seed;
    o.vocabularySize = 300;
    o.posStyle = posStyle;
    o.markupTags = markup;
    o.tagEveryWords = 6;
    o.lineEnd = seed % 2 ? corpusgen::LineEnd::CrLf : corpusgen::LineEnd::Lf;
    return o;
  }
  static std::string Corpus(uint64_t seed, int posStyle, bool markup)
  {
    return corpusgen::generateToString(Options(seed, posStyle, markup));
  }
  // A frequent word of the corpus of a seed.
  static std::string Frequent(uint64_t seed, size_t rank) { return corpusgen::vocabulary(Options(seed, 0, false))[rank]; }
};

TEST_F(ScanJumpTest, TextModeFindsTheSameHitsAsTheWordByWordScan)
{
  ConcordSettings.SentenceMode = true;
  ConcordSettings.FrequencyOfHits = 3;
  Load({{"a.txt", Corpus(1, 0, false)}, {"b.txt", Corpus(2, 0, true)}, {"c.txt", "walk"}});
  const std::string a = Frequent(1, 0);
  const std::string b = Frequent(1, 1);
  for (const std::string& pattern : {std::string("walk*"), std::string("walked"), a, std::string("w?lk%"),
                                     b + " @ " + a, "Walk* @@ " + a, a.substr(0, 1) + "*" + a.substr(a.size() - 1)})
    ExpectSameHits(Request({pattern}));
  TSearchRec sensitive = Request({"Walk*"}, TSearchMode::Text, soCaseSensitive);
  ExpectSameHits(sensitive);
}

TEST_F(ScanJumpTest, TagModeFindsTheSameHitsAsTheTokenByTokenScan)
{
  ConcordSettings.WordTag = 1;
  ConcordSettings.FrequencyOfHits = 2;
  ConcordSettings.SentenceMode = true;
  Load({{"a.txt", Corpus(3, 1, false)}, {"b.txt", Corpus(4, 1, true)}, {"c.txt", "x walked_VBD"}});
  for (const std::string& pattern : {std::string("walked&VBD"), std::string("walk*&*"), std::string("walk*"),
                                     Frequent(3, 0) + " " + Frequent(3, 1), std::string("walk*&VB*")})
    ExpectSameHits(Request({pattern}, TSearchMode::Tag));
}

TEST_F(ScanJumpTest, TagModeWithOutsideTagsWalksTheTokens)
{
  ConcordSettings.WordTag = 2;
  ConcordSettings.wTagStarts = {"<w "};
  ConcordSettings.wTagStop = '>';
  Load({{"a.txt", Corpus(5, 2, true)}});
  for (const char* pattern : {"walked&VBD", "walk*"})
    ExpectSameHits(Request({pattern}, TSearchMode::Tag));
}

// Double-byte text (932): words of kana and kanji, many with a trail byte
// that equals a delimiter, "@" or "_", full-width letters (which have case)
// and ASCII words. A jump never starts an attempt on a trail byte nor takes
// a trail byte for the delimiter before a word.
TEST_F(ScanJumpTest, DoubleByteTextFindsTheSameHitsAsTheWordByWordScan)
{
  SetTextLanguage(0x411);
  BuildCharTables();
  std::mt19937 random(11);
  const std::vector<std::string> chars = {"\x95\x5C", "\x83\x5C", "\x81\x5B", "\x89\x40", "\x83\x5F",
                                          "\x8E\xA6", "\x83\x41", "\x83\x61", "\x82\x60", "\x82\x81", "a", "B"};
  // ソ表, ア表 and ーア: 表 after a trail byte of 5C and of 41, ア after one
  // of 5B.
  std::vector<std::string> vocabulary = {"\x83\x5C\x95\x5C", "\x83\x41\x95\x5C", "\x81\x5B\x83\x41"};
  for (int i = 3; i < 40; ++i) {
    std::string w;
    for (uint32_t n = 1 + random() % 3; n > 0; --n)
      w += chars[random() % chars.size()];
    vocabulary.push_back(w);
  }
  const std::vector<std::string> gaps = {" ", "  ", "\\", ", ", "\r\n"};
  std::string plain, tagged;
  while (plain.size() < 60000) {
    const std::string& w = vocabulary[(random() % 40) * (random() % 40) / 40];
    const std::string& gap = gaps[random() % gaps.size()];
    plain += w + gap;
    tagged += w + "_" + (random() % 2 ? "NN" : "\x96\xBC") + gap;  // 名 = 96 BC
  }
  Load({{"a.txt", plain}, {"b.txt", tagged}});
  for (const std::string& pattern : {vocabulary[0], vocabulary[1] + "*", vocabulary[2].substr(0, 2) + "?*",
                                     vocabulary[3] + " @ " + vocabulary[0], std::string("\x95\x5C*"),
                                     std::string("a*"), std::string("\x82\x81*"), std::string("\x83\x41*")})
    ExpectSameHits(Request({pattern}));
  ExpectSameHits(Request({vocabulary[1] + "*"}, TSearchMode::Text, soCaseSensitive));
  ConcordSettings.WordTag = 1;
  ConcordSettings.TagStart = 0;  // without markup tags single-byte text would jump by bytes
  for (const std::string& pattern : {vocabulary[0] + "&NN", std::string("\x95\x5C*&*"), std::string("\x83\x41*&*")})
    ExpectSameHits(Request({pattern}, TSearchMode::Tag));
}

}  // namespace
