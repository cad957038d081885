#include "foundation/pending_deps.h"

#include "foundation/chartables.h"

std::string CorpusPath, StopListPath, ConcordancePath, FreqPath, CorpusFreqPath, SentDelimitersPath,
    WorkspacePath;
bool SaveOnExit = false;
std::vector<std::string> SentDelimitersExcepts;

PendingHooks& pendingHooks()
{
  static PendingHooks h;
  return h;
}

void ShowError(const std::string& message)
{
  if (pendingHooks().error)
    pendingHooks().error(message);
}
bool ConfirmOkCancel(const std::string& message, bool)
{
  return pendingHooks().confirm ? pendingHooks().confirm(message) : true;
}
bool QueryInput(const std::string& caption, const std::string& prompt, const TFontRec&, std::string& text)
{
  return pendingHooks().query ? pendingHooks().query(caption, prompt, text) : false;
}
std::string MakeFileName(const std::string& name, const std::string& defaultExt)
{
  auto slash = name.rfind('/');
  std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
  if (file.find('.') == std::string::npos)
    return name + "." + defaultExt;
  return name;
}
void TraceCall(const std::string&) {}
void BuildDelimiterSet(TCharSet& set)
{
  set.reset();
  for (int c = 0; c <= 32; ++c)
    set.set(c);
  for (unsigned char c : ConcordSettings.NonWordChars)
    set.set(c);
  for (char c : {ConcordSettings.WildCard0orMore, ConcordSettings.WildCard0or1, ConcordSettings.WildCardExactly1,
                 ConcordSettings.WildCardMatchWords})
    set.set(static_cast<unsigned char>(c));
}
std::string LowerCaseText(const std::string& text)
{
  return LocaleLowerStr(text);
}
