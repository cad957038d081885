// One search run over the whole corpus (TSearch): it compiles the request,
// reads every corpus item, keeps to the heading and context ranges the
// request asks for, runs each pattern over each range, drops hits that cross
// a sentence end in sentence mode, keeps every Nth hit and hands each kept
// hit to a callback, driving a two-gauge progress dialog meanwhile.
//
// Order of the reported hits: corpus items, then ranges, then patterns, then
// text position. Within one range every hit of the first pattern comes before
// the first hit of the second; the counter of every Nth hit runs over the
// whole run.
//
// Headings: a heading runs from HeadStart to HeadStop; its text must match
// the heading pattern; the range searched is then [end of TextStart, start of
// TextStop). A marker ending in "#" counts only where a blank, CR or LF
// follows it. Contexts: a range runs from just after a left-context hit to
// the start of the attempt that found the next right-context hit (to the end
// of the heading range or file without a right context).
#pragma once

#include "foundation/dialogs.h"
#include "search/hit_line.h"
#include "search/search_context.h"
#include "search/search_rec.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBufStream;

// A heading marker as the scan looks for it.
struct THeadingMarker {
  std::string Text;             // "#" made a blank, lower case unless case-sensitive, final blank cut
  int32_t Length = 0;           // length before the final blank was cut
  bool MustEndAtBlank = false;  // a blank, CR or LF must follow
};

// A heading marker's text as the scan takes it ("#" a blank, lower case
// unless case-sensitive, one final blank meaning that a blank, CR or LF must
// follow). A marker whose Text is empty cannot be searched for.
THeadingMarker NormalisedHeadingMarker(const std::string& text, bool caseSensitive);

class TSearch : public TSearchOwner {
public:
  // Phase values of Prepare.
  enum : int32_t { phOk = 0, phLeftContext = 1, phRightContext = 2, phHeading = 3, phPatterns = 4 };

  TSearch();
  ~TSearch() override;
  TSearch(const TSearch&) = delete;
  TSearch& operator=(const TSearch&) = delete;

  // Compiles the request. phase is 0 when everything compiled; otherwise it
  // tells what failed, and errorText gives the message: a regular expression
  // that does not compile (3 heading pattern, 1 left context, 2 right
  // context, 4 patterns), or an empty heading marker (phase 3, "Heading
  // markers must not be empty."). A search whose preparation failed is never
  // run.
  void Prepare(const TSearchRec& request, int32_t& phase, std::string& errorText);

  // The scan. Each kept hit goes to callback, which owns it; the run stops at
  // maxHits reported hits or when the user cancels. An exception of the
  // matcher or of the callback ends the run and passes on; the hits reported
  // until then stay with the callback's owner. When the regular-expression
  // engine gave up on some text, the run ends with a warning that hits may
  // be missing. Throws std::logic_error when Prepare did not succeed.
  void RunSearch(int32_t maxHits, const THitCallback& callback);

  // The next heading range of the current item: its text [headLo, headHi),
  // and where the search for the next one resumes. Without headings the whole
  // file, once.
  bool LocateHeader(int32_t& headLo, int32_t& headHi, int32_t& headNext);
  // The next context range inside the heading range [headLo, headHi).
  bool LocateContext(int32_t headLo, int32_t headHi, int32_t& ctxLo, int32_t& ctxHi, int32_t& ctxNext);

  // Progress: the gauges every 1024 calls or when forced (the corpus gauge
  // only without NoCorpusGauge); the words-per-second figure every 1024 calls
  // and at most every 500 ms.
  void UpdateProgress(int32_t position, bool forced) override;
  void ProcessMessages() override;
  bool CancelPressed() override;

  // Counts of the last run.
  int64_t CountedHits() const { return countedHits_; }
  int64_t ReportedHits() const { return reportedHits_; }
  // The run's copy of the request.
  const TSearchRec& RunRequest() const { return Request; }

private:
  TSearchRec Request;  // the run's copy, with EqualChars and HitFrequency filled
  std::unique_ptr<DoubleProgressDialog> ProgressForm;  // during RunSearch only
  int32_t GaugeCalls = 0;
  int32_t RateCalls = 0;
  bool NoCorpusGauge = false;
  bool CaseSensitive = false;
  TCharSet SkipSet;
  bool HeadingOn = false;
  THeadingMarker HeadStart, HeadStop, TextStart, TextStop;
  std::unique_ptr<TSearchContext> HeadingContext;
  bool ContextOn = false;
  std::unique_ptr<TSearchContext> LeftContextCtx;
  std::unique_ptr<TSearchContext> RightContextCtx;
  int32_t RightPatternLength = 0;
  std::vector<std::unique_ptr<TSearchContext>> Contexts;
  int32_t FileSize = 0;
  int64_t StartTicks = 0;  // milliseconds of a steady clock
  int64_t LastTicks = 0;
  int64_t CorpusPos = 0;   // bytes advanced over the whole corpus
  int32_t LastFilePos = 0;

  void Scan(int32_t maxHits, const THitCallback& callback);
  std::unique_ptr<TSearchContext> MakeContext(const std::string& pattern) const;
  void NormaliseMarker(const std::string& text, THeadingMarker& marker) const;
  int32_t FindMarker(const THeadingMarker& marker);
  void SetAction(const char* text);
  void SetCaption(const std::string& text);
  void ResetRate();
  static int64_t Now();

  TBufStream* scanner_ = nullptr;
  bool prepared_ = false;
  int64_t countedHits_ = 0;
  int64_t reportedHits_ = 0;
  TBufProgressEvent progressEvent_;
  unsigned char lowerTable_[256] = {};
};

// Writes the request's settings into the value labels of a search
// information panel, shows the padding, heading and context panels the
// request uses and hides the others; returns the summed height of the
// optional panels shown.
int32_t FillSearchInfo(SearchInfoLabels& labels, const TSearch& search);
