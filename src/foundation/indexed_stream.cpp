#include "foundation/indexed_stream.h"

#include "platform/file_ops.h"

#include "foundation/utils.h"
#include "platform/safe_write.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

static_assert(std::endian::native == std::endian::little,
              "index files hold little-endian values and are read and written in place");

namespace {

constexpr char IndexMagic[4] = {'I', 'D', 'X', 'S'};
constexpr int32_t IndexVersion = 1;
constexpr size_t CopyBlockBytes = size_t(1) << 20;

int32_t rowsPerBlockFor(int32_t columns)
{
  return std::max<int32_t>(1, TIndexedStream::BlockValues / columns);
}

std::runtime_error unableToOpen(const std::string& name)
{
  return std::runtime_error("Unable to open file: " + name + ".");
}

std::runtime_error unableToWrite(const std::string& name)
{
  return std::runtime_error("Unable to write file: " + name + ".");
}

std::runtime_error invalidIndex(const std::string& name)
{
  return std::runtime_error("Invalid index file: " + name);
}

bool readWholeFile(const std::string& name, std::string& out)
{
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  out.clear();
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      ::close(fd);
      return false;
    }
    if (n == 0)
      break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

// Repeats a positioned read or write (pread, pwrite) until all `size` bytes
// are done; false on an error or an early end.
template <typename Transfer, typename Byte>
bool transferAll(Transfer transfer, int fd, Byte* data, size_t size, off_t offset)
{
  while (size > 0) {
    const ssize_t n = transfer(fd, data, size, offset);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

bool preadAll(int fd, char* data, size_t size, off_t offset)
{
  return transferAll(::pread, fd, data, size, offset);
}

bool pwriteAll(int fd, const char* data, size_t size, off_t offset)
{
  return transferAll(platform::fileops::pwrite, fd, data, size, offset);
}

void putInt32(std::string& out, int32_t v)
{
  char b[4];
  std::memcpy(b, &v, 4);
  out.append(b, 4);
}

}  // namespace

TIndexedStream::TIndexedStream(std::string fileName, int fd, int32_t columns)
  : fileName_(std::move(fileName)), fd_(fd), columns_(columns), rowsPerBlock_(rowsPerBlockFor(columns))
{
}

TIndexedStream::~TIndexedStream()
{
  if (fd_ >= 0)
    platform::fileops::close(fd_);
}

std::unique_ptr<TIndexedStream> TIndexedStream::Create(const std::string& fileName, int32_t columns)
{
  if (columns < 1)
    throw std::invalid_argument("an index needs at least one column");
  const int fd = platform::fileops::openForWrite(fileName, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    throw unableToOpen(fileName);
  std::unique_ptr<TIndexedStream> index(new TIndexedStream(fileName, fd, columns));
  index->TempCopy = true;
  return index;
}

std::unique_ptr<TIndexedStream> TIndexedStream::Open(const std::string& fileName)
{
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw unableToOpen(fileName);
  std::unique_ptr<TIndexedStream> index(new TIndexedStream(fileName, fd, 1));

  struct stat st {};
  if (::fstat(fd, &st) != 0)
    throw unableToOpen(fileName);
  std::string h;
  if (!readWholeFile(IndexHeaderFileName(fileName), h) || h.size() < 32)
    throw invalidIndex(fileName);
  const auto value = [&h](size_t offset) {
    int32_t v;
    std::memcpy(&v, h.data() + offset, 4);
    return v;
  };
  if (std::memcmp(h.data(), IndexMagic, 4) != 0 || value(4) != IndexVersion)
    throw invalidIndex(fileName);
  const int32_t n = value(8);
  if (n < 0 || h.size() != 32 + 4 * static_cast<uint64_t>(n))
    throw invalidIndex(fileName);
  const size_t tail = 12 + 4 * static_cast<size_t>(n);
  const int32_t rowCount = value(tail);
  const int32_t columns = value(tail + 4);
  const int32_t sampleCount = value(tail + 8);
  const int32_t sampleStep = value(tail + 12);
  const int32_t rowsPerBlock = value(tail + 16);
  if (columns < 1 || rowCount < 0 || sampleCount < 0)
    throw invalidIndex(fileName);
  const int32_t expectedStep = rowsPerBlockFor(columns);
  if (sampleStep != expectedStep || rowsPerBlock != expectedStep)
    throw invalidIndex(fileName);
  const int64_t expectedSamples = (int64_t(rowCount) + rowsPerBlock - 1) / rowsPerBlock;
  if (sampleCount != expectedSamples || int64_t(sampleCount) * columns > n)
    throw invalidIndex(fileName);
  if (int64_t(rowCount) * columns * 4 != st.st_size)
    throw invalidIndex(fileName);

  index->columns_ = columns;
  index->rowsPerBlock_ = rowsPerBlock;
  index->rowCount_ = rowCount;
  index->flushedRows_ = rowCount;
  index->sampleCount_ = sampleCount;
  index->samples_.resize(static_cast<size_t>(sampleCount) * static_cast<size_t>(columns));
  if (!index->samples_.empty())
    std::memcpy(index->samples_.data(), h.data() + 12, index->samples_.size() * 4);
  index->Saved = true;
  return index;
}

void TIndexedStream::AddRow(const int32_t* row)
{
  if (rowCount_ == std::numeric_limits<int32_t>::max())
    throw std::length_error("index file too long: " + fileName_);
  if (rowCount_ % rowsPerBlock_ == 0) {
    samples_.insert(samples_.end(), row, row + columns_);
    ++sampleCount_;
  }
  pending_.insert(pending_.end(), row, row + columns_);
  ++rowCount_;
  if (pending_.size() >= 65536)
    Flush();
}

void TIndexedStream::Add(int32_t value)
{
  if (columns_ != 1)
    throw std::logic_error("Add on a multi-column index");
  AddRow(&value);
}

void TIndexedStream::Flush()
{
  if (pending_.empty())
    return;
  const off_t offset = off_t(flushedRows_) * columns_ * 4;
  if (!pwriteAll(fd_, reinterpret_cast<const char*>(pending_.data()), pending_.size() * 4, offset))
    throw unableToWrite(fileName_);
  flushedRows_ += static_cast<int32_t>(pending_.size() / static_cast<size_t>(columns_));
  pending_.clear();
  loadedBlock_ = -1;
}

void TIndexedStream::loadBlock(int32_t block)
{
  if (block == loadedBlock_)
    return;
  const int64_t first = int64_t(block) * rowsPerBlock_;
  const int64_t rows = std::min<int64_t>(rowsPerBlock_, rowCount_ - first);
  block_.resize(static_cast<size_t>(rows * columns_));
  loadedBlock_ = -1;
  if (!preadAll(fd_, reinterpret_cast<char*>(block_.data()), block_.size() * 4, off_t(first) * columns_ * 4))
    throw invalidIndex(fileName_);
  loadedBlock_ = block;
}

int32_t TIndexedStream::LookupColumn(int32_t key, int32_t col)
{
  if (rowCount_ == 0 || col < 0 || col >= columns_)
    return -1;
  Flush();
  // The last block whose first row is at most key.
  int32_t lo = 0, hi = sampleCount_;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (samples_[size_t(mid) * size_t(columns_) + size_t(col)] <= key)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == 0)
    return -1;
  const int32_t block = lo - 1;
  loadBlock(block);
  const int32_t rows = static_cast<int32_t>(block_.size() / size_t(columns_));
  lo = 0;
  hi = rows;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (block_[size_t(mid) * size_t(columns_) + size_t(col)] <= key)
      lo = mid + 1;
    else
      hi = mid;
  }
  return block * rowsPerBlock_ + lo - 1;
}

int32_t TIndexedStream::ValueAt(int32_t row, int32_t col)
{
  if (row < 0 || row >= rowCount_ || col < 0 || col >= columns_)
    throw std::out_of_range("index row out of range: " + fileName_);
  Flush();
  loadBlock(row / rowsPerBlock_);
  return block_[size_t(row % rowsPerBlock_) * size_t(columns_) + size_t(col)];
}

void TIndexedStream::SaveIndex(const std::string& newName)
{
  Flush();
  std::string header;
  header.reserve(32 + samples_.size() * 4);
  header.append(IndexMagic, 4);
  putInt32(header, IndexVersion);
  putInt32(header, static_cast<int32_t>(samples_.size()));
  header.append(reinterpret_cast<const char*>(samples_.data()), samples_.size() * 4);
  putInt32(header, rowCount_);
  putInt32(header, columns_);
  putInt32(header, sampleCount_);
  putInt32(header, rowsPerBlock_);
  putInt32(header, rowsPerBlock_);
  const std::string headerName = IndexHeaderFileName(newName);

  // Both files go to temporary files beside their targets first; only when
  // both are on disk are they renamed over the old ones. A failure before
  // that leaves the old index whole.
  const auto check = [](int err, const std::string& name) {
    if (err != 0)
      throw std::runtime_error(platform::writeErrorText(name, err));
  };
  platform::OutputFile data;
  platform::OutputFile head;
  check(data.open(newName, platform::OutputFile::Mode::Replace), newName);
  std::vector<char> buffer(CopyBlockBytes);
  const off_t total = off_t(rowCount_) * columns_ * 4;
  for (off_t pos = 0; pos < total;) {
    const size_t n = static_cast<size_t>(std::min<off_t>(total - pos, off_t(buffer.size())));
    if (!preadAll(fd_, buffer.data(), n, pos))
      throw std::runtime_error("Unable to read file: " + fileName_ + ".");
    check(data.write(std::string_view(buffer.data(), n)), newName);
    pos += off_t(n);
  }
  check(data.finish(), newName);
  check(head.open(headerName, platform::OutputFile::Mode::Replace), headerName);
  check(head.write(header), headerName);
  check(head.finish(), headerName);
  // The header is what makes the pair an index: it goes in first, and when
  // the data then fails to follow, it goes again, so no header ever stands
  // beside data it does not describe.
  check(head.commit(), headerName);
  if (const int err = data.commit(); err != 0) {
    platform::fileops::unlink(headerName);
    check(err, newName);
  }
}
