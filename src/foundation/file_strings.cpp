#include "foundation/file_strings.h"

#include "platform/codepage.h"
#include "platform/file_ops.h"

#include "foundation/buf_stream.h"
#include "foundation/byte_scan.h"
#include "foundation/chartables.h"
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

// Whether the byte after the n bytes at u is the trail byte of a double-byte
// character, given whether u[0] is one. The last byte that cannot lead ends
// a character (a line end is such a byte); the lead bytes after it pair up.
// nonLead holds the bytes that cannot lead.
bool trailAfter(const platform::CodePage& cp, const ByteScanSet& nonLead, const unsigned char* u, size_t n,
                bool trailAtStart)
{
  size_t at = n;  // the bytes [at, n) can all lead
  const size_t near = n - std::min<size_t>(n, 64);
  while (at > near && cp.lead[u[at - 1]])
    --at;
  if (at == near) {
    // A long run of lead bytes: 64 bytes at a time where the processor can.
    const ByteScanSet none;
    uint64_t members = 0;
    uint64_t unused = 0;
    for (;;) {
      if (at < 64 || !ByteScanSet::Masks64(u + at - 64, nonLead, none, none, members, unused, unused)) {
        while (at > 0 && cp.lead[u[at - 1]])
          --at;
        break;
      }
      if (members != 0) {
        at = at - 64 + size_t(64 - __builtin_clzll(members));
        break;
      }
      at -= 64;
    }
  }
  const size_t run = n - at - (at == 0 && trailAtStart ? 1 : 0);
  return run % 2 == 1;
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

void TCountThread::NoteCharState(int32_t offset, bool trail)
{
  std::vector<TFileStrings::TCharMark>& marks = Owner->charMarks_;
  if (!marks.empty() && offset - marks.back().Pos < TFileStrings::MarkStep)
    return;
  std::lock_guard lock(Owner->Lock);
  marks.push_back({offset, trail});
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
  const platform::CodePage& cp = *Owner->codePage_;
  ByteScanSet nonLead;
  for (int c = 0; c < 256; ++c)
    if (!cp.lead[size_t(c)])
      nonLead.Add(static_cast<unsigned char>(c));
  bool trail = false;  // the chunk's first byte is a trail byte
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
      if (cp.dbcs) {
        trail = trailAfter(cp, nonLead, u, n, trail);
        NoteCharState(offset + got, trail);
      }
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
    : codePage_(&platform::codePage(AnsiCodePage)), Stream(stream), Reader(reader),
      OnLineCounted(std::move(onLineCounted)), OnCountDone(std::move(onCountDone)), OnFailed(std::move(onFailed))
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
    std::string part = ClassifiedText(start, end, from, count);
    const auto known = shownLengths_.find(start);
    length = known != shownLengths_.end() ? known->second : end - start;
    return part;
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

int32_t TFileStrings::charStart(int32_t index, int32_t pos, const platform::CodePage& cp) const
{
  if (!cp.dbcs || pos <= 0)
    return std::max(pos, 0);
  if (cp.id != codePage_->id)
    return TStrings::charStart(index, pos, cp);
  int32_t start = 0;
  int32_t end = 0;
  if (!LineBounds(index, start, end))
    return pos;
  if (Suppress[0] || Suppress[1] || Suppress[2]) {
    bool trail = false;
    ClassifiedText(start, end, pos, 1, &trail);
    return trail ? pos - 1 : pos;
  }
  // Characters pair up from the count's last note before the byte, or from
  // the line's start.
  const int32_t at = start + pos;
  if (at >= end)
    return pos;
  int32_t ref = start;
  {
    std::lock_guard lock(Lock);
    auto note = std::upper_bound(charMarks_.begin(), charMarks_.end(), at,
                                 [](int32_t p, const TCharMark& m) { return p < m.Pos; });
    if (note != charMarks_.begin() && (--note)->Pos > start)
      ref = note->Pos + (note->Trail ? 1 : 0);
  }
  if (ref > at)
    return pos - 1;
  // A few bytes before the byte first: a byte among them that cannot lead
  // ends a character.
  constexpr int32_t kLookBack = 64;
  int32_t from = std::max(ref, at - kLookBack);
  std::string bytes = PlainText(from, at + 1);
  if (static_cast<int32_t>(bytes.size()) <= at - from)
    return pos;  // at or past the text's end
  const auto lead = [&cp](char c) { return cp.lead[static_cast<unsigned char>(c)]; };
  if (from > ref && std::all_of(bytes.begin(), bytes.begin() + (at - from), lead)) {
    from = ref;
    bytes = PlainText(from, at + 1);
  }
  return from - start + static_cast<int32_t>(platform::charStartAt(cp, bytes, size_t(at - from)));
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

void TFileStrings::ForgetOtherSuppression() const
{
  if (marksSuppress_ == Suppress)
    return;
  lineMarks_.clear();
  shownLengths_.clear();
  marksSuppress_ = Suppress;
}

std::vector<TFileStrings::TShownMark>& TFileStrings::LineMarks(int32_t start) const
{
  auto line =
      std::find_if(lineMarks_.begin(), lineMarks_.end(), [start](const TLineMarks& m) { return m.Line == start; });
  if (line == lineMarks_.end()) {
    if (lineMarks_.size() >= MarkedLines)
      lineMarks_.erase(lineMarks_.begin());
    lineMarks_.push_back(TLineMarks{start, {}});
  } else {
    std::rotate(line, line + 1, lineMarks_.end());
  }
  return lineMarks_.back().Marks;
}

std::string TFileStrings::ClassifiedText(int32_t start, int32_t end, int32_t skip, int32_t limit,
                                         bool* trailAtSkip) const
{
  ForgetOtherSuppression();
  // A line of up to one mark step is read from its start.
  std::vector<TShownMark> unmarked;
  std::vector<TShownMark>& marks = end - start > MarkStep ? LineMarks(start) : unmarked;
  // Resume at the last mark before the part: the text before it is known to
  // show as many bytes as the mark says.
  int32_t resume = start;
  int32_t shown = 0;
  bool trail = false;  // the next shown byte is a trail byte
  auto mark = std::upper_bound(marks.begin(), marks.end(), skip,
                               [](int32_t s, const TShownMark& m) { return s < m.Shown; });
  if (mark != marks.begin()) {
    --mark;
    resume = mark->Pos;
    shown = mark->Shown;
    trail = mark->Trail;
  }
  const platform::CodePage& cp = *codePage_;
  int32_t nextMark = marks.empty() ? start + MarkStep : marks.back().Pos + MarkStep;
  // From a little before, so that a tag open at the first byte is known.
  const int32_t from = std::max(0, resume - TagLookBehind);
  std::string out;
  out.reserve(size_t(std::min(end - start, limit)));
  Reader->SetRange(from, end);
  bool previousBlank = false;
  bool ended = true;
  for (int32_t pos = from; !Reader->AtEnd(); ++pos) {
    if (pos >= nextMark && pos >= resume) {
      if (marks.empty() || pos > marks.back().Pos)
        marks.push_back({pos, shown, trail});
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
    if (shown == skip && trailAtSkip != nullptr)
      *trailAtSkip = trail;
    trail = cp.dbcs && !trail && cp.lead[static_cast<unsigned char>(c)];
    if (shown++ < skip)
      continue;
    if (static_cast<int32_t>(out.size()) >= limit) {
      ended = false;
      break;
    }
    out += c == '\t' ? ' ' : c;
  }
  if (ended) {
    if (shownLengths_.size() >= 4096)
      shownLengths_.clear();  // a bound; lines in view are read again
    shownLengths_[start] = shown;
  }
  return out;
}
