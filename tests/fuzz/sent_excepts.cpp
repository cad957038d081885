// The sentence delimiters' exceptions file, then the exceptions in use:
// IsException, the sentence-end test and the list's Add. The three line-end
// styles read alike.
#include "forms/sentence_options.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"
#include "search/sentence.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readAs(std::string_view bytes)
{
  const fuzz::TMemFile file(bytes);
  return ReadSentExceptsFile(file.path());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words;
  try {
    words = readAs(text);
  } catch (const std::runtime_error&) {
    fuzz::fail("a regular file was refused");
  }
  for (const std::string_view lineEnd : {"\n", "\r\n", "\r"})
    fuzz::check(readAs(fuzz::withLineEnds(text, lineEnd)) == words, "line ends change the words");

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
