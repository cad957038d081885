#include "support/net_servers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

constexpr int kSliceMs = 20;
constexpr auto kReadLimit = std::chrono::seconds(10);

// Waits for readability in slices, giving up when stopping or after limit.
bool waitReadable(int fd, const std::atomic<bool>& stopping, std::chrono::milliseconds limit)
{
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!stopping.load() && std::chrono::steady_clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) > 0)
      return true;
  }
  return false;
}

// A listener on 127.0.0.1 at a port the system chooses; its address (with
// that port) goes into `sa`. Throws when it cannot listen.
int listenOnLoopback(int backlog, sockaddr_in& sa)
{
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sa = sockaddr_in{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(fd, backlog) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    if (fd >= 0)
      ::close(fd);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  return fd;
}

}  // namespace

// --- ServerConnection --------------------------------------------------------

ServerConnection::~ServerConnection()
{
  ::close(fd_);
}

bool ServerConnection::fill()
{
  if (!waitReadable(fd_, stopping_, kReadLimit))
    return false;
  char block[4096];
  const ssize_t n = ::recv(fd_, block, sizeof block, 0);
  if (n <= 0)
    return false;
  pending_.append(block, size_t(n));
  return true;
}

std::string ServerConnection::ReadRequest()
{
  for (;;) {
    const size_t end = pending_.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::string request = pending_.substr(0, end + 4);
      pending_.erase(0, end + 4);
      return request;
    }
    if (pending_.size() > 65536 || !fill())
      return std::string();
  }
}

bool ServerConnection::ReadLine(std::string& line)
{
  for (;;) {
    const size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      return true;
    }
    if (pending_.size() > 65536 || !fill())
      return false;
  }
}

bool ServerConnection::Send(std::string_view bytes)
{
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0)
      return false;
    bytes.remove_prefix(size_t(n));
  }
  return true;
}

bool ServerConnection::Trickle(std::string_view bytes, size_t piece, std::chrono::milliseconds pause)
{
  while (!bytes.empty() && !Stopping()) {
    const size_t n = std::min(piece, bytes.size());
    if (!Send(bytes.substr(0, n)))
      return false;
    bytes.remove_prefix(n);
    std::this_thread::sleep_for(pause);
  }
  return bytes.empty();
}

void ServerConnection::WaitForClose(std::chrono::milliseconds limit)
{
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    if (!waitReadable(fd_, stopping_, limit))
      return;
    char block[4096];
    if (::recv(fd_, block, sizeof block, 0) <= 0)
      return;
  }
}

void ServerConnection::Reset()
{
  const linger now{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
}

// --- FullListener --------------------------------------------------------------

FullListener::FullListener()
{
  sockaddr_in sa;
  listener_ = listenOnLoopback(0, sa);
  port_ = ntohs(sa.sin_port);
  // Fill the queue: connects go on until one is left unanswered.
  for (int i = 0; i < 8; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    fillers_.push_back(fd);
    ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, 200) == 0)
      return;  // this one hangs: the queue is full
  }
  throw std::runtime_error("the listener's queue does not fill");
}

FullListener::~FullListener()
{
  for (int fd : fillers_)
    ::close(fd);
  ::close(listener_);
}

// --- ScriptedServer ------------------------------------------------------------

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script))
{
  sockaddr_in sa;
  listener_ = listenOnLoopback(16, sa);
  port_ = ntohs(sa.sin_port);
  thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer()
{
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

void ScriptedServer::run()
{
  // At most 64 connections, each handled to its end before the next.
  for (int n = 1; n <= 64 && !stopping_; ++n) {
    if (!waitReadable(listener_, stopping_, std::chrono::minutes(2)))
      return;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      continue;
    ++connections_;
    ServerConnection connection(fd, stopping_);
    script_(connection, n);
  }
}

std::string ScriptedServer::Url(std::string_view scheme, std::string_view path) const
{
  return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> ScriptedServer::Requests() const
{
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Record(const std::string& request)
{
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
}

int ConnectFtpData(const std::string& portArgument, const char* from)
{
  unsigned h[4], p[2];
  if (std::sscanf(portArgument.c_str(), "%u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2], &h[3], &p[0], &p[1]) != 6)
    return -1;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &local.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(h[0] << 24 | h[1] << 16 | h[2] << 8 | h[3]);
  to.sin_port = htons(uint16_t(p[0] * 256 + p[1]));
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (fd >= 0)
      ::close(fd);
    return -1;
  }
  return fd;
}

// --- PythonServer --------------------------------------------------------------

namespace {

const char* const kHttpScript =
    "import http.server, os, sys\n"
    "os.chdir(sys.argv[1])\n"
    "class Quiet(http.server.SimpleHTTPRequestHandler):\n"
    "    def log_message(self, *args): pass\n"
    "s = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Quiet)\n"
    "print(s.server_address[1], flush=True)\n"
    "s.serve_forever(poll_interval=0.2)\n";

const char* const kFtpScript =
    "import logging, sys\n"
    "from pyftpdlib.authorizers import DummyAuthorizer\n"
    "from pyftpdlib.handlers import FTPHandler\n"
    "from pyftpdlib.servers import FTPServer\n"
    "logging.basicConfig(level=logging.CRITICAL)\n"
    "a = DummyAuthorizer()\n"
    "a.add_anonymous(sys.argv[1])\n"
    "a.add_user('reader', 'secret', sys.argv[1])\n"
    "FTPHandler.authorizer = a\n"
    "s = FTPServer(('127.0.0.1', 0), FTPHandler)\n"
    "print(s.socket.getsockname()[1], flush=True)\n"
    "s.serve_forever(timeout=0.2)\n";

}  // namespace

PythonServer::PythonServer(Kind kind, const std::string& folder)
{
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // Bounded: the server ends by itself after ten minutes at most.
  std::vector<std::string> args = {"/usr/bin/timeout", "600", "/usr/bin/python3", "-c",
                                   kind == Kind::Http ? kHttpScript : kFtpScript, folder};
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string line;
  if (rc == 0) {
    const std::atomic<bool> never{false};
    while (line.find('\n') == std::string::npos && waitReadable(out[0], never, std::chrono::seconds(20))) {
      char c[64];
      const ssize_t n = ::read(out[0], c, sizeof c);
      if (n <= 0)
        break;
      line.append(c, size_t(n));
    }
  }
  ::close(out[0]);
  port_ = uint16_t(std::atoi(line.c_str()));
  if (rc != 0 || port_ == 0) {
    if (rc == 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    throw std::runtime_error(std::string("python server did not start (") +
                             (kind == Kind::Http ? "http.server" : "pyftpdlib") + ")");
  }
}

PythonServer::~PythonServer()
{
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

}  // namespace testsupport
