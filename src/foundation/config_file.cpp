#include "foundation/config_file.h"

#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/utils.h"
#include "foundation/stop_list.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/winlocale.h"

#include <array>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

std::vector<std::string> URLHistory;

namespace {

// ---------------------------------------------------------------------------
// The hub's own areas.

void ReadGeneralPaths(const platform::IniFile& ini)
{
  CorpusPath = ini.readString(GeneralSection, "CorpusPath", "");
  StopListPath = ini.readString(GeneralSection, "StopListPath", "");
  ConcordancePath = ini.readString(GeneralSection, "ConcordancePath", "");
  FreqPath = ini.readString(GeneralSection, "FreqPath", "");
  CorpusFreqPath = ini.readString(GeneralSection, "CorpusFreqPath", "");
  ReadFont(ini, GeneralSection, "CorpusFont", CorpusFont);
  ReadFont(ini, GeneralSection, "SystemFont", SystemFont);
  SetDialogFont(SystemFont);
}

void WriteGeneralPaths(platform::IniFile& ini)
{
  ini.writeString(GeneralSection, "CorpusPath", CorpusPath);
  ini.writeString(GeneralSection, "StopListPath", StopListPath);
  ini.writeString(GeneralSection, "ConcordancePath", ConcordancePath);
  ini.writeString(GeneralSection, "FreqPath", FreqPath);
  ini.writeString(GeneralSection, "CorpusFreqPath", CorpusFreqPath);
  WriteFont(ini, GeneralSection, "CorpusFont", CorpusFont);
  WriteFont(ini, GeneralSection, "SystemFont", SystemFont);
}

void ReadSentExcepts(const platform::IniFile& ini)
{
  ReadIniList(ini, SentExceptsSection, "Word", SentDelimitersExcepts);
  for (auto& word : SentDelimitersExcepts)
    word = LowerCaseText(word);
}

void WriteSentExcepts(platform::IniFile& ini)
{
  WriteIniList(ini, SentExceptsSection, "Word", SentDelimitersExcepts);
}

void ReadFullSentence(const platform::IniFile& ini)
{
  SentDelimiters = ini.readString(FullSentenceSection, "SentDelimiters", ".!?");
  SentDelimitersPath = ini.readString(FullSentenceSection, "SentDelimitersPath", "");
  SmartAbbrDetect = ini.readBool(FullSentenceSection, "SmartAbbrDetect", false);
}

void WriteFullSentence(platform::IniFile& ini)
{
  ini.writeString(FullSentenceSection, "SentDelimiters", SentDelimiters);
  ini.writeString(FullSentenceSection, "SentDelimitersPath", SentDelimitersPath);
  ini.writeBool(FullSentenceSection, "SmartAbbrDetect", SmartAbbrDetect);
}

void ReadURLHistory(const platform::IniFile& ini)
{
  ReadIniList(ini, URLHistorySection, "URLs", URLHistory);
}

void WriteURLHistory(platform::IniFile& ini)
{
  WriteIniList(ini, URLHistorySection, "URLs", URLHistory);
}

void ReadLanguage(const platform::IniFile& ini)
{
  const int32_t userDefault = platform::userDefaultLangId();
  int32_t langId = ini.readInteger(GeneralSection, "Language", userDefault);
  if (langId != userDefault && LanguageNameById(langId).empty())
    langId = userDefault;
  SetTextLanguage(langId);
  BuildCharTables();
}

void WriteLanguage(platform::IniFile& ini)
{
  ini.writeInteger(GeneralSection, "Language", LanguageId);
}

std::array<TConfigArea, ConfigSlotCount>& Areas()
{
  static std::array<TConfigArea, ConfigSlotCount> areas = [] {
    std::array<TConfigArea, ConfigSlotCount> a;
    a[csDefaultFonts - 1] = {[](const platform::IniFile&) { CreateDefaultFonts(); }, {}};
    a[csGeneral - 1] = {ReadGeneralPaths, WriteGeneralPaths};
    a[csStopList - 1] = {[](const platform::IniFile& ini) { GlobalStopList.ReadSettings(ini); },
                         [](platform::IniFile& ini) { GlobalStopList.WriteSettings(ini); }};
    a[csSentExcepts - 1] = {ReadSentExcepts, WriteSentExcepts};
    a[csFullSentence - 1] = {ReadFullSentence, WriteFullSentence};
    a[csURLHistory - 1] = {ReadURLHistory, WriteURLHistory};
    a[csLanguage - 1] = {ReadLanguage, WriteLanguage};
    return a;
  }();
  return areas;
}

// The slots in the order the writer runs them.
constexpr std::array<int, ConfigSlotCount - 1> WriteOrder = {2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 11,
                                                             13, 14, 15, 16};

bool IsFile(const std::string& path)
{
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Opens for reading and writing and closes at once; sharing is not enforced.
bool OpensReadWrite(const std::string& path, bool create)
{
  const int fd = platform::fileops::openForWrite(path, O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
  if (fd < 0)
    return false;
  platform::fileops::close(fd);
  return true;
}

std::string WriteFailureText(const std::string& fileName)
{
  return "Could not write to configuration file " + fileName + "!";
}

// Neither folder takes the settings file: said once per session, and the
// program goes on without saving.
bool NoSettingsFile()
{
  if (!SettingsUnwritableShown) {
    SettingsUnwritableShown = true;
    ShowError(WriteFailureText(platform::windowsFolder() + SettingsFileName));
  }
  return false;
}

// Changes one key of the settings file and commits it.
bool WriteGeneralKey(const std::function<void(platform::IniFile&)>& change)
{
  const std::string path = GetSettingsWritePath();
  if (path.empty())
    return NoSettingsFile();
  try {
    platform::IniFile ini(path);
    change(ini);
    ini.flush();
    return true;
  } catch (...) {
    ShowError(WriteFailureText(path));
    return false;
  }
}

int DecimalDigits(int64_t value)
{
  // 1 for any value below 10, negative ones included.
  if (value < 10)
    return 1;
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

}  // namespace

// ---------------------------------------------------------------------------

bool SettingsUnwritableShown = false;

TConfigArea RegisterConfigArea(int slot, TConfigArea area)
{
  if (slot < 1 || slot > ConfigSlotCount)
    throw std::out_of_range("settings area slot " + std::to_string(slot));
  TConfigArea old = std::move(Areas()[slot - 1]);
  Areas()[slot - 1] = std::move(area);
  return old;
}

std::string GetSettingsReadPath()
{
  const std::string inProgramFolder = platform::programFolder() + SettingsFileName;
  if (IsFile(inProgramFolder))
    return inProgramFolder;
  return platform::windowsFolder() + SettingsFileName;
}

std::string GetSettingsWritePath()
{
  const std::string inProgramFolder = platform::programFolder() + SettingsFileName;
  if (IsFile(inProgramFolder) && OpensReadWrite(inProgramFolder, false))
    return inProgramFolder;
  const std::string inWindowsFolder = platform::windowsFolder() + SettingsFileName;
  if (OpensReadWrite(inWindowsFolder, true))
    return inWindowsFolder;
  return {};
}

bool LoadSettings()
{
  return ReadConfig(GetSettingsReadPath());
}

bool SaveSettings()
{
  const std::string path = GetSettingsWritePath();
  if (path.empty())
    return NoSettingsFile();
  // The two keys of the settings file alone go into the same commit, so an
  // exit write keeps them.
  return WriteConfig(path, [](platform::IniFile& ini) {
    ini.writeBool(GeneralSection, "SaveOnExit", SaveOnExit);
    ini.writeString(GeneralSection, "WorkspacePath", WorkspacePath);
  });
}

bool ReadConfig(const std::string& fileName)
{
  try {
    const platform::IniFile ini(fileName);
    ReadConfigInfo(ini);
    return true;
  } catch (...) {
    ShowError("Could not read from configuration file " + fileName + "!");
    return false;
  }
}

bool WriteConfig(const std::string& fileName, const TConfigSections& extra)
{
  try {
    platform::IniFile ini = platform::IniFile::empty(fileName);
    WriteConfigInfo(ini);
    if (extra)
      extra(ini);
    ini.flush();
    return true;
  } catch (...) {
    ShowError(WriteFailureText(fileName));
    return false;
  }
}

bool LoadConfigFile(const std::string& fileName)
{
  return ReadConfig(fileName);
}

bool SaveConfigFile(const std::string& fileName, const TConfigSections& extra)
{
  return WriteConfig(fileName, extra);
}

void ReadConfigInfo(const platform::IniFile& ini)
{
  TraceCall("ReadConfigInfo(" + ini.path() + ")");
  for (int slot = 1; slot <= ConfigSlotCount; ++slot) {
    // A copy: a reader may register or replace areas.
    const auto read = Areas()[slot - 1].Read;
    if (read)
      read(ini);
  }
}

void WriteConfigInfo(platform::IniFile& ini)
{
  TraceCall("WriteConfigInfo(" + ini.path() + ")");
  for (int slot : WriteOrder) {
    const auto write = Areas()[slot - 1].Write;
    if (write)
      write(ini);
  }
}

void ReadSaveOnExit()
{
  const platform::IniFile ini(GetSettingsReadPath());
  SaveOnExit = ini.readBool(GeneralSection, "SaveOnExit", false);
}

bool WriteSaveOnExit()
{
  return WriteGeneralKey([](platform::IniFile& ini) { ini.writeBool(GeneralSection, "SaveOnExit", SaveOnExit); });
}

void ReadWorkspacePath()
{
  const platform::IniFile ini(GetSettingsReadPath());
  WorkspacePath = ini.readString(GeneralSection, "WorkspacePath", "");
}

bool WriteWorkspacePath()
{
  return WriteGeneralKey(
      [](platform::IniFile& ini) { ini.writeString(GeneralSection, "WorkspacePath", WorkspacePath); });
}

// ---------------------------------------------------------------------------

std::string IniListKey(std::string_view prefix, int count, int index)
{
  const int digits = DecimalDigits(static_cast<int64_t>(count) - 1);
  const int width = (index >= 100 || digits == 1) ? digits : 2;
  char number[32];
  std::snprintf(number, sizeof number, "%.*d", width, index);
  return std::string(prefix) + number;
}

void ReadIniList(const platform::IniFile& ini, std::string_view section, std::string_view prefix,
                 std::vector<std::string>& list)
{
  list.clear();
  const int count = ini.readInteger(section, std::string(prefix) + "Count", 20);
  const int n = count < MaxIniListItems ? count : MaxIniListItems;
  for (int i = 0; i < n; ++i) {
    std::string item = ini.readString(section, IniListKey(prefix, count, i), "");
    if (!item.empty())
      list.push_back(std::move(item));
  }
}

void WriteIniList(platform::IniFile& ini, std::string_view section, std::string_view prefix,
                  const std::vector<std::string>& list)
{
  const int n = list.size() < static_cast<size_t>(MaxIniListItems) ? static_cast<int>(list.size())
                                                                    : MaxIniListItems;
  ini.writeInteger(section, std::string(prefix) + "Count", n);
  for (int i = 0; i < n; ++i)
    ini.writeString(section, IniListKey(prefix, n, i), list[static_cast<size_t>(i)]);
}

// ---------------------------------------------------------------------------

namespace {

// The text before the first character of `delimiters`; that text and the
// character are removed. Without such a character the whole text is taken.
std::string CutAt(std::string_view& text, std::string_view delimiters)
{
  const auto at = text.find_first_of(delimiters);
  if (at == std::string_view::npos) {
    std::string token(text);
    text = {};
    return token;
  }
  std::string token(text.substr(0, at));
  text.remove_prefix(at + 1);
  return token;
}

}  // namespace

TFontRec& ReadFont(const platform::IniFile& ini, std::string_view section, std::string_view key,
                   TFontRec& font)
{
  const std::string value = ini.readString(section, key, "");
  if (value.empty())
    return font;
  std::string_view rest = value;
  font.Name = CutAt(rest, ",:;");
  static constexpr std::string_view numberEnd = " ,:;";
  font.Size = StrToIntSafe(CutAt(rest, numberEnd));
  font.Style = StrToIntSafe(CutAt(rest, numberEnd));
  font.Color = StrToIntSafe(CutAt(rest, numberEnd));
  font.Charset = StrToIntSafe(CutAt(rest, numberEnd));
  return font;
}

std::string FontValue(const TFontRec& font)
{
  return font.Name + "," + std::to_string(font.Size) + "," + std::to_string(font.Style) + "," +
         std::to_string(font.Color) + "," + std::to_string(font.Charset);
}

void WriteFont(platform::IniFile& ini, std::string_view section, std::string_view key, const TFontRec& font)
{
  ini.writeString(section, key, FontValue(font));
}

int32_t StrToIntSafe(std::string_view text)
{
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty())
    return 0;
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return 0;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull)
      return 0;
  }
  if (base == 16) {
    // Hexadecimal spans all 32 bits, as colours are written.
    const int64_t bits = static_cast<int32_t>(static_cast<uint32_t>(value));
    const int64_t result = negative ? -bits : bits;
    return (result < INT32_MIN || result > INT32_MAX) ? 0 : static_cast<int32_t>(result);
  }
  const int64_t result = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  return (result < INT32_MIN || result > INT32_MAX) ? 0 : static_cast<int32_t>(result);
}

