// Loading a URL against curl: a generated corpus file served by
// `python3 -m http.server --bind 127.0.0.1`, fetched alternately by
// `curl -sS -o` and by the user's path, File > Load Corpus URL:
// LoadCorpusItems(url) on the Qt bridge and the Qt progress form, until the
// load scan has read the whole download (line index and word count built),
// into TMPDIR. Median of five runs each, with the ratio.
//
// Usage: download_bench [megabytes]   (default 200)
#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/inet_stream.h"
#include "foundation/program_state.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/frame/qt_ui_bridge.h"

#include <QApplication>

#include <algorithm>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
  return std::chrono::duration<double>(d).count();
}

double threadCpuSeconds()
{
  rusage u{};
  ::getrusage(RUSAGE_THREAD, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

pid_t spawn(std::vector<std::string> args, int out)
{
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out >= 0)
    posix_spawn_file_actions_adddup2(&actions, out, 1);
  if (out >= 0)
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    throw std::runtime_error("cannot start " + args[0]);
  return pid;
}

// python3 -m http.server on a free port of 127.0.0.1; its port from the
// line it prints ("Serving HTTP on 127.0.0.1 port N ...").
struct HttpServer {
  pid_t pid = -1;
  int port = 0;

  explicit HttpServer(const std::string& folder)
  {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe failed");
    pid = spawn({"/usr/bin/python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", folder},
                pipeFds[1]);
    ::close(pipeFds[1]);
    std::string text;
    const auto until = Clock::now() + std::chrono::seconds(20);
    // The whole line: closing the pipe earlier would break the server's print.
    while (text.find('\n') == std::string::npos) {
      pollfd p{pipeFds[0], POLLIN, 0};
      if (Clock::now() > until || ::poll(&p, 1, 100) < 0)
        break;
      char buf[256];
      if (p.revents) {
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n <= 0)
          break;
        text.append(buf, size_t(n));
      }
    }
    ::close(pipeFds[0]);
    const size_t at = text.find(" port ");
    port = at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 6);
    if (port == 0) {
      stop();
      throw std::runtime_error("http.server did not start");
    }
  }
  ~HttpServer() { stop(); }
  void stop()
  {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
      pid = -1;
    }
  }
};

double median(std::vector<double> values)
{
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct ClientRun {
  double wall = 0;
  double guiCpu = 0;
  int64_t steps = 0;
  int64_t bytes = 0;
  int32_t words = 0;
};

// The user's path: File > Load Corpus URL until the load scan has ended.
ClientRun timeLoad(const std::string& url)
{
  TCorpusFrame frame;
  ClientRun run;
  const double cpu0 = threadCpuSeconds();
  const auto t0 = Clock::now();
  LoadCorpusItems(frame, {url});
  run.wall = seconds(Clock::now() - t0);
  run.guiCpu = threadCpuSeconds() - cpu0;
  if (CorpusList.Count() != 1)
    throw std::runtime_error("the URL was not loaded");
  auto* stream = dynamic_cast<TInetSynchroStream*>(CorpusList[0].Source.get());
  if (!stream || !stream->Complete())
    throw std::runtime_error("download failed: " + (stream ? stream->ErrorMessage() : std::string()));
  run.steps = stream->ReadSteps();
  run.bytes = stream->ReceivedBytes();
  run.words = CorpusList[0].WordCount;
  UnloadCorpus(frame);
  return run;
}

void usage(FILE* to)
{
  std::fprintf(to, "Usage: download_bench [megabytes]   (default 200)\n"
                   "Times File > Load Corpus URL of a generated file from python3 -m http.server on 127.0.0.1\n"
                   "(until the load scan has ended) against curl -o of the same file; needs python3 and curl.\n");
}

}  // namespace

int main(int argc, char** argv)
{
  uint64_t megabytes = 200;
  if (argc > 2) {
    usage(stderr);
    return 2;
  }
  if (argc == 2) {
    const std::string arg = argv[1];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    char* end = nullptr;
    megabytes = std::strtoull(arg.c_str(), &end, 10);
    if (arg.empty() || *end != 0 || megabytes == 0 || megabytes > 2000) {
      usage(stderr);
      return 2;
    }
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  try {
    InitSharedState();
    QtUiBridge bridge;
    bridge.install();
    QtDialogService dialogs;
    SetDialogService(&dialogs);
    InstallDownloadClient();

    const std::string folder = corpusgen::tempPath("quill_download_bench");
    std::filesystem::create_directories(folder);
    corpusgen::Options options;
    options.size = megabytes << 20;
    corpusgen::writeUnlessPresent(options, folder + "/corpus.txt");
    corpusgen::warmPageCache(folder + "/corpus.txt");

    HttpServer server(folder);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/corpus.txt";
    const std::string target = corpusgen::tempPath("quill_download_bench_curl.out");
    const double mb = double(options.size) / 1e6;
    std::vector<double> curlTimes, loadTimes;
    ClientRun last;
    for (int round = 0; round < 5; ++round) {
      curlTimes.push_back(corpusgen::peerSeconds("curl -sS --noproxy '*' -o '" + target + "' '" + url + "'"));
      std::filesystem::remove(target);
      last = timeLoad(url);
      if (last.bytes != int64_t(options.size))
        throw std::runtime_error("short download");
      loadTimes.push_back(last.wall);
    }
    SetDialogService(nullptr);
    const double curl = median(curlTimes), load = median(loadTimes);
    std::printf("file: %.1f MB over http://127.0.0.1 (python3 -m http.server); median of %zu runs\n", mb,
                loadTimes.size());
    std::printf("curl -sS -o:                 %8.3f s  %8.1f MB/s\n", curl, mb / curl);
    std::printf("LoadCorpusItems(url), scan:  %8.3f s  %8.1f MB/s  (%.2fx curl)\n", load, mb / load, load / curl);
    std::printf("last load: GUI-thread CPU %.3f s; read steps %lld (%.1f KB each); %d words\n", last.guiCpu,
                static_cast<long long>(last.steps),
                double(last.bytes) / double(std::max<int64_t>(last.steps, 1)) / 1024.0, last.words);
  } catch (const std::exception& e) {
    SetDialogService(nullptr);
    std::fprintf(stderr, "download_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
