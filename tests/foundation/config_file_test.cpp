#include "foundation/config_file.h"

#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/stop_list.h"
#include "platform/paths.h"
#include "platform/winlocale.h"
#include "platform/safe_write.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using platform::IniFile;
using testsupport::readFile;

namespace {

// A clean program state with the program folder, the Windows folder and the
// temp folder inside one scratch folder; messages are recorded.
class ConfigFileTest : public ::testing::Test {
protected:
  ConfigFileTest()
    : config_("XDG_CONFIG_HOME", dir_.path() + "config"), tmp_("TMPDIR", dir_.path())
  {
    std::filesystem::create_directory(dir_.path() + "prog");
    platform::setProgramFolder(dir_.path() + "prog");
    InitProgramState();
    InitSharedState();
    GlobalStopList = TStopList();
    URLHistory.clear();
  }
  ~ConfigFileTest() override
  {
    platform::setWriteFaultHook({});
    platform::setProgramFolder("");
  }

  // The texts of the error boxes shown so far.
  std::vector<std::string> Errors() const
  {
    std::vector<std::string> texts;
    for (const auto& m : dialogs_.Messages) {
      EXPECT_EQ(m.Kind, mtError);
      texts.push_back(m.Text);
    }
    return texts;
  }

  std::string programIni() const { return dir_.path() + "prog/QUILPRO.INI"; }
  std::string windowsIni() const { return dir_.path() + "config/quillmar/QUILPRO.INI"; }

  testsupport::ScratchFolder dir_;
  testsupport::ScopedEnv config_;
  testsupport::ScopedEnv tmp_;
  testsupport::FakeDialogs dialogs_;
};

// Puts an area into a slot for one test.
class ScopedArea {
public:
  ScopedArea(int slot, TConfigArea area) : slot_(slot), old_(RegisterConfigArea(slot, std::move(area))) {}
  ~ScopedArea() { RegisterConfigArea(slot_, std::move(old_)); }

private:
  int slot_;
  TConfigArea old_;
};

std::vector<std::string> Items(const std::string& prefix, int n)
{
  std::vector<std::string> items;
  for (int i = 0; i < n; ++i)
    items.push_back(prefix + std::to_string(i));
  return items;
}

}  // namespace

// --- INI lists --------------------------------------------------------------

TEST(IniListKeys, WidthFollowsTheCountOfTheList)
{
  // count, index, key; above 1000 two digits below 100 and four from 100 on
  for (auto [count, index, key] : std::vector<std::tuple<int32_t, int32_t, std::string>>{
         {10, 0, "W0"}, {10, 9, "W9"}, {11, 0, "W00"}, {11, 10, "W10"}, {101, 99, "W99"}, {101, 100, "W100"},
         {1001, 5, "W05"}, {1001, 100, "W0100"}, {0, 0, "W0"}, {INT32_MIN, 0, "W0"}})
    EXPECT_EQ(IniListKey("W", count, index), key) << count << " " << index;
}

TEST_F(ConfigFileTest, ListsRoundTripAtEveryWidth)
{
  const std::string path = dir_.file("lists.ini");
  IniFile ini = IniFile::empty(path);
  for (int n : {0, 1, 10, 11, 100, 101, 1001})
    WriteIniList(ini, "S" + std::to_string(n), "Item", Items("v", n));
  ini.flush();

  const IniFile back(path);
  EXPECT_EQ(back.readString("S10", "Item9", ""), "v9");
  EXPECT_FALSE(back.valueExists("S10", "Item09"));
  EXPECT_EQ(back.readString("S11", "Item00", ""), "v0");
  EXPECT_EQ(back.readString("S11", "Item10", ""), "v10");
  EXPECT_EQ(back.readString("S1001", "Item0100", ""), "v100");
  for (int n : {0, 1, 10, 11, 100, 101, 1001}) {
    std::vector<std::string> list{"stale"};
    ReadIniList(back, "S" + std::to_string(n), "Item", list);
    EXPECT_EQ(list, Items("v", n)) << n << " items";
  }
}

TEST_F(ConfigFileTest, ListWithoutCountTriesTwentyKeysAndDropsEmptyValues)
{
  const std::string path = dir_.write("l.ini",
                                      "[H]\r\nURLs00=a\r\nURLs05=\r\nURLs19=z\r\nURLs20=beyond\r\nURLs1=one\r\n");
  std::vector<std::string> list;
  ReadIniList(IniFile(path), "H", "URLs", list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "z"}));
}

