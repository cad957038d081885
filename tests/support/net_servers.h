// Servers for the download tests, all on 127.0.0.1 and free ports.
//
// ScriptedServer: a listening socket whose thread accepts one connection at a
// time and hands it to the test's script. Every wait is bounded (a few
// seconds) and ends when the server stops, so no test can hang on it.
//
// PythonServer: python3's http.server or pyftpdlib serving a folder, started
// with the system's /usr/bin/python3 and ended by its process id.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testsupport {

class ServerConnection {
public:
  ServerConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
  ~ServerConnection();
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;

  // Reads up to the first empty line (an HTTP request); empty on time-out.
  std::string ReadRequest();
  // Reads one line without its CR LF; false on time-out or close.
  bool ReadLine(std::string& line);
  // Sends all bytes; false when the peer has gone.
  bool Send(std::string_view bytes);
  // Sends in pieces of `piece` bytes with a pause after each.
  bool Trickle(std::string_view bytes, size_t piece, std::chrono::milliseconds pause);
  // Makes the close a reset (RST) instead of an orderly end (FIN).
  void Reset();
  // Waits until the client closes, the server stops or the time is up.
  void WaitForClose(std::chrono::milliseconds limit = std::chrono::seconds(10));
  bool Stopping() const { return stopping_.load(); }
  int Fd() const { return fd_; }

private:
  bool fill();
  int fd_;
  const std::atomic<bool>& stopping_;
  std::string pending_;
};

class ScriptedServer {
public:
  using Script = std::function<void(ServerConnection&, int connectionNumber)>;
  explicit ScriptedServer(Script script);
  ~ScriptedServer();

  uint16_t Port() const { return port_; }
  std::string Url(std::string_view scheme, std::string_view path) const;
  // The bytes of each HTTP request read with ReadRequest, in order.
  std::vector<std::string> Requests() const;
  void Record(const std::string& request);
  int Connections() const { return connections_.load(); }

private:
  void run();
  Script script_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A listener that never accepts and whose queue is full, so that the
// handshake of any further connect is never answered (its SYNs are
// dropped): a host that does not answer, on 127.0.0.1.
class FullListener {
public:
  FullListener();
  ~FullListener();
  uint16_t Port() const { return port_; }

private:
  int listener_ = -1;
  std::vector<int> fillers_;
  uint16_t port_ = 0;
};

// Opens an active-mode data connection to "h1,h2,h3,h4,p1,p2" from the
// address `from` (network text form); -1 on failure.
int ConnectFtpData(const std::string& portArgument, const char* from = "127.0.0.1");

class PythonServer {
public:
  enum class Kind { Http, Ftp };
  // Serves folder; throws when the server does not start.
  PythonServer(Kind kind, const std::string& folder);
  ~PythonServer();
  uint16_t Port() const { return port_; }

private:
  int pid_ = -1;
  uint16_t port_ = 0;
};

}  // namespace testsupport
