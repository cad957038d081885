// The full-text window without widgets: the item it shows with its line list
// and reader, the caption, the growth rule of the view while lines are
// counted, the suppress flags and the print of the whole text.
#pragma once

#include "foundation/file_strings.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ProgressDialog;
class TBufStream;
class TSynchroStream;
class TTextSink;

// "Corpus Text - " and the URL whole or the file name without its folder.
std::string FullTextCaption(const std::string& name);
// The question asked before a print of more than PrintQuestionLines lines.
std::string PrintQuestionText(int32_t lines);
inline constexpr int32_t PrintQuestionLines = 100;

// Whether a newly counted line should reach the view: before the first
// notice (lastLaidOut -1), or while the laid-out lines from the top one do
// not yet fill the client height.
bool ViewShouldGrow(int32_t lastLaidOut, int32_t viewLastLaidOut, int32_t topIndex, int32_t lineHeight,
                    int32_t clientHeight);

class TFullTextModel {
public:
  // The events of the line list; they fire on the counting thread.
  struct TEvents {
    TFileStrings::TNotifyEvent LineCounted;
    TFileStrings::TNotifyEvent CountDone;
    TFileStrings::TErrorEvent Failed;
  };

  TFullTextModel() = default;
  ~TFullTextModel() { Release(); }
  TFullTextModel(const TFullTextModel&) = delete;
  TFullTextModel& operator=(const TFullTextModel&) = delete;

  // Shows the corpus item name: FileName, LastLaidOut -1, a reader of its own
  // over the item's source stream, configured from the settings, and the
  // line list with the events, whose count starts at once. False, with
  // nothing loaded, when name is not in the corpus. Raises when the offset
  // file cannot be made.
  bool Load(const std::string& name, TEvents events);
  // Stops and joins the count, frees the list, then the reader. Afterwards
  // nothing reads the item's stream.
  void Release();
  // The settings' tag configuration again; false when nothing is loaded.
  bool TagsChanged();
  // Flips suppress item clicked (0 tags, 1 part of speech, 2 words) and the
  // list's flag; true when the display changed.
  bool ToggleSuppress(int clicked);
  bool PrintEnabled() const;

  TFileStrings* Lines() const { return Lines_.get(); }
  TBufStream* Reader() const { return Reader_.get(); }
  const std::array<bool, 3>& SuppressChecks() const { return suppressChecks_; }

  int32_t LastLaidOut = -1;
  bool CountDone = false;
  std::string FileName;

private:
  std::unique_ptr<TBufStream> Reader_;
  std::unique_ptr<TFileStrings> Lines_;
  std::array<bool, 3> suppressChecks_{};
};

// Opens the print job of the given title.
using TPrintJobOpener = std::function<std::unique_ptr<TTextSink>(const std::string& jobTitle)>;

// Prints the whole item of the model: asks first above PrintQuestionLines
// counted lines; nothing when the item left the corpus. While it runs
// BusyPrinting is set (menusChanged is called at once so the menus follow)
// and a progress form shows the share sent and the lines per second; Cancel
// aborts the job. Failures pass on with BusyPrinting cleared. nowMs gives a
// steady clock in milliseconds.
void PrintFullText(const TFullTextModel& model, const TPrintJobOpener& openJob, const std::function<void()>& menusChanged,
                   const std::function<int64_t()>& nowMs);
