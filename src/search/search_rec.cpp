#include "search/search_rec.h"

#include "foundation/settings.h"

const char* const SearchModeNames[3] = {"Text", "Regex", "Tag"};

TSearchRec::TSearchRec(const TSearchRec& other)
  : Mode(other.Mode),
    Options(other.Options),
    LeftContext(other.LeftContext),
    RightContext(other.RightContext),
    HeadStart(other.HeadStart),
    HeadingPattern(other.HeadingPattern),
    HeadStop(other.HeadStop),
    TextStart(other.TextStart),
    TextStop(other.TextStop),
    SkipChars(other.SkipChars)
{
}

void TSearchRec::SetRunValues()
{
  HitFrequency = ConcordSettings.EffectiveFrequencyOfHits();
  if (Options & soSkipEqual)
    EqualChars = ConcordSettings.EqualChars;
  else
    EqualChars.clear();
}