// ---------------------------------------------------------------------------

namespace {
constexpr std::array<const char*, 4> ContextSizeKeys = {"ContextChars", "ContextWords", "ContextLines",
                                                        "ContextSentences"};
constexpr std::array<int32_t, 4> ContextSizeDefaults = {40, 8, 3, 1};
constexpr std::array<const char*, 3> SuppressKeys = {"Tags", "PartOfSpeech", "Words"};
}  // namespace

uint8_t ReadContextType(const platform::IniFile& ini, std::string_view section, std::string_view key)
{
  const uint8_t type = static_cast<uint8_t>(ini.readInteger(section, key, 0) & 0xFF);
  return type >= 4 ? 0 : type;
}

void WriteContextType(platform::IniFile& ini, std::string_view section, std::string_view key, uint8_t type)
{
  ini.writeInteger(section, key, type);
}

void ReadContextSizes(const platform::IniFile& ini, std::string_view section, std::string_view prefix,
                      std::array<int32_t, 4>& sizes)
{
  for (int i = 0; i < 4; ++i) {
    const int32_t value = ini.readInteger(section, std::string(prefix) + ContextSizeKeys[i], ContextSizeDefaults[i]);
    sizes[i] = ClampContextSize(i, value);
  }
}

void WriteContextSizes(platform::IniFile& ini, std::string_view section, std::string_view prefix,
                       const std::array<int32_t, 4>& sizes)
{
  for (int i = 0; i < 4; ++i)
    ini.writeInteger(section, std::string(prefix) + ContextSizeKeys[i], sizes[i]);
}

void ReadSuppressFlags(const platform::IniFile& ini, std::string_view section, std::string_view prefix,
                       std::array<bool, 3>& flags)
{
  for (int i = 0; i < 3; ++i)
    flags[i] = ini.readBool(section, std::string(prefix) + SuppressKeys[i], false);
  if (flags[0] && flags[1] && flags[2])
    flags[2] = false;
}

void WriteSuppressFlags(platform::IniFile& ini, std::string_view section, std::string_view prefix,
                        const std::array<bool, 3>& flags)
{
  for (int i = 0; i < 3; ++i)
    ini.writeBool(section, std::string(prefix) + SuppressKeys[i], flags[i]);
}

char ReadCharSetting(const platform::IniFile& ini, std::string_view section, std::string_view key, char def)
{
  if (!ini.valueExists(section, key))
    return def;
  const std::string value = ini.readString(section, key, "");
  return value.empty() ? '\0' : value.front();
}

void WriteCharSetting(platform::IniFile& ini, std::string_view section, std::string_view key, char value)
{
  ini.writeString(section, key, value == '\0' ? std::string() : std::string(1, value));
}
