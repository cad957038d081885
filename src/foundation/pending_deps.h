// TEMPORARY stand-ins for the message functions and shared state that land
// with the streams/dialogs work; removed when it is merged.
#pragma once

#include "foundation/settings.h"

#include <functional>
#include <string>
#include <vector>

extern std::string CorpusPath, StopListPath, ConcordancePath, FreqPath, CorpusFreqPath,
    SentDelimitersPath, WorkspacePath;
extern bool SaveOnExit;
extern std::vector<std::string> SentDelimitersExcepts;

void ShowError(const std::string& message);
bool ConfirmOkCancel(const std::string& message, bool defaultOk);
bool QueryInput(const std::string& caption, const std::string& prompt, const TFontRec& font, std::string& text);
std::string MakeFileName(const std::string& name, const std::string& defaultExt);
void TraceCall(const std::string& text);
void BuildDelimiterSet(TCharSet& set);
std::string LowerCaseText(const std::string& text);

struct ScopedHourglass {
  ScopedHourglass() {}
  ~ScopedHourglass() {}
};

struct PendingHooks {
  std::function<void(const std::string&)> error;
  std::function<bool(const std::string&)> confirm;
  std::function<bool(const std::string&, const std::string&, std::string&)> query;
};
PendingHooks& pendingHooks();
