// "Frequency and Collocation Options" without its widgets: the frequency
// settings (word lists, collocates, word counting) as the dialog shows and
// stores them, whether the stop list filters the lists, the settings area
// [FrequencyConfiguration], and what the frame refreshes after OK.
#pragma once

#include "foundation/settings.h"
#include "platform/ini_file.h"

#include <cstdint>
#include <functional>
#include <string>

inline constexpr const char* FrequencySection = "FrequencyConfiguration";

// What the dialog asks of the program around it.
class TFreqConfigHost {
public:
  virtual ~TFreqConfigHost() = default;
  // Shows the stop-list editor modally.
  virtual void ShowStopListEditor() = 0;
};

// One edit with its up-down: typed text, and the position that the last
// clamp (or the arrows) left.
struct TUpDownValue {
  std::string Text;
  int32_t Position = 0;
  int32_t Min = 0;
  int32_t Max = 0;

  void Set(int32_t value)
  {
    Position = value;
    Text = std::to_string(value);
  }
  // The text clamped to the range (unsigned, as every up-down edit); the
  // position follows.
  int32_t Clamp();
};

class TFreqConfigModel {
public:
  static constexpr const char* Caption = "Frequency and Collocation Options";
  static constexpr const char* SpanTexts[4] = {"1L-1R", "2L-2R", "3L-3R", "4L-4R"};
  static constexpr int32_t MaxLinesLimit = 950000;
  static constexpr int EditMaxLength = 7;

  // Owns the [FrequencyConfiguration] area of the settings file for its
  // lifetime (the area it replaced comes back afterwards).
  explicit TFreqConfigModel(TFreqConfigHost& host);
  ~TFreqConfigModel();
  TFreqConfigModel(const TFreqConfigModel&) = delete;
  TFreqConfigModel& operator=(const TFreqConfigModel&) = delete;

  // --- the controls --------------------------------------------------------
  TUpDownValue MinFreq{{}, 0, 1, 32000};
  TUpDownValue MaxFreq{{}, 0, 0, 32000};
  std::string MaxLinesText;
  int SpanIndex = 1;  // CollocSpanCombo's selection
  TUpDownValue HighlightFirst{{}, 0, 1, 32};
  bool IgnoreCaseChecked = true;
  bool SkipTagsChecked = true;
  // RadioGroup: "&Content words only" rather than "Count &all words".
  bool ContentWordsOnly = false;

  // --- the dialog's own fields ---------------------------------------------
  // Every word is counted, the stop list is not used.
  bool CountAllWords = true;
  // The stop-list editor was opened from this dialog (at any time of the run).
  bool StopListEdited = false;

  // The controls from FrequencySettings and the stop list.
  void FormShow();
  // The controls to FrequencySettings, CountAllWords and the stop list.
  void OKBtnClick();
  // Cancel: the stop list gets back the active state it had when shown (the
  // editor may have loaded a list meanwhile).
  void CancelBtnClick();
  // Switches to content words and shows the stop-list editor, comparing
  // words as IgnoreCaseChecked says meanwhile.
  void EditButtonClick();
  // "&Content words only" was chosen; true when the focus should go to the
  // Edit button, the stop list having no words.
  bool ContentWordsClick();
  // Whether "Ma&ximum Frequency:" is enabled: the maximum's text read as a
  // number is above 0, or it is no number.
  bool MaxFreqLabelEnabled() const;
  // The four edits take only these keys (Backspace is 8).
  static bool AcceptsKey(char key) { return (key >= '0' && key <= '9') || key == 8; }

  // The settings area.
  void ReadSettings(const platform::IniFile& ini);
  void WriteSettings(platform::IniFile& ini) const;

private:
  TFreqConfigHost& host_;
  TFreqConfigModel* previous_ = nullptr;
  bool stopActiveAtShow_ = false;
};

// The area's reader and writer, through the current dialog model (without
// one the writer writes CountAllWords as not the stop list's active state).
void ReadFrequencySettings(const platform::IniFile& ini);
void WriteFrequencySettings(platform::IniFile& ini);

// What the frame refreshes after the dialog's OK, from the settings before
// and after and the stop list's active state before and after.
struct TFreqOptionsChanges {
  bool FreeFreqList = false;       // the counts are stale: free them, show the corpus anew
  bool ResetWordCounts = false;    // the per-item word counts too
  bool CloseListWindows = false;   // collocation and word-list windows
  bool ReRankCollocates = false;   // every concordance window, to CollocHighliteFirst
  bool DropCollocates = false;     // every concordance window
};
TFreqOptionsChanges FreqOptionsChanges(const TFrequencySettings& before, bool stopActiveBefore,
                                       const TFrequencySettings& after, bool stopActiveAfter,
                                       bool stopListEdited);
