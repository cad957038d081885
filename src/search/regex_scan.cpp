// The Regex-mode body of FindNextHit: the window scan over the text
// (search/regex_window.h), with the search run as its owner.
#include "search/search_context.h"

#include "search/regex_window.h"
#include "search/regexp/regexp.h"

namespace {

class ScanOwner final : public TRegexScanOwner {
public:
  explicit ScanOwner(TSearchOwner* owner) : owner_(owner) {}
  void StopCheck() override
  {
    if (owner_)
      owner_->StopCheck();
  }
  void StopChecks(int32_t wordEnds) override
  {
    if (owner_)
      owner_->StopChecks(wordEnds);
  }
  bool Stopped() const override { return owner_ && owner_->Stopped; }
  void UpdateProgress(int32_t position, bool forced) override
  {
    if (owner_)
      owner_->UpdateProgress(position, forced);
  }
  void CountGiveUp() override
  {
    if (owner_)
      ++owner_->RegexGiveUps;
  }

private:
  TSearchOwner* owner_;
};

}  // namespace

bool TSearchContext::RegexFindNext(bool reportProgress)
{
  if (Owner)
    Owner->NoRate = true;
  if (TermCount == 0 || !Terms[0].RegExp || !Reader)
    return false;
  TRegExp& expression = *Terms[0].RegExp;
  if (!RegexWindow) {
    RegexWindow = std::make_shared<TRegexWindow>();
    // Cancel is polled inside long matches too.
    expression.SetCancelHook([this] {
      if (!Owner)
        return false;
      Owner->StopCheck();
      return Owner->Stopped;
    });
  }
  TRegexScanText text;
  text.SkipSet = SkipSet;
  text.Delimiters = Delimiters;
  text.DoubleByte = doubleByteText_;
  ScanOwner owner(Owner);
  int32_t start = 0;
  int32_t end = 0;
  if (!RegexWindow->FindNext(*Reader, expression, text, &owner, reportProgress, start, end))
    return false;
  HitStart = start;
  HitEnd = end;
  HitEndAfterDelimiter = false;
  return true;
}
