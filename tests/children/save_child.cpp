// A small program the save tests start with fork + exec: it runs one save
// of the program's real code, with the file primitives' fault plan armed
// from its arguments, and reports by its exit status (a planned kill ends it
// by SIGKILL).
//
//   save_child [--as-nobody] workspace <folder> <plan>
//       Saves <folder>/Novels.QWS: the first time with a.txt, afterwards
//       opening it and adding b.txt. Every Keep option is on.
//   save_child workspace-as <folder> <plan>
//       The same, but once Novels.QWS exists it is saved as Copy.QWS.
//   save_child [--as-nobody] [--fsize BYTES] settings <file> <plan>
//       Writes the settings to <file>, with a URL history of about 64 KB.
//   save_child settings-loop <file> <times>
//       Writes the settings, about 1 MB of them, <times> times (0: until it
//       is killed).
//
// --fsize limits the size of files written (RLIMIT_FSIZE), with SIGXFSZ
// ignored so that writes past it fail with EFBIG as on a full disk.
//
// <plan>: "0" for none, "kill:N" kills at primitive call N, "fail:N:errno"
// fails call N. Prints the number of primitive calls the save made and the
// last message shown.
// Exit status: 0 saved, 1 refused with a message, 3 privileges not dropped.
#include "foundation/config_file.h"
#include "foundation/corpus_list.h"
#include "foundation/frequency_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "foundation/workspace.h"
#include "platform/file_ops.h"
#include "support/fake_bridge.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

platform::FileFaultPlan planFor;

class ChildCorpusFrame : public TCorpusFrame {
public:
  void ShowFullText(const std::string&) override {}
  void CloseFullText(const std::string&) override {}
  void CloseAllChildWindows() override {}
  void ForgetWordListWindows() override {}
  void SetCorpusInfo(const std::string&) override {}
};

class ChildWorkspaceFrame : public TWorkspaceFrame {
public:
  TCorpusFrame& Corpus() override { return corpus; }
  std::string& WorkspaceName() override { return name; }
  void SetCaption(const std::string&) override {}
  TBatchPatternLists BatchPatterns() override { return {&patterns, &patterns, &patterns}; }
  bool ChooseWorkspaceToSave(std::string&) override { return false; }
  bool ChooseWorkspaceToOpen(std::string&) override { return false; }
  ChildCorpusFrame corpus;
  std::string name;
  std::vector<std::string> patterns{"alpha", "be*"};
};

bool dropToNobody()
{
  if (::getuid() != 0)
    return true;  // already unprivileged
  const gid_t none[] = {65534};
  if (::setgroups(1, none) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
    return false;
  return ::getuid() == 65534 && ::geteuid() == 65534 && ::getegid() == 65534 && ::setuid(0) != 0;
}

platform::FileFaultPlan parsePlan(const std::string& text)
{
  int at = 0, err = 0;
  if (std::sscanf(text.c_str(), "kill:%d", &at) == 1)
    return [at](platform::FileOp, int n) { return n == at ? platform::FaultKill : platform::FaultNone; };
  if (std::sscanf(text.c_str(), "fail:%d:%d", &at, &err) == 2)
    return [at, err](platform::FileOp, int n) { return n == at ? err : platform::FaultNone; };
  return {};
}

bool saveWorkspace(const std::string& folder, bool saveAs)
{
  ChildWorkspaceFrame ws;
  const std::string qws = folder + "Novels.QWS";
  struct stat st {};
  if (::stat(qws.c_str(), &st) == 0) {
    if (!OpenWorkspace(ws, qws))
      return false;
    LoadCorpusItems(ws.corpus, {folder + "b.txt"});
    CorpusFreqList = CountCorpusWords();
  } else {
    LoadCorpusItems(ws.corpus, {folder + "a.txt"});
    CorpusFreqList = CountCorpusWords();
    ws.name.clear();
  }
  KeepLinePages = KeepWatchedTags = KeepURLs = KeepFreq = true;
  platform::setFileFaultPlan(planFor);
  if (saveAs && !ws.name.empty())
    return SaveWorkspace(ws, folder + "Copy.QWS", true);
  return SaveWorkspace(ws, qws, false);
}

}  // namespace

int main(int argc, char** argv)
{
  int arg = 1;
  if (arg < argc && std::strcmp(argv[arg], "--as-nobody") == 0) {
    ++arg;
    if (!dropToNobody())
      return 3;
  }
  if (arg + 1 < argc && std::strcmp(argv[arg], "--fsize") == 0) {
    const rlim_t bytes = std::strtoul(argv[arg + 1], nullptr, 10);
    arg += 2;
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
      return 3;
  }
  if (argc - arg != 3)
    return 2;
  const std::string mode = argv[arg], target = argv[arg + 1];
  testsupport::FakeBridge bridge;
  testsupport::FakeDialogs dialogs;
  InitProgramState();
  InitSharedState();
  ConcordSettings.PageSeparator = "<pb>";
  WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>")};
  const bool loop = mode == "settings-loop";
  URLHistory.clear();
  for (int i = 0; i < (loop ? 10000 : 640); ++i)
    URLHistory.push_back("http://x.example/" + std::to_string(i) + "/" + std::string(80, 'a' + i % 26));
  planFor = loop ? platform::FileFaultPlan() : parsePlan(argv[arg + 2]);
  bool ok = false;
  if (mode == "workspace" || mode == "workspace-as") {
    ok = saveWorkspace(target, mode == "workspace-as");
  } else if (loop) {
    const long times = std::atol(argv[arg + 2]);
    for (long i = 0; times == 0 || i < times; ++i)
      ok = WriteConfig(target);
  } else if (mode == "settings") {
    platform::setFileFaultPlan(planFor);
    ok = WriteConfig(target);
  } else {
    return 2;
  }
  const int calls = platform::fileOpCalls();
  platform::setFileFaultPlan({});
  std::printf("%d\n%s\n", calls, dialogs.Messages.empty() ? "" : dialogs.Messages.back().Text.c_str());
  std::fflush(stdout);
  return ok ? 0 : 1;
}
