// Text and Tag patterns: the mode, wildcard, gap and separator characters,
// the part-of-speech style and meta tags come from the input; the pattern is
// parsed (TSearchContext), then FindNextHit runs over the rest of the input
// as corpus text, the owner pressing Cancel after a number of checks. Only
// "Unknown meta tag: " + name may refuse a pattern; every hit lies inside
// the text and the hits move forward.
#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"
#include "search/search_context.h"
#include "search/search_defaults.h"
#include "support/memory_stream.h"

#include <memory>
#include <set>
#include <string>

namespace {

class TBudgetOwner : public TSearchOwner {
public:
  explicit TBudgetOwner(int budget) : budget_(budget) {}
  void ProcessMessages() override {}
  bool CancelPressed() override { return ++checks_ > budget_; }
  void UpdateProgress(int32_t, bool) override {}

private:
  int budget_;
  int checks_ = 0;
};

constexpr char Candidates[] = "*%?@&_/<>[]{}#~+=|";

char candidate(fuzz::TInput& in)
{
  return Candidates[in.byte() % (sizeof(Candidates) - 1)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  ApplySearchParameterDefaults();
  SetTextLanguage(0x409);
  fuzz::TInput in(data, size);
  const uint8_t options = in.byte();
  const TSearchMode mode = (options & 1) ? TSearchMode::Tag : TSearchMode::Text;
  const bool caseSensitive = options & 2;
  ConcordConfig& c = ConcordSettings;
  c.IgnoreCase = !caseSensitive;
  if (options & 4) {
    c.WildCard0orMore = candidate(in);
    c.WildCard0or1 = candidate(in);
    c.WildCardExactly1 = candidate(in);
    c.WildCardMatchWords = candidate(in);
    c.TagSearchSeparator = candidate(in);
    c.TagStart = candidate(in);
    c.TagStop = candidate(in);
    c.wTagDelimiter = candidate(in);
    const std::set<char> distinct = {c.WildCard0orMore, c.WildCard0or1, c.WildCardExactly1,
                                     c.WildCardMatchWords, c.TagSearchSeparator};
    if (distinct.size() != 5 || c.TagStart == c.TagStop)
      return 0;  // the settings dialog refuses shared characters
  }
  c.MatchWordsLo = in.byte() % 8;
  c.MatchWordsHi = uint8_t(c.MatchWordsLo + in.byte() % 8);
  c.WordTag = in.byte() % 3;
  c.wTagBefore = options & 8;
  c.wTagStop = '>';
  c.wTagStarts.clear();
  if (c.WordTag == 2)
    c.wTagStarts = {"<w ", "<"};
  c.MetaTags.clear();
  if (options & 16)
    c.MetaTags.push_back({std::string(in.piece().substr(0, 16)), {"nn", "nns", std::string(in.piece().substr(0, 8))}});
  BuildCharTables();

  const std::string pattern(in.piece().substr(0, 256));
  const std::string text(in.rest());
  std::unique_ptr<TSearchContext> context;
  try {
    context = std::make_unique<TSearchContext>(pattern, caseSensitive, "", TCharSet{}, mode);
  } catch (const EUnknownMetaTag& e) {
    fuzz::check(std::string(e.what()).rfind("Unknown meta tag: ", 0) == 0, e.what());
    return 0;
  }
  TBudgetOwner owner(200 + (options >> 5) * 100);
  context->Owner = &owner;
  testsupport::MemoryStream stream(text);
  TCharSet delimiters;
  BuildDelimiterSet(delimiters);
  TBufStream reader(&stream, delimiters, (options & 32) ? 64 : TBufStream::BufferSize);
  ConfigureBufStream(reader);
  const int32_t length = int32_t(text.size());
  int32_t previousEnd = -1;
  for (int hits = 0; hits < 1000 && context->FindNextHit(reader, true); ++hits) {
    fuzz::check(0 <= context->HitStart && context->HitStart <= context->HitEnd && context->HitEnd <= length,
                "hit " + std::to_string(context->HitStart) + ".." + std::to_string(context->HitEnd) +
                    " outside the text of " + std::to_string(length));
    fuzz::check(context->HitEnd > previousEnd, "hits do not move forward");
    fuzz::check(reader.GetPosition() == context->HitEnd, "reader not at the hit's end");
    previousEnd = context->HitEnd;
  }
  return 0;
}
