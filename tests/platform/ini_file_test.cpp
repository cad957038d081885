#include "platform/ini_file.h"
#include "platform/safe_write.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using platform::IniFile;
using testsupport::ScratchFolder;
using testsupport::readFile;

TEST(IniFileRead, WindowsProfileSemantics)
{
  ScratchFolder dir;
  const std::string path = dir.write("q.ini",
    "; a comment\r\n"
    "stray=before any section\r\n"
    "[General]\r\n"
    "  Language \t=  1049 \r\n"
    "Name=first\r\n"
    "name=second\r\n"
    "[Tag Settings]\r\n"
    "TagStart=<\r\n"
    "[general]\r\n"
    "Language=7\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.readString("GENERAL", "language", "x"), "1049");
  EXPECT_EQ(ini.readInteger("general", "LANGUAGE", 0), 1049);
  EXPECT_EQ(ini.readString("General", "Name", ""), "first");  // first match wins
  EXPECT_EQ(ini.readString("tag settings", "tagstart", ""), "<");
  EXPECT_EQ(ini.readString("General", "stray", "none"), "none");
  EXPECT_EQ(ini.readString("Missing", "Key", "def"), "def");
  EXPECT_TRUE(ini.sectionExists("TAG SETTINGS"));
  EXPECT_FALSE(ini.sectionExists("Tag"));
  EXPECT_TRUE(ini.valueExists("general", "NAME"));
  EXPECT_FALSE(ini.valueExists("general", "Nam"));
  EXPECT_EQ(ini.readSection("General"), (std::vector<std::string>{"Language", "Name", "name"}));
}

TEST(IniFileRead, AllThreeLineEnds)
{
  ScratchFolder dir;
  for (const char* eol : {"\r\n", "\n", "\r"}) {
    const std::string e = eol;
    const std::string path = dir.write("eol.ini", "[A]" + e + "One=1" + e + e + "[B]" + e + "Two=2");
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("A", "One", 0), 1) << "line end " << int(eol[0]) << int(eol[1]);
    EXPECT_EQ(ini.readInteger("B", "Two", 0), 2) << "line end " << int(eol[0]) << int(eol[1]);
  }
}

TEST(IniFileRead, IntegersAndBooleans)
{
  ScratchFolder dir;
  const std::string path = dir.write("n.ini",
    "[N]\nDec=-42\nPlus=+7\nHex=$1F\nHexC=0x10\nColour=$80000005\nWord=12a\nEmpty=\n"
    "Big=99999999999\nOn=1\nOff=0\nTwo=2\n");
  IniFile ini(path);
  EXPECT_EQ(ini.readInteger("N", "Dec", 0), -42);
  EXPECT_EQ(ini.readInteger("N", "Plus", 0), 7);
  EXPECT_EQ(ini.readInteger("N", "Hex", 0), 31);
  EXPECT_EQ(ini.readInteger("N", "HexC", 0), 16);
  EXPECT_EQ(ini.readInteger("N", "Colour", 0), static_cast<int>(0x80000005u));
  EXPECT_EQ(ini.readInteger("N", "Word", 5), 5);
  EXPECT_EQ(ini.readInteger("N", "Empty", 5), 5);
  EXPECT_EQ(ini.readInteger("N", "Big", 5), 5);
  EXPECT_TRUE(ini.readBool("N", "On", false));
  EXPECT_FALSE(ini.readBool("N", "Off", true));
  EXPECT_TRUE(ini.readBool("N", "Two", false));
  EXPECT_TRUE(ini.readBool("N", "Missing", true));
}

