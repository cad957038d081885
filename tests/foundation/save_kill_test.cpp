// Saves killed or refused in a child process (tests/children/save_child.cpp,
// started by fork + exec): whatever call the kill hits, the workspace is the
// old or the new one with everything it names, and the next save leaves only
// what its file names; a protected file is refused unchanged.
#include "foundation/config_file.h"
#include "foundation/frequency_list.h"
#include "foundation/run_files.h"
#include "platform/paths.h"
#include "foundation/workspace.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::CorpusFixture;

namespace {

std::string readAll(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts the child with arguments; the environment is the test's.
pid_t startChild(const std::vector<std::string>& args, const std::string& out)
{
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!out.empty() && !std::freopen(out.c_str(), "w", stdout))
      ::_exit(126);
    std::vector<char*> argv{const_cast<char*>(QUILL_SAVE_CHILD)};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QUILL_SAVE_CHILD, argv.data());
    ::_exit(127);
  }
  return pid;
}

int waitChild(pid_t pid)
{
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Runs the child to its end; its exit status, or 128 + signal.
int runChild(const std::vector<std::string>& args, std::string* printed = nullptr, const std::string& out = "/dev/null")
{
  const int status = waitChild(startChild(args, out));
  if (printed && !out.empty())
    *printed = readAll(out);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

class NullWorkspaceFrame : public TWorkspaceFrame {
public:
  explicit NullWorkspaceFrame(TCorpusFrame& corpus) : corpus_(corpus) {}
  TCorpusFrame& Corpus() override { return corpus_; }
  std::string& WorkspaceName() override { return name; }
  void SetCaption(const std::string&) override {}
  bool ChooseWorkspaceToSave(std::string&) override { return false; }
  bool ChooseWorkspaceToOpen(std::string&) override { return false; }
  std::string name;

private:
  TCorpusFrame& corpus_;
};

std::set<std::string> namesIn(const std::string& folder)
{
  std::set<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    out.insert(e.path().filename().string());
  return out;
}

std::vector<std::string> flagsOf(const std::string& qws)
{
  const platform::IniFile ini(qws);
  std::vector<std::string> flags;
  ReadIniList(ini, CorpusFilesSection, "File flags", flags);
  return flags;
}

class SaveKillTest : public CorpusFixture {
protected:
  void SetUp() override
  {
    CorpusFixture::SetUp();
    ResetWorkspaceState();
    ConcordSettings.PageSeparator = "<pb>";
    WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>")};
  }
  void TearDown() override
  {
    ResetWorkspaceState();
    CorpusFixture::TearDown();
  }
  // A folder with the two corpus files.
  std::string corpusFolder(const testsupport::ScratchFolder& base, const std::string& name)
  {
    const std::string dir = base.file(name + "/");
    std::filesystem::create_directory(dir);
    base.write(name + "/a.txt", "one <hi>two</hi>\r\nthree <pb> four\r\n");
    base.write(name + "/b.txt", "five six\nseven\n");
    return dir;
  }
  // A scratch folder in memory where there is one: the many saves of the
  // kill tests then cost no disk flushes (a kill loses nothing that was
  // written, flushed or not).
  static std::unique_ptr<testsupport::ScratchFolder> memoryScratch()
  {
    std::error_code ec;
    const bool shm = std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
    testsupport::ScopedEnv tmpdir("TMPDIR", shm ? std::string("/dev/shm") : platform::tempFolder());
    return std::make_unique<testsupport::ScratchFolder>();
  }
};

}  // namespace

TEST_F(SaveKillTest, AKillAtAnyCallLeavesTheOldOrTheNewWorkspaceAndTheNextSaveCleansUp)
{
  const auto scratch = memoryScratch();
  const testsupport::ScratchFolder& files = *scratch;
  std::filesystem::create_directory(files.file("t"));
  testsupport::ScopedEnv childTemp("TMPDIR", files.file("t"));
  TempFolder = files.file("t/");

  // The old workspace, then a dry run of the second save counting its calls.
  const std::string pristine = corpusFolder(files, "pristine");
  ASSERT_EQ(runChild({"workspace", pristine, "0"}), 0);
  const std::string oldQws = readAll(pristine + "Novels.QWS");
  const std::string oldFreq = readAll(pristine + "Novels/FREQ.tmp");
  ASSERT_FALSE(oldFreq.empty());
  const std::string dry = files.file("dry/");
  std::filesystem::copy(pristine, dry, std::filesystem::copy_options::recursive);
  std::string printed;
  ASSERT_EQ(runChild({"workspace", dry, "0"}, &printed, files.file("calls.txt")), 0);
  const int calls = std::stoi(printed);
  const std::string newFreq = readAll(dry + "Novels/FREQ.tmp");
  ASSERT_NE(newFreq, oldFreq);
  ASSERT_GT(calls, 20);

  // Every call in turn, a few children at a time.
  constexpr int parallel = 4;
  int sawOld = 0, sawNew = 0;
  for (int first = 1; first <= calls; first += parallel) {
    std::vector<std::pair<int, pid_t>> running;
    for (int n = first; n < first + parallel && n <= calls; ++n) {
      const std::string dir = files.file("k" + std::to_string(n) + "/");
      std::filesystem::copy(pristine, dir, std::filesystem::copy_options::recursive);
      running.emplace_back(n, startChild({"workspace", dir, "kill:" + std::to_string(n)}, "/dev/null"));
    }
    for (const auto& [n, pid] : running) {
      SCOPED_TRACE("killed at call " + std::to_string(n));
      const int status = waitChild(pid);
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      const std::string dir = files.file("k" + std::to_string(n) + "/");
      const std::string qws = dir + "Novels.QWS", folder = dir + "Novels/";
      const bool isOld = readAll(qws) == oldQws;
      (isOld ? sawOld : sawNew)++;
      const std::vector<std::string> flags = flagsOf(qws);
      ASSERT_EQ(flags.size(), isOld ? 1u : 2u);
      for (const std::string& kept : CollectFlagFiles(flags, folder))
        EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
      if (std::filesystem::exists(folder + "FREQ.tmp"))
        EXPECT_EQ(readAll(folder + "FREQ.tmp"), isOld ? oldFreq : newFreq);

      // The next save (this process) keeps only what its file names.
      NullWorkspaceFrame ws(frame);
      ASSERT_TRUE(OpenWorkspace(ws, qws));
      CorpusFreqList = CountCorpusWords();
      KeepLinePages = KeepWatchedTags = KeepURLs = KeepFreq = true;
      ASSERT_TRUE(SaveWorkspace(ws, qws, false));
      std::set<std::string> named{"FREQ.tmp"};
      for (const std::string& kept : CollectFlagFiles(FileFlags, folder))
        named.insert(kept.substr(folder.size()));
      EXPECT_EQ(namesIn(folder), named);
      EXPECT_EQ(namesIn(dir), (std::set<std::string>{"Novels", "Novels.QWS", "a.txt", "b.txt"}));
      EXPECT_TRUE(errors().empty()) << errors().front();
      UnloadCorpus(frame);
      ResetWorkspaceState();
      std::filesystem::remove_all(dir);
    }
  }
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);
}

