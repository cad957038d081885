// A synchronised stream over bytes in memory that a test can let grow, like a
// download still arriving. Reads past the current end are short.
#pragma once

#include "foundation/sync_stream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace testsupport {

class MemoryStream : public TSynchroStream {
public:
  explicit MemoryStream(std::string data = {}) : data_(std::move(data)) {}

  // Appends bytes under the stream's lock, as a download worker would.
  void Append(std::string_view more)
  {
    std::lock_guard lock(Mutex());
    data_.append(more);
  }
  int Reads() const { return reads_; }

  int32_t GetSize() override
  {
    std::lock_guard lock(Mutex());
    return int32_t(data_.size());
  }
  bool WaitForPosition(int32_t pos) override { return pos <= GetSize(); }
  int32_t Read(void* buffer, int32_t count) override
  {
    ++reads_;
    if (count <= 0 || pos_ >= int64_t(data_.size()))
      return 0;
    auto n = int32_t(std::min<int64_t>(count, int64_t(data_.size()) - pos_));
    std::memcpy(buffer, data_.data() + pos_, size_t(n));
    pos_ += n;
    return n;
  }
  int32_t Write(const void* buffer, int32_t count) override
  {
    if (count <= 0)
      return 0;
    if (int64_t(data_.size()) < pos_ + count)
      data_.resize(size_t(pos_ + count));
    std::memcpy(data_.data() + pos_, buffer, size_t(count));
    pos_ += count;
    return count;
  }
  int32_t Seek(int32_t offset, int origin) override
  {
    int64_t base = origin == soFromCurrent ? pos_ : origin == soFromEnd ? int64_t(data_.size()) : 0;
    if (base + offset < 0)
      return -1;
    pos_ = base + offset;
    return int32_t(pos_);
  }

private:
  std::string data_;
  int64_t pos_ = 0;
  int reads_ = 0;
};

}  // namespace testsupport
