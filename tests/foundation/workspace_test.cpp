#include "foundation/workspace.h"

#include "foundation/config_file.h"
#include "foundation/frequency_list.h"
#include "foundation/utils.h"
#include "platform/file_ops.h"
#include "platform/safe_write.h"
#include "support/dead_pid.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::CorpusFixture;
using testsupport::ScratchFolder;

namespace {

class TestWorkspaceFrame : public TWorkspaceFrame {
public:
  explicit TestWorkspaceFrame(TCorpusFrame& corpus) : corpus_(corpus) {}
  TCorpusFrame& Corpus() override { return corpus_; }
  std::string& WorkspaceName() override { return name; }
  void SetCaption(const std::string& text) override { caption = text; }
  TBatchPatternLists BatchPatterns() override { return {&patterns, &grep, &tags}; }
  bool ChooseWorkspaceToSave(std::string& f) override { return choose(f); }
  bool ChooseWorkspaceToOpen(std::string& f) override { return choose(f); }
  bool choose(std::string& f)
  {
    f = chosen;
    return !f.empty();
  }
  std::string name, caption, chosen;
  std::vector<std::string> patterns, grep, tags;

private:
  TCorpusFrame& corpus_;
};

// Every file under a folder with its bytes.
std::map<std::string, std::string> snapshot(const std::string& folder)
{
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      out[e.path().string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  return out;
}

class WorkspaceTest : public CorpusFixture {
protected:
  void SetUp() override
  {
    CorpusFixture::SetUp();
    ResetWorkspaceState();
    ConcordSettings.PageSeparator = "<pb>";
    WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>")};
    a = files.write("a.txt", "one <hi>two</hi>\r\nthree <pb> four\r\n");
    b = files.write("b.txt", "five six\nseven\n");
    qws = files.file("Novels.QWS");
    folder = files.file("Novels/");
  }
  void TearDown() override
  {
    platform::setWriteFaultHook({});
    platform::setFileFaultPlan({});
    CorpusFixture::TearDown();
  }
  void keepAll(bool on) { KeepLinePages = KeepWatchedTags = KeepURLs = KeepFreq = on; }
  std::vector<std::string> folderNames() const
  {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string a, b, qws, folder;
  TestWorkspaceFrame ws{frame};
};

}  // namespace

TEST_F(WorkspaceTest, SaveOpenAndSaveAgainKeepTheCostlyWork)
{
  LoadCorpusItems(frame, {a, b});
  CorpusFreqList = CountCorpusWords();
  ws.patterns = {"alpha", "be*"};
  ws.tags = {"<hi>"};
  keepAll(true);
  URLHistory = {"http://x.example/"};
  SaveOnExit = true;
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_EQ(ws.caption, "Quillmar Pro - Novels");
  EXPECT_EQ(ProgramTitle, ws.caption);
  EXPECT_EQ(WorkspaceFolder, folder);
  // Flags name the kept files in order L, P, T, W.
  ASSERT_EQ(FileFlags.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    const TCorpusItem& item = CorpusList[i];
    const std::string id = [](const std::string& p) { return p.substr(p.rfind('/') + 1, p.size() - p.rfind('/') - 5); }(
        item.LineIndex.Index->FileName());
    EXPECT_EQ(FileFlags[i].substr(0, 3 + id.size()), "L." + id + " ");
    EXPECT_NE(FileFlags[i].find("W." + std::to_string(item.WordCount) + " "), std::string::npos);
  }
  const auto kept = CollectFlagFiles(FileFlags, folder);
  EXPECT_EQ(kept.size(), 12u);  // three indexes with headers per item
  EXPECT_EQ(folderNames().size(), 13u);  // and FREQ.tmp
  const platform::IniFile ini(qws);
  EXPECT_FALSE(ini.valueExists(GeneralSection, "SaveOnExit"));
  EXPECT_FALSE(ini.valueExists(GeneralSection, "WorkspacePath"));
  const auto saved = snapshot(folder);

  // Opening elsewhere: settings, corpus, lists and counts come back without
  // a scan; the program reads temp copies and the folder stays as it was.
  UnloadCorpus(frame);
  ws.patterns.clear();
  ws.tags.clear();
  URLHistory.clear();
  keepAll(false);
  ws.name.clear();
  ASSERT_TRUE(OpenWorkspace(ws, qws));
  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{a, b}));
  EXPECT_EQ(ws.patterns, (std::vector<std::string>{"alpha", "be*"}));
  EXPECT_EQ(ws.tags, (std::vector<std::string>{"<hi>"}));
  EXPECT_EQ(URLHistory, (std::vector<std::string>{"http://x.example/"}));
  EXPECT_TRUE(KeepLinePages && KeepWatchedTags && KeepURLs && KeepFreq);
  ASSERT_TRUE(CorpusFreqList);
  EXPECT_EQ(TotalWordCount, 7);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(CorpusList[i].TagIndex.Index->TempCopy);
    EXPECT_EQ(CorpusList[i].LineIndex.FileName.rfind(temp.path(), 0), 0u);
  }
  EXPECT_TRUE(errors().empty());

  // Saving again copies nothing and keeps every file.
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_EQ(snapshot(folder), saved);

  // All Keep options off: the kept files go and so does the emptied folder.
  keepAll(false);
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(FileFlags, (std::vector<std::string>{"W.4 ", "W.3 "}));
}

