// The stop-list file, then the stop list that consumes its words: look-ups
// and Add. The three line-end styles read alike.
#include "foundation/stop_list.h"
#include "fuzz/fuzz_support.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> words = fuzz::readListFile(text, ReadStopListFile);
  for (const std::string& w : words)
    fuzz::check(w.find_first_of("\r\n") == std::string::npos, "line end inside a word");

  GlobalStopList.SetWords(words);
  GlobalStopList.SetActive(true);
  for (const std::string& w : words) {
    fuzz::check(GlobalStopList.HasWord(w), "a listed word is missing");
    fuzz::check(w.empty() || GlobalStopList.IsStopWord(w) || !GlobalStopList.Active(), "a listed word is no stop word");
  }
  if (!words.empty()) {
    GlobalStopList.AddWord(words.front() + "x");
    GlobalStopList.IsStopWord(words.back());
    GlobalStopList.RemoveWord(words.front());
  }
  return 0;
}
