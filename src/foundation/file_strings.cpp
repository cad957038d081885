#include "foundation/file_strings.h"

#include "platform/file_ops.h"

#include "foundation/buf_stream.h"
#include "foundation/byte_scan.h"
#include "foundation/corpus_list.h"
#include "foundation/sync_stream.h"
#include "foundation/utils.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr auto StallWait = std::chrono::milliseconds(50);
// Bytes before a line's start read only for the tag state.
constexpr int32_t TagLookBehind = 512;

// Leaves the walk of a chunk when a stop was requested.
struct StopRequested {};

// Writes all of data at pos; false on any failure.
bool writeAll(int fd, const char* data, size_t size, off_t pos)
{
  while (size > 0) {
    const ssize_t n = platform::fileops::pwrite(fd, data, size, pos);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    size -= size_t(n);
    pos += n;
  }
  return true;
}

void storeLittleEndian(const int32_t* values, int32_t count, char* out)
{
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t v = uint32_t(values[i]);
    out[4 * i] = char(v & 0xFF);
    out[4 * i + 1] = char((v >> 8) & 0xFF);
    out[4 * i + 2] = char((v >> 16) & 0xFF);
    out[4 * i + 3] = char((v >> 24) & 0xFF);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The counting thread

TCountThread::TCountThread(TFileStrings* owner) : Buffer(new char[ChunkSize + 1]), Owner(owner)
{
  Buffer[ChunkSize] = 0;
}

TCountThread::~TCountThread()
{
  RequestStop();
  Join();
}

void TCountThread::RequestStop()
{
  thread_.request_stop();  // wakes the wait between reads
}

void TCountThread::Join()
{
  if (thread_.joinable())
    thread_.join();
}

bool TCountThread::Sleep(const std::stop_token& stop)
{
  std::unique_lock lock(sleepLock_);
  wake_.wait_for(lock, stop, StallWait, [] { return false; });
  return !stop.stop_requested();
}

bool TCountThread::Flush()
{
  if (PendingCount == 0)
    return true;
  char block[PendingSize * 4];
  storeLittleEndian(Pending.data(), PendingCount, block);
  std::lock_guard lock(Owner->Lock);
  if (!writeAll(Owner->IndexStream, block, size_t(PendingCount) * 4, off_t(Owner->written_) * 4))
    return false;
  Owner->written_ += PendingCount;
  PendingCount = 0;
  return true;
}

void TCountThread::Record(int32_t lineStart)
{
  Pending[size_t(PendingCount++)] = lineStart;
  if (PendingCount == PendingSize && !Flush())
    throw std::runtime_error("Unable to write the line offsets to " + Owner->IndexFileName_ + ".");
  Owner->LineCount.store(Owner->LineCount.load(std::memory_order_relaxed) + 1, std::memory_order_release);
  if (stop_.stop_requested())
    throw StopRequested{};
}

void TCountThread::Publish(int32_t& published)
{
  const int32_t count = Owner->LineCount.load(std::memory_order_relaxed);
  if (count == published)
    return;
  published = count;
  if (!stop_.stop_requested() && Owner->OnLineCounted)
    Owner->OnLineCounted(*Owner);
}

void TCountThread::Finish(bool complete)
{
  Owner->complete_.store(complete, std::memory_order_release);
  Owner->counting_.store(false, std::memory_order_release);
  if (complete && !stop_.stop_requested() && Owner->OnCountDone)
    Owner->OnCountDone(*Owner);
}

void TCountThread::Execute(std::stop_token stop)
{
  stop_ = stop;
  // Below normal priority, so that the user interface stays responsive.
  ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 10);

  auto* download = dynamic_cast<TDownloadStream*>(Owner->Stream);
  char* const b = Buffer.get();
  ByteScanSet crSet;
  ByteScanSet lfSet;
  const ByteScanSet noSet;
  crSet.Add('\r');
  lfSet.Add('\n');
  int32_t lineStart = 0;
  int32_t offset = 0;
  bool afterCr = false;  // the previous chunk ended with a CR
  int32_t published = 0;  // the count the last event told of
  try {
    for (;;) {
      if (stop.stop_requested())
        return Finish(false);
      // A download that has ended brings nothing after its last bytes.
      const bool ended = download ? download->Done() : true;
      int32_t got;
      {
        std::lock_guard lock(Owner->Lock);
        got = Owner->Stream->ReadAt(Owner->ReadPos, b, ChunkSize);
      }
      if (got <= 0) {
        if (!ended) {
          if (!Sleep(stop))
            return Finish(false);
          continue;
        }
        // The end: the last line, unterminated or empty after a final break.
        if (offset > 0)
          Record(lineStart);
        Publish(published);
        if (!Flush())
          throw std::runtime_error("Unable to write the line offsets to " + Owner->IndexFileName_ + ".");
        Owner->FileSize.store(offset, std::memory_order_release);
        return Finish(true);
      }

      const auto* u = reinterpret_cast<const unsigned char*>(b);
      const size_t n = size_t(got);
      size_t next = 0;  // the first byte not yet walked
      if (afterCr) {
        afterCr = false;
        if (u[0] == '\n') {  // the rest of a CR LF pair split by the chunk edge
          next = 1;
          lineStart = offset + 1;
        }
      }
      // A line end at `at`: CR LF, a bare CR or a bare LF.
      const auto lineEnd = [&](size_t at) {
        if (at < next)
          return;  // the LF of a pair already taken
        Record(lineStart);
        next = at + 1;
        if (u[at] == '\r') {
          if (next == n)
            afterCr = true;  // an LF may begin the next chunk
          else if (u[next] == '\n')
            ++next;
        }
        lineStart = offset + int32_t(next);
      };
      // 64 bytes at a time where the processor can, by the bits of the
      // line-end bytes; the rest byte by byte.
      size_t base = 0;
      uint64_t crs = 0;
      uint64_t lfs = 0;
      uint64_t unused = 0;
      for (; base + 64 <= n && ByteScanSet::Masks64(u + base, crSet, lfSet, noSet, crs, lfs, unused); base += 64)
        for (uint64_t bits = crs | lfs; bits != 0; bits &= bits - 1)
          lineEnd(base + size_t(__builtin_ctzll(bits)));
      for (size_t at = std::max(base, next); at < n; ++at)
        if (u[at] == '\r' || u[at] == '\n')
          lineEnd(at);
      // One event for the lines of the chunk: the receiver only needs the count.
      Publish(published);
      offset += got;
    }
  } catch (const StopRequested&) {
    Finish(false);
  } catch (const std::exception& error) {
    // A line start recorded but not published ends the last published line.
    const bool unpublished = Owner->written_ + PendingCount > Owner->LineCount.load(std::memory_order_relaxed);
    Owner->FileSize.store(unpublished ? Pending[size_t(PendingCount - 1)] : offset, std::memory_order_release);
    Finish(false);
    if (!stop.stop_requested() && Owner->OnFailed)
      Owner->OnFailed(*Owner, error.what());
  }
}

