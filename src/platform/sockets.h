// IPv4 stream sockets over POSIX, in the shape the download client needs:
// a connect and a name look-up that can be waited for in slices, listeners
// that never block, descriptors closed on exec, sends
// that never raise SIGPIPE, and failures reported as Windows Sockets error
// codes (10000 and up, 11001 to 11004 for name look-ups), whose texts the
// client shows.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

inline constexpr int InvalidSocket = -1;

// An IPv4 address in network byte order and a port in host byte order.
struct SocketAddress {
  uint32_t Address = 0;
  uint16_t Port = 0;
};

// The Windows Sockets code of an errno value, mapped by name (ECONNREFUSED
// gives 10061); 0 for 0.
int wsaErrorOfErrno(int err);
// The code of a failed getaddrinfo (EAI_NONAME gives 11001).
int wsaErrorOfLookup(int eai, int err);
// The code of the calling thread's last failed socket call here.
int lastSocketError();

// A dotted IPv4 address, or the first IPv4 address of a name look-up. On
// failure false, with the error code in error.
bool resolveIPv4(const std::string& host, uint32_t& address, int& error);

// A name look-up on a thread of its own, so that no caller waits on the
// resolver longer than it wants: Wait() gives up after its slice, and a
// look-up that is dropped unfinished runs to its end alone and frees itself.
// A dotted address is taken at once, without a thread.
class NameLookup {
public:
  explicit NameLookup(const std::string& host);
  ~NameLookup();
  NameLookup(const NameLookup&) = delete;
  NameLookup& operator=(const NameLookup&) = delete;
  // Waits at most waitMs for the answer; true once it is there.
  bool Wait(int waitMs);
  // After Wait() gave true: the address, or false with the error code.
  bool Result(uint32_t& address, int& error) const;

private:
  struct State;
  std::shared_ptr<State> state_;
};

// A new TCP socket, or InvalidSocket; nonBlocking makes every call on it
// (accept on a listener included) return at once.
int createStreamSocket(bool nonBlocking = false);
// Starts a connect without waiting: 1 connected, 0 under way (finish it
// with finishConnect), -1 failed (lastSocketError()).
int beginConnect(int fd, SocketAddress to);
// Waits at most waitMs for a connect under way: 1 connected (the socket is
// blocking again), 0 still under way, -1 failed (lastSocketError()).
int finishConnect(int fd, int waitMs);
// Connects, waiting at most timeout; on failure false (a time-out gives
// 10060). The socket stays blocking.
bool connectSocket(int fd, SocketAddress to, std::chrono::milliseconds timeout);
bool bindSocket(int fd, SocketAddress at);
bool listenSocket(int fd, int backlog);
bool socketName(int fd, SocketAddress& name);
bool peerName(int fd, SocketAddress& name);
// Takes one pending connection; InvalidSocket when none is waiting (on a
// non-blocking listener) or on failure. The new socket is blocking.
int acceptSocket(int fd, SocketAddress* peer);
// Sends every byte, going on after partial sends; false on failure.
bool sendAll(int fd, const void* data, size_t count);
// Receives up to count bytes. With dontWait, a socket without data gives -1
// and lastSocketError() 10035. 0: the peer closed; -1: failure.
long receiveSome(int fd, void* data, size_t count, bool dontWait);
// Waits until one of the sockets is readable (or closed): 1; 0 after
// timeoutMs or when interrupted; -1 on failure.
int pollReadable(const int* fds, size_t count, int timeoutMs);
// Stops both directions, which wakes any wait on the socket; the descriptor
// stays valid until closeSocket.
void shutdownSocket(int fd);
void closeSocket(int fd);

}  // namespace platform
