// Download speed against curl: a generated 200 MB corpus file served by
// `python3 -m http.server --bind 127.0.0.1`, fetched alternately by
// `curl -s -o` and by the download client (construction until the end, the
// Qt bridge on a running event loop, into TMPDIR); best of three each.
//
// Usage: download_bench [megabytes]   (default 200)
#include "corpus_files.h"
#include "foundation/inet_stream.h"
#include "foundation/program_state.h"
#include "workbench/frame/qt_ui_bridge.h"

#include <QApplication>

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

double timeCurl(const std::string& url, const std::string& target)
{
  const auto t0 = Clock::now();
  const pid_t pid = spawn({"curl", "-sS", "--noproxy", "*", "-o", target, url}, -1);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const double t = seconds(Clock::now() - t0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("curl failed");
  std::filesystem::remove(target);
  return t;
}

struct ClientRun {
  double wall = 0;
  double guiCpu = 0;
  int64_t steps = 0;
  int64_t bytes = 0;
};

ClientRun timeClient(const std::string& url)
{
  ClientRun run;
  const double cpu0 = threadCpuSeconds();
  const auto t0 = Clock::now();
  {
    TInetSynchroStream stream(url);
    while (!stream.Done())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    run.wall = seconds(Clock::now() - t0);
    run.guiCpu = threadCpuSeconds() - cpu0;
    run.steps = stream.ReadSteps();
    run.bytes = stream.ReceivedBytes();
    if (!stream.Complete())
      throw std::runtime_error("download failed: " + stream.ErrorMessage());
  }
  return run;
}

}  // namespace

int main(int argc, char** argv)
{
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200;
  try {
    InitSharedState();
    QtUiBridge bridge;
    bridge.install();

    const std::string folder = corpusgen::tempPath("quill_download_bench");
    std::filesystem::create_directories(folder);
    corpusgen::Options options;
    options.size = megabytes << 20;
    corpusgen::writeUnlessPresent(options, folder + "/corpus.txt");
    corpusgen::warmPageCache(folder + "/corpus.txt");

    HttpServer server(folder);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/corpus.txt";
    const double mb = double(options.size) / 1e6;
    double bestCurl = 1e30;
    ClientRun best;
    best.wall = 1e30;
    for (int round = 0; round < 3; ++round) {
      bestCurl = std::min(bestCurl, timeCurl(url, corpusgen::tempPath("quill_download_bench_curl.out")));
      const ClientRun run = timeClient(url);
      if (run.bytes != int64_t(options.size))
        throw std::runtime_error("short download");
      if (run.wall < best.wall)
        best = run;
    }
    std::printf("file: %.1f MB over http://127.0.0.1 (python3 -m http.server)\n", mb);
    std::printf("curl -s -o:      %8.3f s  %8.1f MB/s\n", bestCurl, mb / bestCurl);
    std::printf("download client: %8.3f s  %8.1f MB/s  (%.0f%% of curl)\n", best.wall, mb / best.wall,
                100.0 * bestCurl / best.wall);
    std::printf("client GUI-thread CPU: %.3f s; read steps: %lld (%.1f KB each)\n", best.guiCpu,
                static_cast<long long>(best.steps), double(best.bytes) / double(std::max<int64_t>(best.steps, 1)) / 1024.0);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "download_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