TEST_F(SaveKillTest, AProtectedWorkspaceIsRefusedUnchangedForAnUnprivilegedUser)
{
  const std::string dir = corpusFolder(files, "shared");
  const std::string qws = files.write("shared/Novels.QWS", "[Corpus files]\r\nFileCount=0\r\n");
  // The folder lets anyone make files, so only the file's own mode protects it.
  ::chmod(files.path().c_str(), 0755);
  ::chmod(dir.c_str(), 0777);
  ::chmod(qws.c_str(), 0444);
  const std::string before = readAll(qws);
  EXPECT_EQ(runChild({"--as-nobody", "settings", qws, "0"}), 1);
  EXPECT_EQ(readAll(qws), before);
  EXPECT_EQ(namesIn(dir), (std::set<std::string>{"Novels.QWS", "a.txt", "b.txt"}));
  // Writable, the same save goes through.
  ::chmod(qws.c_str(), 0666);
  EXPECT_EQ(runChild({"--as-nobody", "settings", qws, "0"}), 0);
  EXPECT_NE(readAll(qws), before);
}

namespace {

// Files in folder whose names begin with a dot (a write's temporary siblings).
std::set<std::string> siblingsIn(const std::string& folder)
{
  std::set<std::string> out;
  for (const std::string& name : namesIn(folder))
    if (name.starts_with("."))
      out.insert(name);
  return out;
}

}  // namespace

