// Searches and counts of generated double-byte corpora (932, 936, 949, 950)
// against a reference that decodes the text first and applies the word rule
// to characters: a double-byte character is one unit of the letter class,
// whatever its trail byte; a single-byte character delimits when its byte is
// in the delimiter set. A cp1252 corpus from the same generator is the
// control. Words, wildcards, phrases, Tag mode and regular expressions are
// compared by their hits' byte offsets; the word list and the collocates by
// their words and counts.
#include "forms/search_dialog_model.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/frequency_list.h"
#include "platform/codepage.h"
#include "search/concord_items.h"
#include "search_fixture.h"

#include <gtest/gtest.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Hits = std::vector<std::pair<int32_t, int32_t>>;
using Counts = std::map<std::string, int32_t>;

// Text decoded: one UTF-16 unit per character and each character's bytes.
struct TDecoded {
  std::u16string Chars;
  std::vector<int32_t> Offsets;  // byte offset of each character, then the end
};

class TReference {
public:
  explicit TReference(const platform::CodePage& cp) : cp_(cp) { BuildDelimiterSet(delimiters_); }

  std::string Encode(std::u16string_view text) const { return platform::fromUtf16(cp_, text); }
  const std::string& Bytes(char16_t c) const
  {
    auto it = bytes_.find(c);
    if (it == bytes_.end())
      it = bytes_.emplace(c, Encode(std::u16string(1, c))).first;
    return it->second;
  }

  TDecoded Decode(const std::string& bytes) const
  {
    TDecoded d{platform::toUtf16(cp_, bytes), {0}};
    for (char16_t c : d.Chars)
      d.Offsets.push_back(d.Offsets.back() + int32_t(Bytes(c).size()));
    EXPECT_EQ(d.Offsets.back(), int32_t(bytes.size()));
    return d;
  }

  bool IsDelimiter(char16_t c) const { return Bytes(c).size() == 1 && delimiters_.test(uint8_t(Bytes(c)[0])); }

  // The words of a text: [first, end) character ranges.
  std::vector<std::pair<size_t, size_t>> Words(const std::u16string& text) const
  {
    std::vector<std::pair<size_t, size_t>> words;
    for (size_t i = 0; i < text.size();) {
      if (IsDelimiter(text[i])) {
        ++i;
        continue;
      }
      const size_t start = i;
      while (i < text.size() && !IsDelimiter(text[i]))
        ++i;
      words.emplace_back(start, i);
    }
    return words;
  }

  // '*' any run, '?' one character, '%' none or one.
  static bool Glob(std::u16string_view word, std::u16string_view pattern)
  {
    if (pattern.empty())
      return word.empty();
    switch (pattern[0]) {
    case u'*':
      for (size_t k = 0; k <= word.size(); ++k)
        if (Glob(word.substr(k), pattern.substr(1)))
          return true;
      return false;
    case u'%':
      return Glob(word, pattern.substr(1)) || (!word.empty() && Glob(word.substr(1), pattern.substr(1)));
    case u'?':
      return !word.empty() && Glob(word.substr(1), pattern.substr(1));
    default:
      return !word.empty() && word[0] == pattern[0] && Glob(word.substr(1), pattern.substr(1));
    }
  }

  // Text mode: blank-separated terms matched by consecutive words. In Tag
  // mode every word is "word_TAG" and a term is "word&tag", either part
  // missing standing for any.
  Hits TextHits(const std::string& bytes, const std::string& pattern, bool tag) const
  {
    const TDecoded d = Decode(bytes);
    const auto words = Words(d.Chars);
    std::vector<std::u16string> terms;
    const std::u16string p = platform::toUtf16(cp_, pattern);
    for (size_t i = 0; i < p.size();) {
      const size_t end = std::min(p.find(u' ', i), p.size());
      if (end > i)
        terms.push_back(p.substr(i, end - i));
      i = end + 1;
    }
    const auto matches = [&](const std::u16string& term, const std::u16string& word) {
      if (!tag)
        return Glob(word, term);
      const size_t w = word.find(u'_'), t = term.find(u'&');
      const std::u16string termWord = t == std::u16string::npos ? term : term.substr(0, t);
      const std::u16string termTag = t == std::u16string::npos ? u"*" : term.substr(t + 1);
      return w != std::u16string::npos && Glob(word.substr(0, w), termWord.empty() ? u"*" : termWord) &&
             Glob(word.substr(w + 1), termTag.empty() ? u"*" : termTag);
    };
    Hits hits;
    for (size_t i = 0; i + terms.size() <= words.size();) {
      size_t k = 0;
      while (k < terms.size() &&
             matches(terms[k], d.Chars.substr(words[i + k].first, words[i + k].second - words[i + k].first)))
        ++k;
      if (k < terms.size()) {
        ++i;
        continue;
      }
      hits.emplace_back(d.Offsets[words[i].first], d.Offsets[words[i + k - 1].second]);
      i += k;
    }
    return hits;
  }