TEST_F(ConfigFileTest, ListWriterKeepsEmptyItemsAndTheRestOfTheSection)
{
  IniFile ini = IniFile::empty(dir_.file("x.ini"));
  ini.writeString("S", "Other", "kept");
  WriteIniList(ini, "S", "P", {"a", "", "c"});
  EXPECT_EQ(ini.readString("S", "PCount", ""), "3");
  EXPECT_TRUE(ini.valueExists("S", "P1"));
  EXPECT_EQ(ini.readString("S", "Other", ""), "kept");
  std::vector<std::string> list;
  ReadIniList(ini, "S", "P", list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "c"}));
}

TEST_F(ConfigFileTest, ListsKeepAtMostTenThousandItems)
{
  IniFile ini = IniFile::empty(dir_.file("big.ini"));
  WriteIniList(ini, "W", "P", Items("w", 10002));
  EXPECT_EQ(ini.readInteger("W", "PCount", 0), 10000);
  EXPECT_EQ(ini.readString("W", "P9999", ""), "w9999");
  EXPECT_FALSE(ini.valueExists("W", "P10000"));
  std::vector<std::string> list;
  ReadIniList(ini, "W", "P", list);
  EXPECT_EQ(list.size(), 10000u);

  // A count beyond the limit: keys are five digits wide from item 100 on.
  ini.writeInteger("S", "PCount", 50000);
  ini.writeString("S", "P07", "seven");
  ini.writeString("S", "P09999", "last");
  ini.writeString("S", "P10000", "beyond");
  ReadIniList(ini, "S", "P", list);
  EXPECT_EQ(list, (std::vector<std::string>{"seven", "last"}));
}

// --- Values -----------------------------------------------------------------

TEST(StrToIntSafe, BadOrOversizedTextIsZero)
{
  for (auto [text, value] : std::vector<std::pair<std::string, int32_t>>{
         {"42", 42}, {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX}, {"2147483648", 0},
         {"99999999999999999999", 0}, {"", 0}, {"-", 0}, {"12x", 0}, {"$FF", 255},
         {"$80000008", static_cast<int32_t>(0x80000008)}})
    EXPECT_EQ(StrToIntSafe(text), value) << text;
}

TEST_F(ConfigFileTest, FontValuesReadAsWrittenAndMissingNumbersAsZero)
{
  const std::string path = dir_.write("f.ini",
                                      "[F]\r\n"
                                      "Arial=Arial,10,1,255,0\r\n"
                                      "Short=Courier New,12\r\n"
                                      "Bad=Times;x,2,-5,7\r\n"
                                      "Empty=\r\n");
  const IniFile ini(path);
  TFontRec font{"Old", 9, 8, 5, 1};
  ReadFont(ini, "F", "Arial", font);
  EXPECT_EQ(font, (TFontRec{"Arial", 10, fsBold, 0x0000FF, 0}));  // red in BGR

  ReadFont(ini, "F", "Short", font);
  EXPECT_EQ(font, (TFontRec{"Courier New", 12, 0, 0, 0}));
  ReadFont(ini, "F", "Bad", font);
  EXPECT_EQ(font, (TFontRec{"Times", 0, 2, -5, 7}));

  const TFontRec untouched{"Keep", 7, 3, 4, 2};
  font = untouched;
  EXPECT_EQ(ReadFont(ini, "F", "Empty", font), untouched);
  EXPECT_EQ(ReadFont(ini, "F", "Missing", font), untouched);
}

TEST_F(ConfigFileTest, FontsWithSystemColoursAndSizeZeroRoundTrip)
{
  IniFile ini = IniFile::empty(dir_.file("f.ini"));
  const TFontRec font{"Sans \xC9", 0, fsItalic | fsStrikeOut, static_cast<TColor>(0x80000008), 204};
  WriteFont(ini, "F", "K", font);
  EXPECT_EQ(ini.readString("F", "K", ""), "Sans \xC9,0,10,-2147483640,204");
  TFontRec back;
  EXPECT_EQ(ReadFont(ini, "F", "K", back), font);
}

