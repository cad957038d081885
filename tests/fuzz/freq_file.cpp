// The frequency file ("HSTR"). A file that loads saves and reloads to the
// same table; a refused one raises "Invalid frequency file: " + its name and
// leaves the table empty.
#include "foundation/hash_strings.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "fuzz/fuzz_support.h"

#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  const fuzz::TMemFile file(std::string_view(reinterpret_cast<const char*>(data), size));
  THashStrings table(4096, LanguageId);
  try {
    table.LoadFromFile(file.path());
  } catch (const std::runtime_error& e) {
    fuzz::check(e.what() == "Invalid frequency file: " + file.path(), std::string("message: ") + e.what());
    fuzz::check(table.Count() == 0, "a refused file left words");
    return 0;
  }
  const std::string saved = fuzz::privateFolder() + "FREQ.tmp";
  table.SaveToFile(saved);
  THashStrings again(4096, LanguageId);
  again.LoadFromFile(saved);
  fuzz::check(again.Count() == table.Count(), "reload changed the number of words");
  for (int32_t i = 0; i < table.Count(); ++i) {
    fuzz::check(again.Strings(i) == table.Strings(i), "reload changed word " + std::to_string(i));
    fuzz::check(again.Counts(i) == table.Counts(i), "reload changed count " + std::to_string(i));
    fuzz::check(table.Counts(i) >= 0, "negative count");
  }
  return 0;
}
