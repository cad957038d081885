// IPv4 stream sockets over POSIX, in the shape the download client needs:
// blocking calls with an optional bound, descriptors closed on exec, sends
// that never raise SIGPIPE, and failures reported as Windows Sockets error
// codes (10000 and up, 11001 to 11004 for name look-ups), whose texts the
// client shows.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
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

// A new blocking TCP socket, or InvalidSocket.
int createStreamSocket();
// Connects, waiting at most timeout; on failure false (a time-out gives
// 10060). The socket stays blocking.
bool connectSocket(int fd, SocketAddress to, std::chrono::milliseconds timeout);
bool bindSocket(int fd, SocketAddress at);
bool listenSocket(int fd, int backlog);
bool socketName(int fd, SocketAddress& name);
bool peerName(int fd, SocketAddress& name);
// Takes one pending connection without blocking; InvalidSocket when none is
// waiting or on failure. The new socket is blocking.
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
