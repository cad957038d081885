// The sentence delimiters' exceptions file, then the exceptions in use:
// IsException, the sentence-end test and the list's Add. The three line-end
// styles read alike.
#include "forms/sentence_options.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"
#include "search/sentence.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> words = fuzz::readListFile(text, ReadSentExceptsFile);

  SentDelimiters = ".!?";
  SmartAbbrDetect = false;
  SentDelimitersExcepts = words;
  // The list holds the words without their final ".".
  for (const std::string& w : words) {
    fuzz::check(IsException(w + "."), "a listed word is no exception: " + w);
    fuzz::check(!EndsSentence(w + ".", '.'), "a listed word ends a sentence: " + w);
  }
  SmartAbbrDetect = true;
  for (const std::string& w : words)
    if (!w.empty())
      EndsSentence(w, '.');
  return 0;
}
