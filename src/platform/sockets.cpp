#include "platform/sockets.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

thread_local int lastError = 0;

bool fail(int err)
{
  lastError = wsaErrorOfErrno(err);
  return false;
}

int failed(int err)
{
  fail(err);
  return -1;
}

sockaddr_in toSockaddr(SocketAddress a)
{
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = a.Address;
  sa.sin_port = htons(a.Port);
  return sa;
}

SocketAddress fromSockaddr(const sockaddr_in& sa)
{
  return SocketAddress{sa.sin_addr.s_addr, ntohs(sa.sin_port)};
}

bool setNonBlocking(int fd, bool on)
{
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0)
    return false;
  return ::fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

}  // namespace

int wsaErrorOfErrno(int err)
{
  switch (err) {
  case 0: return 0;
  case EINTR: return 10004;
  case EBADF: return 10009;
  case EACCES: return 10013;
  case EFAULT: return 10014;
  case EINVAL: return 10022;
  case EMFILE: return 10024;
  case EAGAIN: return 10035;
  case EINPROGRESS: return 10036;
  case EALREADY: return 10037;
  case ENOTSOCK: return 10038;
  case EDESTADDRREQ: return 10039;
  case EMSGSIZE: return 10040;
  case EPROTOTYPE: return 10041;
  case ENOPROTOOPT: return 10042;
  case EPROTONOSUPPORT: return 10043;
  case ESOCKTNOSUPPORT: return 10044;
  case EOPNOTSUPP: return 10045;
  case EPFNOSUPPORT: return 10046;
  case EAFNOSUPPORT: return 10047;
  case EADDRINUSE: return 10048;
  case EADDRNOTAVAIL: return 10049;
  case ENETDOWN: return 10050;
  case ENETUNREACH: return 10051;
  case ENETRESET: return 10052;
  case ECONNABORTED: return 10053;
  case ECONNRESET:
  case EPIPE: return 10054;
  case ENOBUFS: return 10055;
  case EISCONN: return 10056;
  case ENOTCONN: return 10057;
  case ESHUTDOWN: return 10058;
  case ETOOMANYREFS: return 10059;
  case ETIMEDOUT: return 10060;
  case ECONNREFUSED: return 10061;
  case ELOOP: return 10062;
  case ENAMETOOLONG: return 10063;
  case EHOSTDOWN: return 10064;
  case EHOSTUNREACH: return 10065;
  case ENOTEMPTY: return 10066;
  case EUSERS: return 10068;
  case EDQUOT: return 10069;
  case ESTALE: return 10070;
  case EREMOTE: return 10071;
  default: return 10000;  // no text of its own
  }
}

int wsaErrorOfLookup(int eai, int err)
{
  switch (eai) {
  case 0: return 0;
  case EAI_NONAME: return 11001;
  case EAI_AGAIN: return 11002;
  case EAI_FAIL: return 11003;
  case EAI_NODATA:
  case EAI_ADDRFAMILY: return 11004;
  case EAI_SYSTEM: return wsaErrorOfErrno(err);
  default: return 11003;
  }
}

int lastSocketError()
{
  return lastError;
}

bool resolveIPv4(const std::string& host, uint32_t& address, int& error)
{
  in_addr dotted{};
  if (::inet_pton(AF_INET, host.c_str(), &dotted) == 1) {
    address = dotted.s_addr;
    error = 0;
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || !found) {
    error = wsaErrorOfLookup(rc != 0 ? rc : EAI_NONAME, errno);
    lastError = error;
    return false;
  }
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  error = 0;
  return true;
}

struct NameLookup::State {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool ok = false;
  uint32_t address = 0;
  int error = 0;
};

NameLookup::NameLookup(const std::string& host) : state_(std::make_shared<State>())
{
  in_addr dotted{};
  if (::inet_pton(AF_INET, host.c_str(), &dotted) == 1) {
    state_->finished = state_->ok = true;
    state_->address = dotted.s_addr;
    return;
  }
  std::thread([state = state_, host] {
    uint32_t address = 0;
    int error = 0;
    const bool ok = resolveIPv4(host, address, error);
    std::lock_guard lock(state->mutex);
    state->ok = ok;
    state->address = address;
    state->error = error;
    state->finished = true;
    state->done.notify_all();
  }).detach();
}