  Hits RegexHits(const std::string& bytes, const std::string& pattern, bool ignoreCase) const
  {
    // The expression sees a run of line breaks as one blank, at the
    // position of the run's last character.
    const TDecoded d = Decode(bytes);
    std::u16string chars;
    std::vector<int32_t> starts, ends;
    for (size_t i = 0; i < d.Chars.size(); ++i) {
      size_t last = i;
      while ((d.Chars[i] == u'\r' || d.Chars[i] == u'\n') && last + 1 < d.Chars.size() &&
             (d.Chars[last + 1] == u'\r' || d.Chars[last + 1] == u'\n'))
        ++last;
      chars += last > i || d.Chars[i] == u'\r' || d.Chars[i] == u'\n' ? u' ' : d.Chars[i];
      starts.push_back(d.Offsets[last]);
      ends.push_back(d.Offsets[last + 1]);
      i = last;
    }
    const std::u16string p = platform::toUtf16(cp_, pattern);
    UErrorCode status = U_ZERO_ERROR;
    icu::RegexMatcher matcher(icu::UnicodeString(false, p.data(), int32_t(p.size())),
                              ignoreCase ? UREGEX_CASE_INSENSITIVE : 0, status);
    const icu::UnicodeString text(false, chars.data(), int32_t(chars.size()));
    matcher.reset(text);
    Hits hits;
    while (U_SUCCESS(status) && matcher.find(status))
      hits.emplace_back(starts[size_t(matcher.start(status))], ends[size_t(matcher.end(status)) - 1]);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    return hits;
  }

  Counts WordCounts(const std::vector<std::string>& files) const
  {
    Counts counts;
    for (const std::string& bytes : files) {
      const TDecoded d = Decode(bytes);
      for (const auto& [first, end] : Words(d.Chars))
        ++counts[Encode(d.Chars.substr(first, end - first))];
    }
    return counts;
  }

  // The words just left and right of each hit of a one-word pattern.
  std::pair<Counts, Counts> Collocates(const std::vector<std::string>& files, const std::string& pattern) const
  {
    std::pair<Counts, Counts> sides;
    const std::u16string p = platform::toUtf16(cp_, pattern);
    for (const std::string& bytes : files) {
      const TDecoded d = Decode(bytes);
      const auto words = Words(d.Chars);
      const auto text = [&](size_t i) { return Encode(d.Chars.substr(words[i].first, words[i].second - words[i].first)); };
      for (size_t i = 0; i < words.size(); ++i) {
        if (!Glob(d.Chars.substr(words[i].first, words[i].second - words[i].first), p))
          continue;
        if (i > 0)
          ++sides.first[text(i - 1)];
        if (i + 1 < words.size())
          ++sides.second[text(i + 1)];
      }
    }
    return sides;
  }

private:
  const platform::CodePage& cp_;
  TCharSet delimiters_;
  mutable std::map<char16_t, std::string> bytes_;
};

// --- the generator ---------------------------------------------------------