TEST(IniFileWrite, ValuesComeBackByteForByte)
{
  ScratchFolder dir;
  const std::string path = dir.file("w.ini");
  const std::string nonWord = ".,;:!#$^&()[]{}<>+=/\\|`~\"";
  const std::string accented = "e=\xE9=\xE8;a=\xE0";
  {
    IniFile ini(path);
    ini.writeString("ConcordanceConfiguration", "NonWordChars", nonWord);
    ini.writeString("ConcordanceConfiguration", "EqualChars", accented);
    ini.writeString("General Configuration", "CorpusFont", "Arial,10,1,255,0");
    ini.writeString("SearchHistory", "Search0", "\"quoted pattern\"");
    ini.writeString("SearchHistory", "Search1", "'single'");
    ini.writeString("SearchHistory", "Search2", "100% \\d; x");
    ini.writeBool("Flags", "On", true);
    ini.writeInteger("Flags", "Count", -3);
    ini.flush();
    EXPECT_FALSE(ini.dirty());
  }
  const std::string bytes = readFile(path);
  EXPECT_NE(bytes.find("[General Configuration]\r\nCorpusFont=Arial,10,1,255,0\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("On=1\r\nCount=-3\r\n"), std::string::npos);
  IniFile back(path);
  EXPECT_EQ(back.readString("concordanceconfiguration", "nonwordchars", ""), nonWord);
  EXPECT_EQ(back.readString("ConcordanceConfiguration", "EqualChars", ""), accented);
  EXPECT_EQ(back.readString("general configuration", "CorpusFont", ""), "Arial,10,1,255,0");
  EXPECT_EQ(back.readString("SearchHistory", "Search0", ""), "\"quoted pattern\"");
  EXPECT_EQ(back.readString("SearchHistory", "Search1", ""), "'single'");
  EXPECT_EQ(back.readString("SearchHistory", "Search2", ""), "100% \\d; x");
  EXPECT_TRUE(back.readBool("Flags", "On", false));
}

TEST(IniFileWrite, LineBreaksInsideValuesBecomeBlanks)
{
  ScratchFolder dir;
  const std::string path = dir.file("b.ini");
  IniFile ini(path);
  ini.writeString("S", "Key", "one\r\ntwo\rthree\nfour");
  ini.writeString("S", "Next", "x");
  ini.flush();
  IniFile back(path);
  EXPECT_EQ(back.readString("S", "Key", ""), "one  two three four");
  EXPECT_EQ(back.readString("S", "Next", ""), "x");
  EXPECT_EQ(back.readSection("S").size(), 2u);
}

TEST(IniFileWrite, ReplaceInPlaceAppendToSectionAndNewSectionsAtTheEnd)
{
  ScratchFolder dir;
  const std::string path = dir.write("p.ini", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  IniFile ini(path);
  ini.writeString("a", "X", "10");     // existing key keeps its place and spelling
  ini.writeString("A", "z", "3");      // after the section's last non-blank line
  ini.writeString("C", "w", "4");      // new section after one blank line
  ini.flush();
  EXPECT_EQ(readFile(path), "[A]\r\nx=10\r\nz=3\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nw=4\r\n");
}

TEST(IniFileWrite, EraseAndRewriteSectionsAndKeys)
{
  ScratchFolder dir;
  const std::string path = dir.write("e.ini", "[Keep]\r\nk=1\r\n[Hist]\r\nCount=3\r\nI0=a\r\nI1=b\r\nI2=c\r\n[Tail]\r\nt=1\r\n");
  IniFile ini(path);
  ini.eraseSection("HIST");
  EXPECT_FALSE(ini.sectionExists("Hist"));
  EXPECT_TRUE(ini.dirty());
  ini.writeInteger("Hist", "Count", 1);
  ini.writeString("Hist", "I0", "z");
  ini.deleteKey("tail", "T");
  ini.deleteKey("nosuch", "x");
  ini.flush();
  IniFile back(path);
  EXPECT_EQ(back.readSection("Hist"), (std::vector<std::string>{"Count", "I0"}));
  EXPECT_EQ(back.readString("Hist", "I1", "gone"), "gone");
  EXPECT_EQ(back.readInteger("Keep", "k", 0), 1);
  EXPECT_TRUE(back.sectionExists("Tail"));
  EXPECT_FALSE(back.valueExists("Tail", "t"));
}

TEST(IniFileWrite, EmptyImageReplacesTheWholeFile)
{
  ScratchFolder dir;
  const std::string path = dir.write("r.ini", "[Old]\r\nstale=1\r\n");
  IniFile ini = IniFile::empty(path);
  EXPECT_FALSE(ini.sectionExists("Old"));
  ini.writeString("New", "fresh", "1");
  ini.flush();
  EXPECT_EQ(readFile(path), "[New]\r\nfresh=1\r\n");
}

TEST(IniFileWrite, FailedFlushRaisesAndKeepsTheOldFile)
{
  ScratchFolder dir;
  const std::string original = "[A]\r\nx=1\r\n";
  const std::string path = dir.write("f.ini", original);
  IniFile ini(path);
  ini.writeString("A", "x", std::string(100000, 'v'));
  for (int failAt = 1; failAt <= 2; ++failAt) {
    platform::setWriteFaultHook([failAt](int call) { return call != failAt; });
    EXPECT_THROW(ini.flush(), std::runtime_error) << "failing call " << failAt;
    platform::setWriteFaultHook(nullptr);
    EXPECT_EQ(readFile(path), original);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"f.ini"});
    EXPECT_TRUE(ini.dirty());
  }
  ini.flush();
  EXPECT_EQ(IniFile(path).readString("A", "x", "").size(), 100000u);
}

TEST(IniFileWrite, FlushIntoAMissingFolderRaises)
{
  ScratchFolder dir;
  IniFile ini(dir.file("no/such/folder/q.ini"));
  ini.writeString("A", "x", "1");
  EXPECT_THROW(ini.flush(), std::runtime_error);
}

TEST(IniFileRead, OnlyRegularFilesAreRead)
{
  // A FIFO without a writer would block an ordinary open for ever; a device
  // or a folder is no settings file either. Each reads as an empty image.
  ScratchFolder dir;
  const std::string fifo = dir.file("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
    const IniFile ini(path);
    EXPECT_TRUE(ini.readSection("General").empty()) << path;
    EXPECT_EQ(ini.readString("General", "Key", "none"), "none") << path;
  }
}

TEST(IniFileWrite, SectionNamesHoldingBracketsComeBack)
{
  ScratchFolder dir;
  const std::string path = dir.file("s.ini");
  const std::vector<std::string> names = {"Heading.a]b", "Heading.[x]", "Heading.]]"};
  IniFile ini(path);
  for (size_t i = 0; i < names.size(); ++i)
    ini.writeInteger(names[i], "K", int(i) + 1);
  ini.flush();
  IniFile back(path);
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_TRUE(back.sectionExists(names[i])) << names[i];
    EXPECT_EQ(back.readInteger(names[i], "k", 0), int(i) + 1) << names[i];
  }
  EXPECT_FALSE(back.sectionExists("Heading.a"));
}