TEST_F(WorkspaceTest, FlagsAreReadByPositionAndBadIdsCountAsAbsent)
{
  std::filesystem::create_directory(folder);
  const std::string victim = files.write("victim.tmp", "keep me");
  files.write("Novels.QWS",
              "[Corpus files]\r\nFileCount=4\r\nFile0=" + a + "\r\nFile1=\r\nFile2=" + files.file("gone.txt") +
                  "\r\nFile3=" + b + "\r\nFile flagsCount=4\r\nFile flags0=\r\nFile flags1=W.1 \r\n"
                  "File flags2=W.2 \r\nFile flags3=L.../victim W.9 \r\n");
  ASSERT_TRUE(OpenWorkspace(ws, qws));
  ASSERT_EQ(CorpusList.Names(), (std::vector<std::string>{a, b}));
  EXPECT_EQ(CorpusList[0].WordCount, 4);  // counted: its flags were empty
  EXPECT_EQ(CorpusList[1].Flags, "L.../victim W.9");
  EXPECT_TRUE(CorpusList[1].LineIndex.Index->TempCopy);  // rebuilt, not opened
  keepAll(false);
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_TRUE(std::filesystem::exists(victim));
}

TEST_F(WorkspaceTest, AFailedSaveLeavesTheOldWorkspaceByteForByte)
{
  LoadCorpusItems(frame, {a});
  CorpusFreqList = CountCorpusWords();
  keepAll(true);
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  LoadCorpusItems(frame, {b});
  CorpusFreqList = CountCorpusWords();
  const auto before = snapshot(files.path());
  ASSERT_TRUE(before.count(folder + "FREQ.tmp"));
  platform::setWriteFaultHook([](int) { return false; });
  EXPECT_FALSE(SaveWorkspace(ws, qws, false));
  platform::setWriteFaultHook({});
  EXPECT_EQ(snapshot(files.path()), before);
  EXPECT_EQ(errors().size(), 1u);
  EXPECT_EQ(FileFlags.size(), 1u);

  // The commit itself fails (the first rename after the old list stepped
  // aside): the old list comes back byte for byte.
  bool failed = false;
  platform::setFileFaultPlan([&](platform::FileOp op, int) {
    if (op != platform::FileOp::Rename || failed || std::filesystem::exists(folder + "FREQ.tmp"))
      return platform::FaultNone;
    failed = true;
    return EIO;
  });
  EXPECT_FALSE(SaveWorkspace(ws, qws, false));
  platform::setFileFaultPlan({});
  EXPECT_TRUE(failed);
  EXPECT_EQ(snapshot(files.path()), before);
  EXPECT_EQ(errors().size(), 2u);
}

