// A download whose body is a file in the temp folder that the test fills
// bit by bit, as the download client would; Done() says when it ended.
#pragma once

#include "foundation/corpus_list.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <string>

namespace testsupport {

class FakeDownload : public TDownloadStream {
public:
  // total < 0: the size is not known (GetSize gives INT32_MAX).
  FakeDownload(const std::string& file, std::string url, int32_t total)
    : TDownloadStream(file, KeptCopyMode), url_(std::move(url)), total_(total)
  {
    TempCopy = true;
  }
  std::string URL() const override { return url_; }
  bool Done() const override { return done_; }
  bool SizeKnown() const override { return total_ >= 0; }
  int32_t GetSize() override { return total_ >= 0 ? total_ : INT32_MAX; }

  std::atomic<bool> done_{false};

private:
  std::string url_;
  int32_t total_;
};

}  // namespace testsupport
