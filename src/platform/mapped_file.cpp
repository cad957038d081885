#include "platform/mapped_file.h"

#include <csetjmp>
#include <atomic>
#include <csignal>
#include <mutex>

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

bool TMappedRange::Map(int fd, int64_t offset, int64_t length)
{
  Unmap();
  if (fd < 0 || offset < 0 || length <= 0)
    return false;
  static const int64_t page = ::sysconf(_SC_PAGESIZE) > 0 ? ::sysconf(_SC_PAGESIZE) : 4096;
  const int64_t start = offset - offset % page;
  const auto size = uint64_t(length + (offset - start));
  void* base = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, off_t(start));
  if (base == MAP_FAILED)
    return false;
  base_ = base;
  size_ = size;
  data_ = static_cast<const unsigned char*>(base) + (offset - start);
  return true;
}

void TMappedRange::Unmap()
{
  if (base_)
    ::munmap(base_, size_);
  base_ = nullptr;
  size_ = 0;
  data_ = nullptr;
}

namespace {

thread_local sigjmp_buf* busJump = nullptr;
struct sigaction previousAction;

void onBusError(int sig, siginfo_t* info, void* context)
{
  if (sigjmp_buf* jump = busJump) {
    busJump = nullptr;
    siglongjmp(*jump, 1);
  }
  // Not a guarded read: whatever was there before decides.
  if ((previousAction.sa_flags & SA_SIGINFO) && previousAction.sa_sigaction) {
    previousAction.sa_sigaction(sig, info, context);
  } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(sig);
  } else {
    // The faulting read runs again and meets the old action.
    ::sigaction(SIGBUS, &previousAction, nullptr);
  }
}

void installBusErrorHandler()
{
  struct sigaction action {};
  action.sa_sigaction = onBusError;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &previousAction);
}

}  // namespace

bool CallCatchingBusError(void (*fn)(void*), void* arg)
{
  static std::once_flag installed;
  std::call_once(installed, installBusErrorHandler);
  sigjmp_buf jump;
  if (sigsetjmp(jump, 0) != 0) {
    // The handler ran with the signal unblocked (SA_NODEFER); make sure.
    sigset_t bus;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    ::pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
    return false;
  }
  busJump = &jump;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  fn(arg);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  busJump = nullptr;
  return true;
}

}  // namespace platform