// Letters of the page without case; on a double-byte page the characters
// whose trail byte is a delimiter, '@', '_', a regular-expression operator
// or an ASCII letter come first, then others. `casePair`: the index of two
// characters whose trail bytes are an upper- and a lower-case letter.
std::vector<char16_t> LetterPool(const platform::CodePage& cp, std::mt19937& random, size_t& casePair)
{
  const auto letter = [&](const std::string& bytes, char16_t& c) {
    const std::u16string u = platform::toUtf16(cp, bytes);
    if (u.size() != 1 || u[0] < 0x80 || u[0] == 0xFFFD || !u_isalpha(u[0]) || u_hasBinaryProperty(u[0], UCHAR_CASED) ||
        platform::fromUtf16(cp, u) != bytes)
      return false;
    c = u[0];
    return true;
  };
  std::vector<char16_t> pool;
  char16_t c = 0, d = 0;
  casePair = 0;
  if (!cp.dbcs) {
    for (int b = 0xA0; b < 0x100; ++b)
      if (letter(std::string(1, char(b)), c))
        pool.push_back(c);
    for (char a = 'a'; a <= 'z'; ++a)
      pool.push_back(char16_t(a));
    std::shuffle(pool.begin(), pool.end(), random);
    return pool;
  }
  for (const std::string trails : {"\x5c", "\x5b", "\x40", "\x5f", "\x7c", "\x3f", "\x2a", "AZagpx", ""}) {
    std::vector<char16_t> found;
    for (int lead = 0x81; lead < 0xFF; ++lead)
      for (char t : trails.empty() ? std::string("\x80\x9a\xa1\xb5\xc8\xe4\xfc") : trails)
        if (cp.lead[size_t(lead)] && letter(std::string{char(lead), t}, c))
          found.push_back(c);
    std::shuffle(found.begin(), found.end(), random);
    found.resize(std::min<size_t>(found.size(), trails.empty() ? 12 : trails.size() > 1 ? 4 : 2));
    pool.insert(pool.end(), found.begin(), found.end());
  }
  for (int lead = 0x81; lead < 0xFF; ++lead)
    for (char k = 0; k < 26; ++k)
      if (cp.lead[size_t(lead)] && letter(std::string{char(lead), char('A' + k)}, c) &&
          letter(std::string{char(lead), char('a' + k)}, d) && casePair == 0) {
        casePair = std::min<size_t>(pool.size(), 14);
        pool.insert(pool.begin() + ptrdiff_t(casePair), {c, d});
      }
  return pool;
}

struct TCorpus {
  std::vector<std::u16string> Vocabulary;  // the first ones hold the pool's first characters
  std::vector<std::string> Files;
};

TCorpus MakeCorpus(const TReference& ref, const std::vector<char16_t>& pool, std::mt19937& random, bool tagged)
{
  TCorpus corpus;
  const auto pick = [&] { return pool[random() % pool.size()]; };
  // Each special character ends one word and begins another.
  for (size_t i = 0; i < std::min<size_t>(pool.size(), 16); ++i) {
    corpus.Vocabulary.push_back(std::u16string{pick(), pool[i]});
    corpus.Vocabulary.push_back(std::u16string{pool[i], pick(), pick()});
  }
  for (int i = 0; i < 10; ++i)
    corpus.Vocabulary.push_back(std::u16string(1 + random() % 4, u' '));
  for (auto& w : corpus.Vocabulary)
    for (char16_t& ch : w)
      if (ch == u' ')
        ch = pick();
  for (const char16_t* w : {u"ab", u"x", u"qed", u"zz"})
    corpus.Vocabulary.push_back(w);
  corpus.Vocabulary.push_back(std::u16string{u'x', pool[0]});
  corpus.Vocabulary.push_back(std::u16string{pool[1], pool[1]});
  corpus.Vocabulary.push_back(std::u16string{pool[2], pool[2], u'a'});

  const std::vector<std::u16string> gaps = {u" ", u" ", u" ", u", ", u". ", u"\r\n", u";", u" (", u") ", u"|", u""};
  const std::vector<std::u16string> tags = {u"_NN", u"_VB", u"_JJ", u"_NNS"};
  for (int f = 0; f < 2; ++f) {
    std::u16string text;
    for (int n = 0; n < 1500; ++n) {
      const std::u16string& w = corpus.Vocabulary[std::min(random() % corpus.Vocabulary.size(),
                                                             random() % corpus.Vocabulary.size())];
      text += w;
      if (tagged) {
        text += tags[random() % tags.size()] + u" ";
        continue;
      }
      // Runs without blanks: now and then the next word follows at once.
      text += gaps[random() % gaps.size()];
    }
    corpus.Files.push_back(ref.Encode(text));
  }
  return corpus;
}