TEST_F(ConfigFileTest, ContextAndSuppressKeysAreCheckedOnRead)
{
  const std::string path = dir_.write("c.ini",
                                      "[C]\r\n"
                                      "Type=257\r\nBadType=7\r\n"
                                      "xContextChars=5000\r\nxContextWords=-3\r\nxContextLines=4\r\nxContextSentences=9\r\n"
                                      "SuppressTags=1\r\nSuppressPartOfSpeech=1\r\nSuppressWords=1\r\n"
                                      "OnlyTags=1\r\n");
  const IniFile ini(path);
  EXPECT_EQ(ReadContextType(ini, "C", "Type"), 1);  // the low byte
  EXPECT_EQ(ReadContextType(ini, "C", "BadType"), 0);
  EXPECT_EQ(ReadContextType(ini, "C", "Missing"), 0);

  std::array<int32_t, 4> sizes{};
  ReadContextSizes(ini, "C", "x", sizes);
  EXPECT_EQ(sizes, (std::array<int32_t, 4>{1000, 0, 4, 1}));
  ReadContextSizes(ini, "C", "batch", sizes);
  EXPECT_EQ(sizes, (std::array<int32_t, 4>{40, 8, 3, 1}));

  std::array<bool, 3> flags{};
  ReadSuppressFlags(ini, "C", "Suppress", flags);
  EXPECT_EQ(flags, (std::array<bool, 3>{true, true, false}));
  ReadSuppressFlags(ini, "C", "Only", flags);
  EXPECT_EQ(flags, (std::array<bool, 3>{true, false, false}));

  IniFile out = IniFile::empty(dir_.file("o.ini"));
  WriteContextSizes(out, "C", "batch", {12, 3, 2, 1});
  WriteSuppressFlags(out, "C", "Suppress", {false, true, false});
  WriteContextType(out, "C", "Type", 3);
  ReadContextSizes(out, "C", "batch", sizes);
  ReadSuppressFlags(out, "C", "Suppress", flags);
  EXPECT_EQ(sizes, (std::array<int32_t, 4>{12, 3, 2, 1}));
  EXPECT_EQ(flags, (std::array<bool, 3>{false, true, false}));
  EXPECT_EQ(ReadContextType(out, "C", "Type"), 3);
}

