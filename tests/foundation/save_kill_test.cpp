// Saves killed or refused in a child process (tests/children/save_child.cpp,
// started by fork + exec): whatever call the kill hits, the workspace is the
// old or the new one with everything it names, and the next save leaves only
// what its file names; a protected file is refused unchanged.
#include "foundation/config_file.h"
#include "foundation/frequency_list.h"
#include "foundation/workspace.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>
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
  std::string corpusFolder(const std::string& name)
  {
    const std::string dir = files.file(name + "/");
    std::filesystem::create_directory(dir);
    files.write(name + "/a.txt", "one <hi>two</hi>\r\nthree <pb> four\r\n");
    files.write(name + "/b.txt", "five six\nseven\n");
    return dir;
  }
};

}  // namespace

TEST_F(SaveKillTest, AKillAtAnyCallLeavesTheOldOrTheNewWorkspaceAndTheNextSaveCleansUp)
{
  // The old workspace, then a dry run of the second save counting its calls.
  const std::string pristine = corpusFolder("pristine");
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
  const std::string dir = corpusFolder("shared");
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