// ---------------------------------------------------------------------------
// The list

TFileStrings::TFileStrings(TSynchroStream* stream, TBufStream* reader, TNotifyEvent onLineCounted,
                           TNotifyEvent onCountDone, TErrorEvent onFailed)
    : Stream(stream), Reader(reader), OnLineCounted(std::move(onLineCounted)),
      OnCountDone(std::move(onCountDone)), OnFailed(std::move(onFailed))
{
  FileSize = stream->GetSize();
  IndexFileName_ = MakeTempFileName("FST");
  IndexStream = platform::fileops::openForWrite(IndexFileName_, O_RDWR | O_CLOEXEC, 0);
  if (IndexStream < 0) {
    platform::fileops::unlink(IndexFileName_);
    throw std::runtime_error("Unable to open file: " + IndexFileName_ + ".");
  }
  Thread = std::make_unique<TCountThread>(this);
  Thread->thread_ = std::jthread([t = Thread.get()](std::stop_token stop) { t->Execute(std::move(stop)); });
}

TFileStrings::~TFileStrings()
{
  StopCounting();
  Thread.reset();
  if (IndexStream >= 0)
    platform::fileops::close(IndexStream);
  platform::fileops::unlink(IndexFileName_);
}

void TFileStrings::StopCounting()
{
  if (!Thread)
    return;
  {
    std::lock_guard lock(Lock);
    Thread->RequestStop();
  }
  Thread->Join();
}

void TFileStrings::Clear()
{
  throw std::runtime_error("\"Clear\" method is invalid for TFileStrings.");
}

void TFileStrings::Delete(int32_t)
{
  throw std::runtime_error("\"Delete\" method is invalid for TFileStrings.");
}

void TFileStrings::Insert(int32_t, const std::string&)
{
  throw std::runtime_error("\"Insert\" method is invalid for TFileStrings.");
}

int32_t TFileStrings::Entry(int32_t j) const
{
  if (j < written_) {
    unsigned char v[4] = {};
    if (::pread(IndexStream, v, 4, off_t(j) * 4) != 4)
      return 0;
    return int32_t(uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16 | uint32_t(v[3]) << 24);
  }
  return Thread->Pending[size_t(j - written_)];
}