TEST_F(WorkspaceTest, AFailedFirstSaveRemovesTheFolderItMade)
{
  LoadCorpusItems(frame, {a});
  keepAll(true);
  platform::setWriteFaultHook([](int) { return false; });
  EXPECT_FALSE(SaveWorkspace(ws, qws, false));
  EXPECT_FALSE(std::filesystem::exists(folder));
  // A folder that was there stays.
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(SaveWorkspace(ws, qws, false));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(WorkspaceTest, KeptFilesTakeTheUsersDefaultMode)
{
  LoadCorpusItems(frame, {a});
  CorpusFreqList = CountCorpusWords();
  keepAll(true);
  for (const mode_t mask : {022, 027}) {
    const mode_t old = ::umask(mask);
    std::filesystem::remove_all(folder);
    std::filesystem::remove(qws);
    ws.name.clear();
    ResetWorkspaceState();
    const bool saved = SaveWorkspace(ws, qws, false);
    ::umask(old);
    ASSERT_TRUE(saved);
    for (const auto& [file, bytes] : snapshot(folder)) {
      struct stat st {};
      ASSERT_EQ(::stat(file.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << file;
    }
    EXPECT_TRUE(std::filesystem::exists(folder + "FREQ.tmp"));
  }
}

TEST_F(WorkspaceTest, ASaveRemovesTheProgramsUnnamedFilesAndNothingElse)
{
  LoadCorpusItems(frame, {a});
  keepAll(true);
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  const auto kept = snapshot(folder);
  // What killed saves leave: copies, a frequency list, an aside list, half
  // written siblings of a dead writer; and files that are not the program's.
  const std::string dead = std::to_string(testsupport::DeadPid());
  for (const char* name : {"LNT1.tmp", "LNT1H.tmp", "WTTABCD.tmp", "FRQ9.tmp", "IST2F.tmp"})
    files.write(std::string("Novels/") + name, "left");
  files.write("Novels/.PGT3.tmp." + dead + ".7.tmp", "half");
  files.write(".Novels.QWS." + dead + ".1.tmp", "half");
  const std::vector<std::string> foreign = {"notes.txt", "LNT1.txt", "LNTG.tmp", "lnt1.tmp", "LNT12345.tmp",
                                            ".PGT3.tmp.x.7.tmp", ".PGT3.tmp." + std::to_string(::getpid()) + ".1.tmp"};
  for (const std::string& name : foreign)
    files.write("Novels/" + name, "mine");
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  auto expected = kept;
  for (const std::string& name : foreign)
    expected[folder + name] = "mine";
  EXPECT_EQ(snapshot(folder), expected);
  EXPECT_FALSE(std::filesystem::exists(files.file(".Novels.QWS." + dead + ".1.tmp")));
}

TEST_F(WorkspaceTest, AThousandMissingFilesShowOneBox)
{
  std::string text = "[Corpus files]\r\nFileCount=1001\r\n";
  for (int i = 0; i < 1001; ++i)
    text += IniListKey("File", 1001, i) + "=" + (i == 500 ? a : files.file("gone" + std::to_string(i) + ".txt")) + "\r\n";
  files.write("Novels.QWS", text);
  ASSERT_TRUE(OpenWorkspace(ws, qws));
  EXPECT_EQ(CorpusList.Names(), std::vector<std::string>{a});
  ASSERT_EQ(errors().size(), 1u);
  std::string expected;
  for (int i = 0; i < MissingFilesListed; ++i)
    expected += "Unable to open file: " + files.file("gone" + std::to_string(i) + ".txt") + ".\r\n";
  EXPECT_EQ(errors()[0], expected + "... and 980 more.");
}

class WorkspaceFileCountTest : public WorkspaceTest, public testing::WithParamInterface<std::string> {};

TEST_P(WorkspaceFileCountTest, ACountTheKeysDoNotBearIsRefused)
{
  LoadCorpusItems(frame, {b});
  // "11": eleven keys, but File0 to File9 are not at the width eleven gives.
  std::string keys;
  for (int i = 0; i < (GetParam() == "11" ? 11 : 2); ++i)
    keys += "File" + std::to_string(i) + "=" + a + "\r\n";
  files.write("Novels.QWS", "[Corpus files]\r\nFileCount=" + GetParam() + "\r\n" + keys +
                                "[GeneralConfiguration]\r\nKeepLinePages=1\r\n");
  EXPECT_FALSE(OpenWorkspace(ws, qws));
  EXPECT_EQ(errors(), std::vector<std::string>{"Invalid workspace file: " + qws});
  EXPECT_EQ(CorpusList.Names(), std::vector<std::string>{b});
  EXPECT_TRUE(ws.name.empty());
  EXPECT_FALSE(KeepLinePages);
}

INSTANTIATE_TEST_SUITE_P(Counts, WorkspaceFileCountTest, testing::Values("2147483647", "-3", "3", "11"));

TEST_F(WorkspaceTest, ASettingsFileWithoutCorpusFilesOpensWithAnEmptyCorpus)
{
  LoadCorpusItems(frame, {b});
  files.write("Novels.QWS", "[GeneralConfiguration]\r\nKeepLinePages=1\r\n");
  EXPECT_TRUE(OpenWorkspace(ws, qws));
  EXPECT_TRUE(errors().empty());
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_EQ(ws.name, qws);
  EXPECT_TRUE(KeepLinePages);
}

TEST_F(WorkspaceTest, MissingOrDamagedFilesChangeNothing)
{
  LoadCorpusItems(frame, {a});
  ws.name = "";
  EXPECT_FALSE(OpenWorkspace(ws, files.file("none.QWS")));
  const std::string damaged = files.write("bad.QWS", std::string("[Corpus files]\0\x01", 17));
  EXPECT_FALSE(OpenWorkspace(ws, damaged));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Unable to open file: " + files.file("none.QWS") + ".",
                                              "Invalid workspace file: " + damaged}));
  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{a}));
  EXPECT_TRUE(ws.name.empty());
}

