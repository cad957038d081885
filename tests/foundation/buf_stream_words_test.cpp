// Words read in bulk against NextWord one word at a time.
#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/program_state.h"

#include "corpus_files.h"
#include "support/memory_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct ReadWord {
  std::string text;  // the first 255 bytes, as NextWord keeps them
  size_t length;
  bool operator==(const ReadWord& o) const { return text == o.text && length == o.length; }
};

// Random text: words of every length up to 300 (mostly short; upper case and
// high bytes), every line-end style, NUL bytes, other delimiters and the
// characters that begin or end tags.
std::string randomText(std::mt19937& random, size_t size)
{
  static const std::vector<std::string> gaps = {" ", "  ", "\r\n", "\n", "\r", "\n\r", std::string(1, '\0'),
                                                "\t", ", ", ". ", "<", ">", "_", "[[", "]", "#", " <b> ",
                                                "</p>\r\n", "_NN ", "[[x]"};
  std::string text;
  while (text.size() < size) {
    const uint32_t kind = random() % 100;
    const size_t length = kind == 0 ? 60 + random() % 240 : kind < 10 ? 9 + random() % 20 : 1 + random() % 8;
    for (size_t i = 0; i < length; ++i) {
      const uint32_t c = random() % 10;
      text.push_back(c < 6 ? char('a' + random() % 26) : c < 8 ? char('A' + random() % 26) : char(0xC0 + random() % 64));
    }
    text += gaps[random() % gaps.size()];
  }
  return text;
}

std::vector<ReadWord> oneByOne(TBufStream& reader)
{
  std::vector<ReadWord> out;
  for (std::string_view w = reader.NextWord(); !w.empty(); w = reader.NextWord())
    out.push_back({std::string(w), size_t(reader.WordEnd() - reader.WordStart())});
  return out;
}

// As the corpus count reads: in bulk where it can, NextWord where it cannot.
std::vector<ReadWord> inBulk(TBufStream& reader, int32_t max, int64_t& bulkWords)
{
  std::vector<ReadWord> out;
  std::vector<std::string_view> found(size_t(max) + 1);
  for (;;) {
    const int32_t n = reader.NextPlainWords(found.data(), max);
    bulkWords += n;
    for (int32_t k = 0; k < n; ++k)
      out.push_back({std::string(found[size_t(k)].substr(0, 255)), found[size_t(k)].size()});
    if (n > 0)
      continue;
    const std::string_view w = reader.NextWord();
    if (w.empty())
      break;
    out.push_back({std::string(w), size_t(reader.WordEnd() - reader.WordStart())});
  }
  return out;
}

}  // namespace

TEST(BufStreamWords, BulkWordsAreTheWordsOfNextWordUnderEveryTagStyleAndWindow)
{
  struct Tags {
    char start, stop;
    uint8_t style;
    char delimiter;
    std::vector<std::string> starts;
    char wordTagStop;
  };
  const std::vector<Tags> tagSets = {
      {0, 0, 0, 0, {}, '>'},              // no tags
      {'<', '>', 0, 0, {}, '>'},          // markup tags
      {'<', '#', 1, '_', {}, '>'},        // stop at a blank; embedded part-of-speech tags
      {'<', '>', 2, '_', {"[[", "_"}, ']'},  // part-of-speech tags between a start string and a stop
  };
  std::mt19937 random(7);
  int64_t bulkWords = 0;
  int64_t allWords = 0;
  for (int round = 0; round < 6; ++round) {
    testsupport::MemoryStream stream(randomText(random, 30000 + random() % 5000));
    for (const Tags& t : tagSets) {
      for (int32_t window : {8192, 300, 64, 7}) {
        InitProgramState();
        corpusgen::useDefaultSearchSettings();
        ConcordSettings.TagStart = t.start;
        ConcordSettings.TagStop = t.stop;
        ConcordSettings.WordTag = t.style;
        ConcordSettings.wTagDelimiter = t.delimiter;
        ConcordSettings.wTagStarts = t.starts;
        ConcordSettings.wTagStop = t.wordTagStop;
        TCharSet delimiters;
        BuildDelimiterSet(delimiters);
        TBufStream a(&stream, delimiters, window), b(&stream, delimiters, window);
        ConfigureBufStream(a);
        ConfigureBufStream(b);
        const std::vector<ReadWord> expected = oneByOne(a);
        const std::vector<ReadWord> got = inBulk(b, 1 + int32_t(random() % 700), bulkWords);
        ASSERT_EQ(got.size(), expected.size()) << "round " << round << ", window " << window << ", style "
                                               << int(t.style);
        for (size_t i = 0; i < got.size(); ++i)
          ASSERT_TRUE(got[i] == expected[i]) << "word " << i << ": " << got[i].text << " / " << expected[i].text;
        EXPECT_EQ(b.GetPosition(), a.GetPosition());
        allWords += int64_t(got.size());
      }
    }
  }
  EXPECT_GT(bulkWords * 4, allWords);  // a good share came in bulk
  InitProgramState();
}
