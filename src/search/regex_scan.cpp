// The Regex-mode body of FindNextHit: the window scan over the text.
#include "search/search_context.h"

#include <stdexcept>

bool TSearchContext::RegexFindNext(bool)
{
  throw std::logic_error("The regular-expression scan is not available in this build.");
}