TEST_F(SaveKillTest, AKilledSettingsSaveLeavesTheOldOrTheNewFileAndAStartRemovesItsTemporary)
{
  const std::string folder = platform::windowsFolder(), ini = folder + SettingsFileName;
  const std::string oldText = "[GeneralConfiguration]\r\nCorpusPath=/old/\r\n";
  files.write("calls.txt", "");
  std::string printed;
  ASSERT_EQ(runChild({"settings", ini, "0"}, &printed, files.file("calls.txt")), 0);
  const std::string newText = readAll(ini);
  const int calls = std::stoi(printed);
  ASSERT_GT(calls, 3);

  const auto check = [&](const std::string& what) {
    SCOPED_TRACE(what);
    const std::string now = readAll(ini);
    EXPECT_TRUE(now == oldText || now == newText);
    StartRunFiles();  // a start
    EndRunFiles();
    EXPECT_TRUE(siblingsIn(folder).empty());
    EXPECT_TRUE(ReadConfig(ini));
  };
  for (int n = 1; n <= calls; ++n) {
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << oldText;
    ASSERT_EQ(runChild({"settings", ini, "kill:" + std::to_string(n)}), 128 + SIGKILL);
    check("kill at call " + std::to_string(n));
  }

  // Killed from outside while a large file is saved again and again: the
  // file is the small one it replaces or the large one.
  ASSERT_EQ(runChild({"settings-loop", ini, "1"}), 0);
  const std::string large = readAll(ini);
  ASSERT_GT(large.size(), 1000000u);
  const std::string small = newText;
  const auto check2 = [&](const std::string& what) {
    SCOPED_TRACE(what);
    const std::string now = readAll(ini);
    EXPECT_TRUE(now == small || now == large);
    StartRunFiles();
    EndRunFiles();
    EXPECT_TRUE(siblingsIn(folder).empty());
  };
  std::mt19937 random(37);
  for (int i = 0; i < 24; ++i) {
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << small;
    const pid_t pid = startChild({"settings-loop", ini, "0"}, "/dev/null");
    ::usleep(std::uniform_int_distribution<useconds_t>(2000, 40000)(random));
    ::kill(pid, SIGKILL);
    waitChild(pid);
    check2("killed from outside, round " + std::to_string(i));
  }
  EXPECT_TRUE(errors().empty());
}

TEST_F(SaveKillTest, AFullDiskAndAReadOnlyFolderRefuseTheSaveAndKeepTheFile)
{
  const std::string dir = files.file("settings/");
  std::filesystem::create_directory(dir);
  const std::string ini = files.write("settings/QUILPRO.INI", "[GeneralConfiguration]\r\nCorpusPath=/old/\r\n");
  const std::string before = readAll(ini);
  // A file system that takes 4 KB more: the write fails with EFBIG.
  EXPECT_EQ(runChild({"--fsize", "4096", "settings", ini, "0"}), 1);
  EXPECT_EQ(readAll(ini), before);
  EXPECT_EQ(namesIn(dir), std::set<std::string>{"QUILPRO.INI"});
  // A folder that refuses new files, for a user who may write the file.
  ::chmod(files.path().c_str(), 0755);
  ::chmod(ini.c_str(), 0666);
  ::chmod(dir.c_str(), 0555);
  EXPECT_EQ(runChild({"--as-nobody", "settings", ini, "0"}), 1);
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(readAll(ini), before);
  EXPECT_EQ(namesIn(dir), std::set<std::string>{"QUILPRO.INI"});
}