TEST_F(ConfigFileTest, EverySuppressFlagCombinationAndEveryStoredContextTypeReadBack)
{
  // Any one or two kinds read back as written; all three read with words on.
  IniFile ini = IniFile::empty(dir_.file("s.ini"));
  for (int mask = 0; mask < 8; ++mask) {
    const std::array<bool, 3> written{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
    const std::string prefix = "S" + std::to_string(mask);
    WriteSuppressFlags(ini, "C", prefix, written);
    std::array<bool, 3> back{!written[0], !written[1], !written[2]};
    ReadSuppressFlags(ini, "C", prefix, back);
    EXPECT_EQ(back, (std::array<bool, 3>{written[0], written[1], written[2] && mask != 7})) << mask;
  }
  for (int type : {0, 1, 2, 3, 4, 5, 255}) {
    WriteContextType(ini, "C", "Type", uint8_t(type));
    EXPECT_EQ(ReadContextType(ini, "C", "Type"), type < 4 ? type : 0) << type;
  }
}

TEST_F(ConfigFileTest, CharacterSettingOfNulIsAnEmptyValue)
{
  IniFile ini = IniFile::empty(dir_.file("ch.ini"));
  WriteCharSetting(ini, "S", "Off", '\0');
  WriteCharSetting(ini, "S", "On", '%');
  ini.flush();
  EXPECT_EQ(readFile(dir_.file("ch.ini")), std::string("[S]\r\nOff=\r\nOn=%\r\n"));
  const IniFile back(dir_.file("ch.ini"));
  EXPECT_EQ(ReadCharSetting(back, "S", "Off", '*'), '\0');
  EXPECT_EQ(ReadCharSetting(back, "S", "On", '*'), '%');
  EXPECT_EQ(ReadCharSetting(back, "S", "Missing", '*'), '*');
}

// --- The whole file -------------------------------------------------------

TEST_F(ConfigFileTest, EveryHubKeyRoundTripsQuotesAndHighBytesIncluded)
{
  CorpusPath = "/corpus/\xE9t\xE9/";
  StopListPath = "/stop/";
  ConcordancePath = "/conc/";
  FreqPath = "/freq/";
  CorpusFreqPath = "/cfreq/";
  CorpusFont = {"Corpus Face", 11, fsBold, 0x00FF00, 0};
  const TFontRec dialogFont{"Dialog", 9, fsItalic, 0, 1};
  SystemFont = dialogFont;
  SentDelimitersExcepts = {"mr", "dr", "caf\xE9"};
  SentDelimiters = ".!?\xBF";
  SentDelimitersPath = "/sent/";
  SmartAbbrDetect = true;
  URLHistory = {"\"http://a/?q=1\"", "'single'", "ftp://x/a;b,c", " "};
  SetTextLanguage(0x407);
  const std::string file = dir_.file("all.ini");
  ASSERT_TRUE(WriteConfig(file));

  InitProgramState();
  CorpusPath = StopListPath = ConcordancePath = FreqPath = CorpusFreqPath = SentDelimitersPath = "";
  SentDelimitersExcepts.clear();
  URLHistory.clear();
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(CorpusPath, "/corpus/\xE9t\xE9/");
  EXPECT_EQ(StopListPath, "/stop/");
  EXPECT_EQ(ConcordancePath, "/conc/");
  EXPECT_EQ(FreqPath, "/freq/");
  EXPECT_EQ(CorpusFreqPath, "/cfreq/");
  EXPECT_EQ(CorpusFont, (TFontRec{"Corpus Face", 11, fsBold, 0x00FF00, 0}));
  EXPECT_EQ(SystemFont, dialogFont);
  EXPECT_EQ(SentDelimitersExcepts, (std::vector<std::string>{"mr", "dr", "caf\xE9"}));
  EXPECT_EQ(SentDelimiters, ".!?\xBF");
  EXPECT_EQ(SentDelimitersPath, "/sent/");
  EXPECT_TRUE(SmartAbbrDetect);
  // A blank-only item is trimmed to nothing and dropped, as any empty value.
  EXPECT_EQ(URLHistory, (std::vector<std::string>{"\"http://a/?q=1\"", "'single'", "ftp://x/a;b,c"}));
  EXPECT_EQ(LanguageId, 0x407);
  const std::string text = readFile(file);
  EXPECT_NE(text.find("URLs0=\"http://a/?q=1\"\r\n"), std::string::npos);
  EXPECT_EQ(text.find("SaveOnExit"), std::string::npos);
}

TEST_F(ConfigFileTest, ReadingDefaultsFontsLowerCasesExceptionsAndChecksTheLanguage)
{
  const std::string file = dir_.write("r.ini",
                                      "[SentDelimitersExcepts]\r\nWordCount=2\r\nWord0=Mr\r\nWord1=\xC9TC\r\n"
                                      "[GeneralConfiguration]\r\nLanguage=39321\r\n");
  CorpusFont = {"Changed", 30, 0, 0, 0};
  SentDelimiters = "x";
  SetTextLanguage(0x407);
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_EQ(CorpusFont, StockSystemFont());  // fonts are made anew before each read
  EXPECT_EQ(SystemFont.Name, "MS Sans Serif");
  EXPECT_EQ(SentDelimiters, ".!?");
  EXPECT_EQ(SentDelimitersExcepts, (std::vector<std::string>{"mr", "\xE9tc"}));
  EXPECT_EQ(LanguageId, platform::userDefaultLangId());  // 0x9999 has no name

  // A missing file is no error: everything reads its default.
  SentDelimiters = "x";
  EXPECT_TRUE(ReadConfig(dir_.file("none.ini")));
  EXPECT_EQ(SentDelimiters, ".!?");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ConfigFileTest, SettingsReaderAppliesTheDialogFont)
{
  // Listeners stay for the whole run, so this one keeps its record on the heap.
  static auto* seen = new std::vector<TFontRec>;
  static bool added = false;
  if (!added) {
    AddDialogFontListener([] { seen->push_back(SystemFont); });
    added = true;
  }
  seen->clear();
  const std::string file = dir_.write("d.ini", "[GeneralConfiguration]\r\nSystemFont=Big,14,0,0,0\r\n");
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_EQ(*seen, (std::vector<TFontRec>{{"Big", 14, 0, 0, 0}}));
}

TEST_F(ConfigFileTest, AreasRunInSlotOrderWhateverTheOrderOfRegistration)
{
  std::vector<std::string> order;
  const auto area = [&order](const std::string& name) {
    return TConfigArea{[&order, name](const IniFile&) { order.push_back("read " + name); },
                       [&order, name](IniFile& ini) {
                         order.push_back("write " + name);
                         ini.writeString("FrequencyConfiguration", name, "x");
                       }};
  };
  ScopedArea freq(csFrequencyOptions, area("12"));
  ScopedArea stop(csStopList, area("11"));
  ScopedArea search(csSearchParameters, area("3"));
  ScopedArea empty(csHeadings, {});

  const std::string file = dir_.file("order.ini");
  ASSERT_TRUE(WriteConfig(file));
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_EQ(order, (std::vector<std::string>{"write 3", "write 12", "write 11", "read 3", "read 11", "read 12"}));
  // The two writers of one section both land in it, 12 first.
  const std::string text = readFile(file);
  EXPECT_LT(text.find("12=x"), text.find("11=x"));
  EXPECT_THROW(RegisterConfigArea(17, {}), std::out_of_range);
  EXPECT_THROW(RegisterConfigArea(0, {}), std::out_of_range);
}

TEST_F(ConfigFileTest, WriteStartsFromAnEmptyFileAndAddsCallerSections)
{
  const std::string file = dir_.write("w.ini", "[Orphan]\r\nKey=1\r\n[GeneralConfiguration]\r\nCorpusPath=/old/\r\n");
  CorpusPath = "/new/";
  ASSERT_TRUE(SaveConfigFile(file, [](IniFile& ini) { ini.writeString("Corpus files", "FileCount", "0"); }));
  const IniFile back(file);
  EXPECT_FALSE(back.sectionExists("Orphan"));
  EXPECT_EQ(back.readString("GeneralConfiguration", "CorpusPath", ""), "/new/");
  EXPECT_EQ(back.readString("Corpus files", "FileCount", ""), "0");
}

TEST_F(ConfigFileTest, ReaderFailureIsShownAndWhatWasReadStays)
{
  const std::string file = dir_.write("e.ini", "[GeneralConfiguration]\r\nCorpusPath=/read/\r\n");
  ScopedArea failing(csSearchParameters, {[](const IniFile&) { throw std::runtime_error("bad"); }, {}});
  EXPECT_FALSE(LoadConfigFile(file));
  EXPECT_EQ(Errors(), (std::vector<std::string>{"Could not read from configuration file " + file + "!"}));
  EXPECT_EQ(CorpusPath, "/read/");
}

TEST_F(ConfigFileTest, FailedWriteKeepsTheOldFileAndShowsTheMessage)
{
  const std::string original = "[GeneralConfiguration]\r\nCorpusPath=/before/\r\nSaveOnExit=0\r\n";
  const std::string file = dir_.write("QUILPRO.INI", original);
  CorpusPath = "/after/";
  // Fail each low-level step in turn until the write gets through.
  int failAt = 1;
  for (;; ++failAt) {
    dialogs_.Messages.clear();
    platform::setWriteFaultHook([failAt](int call) { return call != failAt; });
    if (WriteConfig(file))
      break;
    EXPECT_EQ(Errors(), (std::vector<std::string>{"Could not write to configuration file " + file + "!"}));
    EXPECT_EQ(readFile(file), original) << "failure at step " << failAt;
    EXPECT_EQ(dir_.names(), (std::vector<std::string>{"QUILPRO.INI", "config", "prog"}));  // no temporary left
    ASSERT_LT(failAt, 20);
  }
  EXPECT_GT(failAt, 1);
  EXPECT_NE(readFile(file).find("CorpusPath=/after/"), std::string::npos);
}

// --- Where the file lives ---------------------------------------------------

TEST_F(ConfigFileTest, ReadFromTheProgramFolderOnlyWhenTheFileIsThere)
{
  EXPECT_EQ(GetSettingsReadPath(), windowsIni());
  dir_.write("prog/QUILPRO.INI", "");
  EXPECT_EQ(GetSettingsReadPath(), programIni());
}

TEST_F(ConfigFileTest, WrittenToTheProgramFolderOnlyWhenAFileIsAlreadyThere)
{
  // The test of the Windows folder leaves an empty file there.
  EXPECT_EQ(GetSettingsWritePath(), windowsIni());
  EXPECT_EQ(readFile(windowsIni()), "");
  EXPECT_FALSE(std::filesystem::exists(programIni()));

  CorpusPath = "/c/";
  ASSERT_TRUE(SaveSettings());
  EXPECT_NE(readFile(windowsIni()).find("CorpusPath=/c/"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(programIni()));

  dir_.write("prog/QUILPRO.INI", "");
  EXPECT_EQ(GetSettingsWritePath(), programIni());
  ASSERT_TRUE(SaveSettings());
  EXPECT_NE(readFile(programIni()).find("CorpusPath=/c/"), std::string::npos);

  // The settings are then read from there as well.
  CorpusPath.clear();
  ASSERT_TRUE(LoadSettings());
  EXPECT_EQ(CorpusPath, "/c/");
}

TEST_F(ConfigFileTest, NoWritableLocationSavesNothingAndSaysSoOnce)
{
  const std::string blocker = dir_.write("blocker", "");
  testsupport::ScopedEnv unusable("XDG_CONFIG_HOME", blocker + "/sub");
  EXPECT_EQ(GetSettingsWritePath(), "");
  SaveOnExit = true;
  SettingsUnwritableShown = false;
  EXPECT_FALSE(SaveSettings());
  EXPECT_FALSE(WriteSaveOnExit());
  EXPECT_FALSE(WriteWorkspacePath());
  EXPECT_EQ(Errors(), (std::vector<std::string>{"Could not write to configuration file " + blocker +
                                                "/sub/quillmar/QUILPRO.INI!"}));
  EXPECT_FALSE(std::filesystem::exists(programIni()));
  SettingsUnwritableShown = false;
}

TEST_F(ConfigFileTest, SaveOnExitAndWorkspacePathSurviveAnExitWrite)
{
  SaveOnExit = true;
  ASSERT_TRUE(WriteSaveOnExit());
  WorkspacePath = "/work/spaces/";
  ASSERT_TRUE(WriteWorkspacePath());
  SaveOnExit = false;
  WorkspacePath.clear();
  ReadSaveOnExit();
  ReadWorkspacePath();
  EXPECT_TRUE(SaveOnExit);
  EXPECT_EQ(WorkspacePath, "/work/spaces/");

  ASSERT_TRUE(SaveSettings());
  SaveOnExit = false;
  WorkspacePath.clear();
  ReadSaveOnExit();
  ReadWorkspacePath();
  EXPECT_TRUE(SaveOnExit);
  EXPECT_EQ(WorkspacePath, "/work/spaces/");

  // A workspace file never gets them.
  const std::string workspace = dir_.file("w.QWS");
  ASSERT_TRUE(SaveConfigFile(workspace));
  EXPECT_FALSE(IniFile(workspace).valueExists("GeneralConfiguration", "SaveOnExit"));
  EXPECT_FALSE(IniFile(workspace).valueExists("GeneralConfiguration", "WorkspacePath"));
}

TEST_F(ConfigFileTest, FailedSingleKeyWriteKeepsTheFile)
{
  ASSERT_EQ(GetSettingsWritePath(), windowsIni());
  const std::string original = "[GeneralConfiguration]\r\nSaveOnExit=0\r\nCorpusPath=/x/\r\n";
  dir_.write("config/quillmar/QUILPRO.INI", original);
  platform::setWriteFaultHook([](int) { return false; });
  SaveOnExit = true;
  EXPECT_FALSE(WriteSaveOnExit());
  EXPECT_FALSE(WriteWorkspacePath());
  const std::string message = "Could not write to configuration file " + windowsIni() + "!";
  EXPECT_EQ(Errors(), (std::vector<std::string>{message, message}));
  EXPECT_EQ(readFile(windowsIni()), original);

  platform::setWriteFaultHook({});
  ASSERT_TRUE(WriteSaveOnExit());
  const IniFile back(windowsIni());
  EXPECT_TRUE(back.readBool("GeneralConfiguration", "SaveOnExit", false));
  EXPECT_EQ(back.readString("GeneralConfiguration", "CorpusPath", ""), "/x/");
}