NameLookup::~NameLookup() = default;

bool NameLookup::Wait(int waitMs)
{
  std::unique_lock lock(state_->mutex);
  return state_->done.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return state_->finished; });
}

bool NameLookup::Result(uint32_t& address, int& error) const
{
  std::lock_guard lock(state_->mutex);
  address = state_->address;
  error = state_->error;
  return state_->finished && state_->ok;
}

int createStreamSocket(bool nonBlocking)
{
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), IPPROTO_TCP);
  if (fd < 0)
    fail(errno);
  return fd;
}

int beginConnect(int fd, SocketAddress to)
{
  const sockaddr_in sa = toSockaddr(to);
  if (!setNonBlocking(fd, true))
    return failed(errno);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0)
    return setNonBlocking(fd, false) ? 1 : failed(errno);
  if (errno == EINPROGRESS || errno == EINTR)
    return 0;
  return failed(errno);
}

int finishConnect(int fd, int waitMs)
{
  pollfd p{fd, POLLOUT, 0};
  const int rc = ::poll(&p, 1, waitMs);
  if (rc == 0 || (rc < 0 && errno == EINTR))
    return 0;
  if (rc < 0)
    return failed(errno);
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
    err = errno;
  if (err != 0)
    return failed(err);
  return setNonBlocking(fd, false) ? 1 : failed(errno);
}

bool connectSocket(int fd, SocketAddress to, std::chrono::milliseconds timeout)
{
  int rc = beginConnect(fd, to);
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (rc == 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return fail(ETIMEDOUT);
    rc = finishConnect(fd, int(std::min<int64_t>(left.count(), 1000)));
  }
  return rc == 1;
}

bool bindSocket(int fd, SocketAddress at)
{
  const sockaddr_in sa = toSockaddr(at);
  return ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 || fail(errno);
}

bool listenSocket(int fd, int backlog)
{
  return ::listen(fd, backlog) == 0 || fail(errno);
}

namespace {

bool addressOf(int fd, SocketAddress& name, int (*query)(int, sockaddr*, socklen_t*))
{
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (query(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
    return fail(errno);
  name = fromSockaddr(sa);
  return true;
}

}  // namespace

bool socketName(int fd, SocketAddress& name)
{
  return addressOf(fd, name, ::getsockname);
}

bool peerName(int fd, SocketAddress& name)
{
  return addressOf(fd, name, ::getpeername);
}

int acceptSocket(int fd, SocketAddress* peer)
{
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  int conn;
  do {
    conn = ::accept4(fd, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
  } while (conn < 0 && errno == EINTR);
  if (conn < 0) {
    fail(errno);
    return InvalidSocket;
  }
  setNonBlocking(conn, false);
  if (peer)
    *peer = fromSockaddr(sa);
  return conn;
}

bool sendAll(int fd, const void* data, size_t count)
{
  const char* p = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = ::send(fd, p, count, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return fail(n < 0 ? errno : EPIPE);
    p += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

long receiveSome(int fd, void* data, size_t count, bool dontWait)
{
  for (;;) {
    const ssize_t n = ::recv(fd, data, count, dontWait ? MSG_DONTWAIT : 0);
    if (n >= 0)
      return static_cast<long>(n);
    if (errno == EINTR)
      continue;
    fail(errno == EWOULDBLOCK ? EAGAIN : errno);
    return -1;
  }
}

int pollReadable(const int* fds, size_t count, int timeoutMs)
{
  pollfd set[8];
  count = count > 8 ? 8 : count;
  for (size_t i = 0; i < count; ++i)
    set[i] = pollfd{fds[i], POLLIN, 0};
  const int rc = ::poll(set, count, timeoutMs);
  if (rc < 0 && errno == EINTR)
    return 0;
  if (rc < 0) {
    fail(errno);
    return -1;
  }
  return rc > 0 ? 1 : 0;
}

void shutdownSocket(int fd)
{
  if (fd >= 0)
    ::shutdown(fd, SHUT_RDWR);
}

void closeSocket(int fd)
{
  if (fd >= 0)
    ::close(fd);
}

}  // namespace platform
