#include "foundation/text_sink.h"

#include <cerrno>
#include <stdexcept>

namespace {

// Bytes gathered before one write to the file.
constexpr size_t BufferSize = 64 * 1024;

}  // namespace

TFileTextSink::TFileTextSink(std::string fileName, TMode mode) : fileName_(std::move(fileName))
{
  const auto fileMode = mode == TMode::Append ? platform::OutputFile::Mode::Append
                                              : platform::OutputFile::Mode::Replace;
  if (fileName_.empty() || file_.open(fileName_, fileMode) != 0)
    throw std::runtime_error("Unable to open file: " + fileName_ + ".");
  buffer_.reserve(BufferSize);
}

TFileTextSink::~TFileTextSink()
{
  Abandon();
}

void TFileTextSink::Write(std::string_view bytes)
{
  if (failed_)
    Fail(failed_);
  if (closed_)
    Fail(EBADF);
  if (buffer_.size() + bytes.size() > BufferSize) {
    Flush();
    if (bytes.size() >= BufferSize) {
      if (const int err = file_.write(bytes))
        Fail(err);
      return;
    }
  }
  buffer_.append(bytes);
}

void TFileTextSink::Flush()
{
  if (buffer_.empty())
    return;
  const int err = file_.write(buffer_);
  buffer_.clear();
  if (err)
    Fail(err);
}

void TFileTextSink::Close()
{
  if (failed_)
    Fail(failed_);
  if (closed_)
    return;
  Flush();
  closed_ = true;
  if (const int err = file_.commit()) {
    failed_ = err;
    throw std::runtime_error(platform::writeErrorText(fileName_, err));
  }
}

void TFileTextSink::Abandon() noexcept
{
  buffer_.clear();
  file_.abandon();
  closed_ = true;
}

void TFileTextSink::Fail(int err)
{
  // What was written is dropped at once, so that no later call can commit
  // half a file.
  failed_ = err;
  Abandon();
  throw std::runtime_error(platform::writeErrorText(fileName_, err));
}
