// Corpus files in a scratch folder loaded into the corpus list, the fake
// bridge, dialogs and frame, and small helpers to run a search over them and
// keep its hits.
#pragma once

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/corpus_list.h"
#include "foundation/settings.h"
#include "search/concord_items.h"
#include "search/search_driver.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class SearchFixture : public CorpusFixture {
protected:
  void SetUp() override
  {
    CorpusFixture::SetUp();
    SentDelimiters = ".!?";
    SmartAbbrDetect = false;
    SentDelimitersExcepts.clear();
  }

  // Writes the files and loads them as corpus items, in order.
  void Load(const std::vector<std::pair<std::string, std::string>>& texts)
  {
    std::vector<std::string> paths;
    for (const auto& [name, text] : texts)
      paths.push_back(files.write(name, text));
    LoadCorpusItems(frame, paths);
    ASSERT_EQ(CorpusList.Count(), int32_t(texts.size()));
  }

  static TSearchRec Request(std::vector<std::string> patterns, TSearchMode mode = TSearchMode::Text,
                            uint8_t options = 0)
  {
    TSearchRec r;
    r.Mode = mode;
    r.Options = options;
    r.DisplayPatterns = patterns;
    r.Patterns = std::move(patterns);
    return r;
  }

  // Prepares and runs a search; the hits in the order they were reported,
  // numbered from 0 as a concordance window numbers them.
  std::vector<std::unique_ptr<TConcordItem>> Run(const TSearchRec& request, int32_t maxHits = INT32_MAX)
  {
    TSearch search;
    int32_t phase = -1;
    std::string error;
    search.Prepare(request, phase, error);
    EXPECT_EQ(phase, 0) << error;
    std::vector<std::unique_ptr<TConcordItem>> hits;
    search.RunSearch(maxHits, [&](std::unique_ptr<TConcordItem> hit) {
      hit->HitNumber = int32_t(hits.size());
      hits.push_back(std::move(hit));
    });
    return hits;
  }

  // The bytes of a hit as its record spans them.
  static std::string HitBytes(const std::string& text, const TConcordItem& hit)
  {
    return text.substr(size_t(hit.HitStart), size_t(hit.HitEnd - hit.HitStart));
  }

  // The hit texts (slot 0) of the hits, in order.
  static std::vector<std::string> HitTexts(const std::vector<std::unique_ptr<TConcordItem>>& hits)
  {
    std::vector<std::string> out;
    for (const auto& h : hits)
      out.emplace_back(h->Word(0));
    return out;
  }

  // A hit list holding the hits.
  static std::unique_ptr<TConcordItems> ListOf(std::vector<std::unique_ptr<TConcordItem>> hits)
  {
    auto list = std::make_unique<TConcordItems>();
    for (auto& h : hits)
      list->AddItem(std::move(h));
    return list;
  }
};

}  // namespace testsupport