// A character whose two bytes stand in the corpus across two characters
// (the trail byte of one and the lead byte of the next), if any.
std::u16string StraddlingChar(const platform::CodePage& cp, const std::string& bytes, char16_t otherwise)
{
  for (size_t i = 0; cp.dbcs && i + 2 < bytes.size(); i += platform::charBytesAt(cp, bytes, i)) {
    if (platform::charBytesAt(cp, bytes, i) != 2 || platform::charBytesAt(cp, bytes, i + 2) != 2)
      continue;
    const std::u16string u = platform::toUtf16(cp, bytes.substr(i + 1, 2));
    if (u.size() == 1 && u[0] != 0xFFFD && u_isalpha(u[0]))
      return u;
  }
  return std::u16string(1, otherwise);
}

std::string Hex(const std::string& s)
{
  std::string out;
  for (unsigned char c : s) {
    char b[8];
    std::snprintf(b, sizeof b, c > 0x20 && c < 0x80 ? "%c" : "<%02X>", c);
    out += b;
  }
  return out;
}

// "" when equal, else where the hits first differ.
std::string Difference(const Hits& got, const Hits& want, const std::string& text)
{
  if (got == want)
    return "";
  size_t k = 0;
  while (k < got.size() && k < want.size() && got[k] == want[k])
    ++k;
  const auto show = [&](const Hits& h) {
    return k < h.size() ? "[" + std::to_string(h[k].first) + "," + std::to_string(h[k].second) + ") " +
                              Hex(text.substr(size_t(h[k].first), size_t(h[k].second - h[k].first)))
                        : std::string("none");
  };
  return std::to_string(got.size()) + " hits, want " + std::to_string(want.size()) + "; hit " + std::to_string(k) +
         ": got " + show(got) + ", want " + show(want);
}

std::string Difference(const Counts& got, const Counts& want)
{
  if (got == want)
    return "";
  std::string out = std::to_string(got.size()) + " words, want " + std::to_string(want.size()) + ";";
  int shown = 0;
  for (const auto& [w, c] : want)
    if (auto it = got.find(w); (it == got.end() || it->second != c) && shown++ < 3)
      out += " " + Hex(w) + " " + std::to_string(it == got.end() ? 0 : it->second) + " want " + std::to_string(c);
  for (const auto& [w, c] : got)
    if (!want.count(w) && shown++ < 6)
      out += " extra " + Hex(w) + " " + std::to_string(c);
  return out;
}

// --- the test --------------------------------------------------------------

struct TPage {
  int32_t Language;
  const char* Name;
};

void PrintTo(const TPage& page, std::ostream* out)
{
  *out << page.Name;
}

class DoubleByteDifferential : public testsupport::SearchFixture, public ::testing::WithParamInterface<TPage> {
protected:
  void SetUp() override
  {
    SearchFixture::SetUp();
    SetTextLanguage(GetParam().Language);
    BuildCharTables();
  }
  void TearDown() override
  {
    SearchFixture::TearDown();
    SetTextLanguage(0x409);
    BuildCharTables();
  }

  // "" when the search's hits in one file are `want`, else how they differ.
  std::string Compare(const std::string& pattern, TSearchMode mode, uint8_t options, int32_t file,
                      const Hits& want, const std::string& text)
  {
    TSearch search;
    int32_t phase = -1;
    std::string error;
    search.Prepare(Request({pattern}, mode, options), phase, error);
    if (phase != 0)
      return "refused: " + error;
    Hits hits;
    search.RunSearch(INT32_MAX, [&](std::unique_ptr<TConcordItem> h) {
      if (h->FileIndex == file)
        hits.emplace_back(h->HitStart, h->HitEnd);
    });
    std::sort(hits.begin(), hits.end());
    return Difference(hits, want, text);
  }