namespace {

// Every file under folder by its path inside it, with its bytes.
std::map<std::string, std::string> tree(const std::string& folder)
{
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    out[e.path().string().substr(folder.size())] = e.is_regular_file() ? readAll(e.path().string()) : "<folder>";
  return out;
}

}  // namespace

class SaveFailTest : public SaveKillTest, public testing::WithParamInterface<const char*> {};

TEST_P(SaveFailTest, AWorkspaceSaveFailingAtAnyCallKeepsTheOldOne)
{
  const std::string mode = GetParam();
  const std::string saved = mode == "workspace" ? "Novels" : "Copy";
  const auto scratch = memoryScratch();
  const testsupport::ScratchFolder& files = *scratch;
  std::filesystem::create_directory(files.file("t"));
  testsupport::ScopedEnv childTemp("TMPDIR", files.file("t"));
  const std::string pristine = corpusFolder(files, "pristine");
  ASSERT_EQ(runChild({mode, pristine, "0"}), 0);
  const auto old = tree(pristine);
  const std::string dry = files.file("dry/");
  std::filesystem::copy(pristine, dry, std::filesystem::copy_options::recursive);
  std::string printed;
  ASSERT_EQ(runChild({mode, dry, "0"}, &printed, files.file("out")), 0);
  ASSERT_TRUE(std::filesystem::exists(dry + saved + ".QWS"));
  const int calls = std::stoi(printed);

  static constexpr int errors[] = {ENOSPC, EIO, EFBIG, EACCES, EROFS};
  constexpr int parallel = 8;
  for (int first = 1; first <= calls; first += parallel) {
    std::vector<std::pair<int, pid_t>> running;
    for (int n = first; n < first + parallel && n <= calls; ++n) {
      const std::string dir = files.file("f" + std::to_string(n) + "/");
      std::filesystem::copy(pristine, dir, std::filesystem::copy_options::recursive);
      const std::string plan = "fail:" + std::to_string(n) + ":" + std::to_string(errors[n % 5]);
      running.emplace_back(n, startChild({mode, dir, plan}, files.file("out" + std::to_string(n))));
    }
    for (const auto& [n, pid] : running) {
      SCOPED_TRACE("failed at call " + std::to_string(n));
      const int status = waitChild(pid);
      ASSERT_TRUE(WIFEXITED(status));
      const std::string dir = files.file("f" + std::to_string(n) + "/");
      const std::string out = readAll(files.file("out" + std::to_string(n)));
      const std::string message = out.substr(out.find('\n') + 1);
      if (WEXITSTATUS(status) == 1) {
        // Refused with a message naming what failed; everything as it was.
        EXPECT_NE(message.find(dir), std::string::npos) << message;
        EXPECT_EQ(tree(dir), old);
      } else {
        // Only the clean-up after the commit failed: the new workspace has
        // everything it names.
        ASSERT_EQ(WEXITSTATUS(status), 0);
        const std::vector<std::string> flags = flagsOf(dir + saved + ".QWS");
        ASSERT_EQ(flags.size(), 2u);
        for (const std::string& kept : CollectFlagFiles(flags, dir + saved + "/"))
          EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
      }
      std::filesystem::remove_all(dir);
    }
  }
  // A refused save left the folder as the dry run found it, where the same
  // save succeeded; the in-process table of save paths repeats each save.
}

INSTANTIATE_TEST_SUITE_P(SaveAndSaveAs, SaveFailTest, testing::Values("workspace", "workspace-as"));