int32_t TFileStrings::LineStart(int32_t index) const
{
  std::lock_guard lock(Lock);
  return Entry(index);
}

bool TFileStrings::LineBounds(int32_t index, int32_t& start, int32_t& end) const
{
  // Whether the count still runs is read first: once it has ended, the
  // count read next is final and the last line ends at the data's end.
  const bool counting = IsCounting();
  const int32_t count = Count();
  if (index < 0 || index >= count)
    return false;
  {
    std::lock_guard lock(Lock);
    start = Entry(index);
    if (index + 1 < count)
      end = Entry(index + 1);
    else
      end = counting ? start : GetFileSize();
  }
  return end > start && Reader;
}

std::string TFileStrings::Get(int32_t index) const
{
  int32_t start = 0;
  int32_t end = 0;
  if (!LineBounds(index, start, end))
    return {};
  if (!Suppress[0] && !Suppress[1] && !Suppress[2])
    return PlainText(start, end);
  return ClassifiedText(start, end);
}

std::string TFileStrings::textPart(int32_t index, int32_t from, int32_t count, int32_t& length) const
{
  length = 0;
  int32_t start = 0;
  int32_t end = 0;
  if (!LineBounds(index, start, end))
    return {};
  from = std::max(from, 0);
  count = std::max(count, 0);
  if (Suppress[0] || Suppress[1] || Suppress[2]) {
    length = end - start;
    return ClassifiedText(start, end, from, count);
  }
  // CR and LF occur only at the line's end: the shown text is the line's
  // bytes less its line end, position for position.
  int32_t textEnd = end;
  Reader->SetRange(std::max(start, end - 2), end);
  while (!Reader->AtEnd()) {
    const char c = Reader->NextChar();
    if (c == '\r' || c == '\n')
      --textEnd;
  }
  length = textEnd - start;
  if (from >= length)
    return {};
  const int32_t partStart = start + from;
  return PlainText(partStart, partStart + std::min(count, textEnd - partStart));
}

std::string TFileStrings::PlainText(int32_t start, int32_t end) const
{
  std::string out;
  out.reserve(size_t(end - start));
  Reader->SetRange(start, end);
  while (!Reader->AtEnd()) {
    const char c = Reader->NextChar();
    if (c == '\r' || c == '\n')
      continue;
    out += c == '\t' ? ' ' : c;
  }
  return out;
}

std::string TFileStrings::ClassifiedText(int32_t start, int32_t end, int32_t skip, int32_t limit) const
{
  if (marksLine_ != start || marksSuppress_ != Suppress) {
    marks_.clear();
    marksLine_ = start;
    marksSuppress_ = Suppress;
  }
  // Resume at the last mark before the part: the text before it is known to
  // show as many bytes as the mark says.
  int32_t resume = start;
  int32_t shown = 0;
  auto mark = std::upper_bound(marks_.begin(), marks_.end(), skip,
                               [](int32_t s, const TShownMark& m) { return s < m.Shown; });
  if (mark != marks_.begin()) {
    --mark;
    resume = mark->Pos;
    shown = mark->Shown;
  }
  int32_t nextMark = marks_.empty() ? start + MarkStep : marks_.back().Pos + MarkStep;
  // From a little before, so that a tag open at the first byte is known.
  const int32_t from = std::max(0, resume - TagLookBehind);
  std::string out;
  out.reserve(size_t(std::min(end - start, limit)));
  Reader->SetRange(from, end);
  bool previousBlank = false;
  for (int32_t pos = from; !Reader->AtEnd(); ++pos) {
    if (pos >= nextMark && pos >= resume) {
      if (marks_.empty() || pos > marks_.back().Pos)
        marks_.push_back({pos, shown});
      nextMark = pos + MarkStep;
    }
    TCharClass cls = ccNone;
    const char c = Reader->NextCharClassified(cls);
    bool drop = (Suppress[0] && cls == ccTag) || (Suppress[1] && cls == ccWordTag);
    if (Suppress[2]) {
      if (cls == ccDelimiter || cls == ccEndOfLine || cls == ccWord)
        drop = true;
      else if (cls == ccBlank && previousBlank)
        drop = true;  // a run of blanks shows as its first
    }
    previousBlank = cls == ccBlank;
    if (drop || pos < resume || c == '\r' || c == '\n')
      continue;
    if (shown++ < skip)
      continue;
    if (static_cast<int32_t>(out.size()) >= limit)
      break;
    out += c == '\t' ? ' ' : c;
  }
  return out;
}