  void LoadCorpus(const TCorpus& corpus)
  {
    UnloadCorpus(frame);
    Load({{"a.txt", corpus.Files[0]}, {"b.txt", corpus.Files[1]}});
  }
};

TEST_P(DoubleByteDifferential, SearchesAndCountsAgreeWithTheDecodedText)
{
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  std::mt19937 random(49);
  size_t casePair = 0;
  const std::vector<char16_t> pool = LetterPool(cp, random, casePair);
  ASSERT_GE(pool.size(), 12u);
  const TReference ref(cp);
  const TCorpus corpus = MakeCorpus(ref, pool, random, false);
  const auto& v = corpus.Vocabulary;
  const auto enc = [&](const std::u16string& s) { return ref.Encode(s); };
  const std::u16string straddle = StraddlingChar(cp, corpus.Files[0], pool[3]);
  // A phrase of two words that follow each other across a blank.
  std::u16string phrase = v[0] + u" " + v[3];
  {
    const std::u16string text = platform::toUtf16(cp, corpus.Files[0]);
    for (size_t i = 0; i + 1 < v.size() && i < 12; ++i)
      if (text.find(u" " + v[i] + u" " + v[i + 1] + u" ") != std::u16string::npos) {
        phrase = v[i] + u" " + v[i + 1];
        break;
      }
  }
  const std::u16string first(1, v[1][0]), last(1, v[2].back()), other(1, v[4][0]), cased(1, pool[casePair]);

  struct Row {
    const char* Kind;
    TSearchMode Mode;
    std::string Pattern;
    uint8_t Options = soCaseSensitive;
  };
  const std::vector<Row> rows = {
      {"word", TSearchMode::Text, enc(v[0])},
      {"word", TSearchMode::Text, enc(v[3])},
      {"word", TSearchMode::Text, enc(v[5])},
      {"word", TSearchMode::Text, enc(v[v.size() - 3])},
      {"prefix *", TSearchMode::Text, enc(first + u"*")},
      {"suffix *", TSearchMode::Text, enc(u"*" + last)},
      {"inner *", TSearchMode::Text, enc(u"*" + straddle + u"*")},
      {"?", TSearchMode::Text, enc(first + u"?")},
      {"??", TSearchMode::Text, "??"},
      {"%", TSearchMode::Text, enc(first + u"%")},
      {"phrase", TSearchMode::Text, enc(phrase)},
      {"ignoring case", TSearchMode::Text, enc(u"*" + cased + u"*"), 0},
      {"regex literal", TSearchMode::Regex, enc(v[0])},
      {"regex literal", TSearchMode::Regex, enc(v[5])},
      {"regex straddle", TSearchMode::Regex, enc(straddle)},
      {"regex C.", TSearchMode::Regex, enc(first + u".")},
      {"regex .C", TSearchMode::Regex, enc(u"." + last)},
      {"regex class", TSearchMode::Regex, enc(u"[" + first + other + u"]")},
      {"regex \\w+", TSearchMode::Regex, "\\w+"},
      {"regex (.)\\1", TSearchMode::Regex, "(.)\\1"},
      {"regex C+", TSearchMode::Regex, enc(first + u"+")},
      {"regex ignoring case", TSearchMode::Regex, enc(cased), 0},
  };

  LoadCorpus(corpus);
  for (const Row& row : rows) {
    for (int32_t f = 0; f < 2; ++f) {
      const std::string& text = corpus.Files[size_t(f)];
      const Hits want = row.Mode == TSearchMode::Regex ? ref.RegexHits(text, row.Pattern, !(row.Options & soCaseSensitive))
                                                       : ref.TextHits(text, row.Pattern, false);
      EXPECT_EQ(Compare(row.Pattern, row.Mode, row.Options, f, want, text), "")
          << GetParam().Name << " " << row.Kind << " " << Hex(row.Pattern) << " file " << f;
    }
  }

  const auto table = CountCorpusWords();
  ASSERT_TRUE(table);
  Counts words;
  for (int32_t i = 0; i < table->Count(); ++i)
    words[std::string(table->Strings(i))] = table->Counts(i);
  EXPECT_EQ(Difference(words, ref.WordCounts(corpus.Files)), "") << GetParam().Name << " word list";

  FrequencySettings.CollocationSpan = 1;
  auto list = ListOf(Run(Request({enc(v[0])}, TSearchMode::Text, soCaseSensitive)));
  list->GenerateCollocation(ctx1L, ctx1R);
  const auto [left, right] = ref.Collocates(corpus.Files, enc(v[0]));
  for (const auto& [slot, want] : {std::pair{ctx1L, left}, std::pair{ctx1R, right}}) {
    Counts got;
    const THashStrings& t = *list->CollocTables[size_t(slot)];
    for (int32_t i = 0; i < t.Count(); ++i)
      got[std::string(t.Strings(i))] = t.Counts(i);
    EXPECT_EQ(Difference(got, want), "") << GetParam().Name << " collocates " << (slot == ctx1L ? "left" : "right");
  }

  // Tag mode over words tagged "_TAG".
  ConcordSettings.WordTag = 1;
  const TCorpus tagged = MakeCorpus(ref, pool, random, true);
  LoadCorpus(tagged);
  const auto& t = tagged.Vocabulary;
  for (const std::string& pattern : {std::string("&NN"), enc(t[6] + u"&NN"), enc(t[0]), enc(t[2] + u"&J?"),
                                     enc(first + u"*&NN*")}) {
    for (int32_t f = 0; f < 2; ++f) {
      const std::string& text = tagged.Files[size_t(f)];
      EXPECT_EQ(Compare(pattern, TSearchMode::Tag, soCaseSensitive, f, ref.TextHits(text, pattern, true), text), "")
          << GetParam().Name << " tag " << Hex(pattern) << " file " << f;
    }
  }
}

