// Read-only views of parts of files mapped into memory, for scans that read
// much of a file once, and a guard for reading them: a file that another
// program cuts short under a view makes the next read of a page past its
// new end raise a bus error, which the guard turns into a failed call.
#pragma once

#include <cstdint>

namespace platform {

class TMappedRange {
public:
  TMappedRange() = default;
  ~TMappedRange() { Unmap(); }
  TMappedRange(const TMappedRange&) = delete;
  TMappedRange& operator=(const TMappedRange&) = delete;

  // Maps length bytes of the open file fd from offset; false, and nothing
  // mapped, when the system refuses.
  bool Map(int fd, int64_t offset, int64_t length);
  void Unmap();
  // The byte at the offset given to Map.
  const unsigned char* Data() const { return data_; }

private:
  void* base_ = nullptr;
  uint64_t size_ = 0;
  const unsigned char* data_ = nullptr;
};

// Calls fn(arg) and returns true; returns false instead when fn raised a
// bus error by reading a mapped view (its file was cut short meanwhile).
// fn is left where the error struck, so it must hold nothing that needs
// freeing or unlocking: plain reads and arithmetic, no calls that allocate,
// lock or throw. Bus errors elsewhere go to the handler installed before.
bool CallCatchingBusError(void (*fn)(void*), void* arg);

}  // namespace platform