TEST_F(WorkspaceTest, ATempNameClashTakesANewNameAndTheNextSaveKeepsIt)
{
  LoadCorpusItems(frame, {a});
  KeepLinePages = true;
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  const std::string id = GetFlagValue('L', FileFlags[0]);
  UnloadCorpus(frame);
  const std::string squatter = temp.write(id + ".tmp", "not mine");
  ASSERT_TRUE(OpenWorkspace(ws, qws));
  EXPECT_NE(CorpusList[0].LineIndex.FileName, squatter);
  EXPECT_FALSE(CorpusList[0].LineIndex.Index->Saved);
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_NE(GetFlagValue('L', FileFlags[0]), id);
  EXPECT_FALSE(std::filesystem::exists(folder + id + ".tmp"));  // obsolete
  EXPECT_EQ(snapshot(temp.path())[squatter], "not mine");
}

TEST_F(WorkspaceTest, SaveAsCopiesIntoANewFolderAndAUsersFileKeepsItsFolder)
{
  LoadCorpusItems(frame, {a});
  KeepLinePages = true;
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  const std::string mine = files.write("Novels/notes.txt", "mine");
  const auto old = snapshot(folder);

  ws.chosen = qws;
  SaveWorkspaceAs(ws);
  EXPECT_EQ(errors().back(), LoadedWorkspaceText);
  ws.chosen = files.file("Copy.QWS");
  SaveWorkspaceAs(ws);
  EXPECT_EQ(ws.name, ws.chosen);
  EXPECT_EQ(snapshot(folder), old);
  EXPECT_EQ(snapshot(files.file("Copy/")).size(), 6u);  // L, P, T with headers
  EXPECT_EQ(WorkspacePath, files.path());

  ws.name = qws;
  WorkspaceFolder = folder;
  keepAll(false);
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_EQ(folderNames(), (std::vector<std::string>{"notes.txt"}));
  EXPECT_TRUE(std::filesystem::exists(mine));
}

namespace {

class ScriptedDownload : public TDownloadStream {
public:
  ScriptedDownload(const std::string& file, std::string url, bool complete)
    : TDownloadStream(file, KeptCopyMode), url_(std::move(url)), complete_(complete)
  {
    TempCopy = true;
  }
  std::string URL() const override { return url_; }
  bool Done() const override { return true; }
  bool Complete() const override { return complete_; }
  bool SizeKnown() const override { return true; }

private:
  std::string url_;
  bool complete_;
};

}  // namespace

TEST_F(WorkspaceTest, OnlyACompleteDownloadIsKeptAndReopensFromItsCopy)
{
  int n = 0;
  SetDownloadFactory([&](const std::string& url) {
    ++n;
    const std::string body = temp.write("IST" + std::to_string(n) + ".tmp", "web text " + std::to_string(n));
    return std::make_unique<ScriptedDownload>(body, url, url.back() == 'a');
  });
  LoadCorpusItems(frame, {"http://x.example/a", "http://x.example/b"});
  KeepURLs = KeepLinePages = true;
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_EQ(GetFlagValue('U', FileFlags[0]), "IST1");
  EXPECT_EQ(FileFlags[1], "");  // unfinished: no body, so no index or count either
  UnloadCorpus(frame);

  ASSERT_TRUE(OpenWorkspace(ws, qws));
  EXPECT_EQ(n, 3);  // only the unfinished one is downloaded again
  auto* kept = dynamic_cast<TFileSynchroStream*>(CorpusList[0].Source.get());
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->FileName, temp.file("IST1.tmp"));
  EXPECT_TRUE(kept->TempCopy);
  EXPECT_EQ(snapshot(folder)[folder + "IST1.tmp"], "web text 1");
}

TEST_F(WorkspaceTest, TurningKeepUrlsOffDeletesTheKeptCopyAtTheNextSave)
{
  SetDownloadFactory([&](const std::string& url) {
    return std::make_unique<ScriptedDownload>(temp.write("IST1.tmp", "web text"), url, true);
  });
  LoadCorpusItems(frame, {"http://x.example/a", a});
  KeepURLs = KeepLinePages = true;
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  ASSERT_EQ(GetFlagValue('U', FileFlags[0]), "IST1");
  ASSERT_TRUE(std::filesystem::exists(folder + "IST1.tmp"));

  KeepURLs = false;
  ASSERT_TRUE(SaveWorkspace(ws, qws, false));
  EXPECT_EQ(FileFlags[0], "");  // without its body the item keeps nothing
  EXPECT_FALSE(std::filesystem::exists(folder + "IST1.tmp"));
  EXPECT_FALSE(GetFlagValue('L', FileFlags[1]).empty());  // the file's own index stays kept
  EXPECT_EQ(CollectFlagFiles(FileFlags, folder).size(), 4u);
  EXPECT_EQ(folderNames().size(), 4u);
}