// Patterns typed into the Search dialog, taken by its OK and searched.
class DialogPatterns : public testsupport::SearchFixture {
protected:
  class NoServices : public TSearchDialogServices {
  public:
    bool ChoosePatternsFile(std::string&) override { return false; }
  };
  class OkView : public TSearchDialogView {
  public:
    int ShowModal() override { return Model->OKBtnClick().Close ? mrOk : mrCancel; }
    TSearchTemplateModel* Model = nullptr;
  };
  void TearDown() override
  {
    SearchFixture::TearDown();
    SetTextLanguage(0x409);
    BuildCharTables();
  }
};

TEST_F(DialogPatterns, TheDialogTakesAndFindsWordsWithOperatorTrailBytes)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  BuildCharTables();
  // 表示 病院, コーヒー 院長
  Load({{"j.txt", "\x95\x5c\x8e\xa6 \x95\x61\x89\x40, \x83\x52\x81\x5b\x83\x71\x81\x5b \x89\x40\x92\xb7\r\n"}});
  NoServices services;
  OkView view;
  TSearchTemplateModel model(services, &view);
  view.Model = &model;
  for (const auto& [pattern, start] : {std::pair{"\x95\x5c\x8e\xa6", 0}, std::pair{"\x95\x61\x89\x40", 5},
                                       std::pair{"\x83\x52\x81\x5b\x83\x71\x81\x5b", 11},
                                       std::pair{"\x89\x40\x92\xb7", 20}}) {
    model.TextHistory = model.SearchString.Items = {pattern};
    TSearchRec request;
    ASSERT_TRUE(ExecuteSearchDialog(request, false)) << Hex(pattern);
    const auto hits = Run(request);
    ASSERT_EQ(hits.size(), 1u) << Hex(pattern);
    EXPECT_EQ(hits[0]->HitStart, start) << Hex(pattern);
  }
}

INSTANTIATE_TEST_SUITE_P(CodePages, DoubleByteDifferential,
                         ::testing::Values(TPage{0x409, "1252"}, TPage{0x411, "932"}, TPage{0x804, "936"},
                                           TPage{0x412, "949"}, TPage{0x404, "950"}),
                         [](const auto& info) { return std::string("cp") + info.param.Name; });

}  // namespace
