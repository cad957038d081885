// The settings file QUILPRO.INI and the configuration hub.
//
// Where the file lives, the reading and writing of every settings area in a
// fixed order, the general keys that belong to no dialog, and the INI helpers
// every area uses: lists, font values, context sizes and suppress flags.
//
// Settings areas: each is a reader and a writer over one INI object, kept in
// a fixed slot. ReadConfigInfo runs slots 1..16 in order; WriteConfigInfo
// skips slot 1 and writes slot 12 before slot 11:
//    1 default fonts (read only)          9 part-of-speech tag settings
//    2 general folders and fonts         10 heading and context restrictions
//    3 search parameters                 11 stop list
//    4 search dialog switches, history   12 frequency options
//    5 batch search options              13 sentence-delimiter exceptions
//    6 headings                          14 full-sentence settings
//    7 advanced sort and collocation     15 URL history
//    8 tag settings                      16 text language
// The hub fills 1, 2, 11 and 13..16 itself; the owners of the others register
// theirs with RegisterConfigArea. The slot, not the order of registration,
// decides when an area runs; empty slots are skipped.
#pragma once

#include "foundation/settings.h"
#include "platform/ini_file.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------
// Sections and keys owned by the hub.

inline constexpr const char* SettingsFileName = "QUILPRO.INI";
inline constexpr const char* GeneralSection = "GeneralConfiguration";
inline constexpr const char* SentExceptsSection = "SentDelimitersExcepts";
inline constexpr const char* FullSentenceSection = "FullSentence";
inline constexpr const char* URLHistorySection = "URLHistory";

// Earlier URLs, most recent first ([URLHistory], list prefix "URLs").
extern std::vector<std::string> URLHistory;

// ---------------------------------------------------------------------------
// Settings areas.

enum TConfigSlot : int {
  csDefaultFonts = 1,
  csGeneral = 2,
  csSearchParameters = 3,
  csSearchDialog = 4,
  csBatchOptions = 5,
  csHeadings = 6,
  csAdvancedSort = 7,
  csTagSettings = 8,
  csWordTagSettings = 9,
  csHeadingContext = 10,
  csStopList = 11,
  csFrequencyOptions = 12,
  csSentExcepts = 13,
  csFullSentence = 14,
  csURLHistory = 15,
  csLanguage = 16,
};
inline constexpr int ConfigSlotCount = 16;

struct TConfigArea {
  std::function<void(const platform::IniFile&)> Read;  // may be empty
  std::function<void(platform::IniFile&)> Write;       // may be empty
};

// Puts an area into its slot (1..16) and returns the one it replaces; an area
// with neither function empties the slot. Throws std::out_of_range for a
// slot outside 1..16.
TConfigArea RegisterConfigArea(int slot, TConfigArea area);

// ---------------------------------------------------------------------------
// Where the settings file lives.

// ProgramFolder + QUILPRO.INI when that file exists, else WindowsFolder + it.
std::string GetSettingsReadPath();
// ProgramFolder + QUILPRO.INI when that file exists and opens for reading and
// writing; else WindowsFolder + QUILPRO.INI when it opens for reading and
// writing (a missing file is created empty by the test); else "".
std::string GetSettingsWritePath();

// ---------------------------------------------------------------------------
// Whole-file reading and writing. Failures are shown with ShowError and
// give false; a missing file reads as all defaults.

// Extra sections a caller adds to the composed file before it is committed.
using TConfigSections = std::function<void(platform::IniFile&)>;

bool LoadSettings();   // ReadConfig of GetSettingsReadPath()
// WriteConfig of GetSettingsWritePath() with SaveOnExit and WorkspacePath
// added. With no writable location nothing is written, the result is false
// and "Could not write to configuration file %s!" is shown, once per session
// (SettingsUnwritableShown).
bool SaveSettings();
extern bool SettingsUnwritableShown;

bool ReadConfig(const std::string& fileName);
// Composes every area into an empty image, adds `extra`, and commits it with
// one atomic replace. On failure the old file stays byte for byte and
// "Could not write to configuration file <file>!" is shown.
bool WriteConfig(const std::string& fileName, const TConfigSections& extra = {});
// The same two for a workspace file.
bool LoadConfigFile(const std::string& fileName);
bool SaveConfigFile(const std::string& fileName, const TConfigSections& extra = {});

void ReadConfigInfo(const platform::IniFile& ini);
void WriteConfigInfo(platform::IniFile& ini);

// One key each in [GeneralConfiguration] of the settings file itself. The
// readers set SaveOnExit / WorkspacePath; the writers change their one key in
// the current file and commit it (false after a shown failure; true and
// nothing written when there is no writable location).
void ReadSaveOnExit();
bool WriteSaveOnExit();
void ReadWorkspacePath();
bool WriteWorkspacePath();

// ---------------------------------------------------------------------------
// INI helpers for every area.

inline constexpr int MaxIniListItems = 10000;

// Key of item `index` of a list whose digit width comes from `count` - 1.
std::string IniListKey(std::string_view prefix, int count, int index);
// Empties `list`, then reads prefix+"Count" (default 20) items, at most
// 10000; empty values are dropped.
void ReadIniList(const platform::IniFile& ini, std::string_view section, std::string_view prefix,
                 std::vector<std::string>& list);
// Writes the count and every item (empty ones too), at most 10000. The
// section is not erased.
void WriteIniList(platform::IniFile& ini, std::string_view section, std::string_view prefix,
                  const std::vector<std::string>& list);

// Font value "name,size,style,colour,charset". An empty or missing value
// leaves the font untouched; a missing or bad number sets its property to 0.
TFontRec& ReadFont(const platform::IniFile& ini, std::string_view section, std::string_view key,
                   TFontRec& font);
void WriteFont(platform::IniFile& ini, std::string_view section, std::string_view key,
               const TFontRec& font);
std::string FontValue(const TFontRec& font);

// 0 for the empty text, for text that is no integer and for values outside
// 32 bits; else the value (optional sign, decimal, or $ / 0x hexadecimal).
int32_t StrToIntSafe(std::string_view text);

// Low byte of the stored integer; 4 or more reads as 0 (characters).
uint8_t ReadContextType(const platform::IniFile& ini, std::string_view section, std::string_view key);
void WriteContextType(platform::IniFile& ini, std::string_view section, std::string_view key,
                      uint8_t type);
// prefix + ContextChars / ContextWords / ContextLines / ContextSentences,
// defaults 40, 8, 3, 1, each clamped to the context options' range.
void ReadContextSizes(const platform::IniFile& ini, std::string_view section, std::string_view prefix,
                      std::array<int32_t, 4>& sizes);
void WriteContextSizes(platform::IniFile& ini, std::string_view section, std::string_view prefix,
                       const std::array<int32_t, 4>& sizes);
// prefix + Tags / PartOfSpeech / Words, default false; when all three read
// as true, Words is turned off.
void ReadSuppressFlags(const platform::IniFile& ini, std::string_view section, std::string_view prefix,
                       std::array<bool, 3>& flags);
void WriteSuppressFlags(platform::IniFile& ini, std::string_view section, std::string_view prefix,
                        const std::array<bool, 3>& flags);

// A character setting: a missing key gives `def`, an empty value #0, else
// the value's first byte. #0 is written as an empty value, never a NUL byte.
char ReadCharSetting(const platform::IniFile& ini, std::string_view section, std::string_view key, char def);
void WriteCharSetting(platform::IniFile& ini, std::string_view section, std::string_view key, char value);
