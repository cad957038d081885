#include "search/search_driver.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/utils.h"
#include "platform/frame_sink.h"
#include "platform/ui_bridge.h"
#include "search/regexp/regexp.h"
#include "search/sentence.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace {

const char* const kEmptyMarkerText = "Heading markers must not be empty.";
const char* const kGiveUpText =
  "The regular expression was too complex for parts of the text; some hits may be missing.";

}  // namespace

TSearch::TSearch()
{
  progressEvent_ = [this](TBufStream&, int32_t position, bool& stop) {
    if (position >= 0)
      UpdateProgress(position, false);
    StopCheck();
    stop = Stopped;
  };
}

TSearch::~TSearch() = default;

int64_t TSearch::Now()
{
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<TSearchContext> TSearch::MakeContext(const std::string& pattern) const
{
  auto context = std::make_unique<TSearchContext>(pattern, CaseSensitive, Request.EqualChars, SkipSet, Request.Mode);
  context->Owner = const_cast<TSearch*>(this);
  return context;
}

THeadingMarker NormalisedHeadingMarker(const std::string& text, bool caseSensitive)
{
  std::string s = text;
  for (char& c : s)
    if (c == '#')
      c = ' ';
  if (!caseSensitive)
    s = LocaleLowerStr(s);
  THeadingMarker marker;
  marker.Length = int32_t(s.size());
  marker.MustEndAtBlank = !s.empty() && s.back() == ' ';
  if (marker.MustEndAtBlank)
    s.pop_back();
  marker.Text = std::move(s);
  return marker;
}

void TSearch::NormaliseMarker(const std::string& text, THeadingMarker& marker) const
{
  marker = NormalisedHeadingMarker(text, CaseSensitive);
}

void TSearch::Prepare(const TSearchRec& request, int32_t& phase, std::string& errorText)
{
  phase = phOk;
  errorText.clear();
  prepared_ = false;
  HeadingContext.reset();
  LeftContextCtx.reset();
  RightContextCtx.reset();
  Contexts.clear();

  Request = TSearchRec(request);
  Request.SetRunValues();
  CaseSensitive = (request.Options & soCaseSensitive) != 0;
  SkipSet.reset();
  if (request.Options & soSkipEqual)
    for (char c : SingleByteChars(request.SkipChars))
      SkipSet.set(static_cast<unsigned char>(CaseSensitive ? c : LocaleLowerChar(c)));
  for (int c = 0; c < 256; ++c)
    lowerTable_[c] = static_cast<unsigned char>(LocaleLowerChar(static_cast<char>(c)));

  try {
    phase = phHeading;
    HeadingOn = (request.Options & soHeading) != 0;
    if (HeadingOn) {
      NormaliseMarker(request.HeadStart, HeadStart);
      HeadingContext = MakeContext(request.HeadingPattern);
      NormaliseMarker(request.HeadStop, HeadStop);
      NormaliseMarker(request.TextStart, TextStart);
      NormaliseMarker(request.TextStop, TextStop);
      // An empty marker would make the scan find nothing, silently.
      for (const THeadingMarker* m : {&HeadStart, &HeadStop, &TextStart, &TextStop})
        if (m->Text.empty()) {
          errorText = kEmptyMarkerText;
          return;
        }
    }
    phase = phLeftContext;
    ContextOn = (request.Options & soContext) != 0;
    if (ContextOn) {
      LeftContextCtx = MakeContext(request.LeftContext);
      phase = phRightContext;
      RightPatternLength = int32_t(request.RightContext.size());
      if (RightPatternLength > 0)
        RightContextCtx = MakeContext(request.RightContext);
    }
    phase = phPatterns;
    for (size_t i = 0; i < request.Patterns.size(); ++i) {
      auto context = MakeContext(request.Patterns[i]);
      context->DisplayPattern = i < request.DisplayPatterns.size() ? request.DisplayPatterns[i] : request.Patterns[i];
      Contexts.push_back(std::move(context));
    }
  } catch (const ERegExp& e) {
    errorText = e.what();
    return;
  }
  phase = phOk;
  prepared_ = true;
}

void TSearch::SetAction(const char* text)
{
  if (ProgressForm)
    ProgressForm->SetActionLabel(text);
}

void TSearch::SetCaption(const std::string& text)
{
  if (ProgressForm)
    ProgressForm->SetCaption(text);
}

void TSearch::ResetRate()
{
  WordsTried = 0;
  StartTicks = LastTicks = Now();
}

void TSearch::ProcessMessages()
{
  if (ProgressForm)
    ProgressForm->poll();
  else
    platform::uiBridge().processMessages();
}

bool TSearch::CancelPressed()
{
  return ProgressForm && ProgressForm->Tag() == ProgressCancel;
}

void TSearch::UpdateProgress(int32_t position, bool forced)
{
  if (++GaugeCalls >= 1024 || forced) {
    GaugeCalls = 0;
    if (ProgressForm)
      ProgressForm->SetSubProgress(position);
    if (!NoCorpusGauge) {
      CorpusPos += int64_t(position) - LastFilePos;
      LastFilePos = position;
      if (ProgressForm)
        ProgressForm->SetProgress(CorpusPos);
    }
  }
  if (NoRate || ++RateCalls < 1024)
    return;
  RateCalls = 0;
  const int64_t now = Now();
  if (now - LastTicks <= 500)
    return;
  LastTicks = now;
  const double seconds = double(LastTicks - StartTicks) / 1000.0;
  const auto rate = static_cast<long long>(std::nearbyint(double(WordsTried) / seconds));
  char text[64];
  std::snprintf(text, sizeof text, "%lld words/sec", rate);
  if (ProgressForm)
    ProgressForm->SetSpecialText(text);
}

int32_t TSearch::FindMarker(const THeadingMarker& marker)
{
  const int32_t pos = scanner_->FindLiteral(marker.Text, marker.MustEndAtBlank, progressEvent_, false);
  if (pos < 0 || int64_t(pos) + marker.Length > FileSize)
    return -1;
  return pos;
}

bool TSearch::LocateHeader(int32_t& headLo, int32_t& headHi, int32_t& headNext)
{
  if (!HeadingOn) {
    headLo = 0;
    headHi = headNext = FileSize;
    return true;
  }
  TBufStream& scanner = *scanner_;
  SetCaption("Locating header and text");
  while (!Stopped) {
    StopCheck();
    NoCorpusGauge = false;
    NoRate = true;
    SetAction("Locating header start...");
    const int32_t start = FindMarker(HeadStart);
    if (start < 0)
      return false;
    headLo = start + HeadStart.Length;

    StopCheck();
    UpdateProgress(headLo, false);
    NoCorpusGauge = true;
    SetAction("Locating header end...");
    // The stop is looked for after the start, never inside it.
    scanner.Seek(headLo);
    const int32_t stop = FindMarker(HeadStop);
    if (stop < 0)
      return false;

    scanner.SetRange(headLo, stop);
    StopCheck();
    SetAction("Searching header pattern...");
    NoRate = false;
    ResetRate();
    const bool matched = HeadingContext->FindNextHit(scanner, false);
    NoRate = true;
    const int32_t headEnd = stop + HeadStop.Length;
    UpdateProgress(headEnd, false);

    scanner.SetRange(headEnd, FileSize);
    if (!matched)
      continue;
    StopCheck();
    SetAction("Locating text range/next header...");
    int32_t textStart = -1;
    int32_t textStop = -1;
    int32_t nextHead = -1;
    scanner.FindTextRange(TextStart.Text, TextStart.MustEndAtBlank, TextStop.Text, TextStop.MustEndAtBlank,
                          HeadStart.Text, HeadStart.MustEndAtBlank, progressEvent_, false, textStart, textStop,
                          nextHead);
    if (textStart >= 0 && textStop >= 0) {
      headLo = textStart + TextStart.Length;
      headHi = std::max(headLo, textStop);
      scanner.SetRange(headLo, headHi);
      headNext = nextHead >= 0 ? nextHead : textStop + TextStop.Length;
      UpdateProgress(headLo, false);
      return true;
    }
    if (nextHead < 0 || int64_t(nextHead) + HeadStart.Length > FileSize)
      return false;
    // A new heading began before the text range was complete.
    scanner.SetRange(nextHead, FileSize);
  }
  return false;
}

bool TSearch::LocateContext(int32_t headLo, int32_t headHi, int32_t& ctxLo, int32_t& ctxHi, int32_t& ctxNext)
{
  if (!ContextOn) {
    ctxLo = headLo;
    ctxHi = ctxNext = headHi;
    return true;
  }
  TBufStream& scanner = *scanner_;
  NoCorpusGauge = false;
  NoRate = false;
  SetCaption("Locating contexts");
  SetAction("Searching left context...");
  StopCheck();
  if (!LeftContextCtx->FindNextHit(scanner, true))
    return false;
  ctxLo = LeftContextCtx->HitEnd;
  if (!RightContextCtx) {
    ctxHi = ctxNext = headHi;
  } else {
    StopCheck();
    NoCorpusGauge = true;
    SetAction("Searching right context...");
    if (!RightContextCtx->FindNextHit(scanner, true))
      return false;
    ctxHi = std::max(ctxLo, RightContextCtx->HitStart);
    ctxNext = RightContextCtx->HitEnd;
  }
  scanner.SetRange(ctxLo, ctxHi);
  UpdateProgress(ctxLo, false);
  return true;
}

void TSearch::RunSearch(int32_t maxHits, const THitCallback& callback)
{
  if (!prepared_)
    throw std::logic_error("The search was not prepared.");
  RegexGiveUps = 0;
  // Each run starts its expressions on their whole step budget: after a
  // give-up they run on a small one (see TRegExp::GiveUpCount).
  auto restoreBudgets = [](TSearchContext* context) {
    if (!context)
      return;
    for (TTerm& term : context->Terms)
      if (term.RegExp)
        term.RegExp->ResetGiveUpCount();
  };
  for (TSearchContext* c : {HeadingContext.get(), LeftContextCtx.get(), RightContextCtx.get()})
    restoreBudgets(c);
  for (const auto& c : Contexts)
    restoreBudgets(c.get());
  Scan(maxHits, callback);
  // The engine gave up on parts of the text: say so rather than pass the
  // hits off as complete.
  if (RegexGiveUps > 0)
    ShowWarning(kGiveUpText);
}

void TSearch::Scan(int32_t maxHits, const THitCallback& callback)
{

  // Whatever ends the run, the dialog goes, the caption comes back and no
  // context keeps a reader of this run.
  struct RunGuard {
    TSearch& search;
    ~RunGuard()
    {
      for (TSearchContext* c : {search.HeadingContext.get(), search.LeftContextCtx.get(),
                                search.RightContextCtx.get()})
        if (c)
          c->Reader = nullptr;
      for (auto& c : search.Contexts)
        c->Reader = nullptr;
      search.scanner_ = nullptr;
      search.ProgressForm.reset();
      platform::frameSink().caption(ProgramTitle);
    }
  };

  ProgressForm = CreateDoubleProgressForm();
  RunGuard guard{*this};
  FillSearchInfo(*ProgressForm, *this);
  ProgressForm->SetDetailsButtonVisible(true);
  ProgressForm->SetProgressLabel("Progress through entire corpus:");
  ProgressForm->SetSpecialTextVisible(true);
  ProgressForm->SetSpecialText("");
  ProgressForm->SetMaxValue(TotalCorpusSize().value_or(INT32_MAX));
  ScopedHourglass hourglass;
  platform::frameSink().caption(ProgramTitle + " - [Searching]");
  ProgressForm->Show();

  Stopped = false;
  CorpusPos = 0;
  WordsTried = 0;
  countedHits_ = 0;
  reportedHits_ = 0;
  StopCheckCalls = 0;
  LastPump = std::chrono::steady_clock::now();
  GaugeCalls = 0;
  RateCalls = 0;
  const int64_t frequency = std::max<int32_t>(Request.HitFrequency, 1);

  for (int32_t i = 0; i < CorpusList.Count() && !Stopped; ++i) {
    TCorpusItem& item = CorpusList[i];
    ProgressForm->SetSubProgressLabel("Scanning " + ItemDisplayName(item.Name) + "...");
    NoCorpusGauge = false;
    NoRate = false;
    LastFilePos = 0;

    // The scanner walks the ranges; the hit reader serves the sentence test
    // and the hit records.
    TBufStream scanner(item.Source.get());
    TBufStream hitReader(item.Source.get());
    hitReader.SetDonor(&scanner);  // the bytes around a hit are mostly in the scanner's window
    ConfigureBufStream(scanner);
    ConfigureBufStream(hitReader);
    if (!CaseSensitive)
      scanner.SetLiteralFold(lowerTable_);
    scanner_ = &scanner;
    FileSize = scanner.RangeEnd();
    ProgressForm->SetSubMaxValue(FileSize);
    ProgressForm->SetSubProgress(0);

    int32_t headLo, headHi, headNext;
    while (!Stopped && LocateHeader(headLo, headHi, headNext)) {
      ResetRate();
      int32_t ctxLo, ctxHi, ctxNext;
      while (!Stopped && LocateContext(headLo, headHi, ctxLo, ctxHi, ctxNext)) {
        NoCorpusGauge = false;
        NoRate = false;
        SetAction("Searching...");
        for (auto& context : Contexts) {
          if (Stopped)
            break;
          SetCaption("Searching for [" + context->DisplayPattern + "]...");
          ProcessMessages();
          scanner.SetRange(ctxLo, ctxHi);
          while (!Stopped && context->FindNextHit(scanner, true)) {
            context->Reader = &hitReader;
            const bool dropped = ConcordSettings.SentenceMode &&
                                 CrossesSentence(*context, context->HitStart, OwnHitEnd(*context));
            if (!dropped && ++countedHits_ % frequency == 0) {
              ReportHit(*context, i, callback);
              ++reportedHits_;
            }
            context->Reader = &scanner;
            if (reportedHits_ == maxHits)
              Stopped = true;
          }
        }
        if (!ContextOn)
          break;
        if (!Stopped)
          scanner.SetRange(ctxNext, std::max(ctxNext, headHi));
      }
      if (!HeadingOn)
        break;
      if (!Stopped)
        scanner.SetRange(headNext, std::max(headNext, FileSize));
    }
    UpdateProgress(FileSize, true);
    scanner_ = nullptr;
  }
}

int32_t FillSearchInfo(SearchInfoLabels& labels, const TSearch& search)
{
  const TSearchRec& r = search.RunRequest();
  labels.SetSearchInfo(SearchInfoField::FreqOfHits, std::to_string(r.HitFrequency));
  labels.SetSearchInfo(SearchInfoField::IgnoreCase, (r.Options & soCaseSensitive) ? "OFF" : "ON");
  labels.SetSearchInfo(SearchInfoField::Syntax, SearchModeNames[std::min<int>(int(r.Mode), 2)]);
  labels.SetSearchInfo(SearchInfoField::SentMode, (r.Options & soSentence) ? "ON" : "OFF");

  int32_t height = 0;
  auto panel = [&](SearchInfoPanel p, bool shown) {
    labels.SetPanelVisible(p, shown);
    if (shown)
      height += labels.PanelHeight(p);
  };
  const bool padding = (r.Options & soSkipEqual) != 0;
  if (padding) {
    labels.SetSearchInfo(SearchInfoField::SkipChars, r.SkipChars);
    labels.SetSearchInfo(SearchInfoField::EqualChars, r.EqualChars);
  }
  panel(SearchInfoPanel::Padding, padding);
  const bool heading = (r.Options & soHeading) != 0;
  if (heading) {
    labels.SetSearchInfo(SearchInfoField::HeadStart, r.HeadStart);
    labels.SetSearchInfo(SearchInfoField::HeadStop, r.HeadStop);
    labels.SetSearchInfo(SearchInfoField::HeadMatch, r.HeadingPattern);
    labels.SetSearchInfo(SearchInfoField::TextStart, r.TextStart);
    labels.SetSearchInfo(SearchInfoField::TextStop, r.TextStop);
  }
  panel(SearchInfoPanel::Heading, heading);
  const bool context = (r.Options & soContext) != 0;
  if (context) {
    labels.SetSearchInfo(SearchInfoField::LeftContext, r.LeftContext);
    labels.SetSearchInfo(SearchInfoField::RightContext, r.RightContext);
  }
  panel(SearchInfoPanel::Context, context);
  return height;
}
