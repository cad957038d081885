#include "foundation/buf_stream.h"

#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "platform/mapped_file.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

bool isLineEndOrSpace(unsigned char c)
{
  return c == '\n' || c == '\r' || c == ' ';
}

// The stop set of a stop character: "#" means LF, CR and space.
void fillStopTable(bool (&table)[256], ByteScanSet& set, char stop)
{
  std::fill(std::begin(table), std::end(table), false);
  if (stop == '#') {
    table[uint8_t('\n')] = table[uint8_t('\r')] = table[uint8_t(' ')] = true;
  } else {
    table[uint8_t(stop)] = true;
  }
  set.Clear();
  for (int c = 0; c < 256; ++c)
    if (table[c])
      set.Add(uint8_t(c));
}

const char* const ValidateFailedText = "Internal error:\rValidateBuffer failed";

}  // namespace

TBufStream::TBufStream(TSynchroStream* stream) : TBufStream(stream, TCharSet{}, BufferSize)
{
  BuildDelimiterSet(delimiters_);
  RebuildTables();
}

TBufStream::TBufStream(TSynchroStream* stream, const TCharSet& delimiters, int32_t windowSize)
    : stream_(stream),
      windowSize_(std::clamp(windowSize, int32_t(1), BufferSize)),
      lookBehind_(std::min(LookBehind, windowSize_ - 1)),
      buffer_(new unsigned char[size_t(windowSize_) + 1 + 64]()),
      delimiters_(delimiters)
{
  buffer_[0] = 0;
  Unset();
  fillStopTable(tagStopTable_, tagStopSet_, tagStop_);
  fillStopTable(wordTagStopTable_, wordTagStopSet_, wordTagStop_);
  RebuildTables();
  rangeStart_ = 0;
  rangeEnd_ = stream_->GetSize();
  Reposition(0, 0);
}

TBufStream::~TBufStream() = default;

// --- window -----------------------------------------------------------------

void TBufStream::Unset()
{
  bufPos_ = -1;
  bufLen_ = 0;
  buffer_[0] = 0;
  cur_ = limit_ = buffer_.get();
}

void TBufStream::UpdateLimit()
{
  int32_t n = bufLen_;
  if (bufPos_ < 0) {
    n = 0;
  } else if (int64_t(rangeEnd_) - bufPos_ < n) {
    n = int32_t(std::max<int64_t>(0, int64_t(rangeEnd_) - bufPos_));
  }
  limit_ = buffer_.get() + n;
}

int32_t TBufStream::FromDonor(int32_t pos, unsigned char* dest, int32_t n) const
{
  const TBufStream* d = donor_;
  if (!d || d->bufPos_ < 0 || pos < d->bufPos_ || pos >= d->bufPos_ + d->bufLen_ || n <= 0)
    return 0;
  const int32_t take = std::min(n, d->bufPos_ + d->bufLen_ - pos);
  std::memcpy(dest, d->buffer_.get() + (pos - d->bufPos_), size_t(take));
  return take;
}

void TBufStream::Reposition(int32_t from, int32_t cursorPos, int32_t need)
{
  maskBlock_ = nullptr;
  int32_t kept = 0;
  if (bufPos_ >= 0 && from >= bufPos_ && from <= bufPos_ + bufLen_) {
    kept = bufPos_ + bufLen_ - from;
    if (kept > 0 && from != bufPos_)
      std::memmove(buffer_.get(), buffer_.get() + (from - bufPos_), size_t(kept));
  }
  bufPos_ = from;
  bufLen_ = kept;
  int32_t readPos = from + kept;
  int64_t want = std::min<int64_t>(windowSize_ - kept, int64_t(rangeEnd_) - readPos);
  int32_t got = 0;
  if (want > 0 && need >= 0 && donor_) {
    // The donor's bytes serve when they reach as far as this reader needs;
    // the window then ends where they end, and a later slide reads on. Bytes
    // before the donor's window are read from the stream, only those.
    const TBufStream* d = donor_;
    int32_t head = 0;
    if (d->bufPos_ > readPos && int64_t(d->bufPos_) < readPos + want)
      head = d->bufPos_ - readPos;
    const int32_t taken = FromDonor(readPos + head, buffer_.get() + kept + head, int32_t(want) - head);
    if (taken > 0 && (head + taken == want || int64_t(readPos) + head + taken >= int64_t(cursorPos) + need)) {
      int32_t at = readPos;
      if (head == 0 || stream_->ReadAt(at, buffer_.get() + kept, head) == head)
        got = head + taken, want = got;
      if (head > 0)
        ++lockedReads_;
    }
  }
  if (want > 0 && got == 0) {
    int32_t at = readPos;
    got = stream_->ReadAt(at, buffer_.get() + kept, int32_t(want));
    ++lockedReads_;
  }
  shortRead_ = got < want;
  bufLen_ += got;
  buffer_[bufLen_] = 0;
  cur_ = buffer_.get() + (cursorPos - bufPos_);
  UpdateLimit();
}

void TBufStream::Seek(int32_t pos)
{
  if (pos < 0) {
    Unset();
    return;
  }
  if (bufPos_ >= 0 && pos >= bufPos_ && pos <= bufPos_ + bufLen_) {
    cur_ = buffer_.get() + (pos - bufPos_);
    return;
  }
  int32_t from = std::max(0, pos - lookBehind_);
  if (donor_ && donor_->bufPos_ >= 0 && pos >= donor_->bufPos_ && pos < donor_->bufPos_ + donor_->bufLen_)
    from = std::max(from, donor_->bufPos_);  // less look-behind, but no read
  Reposition(from, pos, 1);
}

void TBufStream::SeekLazily(int32_t pos)
{
  if (pos < 0 || (bufPos_ >= 0 && pos >= bufPos_ && pos <= bufPos_ + bufLen_)) {
    Seek(pos);
    return;
  }
  // An empty window at pos: the next read fills it as after a read that
  // brought nothing yet.
  maskBlock_ = nullptr;
  bufPos_ = pos;
  bufLen_ = 0;
  shortRead_ = false;
  buffer_[0] = 0;
  cur_ = buffer_.get();
  UpdateLimit();
}

void TBufStream::SetRange(int32_t lo, int32_t hi)
{
  if (pageId_ != AnsiCodePage)
    RebuildTables();  // the text language changed since the tables were built
  rangeStart_ = lo;
  rangeEnd_ = hi;
  SetValidated(false);
  classes_.clear();
  inTag_ = false;
  inWordTag_ = false;
  trailPos_ = -1;
  Seek(lo);
  if (bufPos_ >= 0 && lo >= bufPos_ && hi <= bufPos_ + bufLen_)
    shortRead_ = false;
  UpdateLimit();
}

bool TBufStream::Ensure(int32_t n)
{
  if (bufPos_ < 0)
    return false;
  int64_t pos = GetPosition();
  if (pos + n > rangeEnd_)
    return false;
  if (limit_ - cur_ >= n)
    return true;
  if (n > windowSize_)
    return false;
  int32_t windowEnd = bufPos_ + bufLen_;
  if (shortRead_ && stream_->GetSize() == windowEnd)
    return false;
  Slide(n);
  return limit_ - cur_ >= n;
}

void TBufStream::Slide(int32_t need)
{
  int32_t pos = GetPosition();
  int32_t windowEnd = bufPos_ + bufLen_;
  int32_t keepFrom;
  if (pos < bufPos_ || pos > windowEnd) {
    keepFrom = std::max(0, pos - lookBehind_);
  } else {
    // The last bytes of the window, or every unread byte when there are more.
    keepFrom = std::max(bufPos_, std::min(pos, windowEnd - lookBehind_));
    // Never keep so much behind the cursor that the request cannot fit.
    keepFrom = std::max(keepFrom, pos - (windowSize_ - need));
  }
  Reposition(keepFrom, pos, need);
}

unsigned char TBufStream::ByteBefore(const unsigned char* p)
{
  if (p > buffer_.get())
    return p[-1];
  int32_t pos = bufPos_ + int32_t(p - buffer_.get()) - 1;
  if (bufPos_ < 0 || pos < 0)
    return 0;
  unsigned char b = 0;
  if (FromDonor(pos, &b, 1) == 1)
    return b;
  int32_t at = pos;
  if (stream_->ReadAt(at, &b, 1) != 1)
    return 0;
  ++lockedReads_;
  return b;
}

// --- bytes ------------------------------------------------------------------

char TBufStream::NextCharSlow()
{
  if (!Ensure(1))
    return 0;
  return char(*cur_++);
}

char TBufStream::PrevChar()
{
  if (bufPos_ < 0)
    return 0;
  int32_t pos = GetPosition();
  if (pos <= rangeStart_ || pos - 1 >= rangeEnd_)
    return 0;
  if (cur_ > buffer_.get() && cur_ - 1 < buffer_.get() + bufLen_) {
    --cur_;
    return char(*cur_);
  }
  Seek(pos - 1);
  if (GetPosition() == pos - 1 && cur_ < buffer_.get() + bufLen_)
    return char(*cur_);
  Seek(pos);
  return 0;
}

// --- classification ---------------------------------------------------------

void TBufStream::RebuildTables()
{
  pageId_ = AnsiCodePage;
  page_ = &platform::codePage(pageId_);
  dbcs_ = page_->dbcs;
  for (int c = 0; c < 256; ++c)
    lead_[c] = dbcs_ && page_->lead[c];
  SetValidated(validated_);
  for (int c = 0; c < 256; ++c) {
    delimTable_[c] = delimiters_.test(size_t(c));
    if (!delimTable_[c])
      fastClass_[c] = ccWord;
    else if (c == '\n')
      fastClass_[c] = kLineFeed;
    else
      fastClass_[c] = DelimiterClass(0, char(c));
    wordTagFirstTable_[c] = false;
  }
  // A lead byte needs the rules for its trail byte.
  for (int c = 0; c < 256; ++c)
    if (lead_[c])
      fastClass_[c] = kSpecial;
  if (tagStart_ != 0)
    fastClass_[uint8_t(tagStart_)] = kSpecial;
  if (wordTagStyle_ == 1 && wordTagDelimiter_ != 0)
    fastClass_[uint8_t(wordTagDelimiter_)] = kSpecial;
  if (wordTagStyle_ == 2) {
    for (const std::string& s : wordTagStarts_) {
      if (s.empty())
        continue;
      wordTagFirstTable_[uint8_t(s[0])] = true;
      fastClass_[uint8_t(s[0])] = kSpecial;
    }
  }
  for (int c = 0; c < 256; ++c)
    wordLead_[c] = lead_[c] && !delimTable_[c] && c != uint8_t(tagStart_) &&
                   !(wordTagStyle_ == 1 && c == uint8_t(wordTagDelimiter_)) && !wordTagFirstTable_[c];
  maskBlock_ = nullptr;
  wordSet_.Clear();
  skipStopSet_.Clear();
  delimSet_.Clear();
  tagBeginSet_.Clear();
  for (int c = 0; c < 256; ++c) {
    if (fastClass_[c] == kSpecial)
      tagBeginSet_.Add(uint8_t(c));
    if (fastClass_[c] == ccWord)
      wordSet_.Add(uint8_t(c));
    if (fastClass_[c] == ccWord || fastClass_[c] == kSpecial)
      skipStopSet_.Add(uint8_t(c));
    if (delimTable_[c])
      delimSet_.Add(uint8_t(c));
  }
}

void TBufStream::SetTagStart(char c)
{
  // Readers are configured before every pass and every built line: an
  // unchanged value keeps the tables.
  if (c == tagStart_)
    return;
  tagStart_ = c;
  RebuildTables();
}

void TBufStream::SetTagStop(char c)
{
  if (c == tagStop_)
    return;
  tagStop_ = c;
  fillStopTable(tagStopTable_, tagStopSet_, c);
}

void TBufStream::SetWordTagStyle(uint8_t style)
{
  if (style == wordTagStyle_)
    return;
  wordTagStyle_ = style;
  RebuildTables();
}

void TBufStream::SetWordTagStarts(const std::vector<std::string>* starts)
{
  if (starts ? *starts == wordTagStarts_ : wordTagStarts_.empty())
    return;
  wordTagStarts_.clear();
  if (starts)
    wordTagStarts_ = *starts;
  RebuildTables();
}

void TBufStream::SetWordTagStop(char c)
{
  if (c == wordTagStop_)
    return;
  wordTagStop_ = c;
  fillStopTable(wordTagStopTable_, wordTagStopSet_, c);
}

void TBufStream::SetWordTagDelimiter(char c)
{
  if (c == wordTagDelimiter_)
    return;
  wordTagDelimiter_ = c;
  RebuildTables();
}

int32_t TBufStream::MatchStartAt(const unsigned char* p, const unsigned char* end) const
{
  if (p >= end || !wordTagFirstTable_[*p])
    return 0;
  for (const std::string& s : wordTagStarts_) {
    auto n = int32_t(s.size());
    if (n == 0 || end - p < n)
      continue;
    if (std::memcmp(p, s.data(), size_t(n)) == 0)
      return n;
  }
  return 0;
}

int32_t TBufStream::MatchWordTagStart()
{
  if (wordTagStarts_.empty() || !Ensure(1) || !wordTagFirstTable_[*cur_])
    return 0;
  for (const std::string& s : wordTagStarts_) {
    auto n = int32_t(s.size());
    if (n == 0 || uint8_t(s[0]) != *cur_ || !Ensure(n))
      continue;
    if (std::memcmp(cur_, s.data(), size_t(n)) == 0)
      return n;
  }
  return 0;
}

TCharClass TBufStream::ClassifyOnTheFly(unsigned char c)
{
  // The cursor stands just after c.
  if (inWordTag_) {
    if (wordTagStyle_ == 2) {
      if (wordTagStopTable_[c])
        inWordTag_ = false;
      return ccWordTag;
    }
    if (delimTable_[c]) {
      inWordTag_ = false;
      return DelimiterClass(char(ByteBefore(cur_ - 1)), char(c));
    }
    return ccWordTag;
  }
  if (inTag_) {
    if (tagStopTable_[c])
      inTag_ = false;
    return ccTag;
  }
  if (wordTagStyle_ == 1 && wordTagDelimiter_ != 0 && c == uint8_t(wordTagDelimiter_)) {
    inWordTag_ = true;
    return ccWordTag;
  }
  if (wordTagStyle_ == 2 && wordTagFirstTable_[c]) {
    int32_t at = GetPosition() - 1;
    Seek(at);
    int32_t n = MatchWordTagStart();
    Seek(at + 1);
    if (n > 0) {
      inWordTag_ = true;
      return ccWordTag;
    }
  }
  if (tagStart_ != 0 && c == uint8_t(tagStart_)) {
    inTag_ = true;
    return ccTag;
  }
  if (delimTable_[c])
    return DelimiterClass(char(ByteBefore(cur_ - 1)), char(c));
  return ccWord;
}

char TBufStream::NextCharClassifiedSlow(TCharClass& cls)
{
  if (validated_) {
    int32_t pos = GetPosition();
    if (!Ensure(1)) {
      cls = ccDelimiter;
      return 0;
    }
    unsigned char c = *cur_++;
    TCharClass k = ClassAt(pos);
    cls = k == ccNone ? ccDelimiter : k;
    return char(c);
  }
  if (!Ensure(1)) {
    cls = ccDelimiter;
    return 0;
  }
  if (dbcs_) {
    // The trail byte of the character just classified shares its class.
    const int32_t pos = GetPosition();
    const unsigned char c = *cur_++;
    if (pos == trailPos_) {
      cls = trailClass_;
      return char(c);
    }
    cls = ClassifyOnTheFly(c);
    if (lead_[c] && Ensure(1)) {
      trailPos_ = pos + 1;
      trailClass_ = cls;
    }
    return char(c);
  }
  unsigned char c = *cur_++;
  cls = ClassifyOnTheFly(c);
  return char(c);
}

bool TBufStream::InsideChar(int32_t pos)
{
  if (!dbcs_ || pos <= 0)
    return false;
  // As platform::charStartAt decides it, by the run of lead bytes just
  // before pos; the run is counted a chunk at a time, since it may reach
  // further back than the window.
  int32_t run = 0;
  for (int32_t q = pos; q > 0;) {
    const int32_t from = std::max(0, q - LookBehind);
    unsigned char chunk[LookBehind];
    const unsigned char* bytes;
    if (bufPos_ >= 0 && from >= bufPos_ && q <= bufPos_ + bufLen_) {
      bytes = buffer_.get() + (from - bufPos_);
    } else {
      int32_t at = from;
      if (stream_->ReadAt(at, chunk, q - from) != q - from)
        return false;
      ++lockedReads_;
      bytes = chunk;
    }
    int32_t k = q - from;
    while (k > 0 && lead_[bytes[k - 1]])
      --k;
    run += q - from - k;
    if (k > 0)
      break;
    q = from;
  }
  return run % 2 == 1;
}

TCharClass TBufStream::LeadClassBefore(int32_t pos)
{
  unsigned char b = 0;
  CopyBytes(pos - 1, reinterpret_cast<char*>(&b), 1);
  return delimTable_[b] ? ccDelimiter : ccWord;
}

TCharClass TBufStream::ClassAt(int32_t pos) const
{
  if (!validated_)
    return ccNone;
  int64_t i = int64_t(pos) - rangeStart_;
  if (i < 0 || i >= int64_t(classes_.size()))
    return ccNone;
  return classes_[size_t(i)];
}

char TBufStream::PrevCharClassified(TCharClass& cls)
{
  if (!validated_) {
    cls = ccNone;
    return 0;
  }
  int32_t before = GetPosition();
  char c = PrevChar();
  int32_t now = GetPosition();
  if (now == before) {
    cls = ccDelimiter;
    return 0;
  }
  TCharClass k = ClassAt(now);
  cls = k == ccNone ? ccDelimiter : k;
  return c;
}

// Classes of the plain characters from p[i] on, up to p[end] at most, by the
// table alone, line ends included; returns where a byte needs the rules. A
// double-byte character whose lead byte is a plain word character takes both
// its bytes at once.
template <bool DoubleByte>
int32_t TBufStream::ClassifyPlainRun(const unsigned char* p, int32_t i, int32_t end, TCharClass* out) const
{
  for (;;) {
    while (i <= end) {
      const uint8_t c = p[i];
      if (DoubleByte && wordLead_[c]) {
        if (i + 1 > end)
          return i;
        out[i] = out[i + 1] = ccWord;  // the trail byte goes with its lead
        i += 2;
        continue;
      }
      const uint8_t k = fastClass_[c];
      if (uint8_t(k - ccDelimiter) > uint8_t(ccWord - ccDelimiter))
        break;
      out[i++] = TCharClass(k);
    }
    if (i > end || i == 0 || fastClass_[p[i]] != kLineFeed)
      return i;
    out[i] = p[i - 1] == '\r' ? ccBlank : ccEndOfLine;
    ++i;
  }
}

void TBufStream::ValidateBuffer(int32_t lo, int32_t hi)
{
  if (hi < lo)
    hi = lo;
  if (int64_t(hi) - lo > windowSize_)
    hi = lo + windowSize_;
  SetRange(lo, hi);
  const int32_t n = hi - lo;
  if (bufPos_ < 0 || (n > 0 && !Ensure(n))) {
    classes_.clear();
    SetValidated(false);
    throw std::runtime_error(ValidateFailedText);
  }
  classes_.assign(size_t(n) + 1, ccNone);
  trailPos_ = -1;
  const unsigned char* p = cur_;
  const unsigned char* dataEnd = buffer_.get() + bufLen_;
  const unsigned char* rangeEndPtr = p + n;
  bool inTag = false;
  bool inWordTag = false;
  TCharClass* out = classes_.data();
  int32_t i = 0;
  // A range that begins on a trail byte: it belongs to the character before.
  if (dbcs_ && InsideChar(lo))
    out[i++] = LeadClassBefore(lo);
  for (; i <= n;) {
    // Runs that need no rule but the table: plain characters outside tags,
    // the inside of a markup tag up to its stop, and of a part-of-speech tag
    // up to the character that ends it. Inside tags, double-byte text goes
    // through the rules below.
    const int32_t end = int32_t(std::min<int64_t>(n, dataEnd - p - 1));
    if (!inTag && !inWordTag) {
      i = dbcs_ ? ClassifyPlainRun<true>(p, i, end, out) : ClassifyPlainRun<false>(p, i, end, out);
    } else if (!dbcs_ && inWordTag) {
      const bool* stops = wordTagStyle_ == 2 ? wordTagStopTable_ : delimTable_;
      while (i <= end && !stops[p[i]])
        out[i++] = ccWordTag;
    } else if (!dbcs_) {
      while (i <= end && !tagStopTable_[p[i]])
        out[i++] = ccTag;
    }
    if (i > n)
      break;
    const unsigned char c = p + i < dataEnd ? p[i] : 0;
    auto prevByte = [&] { return char(i == 0 ? ByteBefore(p) : p[i - 1]); };
    TCharClass k;
    if (inWordTag) {
      if (wordTagStyle_ == 2) {
        if (wordTagStopTable_[c])
          inWordTag = false;
        k = ccWordTag;
      } else if (delimTable_[c]) {
        inWordTag = false;
        k = DelimiterClass(prevByte(), char(c));
      } else {
        k = ccWordTag;
      }
    } else if (inTag) {
      if (tagStopTable_[c])
        inTag = false;
      k = ccTag;
    } else if (wordTagStyle_ == 1 && wordTagDelimiter_ != 0 && c == uint8_t(wordTagDelimiter_)) {
      inWordTag = true;
      k = ccWordTag;
    } else if (int32_t len = wordTagStyle_ == 2 ? MatchStartAt(p + i, rangeEndPtr) : 0; len > 0) {
      // The whole start string belongs to the tag; the walk goes on inside it.
      for (int32_t j = 0; j < len; ++j)
        classes_[size_t(i + j)] = ccWordTag;
      i += len;
      inWordTag = true;
      continue;
    } else if (tagStart_ != 0 && c == uint8_t(tagStart_)) {
      inTag = true;
      k = ccTag;
    } else if (delimTable_[c]) {
      k = DelimiterClass(prevByte(), char(c));
    } else {
      k = ccWord;
    }
    classes_[size_t(i)] = k;
    ++i;
    if (lead_[c] && i <= n && p + i < dataEnd)
      classes_[size_t(i++)] = k;  // the trail byte
  }
  SetValidated(true);
}

int32_t TBufStream::ValidateBufferFrom(int32_t lo, int32_t from, int32_t hi)
{
  if (hi < lo)
    hi = lo;
  if (int64_t(hi) - lo > windowSize_)
    hi = lo + windowSize_;
  if (from > lo && from < hi) {
    SetRange(lo, hi);
    if (bufPos_ >= 0 && Ensure(hi - lo)) {
      const unsigned char* begin = cur_;
      const unsigned char* end = cur_ + (from - lo);
      if (tagBeginSet_.FindIn(begin, end) == end) {
        ValidateBuffer(from, hi);
        return from;
      }
      // After a delimiter that begins no tag the walk is outside any
      // part-of-speech tag of style 1, and outside any markup tag when no tag
      // start came before it: it goes on from there as a walk begun there.
      if (wordTagStyle_ != 2 && !dbcs_) {
        const unsigned char* q = end;
        while (q > begin && !(delimTable_[q[-1]] && fastClass_[q[-1]] != kSpecial))
          --q;
        if (q > begin && (tagStart_ == 0 || !std::memchr(begin, tagStart_, size_t(q - begin)))) {
          const int32_t at = lo + int32_t(q - begin);
          ValidateBuffer(at, hi);
          return at;
        }
      }
    }
  }
  ValidateBuffer(lo, hi);
  return lo;
}

const unsigned char* TBufStream::HoldRange(int32_t lo, int32_t hi)
{
  if (lo < 0 || hi < lo || hi - lo > windowSize_)
    return nullptr;
  SetRange(lo, hi);
  if (bufPos_ < 0 || (hi > lo && !Ensure(hi - lo)))
    return nullptr;
  return cur_;
}

bool TBufStream::HeldTagBegin(int32_t lo, int32_t hi) const
{
  if (bufPos_ < 0)
    return false;
  if (dbcs_ && lo > 0)
    --lo;  // a lead byte before lo makes lo a trail byte
  lo = std::max(lo, bufPos_);
  hi = std::min(hi, bufPos_ + bufLen_);
  if (lo >= hi)
    return false;
  const unsigned char* p = buffer_.get() + (lo - bufPos_);
  return !NoTagBegins(p, p + (hi - lo));
}

uint64_t TBufStream::PlainWordBits(const unsigned char* p) const
{
  uint64_t words = 0, unused1 = 0, unused2 = 0;
  if (ByteScanSet::Masks64(p, wordSet_, wordSet_, wordSet_, words, unused1, unused2))
    return words;
  for (int i = 0; i < 64; ++i)
    words |= uint64_t(fastClass_[p[i]] == ccWord) << i;
  return words;
}

int32_t TBufStream::PlainWordRunStart(int32_t pos)
{
  if (dbcs_) {
    // Character by character: a double-byte character is a word character
    // unless its lead byte is a delimiter.
    while (pos > 0) {
      unsigned char b = 0;
      if (CopyBytes(pos - 1, reinterpret_cast<char*>(&b), 1) != 1)
        return pos;
      if (InsideChar(pos - 1)) {
        if (LeadClassBefore(pos - 1) != ccWord)
          return pos;
        pos -= 2;
      } else if (fastClass_[b] == ccWord || (lead_[b] && !delimTable_[b])) {
        --pos;
      } else {
        return pos;
      }
    }
    return pos;
  }
  while (pos > 0) {
    if (bufPos_ >= 0 && pos > bufPos_ && pos <= bufPos_ + bufLen_) {
      const unsigned char* first = buffer_.get();
      const unsigned char* b = first + (pos - bufPos_);
      while (b > first && fastClass_[b[-1]] == ccWord)
        --b;
      pos = bufPos_ + int32_t(b - first);
      if (b > first)
        return pos;
      continue;  // the run may go on before the window
    }
    unsigned char chunk[256];
    const int32_t n = std::min<int32_t>(pos, sizeof chunk);
    int32_t at = pos - n;
    if (stream_->ReadAt(at, chunk, n) != n)
      return pos;
    ++lockedReads_;
    int32_t k = n;
    while (k > 0 && fastClass_[chunk[k - 1]] == ccWord)
      --k;
    pos -= n - k;
    if (k > 0)
      return pos;
  }
  return pos;
}

int32_t TBufStream::PlainWordRunEnd(int32_t pos)
{
  const int32_t size = StreamSize();
  if (dbcs_) {
    while (pos < size) {
      unsigned char b[2] = {};
      if (CopyBytes(pos, reinterpret_cast<char*>(b), 1) != 1)
        return pos;
      if (lead_[b[0]] && !delimTable_[b[0]] && pos + 1 < size)
        pos += 2;
      else if (fastClass_[b[0]] == ccWord)
        ++pos;
      else
        return pos;
    }
    return pos;
  }
  while (pos < size) {
    if (bufPos_ >= 0 && pos >= bufPos_ && pos < bufPos_ + bufLen_) {
      const unsigned char* end = buffer_.get() + bufLen_;
      const unsigned char* b = buffer_.get() + (pos - bufPos_);
      while (b < end && fastClass_[*b] == ccWord)
        ++b;
      pos = bufPos_ + int32_t(b - buffer_.get());
      if (b < end)
        return pos;
      continue;  // the run may go on past the window
    }
    unsigned char chunk[256];
    const int32_t n = std::min<int32_t>(size - pos, sizeof chunk);
    int32_t at = pos;
    const int32_t got = stream_->ReadAt(at, chunk, n);
    ++lockedReads_;
    if (got <= 0)
      return pos;
    int32_t k = 0;
    while (k < got && fastClass_[chunk[k]] == ccWord)
      ++k;
    pos += k;
    if (k < got)
      return pos;
  }
  return pos;
}

int32_t TBufStream::CopyBytes(int32_t pos, char* out, int32_t n)
{
  if (n <= 0 || pos < 0)
    return 0;
  if (bufPos_ >= 0 && pos >= bufPos_ && int64_t(pos) + n <= int64_t(bufPos_) + bufLen_) {
    std::memcpy(out, buffer_.get() + (pos - bufPos_), size_t(n));
    return n;
  }
  int32_t at = pos;
  ++lockedReads_;
  return std::max(0, stream_->ReadAt(at, out, n));
}

// --- words ------------------------------------------------------------------

[[gnu::always_inline]] inline bool TBufStream::MasksAt(const unsigned char* p)
{
  if (maskBlock_ && p >= maskBlock_ && p < maskBlock_ + 64)
    return true;
  if (buffer_.get() + bufLen_ - p < 64)
    return false;
  if (!ByteScanSet::Masks64(p, wordSet_, skipStopSet_, delimSet_, maskWord_, maskStop_, maskDelim_))
    return false;
  maskBlock_ = p;
  return true;
}

[[gnu::always_inline]] inline const unsigned char* TBufStream::Scan(const unsigned char* p,
                                                                       const unsigned char* lim, int scan)
{
  while (p < lim && MasksAt(p)) {
    const uint64_t all = scan == 0 ? ~maskWord_ : scan == 1 ? maskStop_ : maskDelim_;
    const uint64_t m = all >> (p - maskBlock_);
    if (m) {
      const unsigned char* q = p + __builtin_ctzll(m);
      return q < lim ? q : lim;
    }
    p = maskBlock_ + 64;
  }
  if (p >= lim)
    return lim;
  switch (scan) {
  case 0: return wordSet_.FindNotIn(p, lim);
  case 1: return skipStopSet_.FindIn(p, lim);
  default: return delimSet_.FindIn(p, lim);
  }
}

[[gnu::always_inline]] inline void TBufStream::SkipNonWordRun()
{
  const unsigned char* p = cur_;
  const unsigned char* lim = limit_;
  while (p < lim) {
    if (inTag_) {
      p = tagStopSet_.FindIn(p, lim);
      if (p == lim)
        break;
      ++p;  // the stop character belongs to the tag
      inTag_ = false;
    } else if (inWordTag_) {
      // Style 2 ends with its stop character; style 1 at a delimiter, which
      // is no word character either.
      p = wordTagStyle_ == 2 ? wordTagStopSet_.FindIn(p, lim) : Scan(p, lim, 2);
      if (p == lim)
        break;
      ++p;
      inWordTag_ = false;
    } else {
      p = Scan(p, lim, 1);
      break;
    }
  }
  cur_ = p;
}

bool TBufStream::WholeRangeInWindow(int32_t pos) const
{
  return validated_ && bufPos_ >= 0 && rangeStart_ >= bufPos_ && rangeEnd_ <= bufPos_ + bufLen_ &&
         pos >= rangeStart_ && pos <= rangeEnd_ && LimitPos() == rangeEnd_ &&
         classes_.size() == size_t(rangeEnd_ - rangeStart_) + 1;
}

std::string_view TBufStream::NextWord()
{
  wordLen_ = 0;
  TCharClass cls;
  if (WholeRangeInWindow(GetPosition())) {
    // The validated range is in the window: its classes and bytes are read
    // straight from the arrays.
    auto classes = [this](int32_t pos) { return classes_[size_t(pos - rangeStart_)]; };
    auto bytes = [this](int32_t pos) { return buffer_.get() + (pos - bufPos_); };
    const int32_t end = rangeEnd_;
    int32_t p = GetPosition();
    while (p < end && classes(p) != ccWord)
      ++p;
    if (p == end) {
      cur_ = bytes(end);
      wordBuf_[0] = 0;
      return {};
    }
    int32_t q = p + 1;
    while (q < end && classes(q) == ccWord)
      ++q;
    wordStart_ = p;
    wordEnd_ = q;
    wordLen_ = uint32_t(std::min(q - p, 255));
    std::memcpy(wordBuf_, bytes(p), wordLen_);
    if (dbcs_ && q - p > 255)
      wordLen_ = uint32_t(WholeCharsLength(*page_, std::string_view(wordBuf_, wordLen_)));
    wordBuf_[wordLen_] = 0;
    cur_ = bytes(q < end ? q + 1 : end);  // the character that ends the run is consumed
    return std::string_view(wordBuf_, wordLen_);
  }
  // Skip to the first word character: whole runs of delimiters and tags at a
  // time, and one classified character where the rules need more.
  for (;;) {
    if (!slow_) {
      SkipNonWordRun();
      if (cur_ < limit_ && !inTag_ && !inWordTag_ && fastClass_[*cur_] == ccWord) {
        wordStart_ = GetPosition();
        break;
      }
    }
    if (AtEnd()) {
      wordBuf_[0] = 0;
      return {};
    }
    const int32_t pos = GetPosition();
    const char c = NextCharClassified(cls);
    if (cls == ccWord) {
      wordStart_ = pos;
      wordBuf_[wordLen_++] = c;
      break;
    }
  }
  wordEnd_ = GetPosition();
  // Collect the run; the character that ends it is consumed too.
  for (;;) {
    if (!slow_ && !inTag_ && !inWordTag_) {
      const unsigned char* start = cur_;
      const unsigned char* p = Scan(start, limit_, 0);
      const auto run = uint32_t(p - start);
      const uint32_t take = std::min(run, 255 - wordLen_);
      if (take <= 32 && wordLen_ + 32 <= sizeof wordBuf_)
        std::memcpy(wordBuf_ + wordLen_, start, 32);  // whole block; the window is padded
      else
        std::memcpy(wordBuf_ + wordLen_, start, take);
      wordLen_ += take;
      wordEnd_ += int32_t(run);
      cur_ = p;
      if (p < limit_) {
        const unsigned char c = *p;
        if (fastClass_[c] != kSpecial) {
          ++cur_;  // a plain delimiter: it changes no state
          break;
        }
        if (wordTagStyle_ == 1 && c == uint8_t(wordTagDelimiter_)) {
          ++cur_;
          inWordTag_ = true;
          break;
        }
        if (c == uint8_t(tagStart_) && !(wordTagStyle_ == 2 && wordTagFirstTable_[c])) {
          ++cur_;
          inTag_ = true;
          break;
        }
      }
    }
    if (AtEnd())
      break;
    const char c = NextCharClassified(cls);
    if (cls != ccWord)
      break;
    if (wordLen_ < 255)
      wordBuf_[wordLen_++] = c;
    wordEnd_ = GetPosition();
  }
  if (dbcs_ && wordEnd_ - wordStart_ > 255)
    wordLen_ = uint32_t(WholeCharsLength(*page_, std::string_view(wordBuf_, wordLen_)));
  wordBuf_[wordLen_] = 0;
  return std::string_view(wordBuf_, wordLen_);
}

std::string_view TBufStream::PrevWord()
{
  wordLen_ = 0;
  wordBuf_[0] = 0;
  if (!validated_)
    return {};
  if (WholeRangeInWindow(GetPosition())) {
    auto classes = [this](int32_t pos) { return classes_[size_t(pos - rangeStart_)]; };
    auto bytes = [this](int32_t pos) { return buffer_.get() + (pos - bufPos_); };
    const int32_t lo = rangeStart_;
    int32_t p = GetPosition();
    while (p > lo && classes(p - 1) != ccWord)
      --p;
    if (p == lo) {
      cur_ = bytes(lo);
      return {};
    }
    int32_t q = p - 1;
    while (q > lo && classes(q - 1) == ccWord)
      --q;
    wordStart_ = q;
    wordEnd_ = p;
    wordLen_ = uint32_t(std::min(p - q, 255));
    std::memcpy(wordBuf_, bytes(q), wordLen_);
    if (dbcs_ && p - q > 255)
      wordLen_ = uint32_t(WholeCharsLength(*page_, std::string_view(wordBuf_, wordLen_)));
    wordBuf_[wordLen_] = 0;
    cur_ = bytes(q > lo ? q - 1 : q);  // on the character before the word
    return std::string_view(wordBuf_, wordLen_);
  }
  TCharClass cls = ccNone;
  char c;
  // Step back over everything that is not a word character.
  for (;;) {
    int32_t before = GetPosition();
    c = PrevCharClassified(cls);
    if (GetPosition() == before)
      return {};
    if (cls == ccWord)
      break;
  }
  wordEnd_ = GetPosition() + 1;
  // Then over the run, collecting it from its end.
  std::string reversed;
  for (;;) {
    reversed.push_back(c);
    int32_t before = GetPosition();
    c = PrevCharClassified(cls);
    if (GetPosition() == before || cls != ccWord) {
      wordStart_ = before;
      break;
    }
  }
  // Keep the run's first 255 characters, in reading order.
  size_t len = reversed.size();
  size_t take = std::min<size_t>(len, 255);
  for (size_t i = 0; i < take; ++i)
    wordBuf_[i] = reversed[len - 1 - i];
  wordLen_ = uint32_t(take);
  if (dbcs_ && len > 255)
    wordLen_ = uint32_t(WholeCharsLength(*page_, std::string_view(wordBuf_, wordLen_)));
  wordBuf_[wordLen_] = 0;
  return std::string_view(wordBuf_, wordLen_);
}

// --- search -----------------------------------------------------------------

const unsigned char* TBufStream::FindInWindow(const unsigned char* from, std::string_view lit,
                                              bool atBlank)
{
  const auto len = int32_t(lit.size());
  const unsigned char* lim = limit_;
  const unsigned char* fold = literalFold_;
  // The first occurrence at or after p, through the fold table when set.
  auto search = [&](const unsigned char* p) -> const unsigned char* {
    if (!fold)
      return static_cast<const unsigned char*>(memmem(p, size_t(lim - p), lit.data(), size_t(len)));
    const auto* l = reinterpret_cast<const unsigned char*>(lit.data());
    if (dbcs_) {
      // Only characters of one byte fold: a trail byte is compared as it is.
      for (; lim - p >= len; ++p) {
        int32_t k = 0;
        while (k < len && fold[p[k]] == l[k]) {
          if (lead_[l[k]] && k + 1 < len && p[k + 1] != l[k + 1])
            break;
          k += lead_[l[k]] ? 2 : 1;
        }
        if (k >= len)
          return p;
      }
      return nullptr;
    }
    for (; lim - p >= len; ++p) {
      int32_t k = 0;
      while (k < len && fold[p[k]] == l[k])
        ++k;
      if (k == len)
        return p;
    }
    return nullptr;
  };
  while (lim - from >= len) {
    auto* hit = search(from);
    if (!hit)
      break;
    // An occurrence that begins on a trail byte is none.
    if (dbcs_ && InsideChar(bufPos_ + int32_t(hit - buffer_.get()))) {
      from = hit + 1;
      continue;
    }
    if (!atBlank || isLineEndOrSpace(hit[len - 1]))
      return hit;
    if (hit + len < lim) {
      if (isLineEndOrSpace(hit[len]))
        return hit;
    } else {
      break;  // the byte after it is not in this window: the next one decides
    }
    from = hit + 1;
  }
  return nullptr;
}

bool TBufStream::AdvanceSearchWindow(int32_t keepFrom)
{
  int32_t oldEnd = LimitPos();
  Reposition(keepFrom, keepFrom);
  return LimitPos() > oldEnd;
}

TCharClass TBufStream::NextClassRun(char* out, uint32_t max, uint32_t& length)
{
  length = 0;
  TCharClass cls = ccNone;
  char c;
  auto keep = [&](const unsigned char* from, size_t n) {
    if (length < max)
      std::memcpy(out + length, from, std::min<size_t>(n, max - length));
    length += uint32_t(n);
  };
  const bool embeddedTags = wordTagStyle_ == 1 && wordTagDelimiter_ != 0;
  for (;;) {
    if (!slow_ && !inTag_ && !inWordTag_) {
      // Plain bytes that can begin no run are passed over by the table; a
      // word character or an embedded tag's delimiter begins one at once.
      const unsigned char* p = cur_;
      const unsigned char* lim = limit_;
      while (p < lim) {
        const uint8_t k = fastClass_[*p];
        if (k == ccWord || k == kSpecial)
          break;
        ++p;
      }
      cur_ = p;
      if (p < lim) {
        if (fastClass_[*p] == ccWord) {
          cls = ccWord;
          c = char(*cur_++);
          break;
        }
        if (embeddedTags && *p == uint8_t(wordTagDelimiter_)) {
          cls = ccWordTag;
          inWordTag_ = true;
          c = char(*cur_++);
          break;
        }
      }
    }
    if (AtEnd())
      return ccNone;
    c = NextCharClassified(cls);
    if (cls == ccWord || cls == ccWordTag)
      break;
  }
  keep(reinterpret_cast<const unsigned char*>(&c), 1);
  for (;;) {
    if (!slow_) {
      // The run's inside, where its class cannot change but at these bytes.
      const unsigned char* p = cur_;
      const unsigned char* lim = limit_;
      if (cls == ccWord && !inTag_ && !inWordTag_) {
        while (p < lim && fastClass_[*p] == ccWord)
          ++p;
        keep(cur_, size_t(p - cur_));
        cur_ = p;
        // A delimiter, a tag start or an embedded tag's delimiter ends the
        // run; only a start string of outside tags needs the full rules.
        if (p < lim && (fastClass_[*p] != kSpecial || wordTagStyle_ != 2))
          return cls;
      } else if (cls == ccWordTag && inWordTag_ && wordTagStyle_ == 1) {
        while (p < lim && !delimTable_[*p])
          ++p;
        keep(cur_, size_t(p - cur_));
        cur_ = p;
        // The delimiter ends the tag and the run.
        if (p < lim) {
          inWordTag_ = false;
          return cls;
        }
      } else if (cls == ccWordTag && inWordTag_ && wordTagStyle_ == 2) {
        while (p < lim && !wordTagStopTable_[*p])
          ++p;
        keep(cur_, size_t(p - cur_));
        cur_ = p;
      }
    }
    if (AtEnd())
      return cls;
    TCharClass next;
    c = NextCharClassified(next);
    if (next != cls) {
      PrevChar();
      ResetTagState();
      return cls;
    }
    keep(reinterpret_cast<const unsigned char*>(&c), 1);
  }
}

namespace {

// How rarely a byte is met in text: letters by their frequency in English,
// anything else as rare. The word-start search looks for the prefix's rarest
// byte first.
int ByteRarity(unsigned char c)
{
  static const char* const order = "etaoinshrdlcumwfgypbvkjxqz";
  const unsigned char lower = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
  if (const char* at = std::strchr(order, lower); at && lower != 0)
    return int(at - order);
  return 30;
}

}  // namespace

TBufStream::TWordStartFinder::TWordStartFinder(std::string_view prefix, const unsigned char* fold)
  : Prefix(prefix), Fold(fold)
{
  const auto len = int32_t(Prefix.size());
  const auto* lit = reinterpret_cast<const unsigned char*>(Prefix.data());
  int32_t& first = Pair.Offset[0];
  int32_t& second = Pair.Offset[1];
  for (int32_t i = 1; i < len; ++i)
    if (ByteRarity(lit[i]) > ByteRarity(lit[first]))
      first = i;
  second = first;
  for (int32_t i = 0; i < len; ++i)
    if (i != first && (second == first || ByteRarity(lit[i]) > ByteRarity(lit[second])))
      second = i;
  // Each byte looked for is matched as value | Mask == Target: one spelling,
  // or two that differ in the case bit only; other foldings take the plain
  // byte loop.
  for (int j = 0; j < 2 && len > 0; ++j) {
    const unsigned char want = lit[Pair.Offset[j]];
    unsigned char spellings[256];
    int count = 0;
    for (int b = 0; b < 256; ++b)
      if ((fold ? fold[b] : b) == want) {
        spellings[count++] = static_cast<unsigned char>(b);
        if (j == 0)
          IsFirst[b] = true;
      }
    if (count == 0)
      Possible = false;
    else if (count == 1)
      Pair.Target[j] = spellings[0];
    else if (count == 2 && (spellings[0] ^ spellings[1]) == 0x20) {
      Pair.Mask[j] = 0x20;
      Pair.Target[j] = spellings[0] | 0x20;
    } else
      Simple = false;
  }
}

int32_t TBufStream::FindWordStart(const TWordStartFinder& finder, const bool* delimiters,
                                  const std::function<bool(int32_t)>& onWindow, char watch, int32_t* firstWatch)
{
  if (!firstWatch)
    watch = 0;
  const auto len = int32_t(finder.Prefix.size());
  if (len == 0 || len >= windowSize_ || bufPos_ < 0)
    return -1;
  if (!finder.Possible) {
    Seek(std::max(GetPosition(), rangeEnd_));
    return -1;
  }
  const int32_t start = GetPosition();
  const auto* lit = reinterpret_cast<const unsigned char*>(finder.Prefix.data());
  const unsigned char* fold = finder.Fold;
  const int32_t k1 = finder.Pair.Offset[0];

  auto matchesAt = [&](const unsigned char* p) {
    for (int32_t i = 0; i < len; ++i)
      if ((fold ? fold[p[i]] : p[i]) != lit[i])
        return false;
    if (bufPos_ + int32_t(p - buffer_.get()) == start)
      return true;
    return delimiters[ByteBefore(p)];
  };

  for (int windows = 1;; ) {
    if (!Ensure(len)) {
      Seek(std::max(GetPosition(), rangeEnd_));
      return -1;
    }
    if (onWindow && !onWindow(GetPosition()))
      return -1;
    if (watch && *firstWatch == INT32_MAX)
      if (const void* at = std::memchr(cur_, watch, size_t(limit_ - cur_)))
        *firstWatch = GetPosition() + int32_t(static_cast<const unsigned char*>(at) - cur_);
    // Candidates p in [cur_, last].
    const unsigned char* p = cur_;
    const unsigned char* last = limit_ - len;
    if (finder.Simple) {
      for (; (p = finder.Pair.FindFirst(p, last)) != nullptr; ++p)
        if (matchesAt(p)) {
          cur_ = p;
          return GetPosition();
        }
    } else {
      for (; p <= last; ++p)
        if (finder.IsFirst[p[k1]] && matchesAt(p)) {
          cur_ = p;
          return GetPosition();
        }
    }
    // Nothing here: the search goes on from the bytes that could still begin
    // a word with the prefix.
    if (LimitPos() >= rangeEnd_) {
      Seek(std::max(GetPosition(), rangeEnd_));
      return -1;
    }
    // A word a window or two ahead is read with the window; past that, in
    // blocks.
    if (finder.Simple && ++windows > 2)
      return FindWordStartInBlocks(finder, delimiters, onWindow, LimitPos() - (len - 1), watch, firstWatch);
    if (!AdvanceSearchWindow(LimitPos() - (len - 1))) {
      Seek(std::max(GetPosition(), rangeEnd_));
      return -1;
    }
  }
}

// Whether the mapped view holds count bytes from position at (the stream's
// bytes, wherever the range ends); when it does not, the view moves there,
// over 1024 windows where the file is that long. False where the stream's
// file cannot be mapped.
bool TBufStream::MapAhead(int32_t at, int32_t count)
{
  if (view_.Data() && at >= viewPos_ && int64_t(at) + count <= viewEnd_)
    return true;
  std::lock_guard lock(stream_->Mutex());
  const int fd = stream_->MappableHandle();
  const int64_t size = std::min<int64_t>(stream_->GetSize(), int64_t(at) + int64_t(windowSize_) * 1024);
  if (fd < 0 || size < int64_t(at) + count || !view_.Map(fd, at, size - at)) {
    // Not a file that can be mapped: blocks are read from here on.
    mapFailed_ = mapFailed_ || fd < 0 || size >= int64_t(at) + count;
    view_.Unmap();
    return false;
  }
  viewPos_ = at;
  viewEnd_ = int32_t(size);
  return true;
}

// Seek(pos) with the window's bytes taken from block_, which holds count
// bytes from position at, where it holds them all.
void TBufStream::SeekFromBlock(int32_t pos, int32_t at, int32_t count)
{
  const int32_t from = std::max(0, pos - lookBehind_);
  const auto to = int32_t(std::min<int64_t>(int64_t(from) + windowSize_, rangeEnd_));
  if ((bufPos_ >= 0 && pos >= bufPos_ && pos <= bufPos_ + bufLen_) || from < at || to > at + count) {
    Seek(pos);
    return;
  }
  maskBlock_ = nullptr;
  std::memcpy(buffer_.get(), block_.get() + (from - at), size_t(to - from));
  bufPos_ = from;
  bufLen_ = to - from;
  buffer_[bufLen_] = 0;
  shortRead_ = false;
  cur_ = buffer_.get() + (pos - from);
  UpdateLimit();
}

namespace {

// One window's worth of a block: the first position in [piece, last] that
// begins a word with the prefix, into found (nullptr when none). It reads
// bytes only, so that it can run over a mapped file under a bus-error guard.
struct TPieceScan {
  const TBytePairScan* pair;
  const unsigned char* lit;
  int32_t len;
  const unsigned char* fold;
  const bool* delimiters;
  const unsigned char* blockStart;  // no byte before it: a word there follows #0
  const unsigned char* piece;
  const unsigned char* last;
  const unsigned char* found;
  unsigned char watch;  // 0: none
  const unsigned char* watchAt;  // its first place in [piece, last]
};

void scanPiece(void* arg)
{
  auto& s = *static_cast<TPieceScan*>(arg);
  s.found = nullptr;
  s.watchAt = s.watch ? static_cast<const unsigned char*>(std::memchr(s.piece, s.watch, size_t(s.last - s.piece) + 1))
                      : nullptr;
  for (const unsigned char* p = s.piece; (p = s.pair->FindFirst(p, s.last)) != nullptr; ++p) {
    int32_t i = 0;
    while (i < s.len && (s.fold ? s.fold[p[i]] : p[i]) == s.lit[i])
      ++i;
    if (i == s.len && s.delimiters[p > s.blockStart ? p[-1] : 0]) {
      s.found = p;
      return;
    }
  }
}

}  // namespace

// Text far from the cursor is read in blocks larger than the window (up to
// 128 windows), straight into a buffer of the search's own, and only the
// window around a word found is filled again: one read of the text, with
// few calls to the stream. Where much is left of a file that can be mapped,
// larger blocks are scanned where they lie in the system's file cache, with
// no copy at all. onWindow is still called once per window's worth of
// bytes, so stop requests and progress come as often as before.
int32_t TBufStream::FindWordStartInBlocks(const TWordStartFinder& finder, const bool* delimiters,
                                          const std::function<bool(int32_t)>& onWindow, int32_t from, char watch,
                                          int32_t* firstWatch)
{
  const auto len = int32_t(finder.Prefix.size());
  TPieceScan scan{&finder.Pair, reinterpret_cast<const unsigned char*>(finder.Prefix.data()), len, finder.Fold,
                  delimiters, nullptr, nullptr, nullptr, nullptr, 0, nullptr};
  const int32_t most = windowSize_ * 128;
  if (!block_)
    block_.reset(new unsigned char[size_t(most) + 1]);
  auto toEnd = [this]() {
    Seek(std::max(GetPosition(), rangeEnd_));
    return -1;
  };
  // Blocks start at two windows and double, so that a word a little way
  // ahead costs no large read.
  for (int32_t size = windowSize_ * 2;; size = std::min(size * 2, most)) {
    // The byte before the block comes too, for the test of the byte before
    // a word at its start.
    const int32_t lead = from > 0 ? 1 : 0;
    const int64_t left = int64_t(rangeEnd_) - from;
    const unsigned char* base = nullptr;
    int32_t got = 0;
    if (!mapFailed_ && MapAhead(from - lead, int32_t(std::min<int64_t>(left, most)) + lead)) {
      base = view_.Data() + (from - lead - viewPos_);
      got = int32_t(std::min<int64_t>(viewEnd_, rangeEnd_) - from);
    } else {
      const int32_t want = int32_t(std::min<int64_t>(size, left));
      int32_t at = from - lead;
      got = stream_->ReadAt(at, block_.get(), want + lead) - lead;
      ++lockedReads_;
      if (got < len)
        return toEnd();
      base = block_.get();
    }
    const bool mapped = base != block_.get();
    const unsigned char* data = base + lead;
    const unsigned char* lastStart = data + (got - len);
    scan.blockStart = base;
    bool cutShort = false;
    for (const unsigned char* piece = data; piece <= lastStart; piece += windowSize_) {
      if (onWindow && !onWindow(from + int32_t(piece - data)))
        return -1;
      scan.piece = piece;
      scan.last = std::min(lastStart, piece + (windowSize_ - 1));
      scan.watch = watch && *firstWatch == INT32_MAX ? static_cast<unsigned char>(watch) : 0;
      if (mapped) {
        // The file was cut short under the view: its own reads from here on.
        if (!platform::CallCatchingBusError(scanPiece, &scan)) {
          mapFailed_ = cutShort = true;
          view_.Unmap();
          break;
        }
      } else {
        scanPiece(&scan);
      }
      if (scan.watchAt && *firstWatch == INT32_MAX)
        *firstWatch = from + int32_t(scan.watchAt - data);
      if (scan.found) {
        const int32_t pos = from + int32_t(scan.found - data);
        if (mapped)
          Seek(pos);
        else
          SeekFromBlock(pos, from - lead, got + lead);
        return pos;
      }
    }
    if (cutShort)
      continue;
    if (int64_t(from) + got >= rangeEnd_)
      return toEnd();
    from += got - (len - 1);
  }
}

int32_t TBufStream::LastNonDelimiterBefore(int32_t pos, int32_t floor, const bool* delimiters)
{
  for (int32_t q = pos - 1; q >= floor && q >= 0; --q) {
    unsigned char b;
    if (bufPos_ >= 0 && q >= bufPos_ && q < bufPos_ + bufLen_) {
      b = buffer_[size_t(q - bufPos_)];
    } else {
      int32_t at = q;
      if (stream_->ReadAt(at, &b, 1) != 1)
        return -1;
      ++lockedReads_;
    }
    if (!delimiters[b])
      return q;
  }
  return -1;
}

int32_t TBufStream::FindLiteral(std::string_view literal, bool mustEndAtBlank,
                                const TBufProgressEvent& onProgress, bool noPosition)
{
  const auto len = int32_t(std::min<size_t>(literal.size(), size_t(BufferSize) + 1));
  const int32_t n = len + (mustEndAtBlank ? 1 : 0);
  if (len == 0 || n > windowSize_ || bufPos_ < 0 || !Ensure(n))
    return -1;
  for (;;) {
    if (onProgress) {
      bool stop = false;
      onProgress(*this, noPosition ? -1 : bufPos_, stop);
      if (stop)
        return -1;
    }
    const bool atRangeEnd = LimitPos() >= rangeEnd_;
    if (const unsigned char* hit = FindInWindow(cur_, literal, mustEndAtBlank)) {
      cur_ = hit;
      return GetPosition();
    }
    if (atRangeEnd)
      return -1;
    // Carry the last n - 1 bytes so an occurrence across the edge is found.
    int32_t keepFrom = std::max(LimitPos() - (n - 1), GetPosition());
    if (!AdvanceSearchWindow(keepFrom) || limit_ - cur_ < n)
      return -1;
  }
}

void TBufStream::FindTextRange(std::string_view textStart, bool textStartAtBlank,
                               std::string_view textStop, bool textStopAtBlank,
                               std::string_view headStart, bool headStartAtBlank,
                               const TBufProgressEvent& onProgress, bool noPosition,
                               int32_t& startPos, int32_t& stopPos, int32_t& headPos)
{
  startPos = stopPos = headPos = -1;
  const std::string_view lits[3] = {textStart, textStop, headStart};
  const bool blanks[3] = {textStartAtBlank, textStopAtBlank, headStartAtBlank};
  int32_t shortest = INT32_MAX;
  int32_t longest = 0;
  for (int k = 0; k < 3; ++k) {
    int64_t n = int64_t(lits[k].size()) + (blanks[k] ? 1 : 0);
    if (lits[k].empty())
      n = 0;
    shortest = int32_t(std::min<int64_t>(shortest, n));
    longest = int32_t(std::min<int64_t>(std::max<int64_t>(longest, n), int64_t(BufferSize) + 1));
  }
  if (shortest == 0 || longest > windowSize_ || bufPos_ < 0 || !Ensure(shortest))
    return;

  // First position of each literal that no window has decided yet.
  int32_t next[3];
  std::fill(std::begin(next), std::end(next), GetPosition());
  int32_t pendingStart = -1;
  int32_t pendingStop = -1;
  for (;;) {
    if (onProgress) {
      bool stop = false;
      onProgress(*this, noPosition ? -1 : bufPos_, stop);
      if (stop)
        return;
    }
    const int32_t limitPos = LimitPos();
    const bool atRangeEnd = limitPos >= rangeEnd_;
    auto find = [&](int k, int32_t fromPos) -> int32_t {
      fromPos = std::max(fromPos, bufPos_);
      if (fromPos >= limitPos)
        return -1;
      const unsigned char* hit = FindInWindow(buffer_.get() + (fromPos - bufPos_), lits[k], blanks[k]);
      return hit ? bufPos_ + int32_t(hit - buffer_.get()) : -1;
    };
    int32_t undecidedFrom[3];
    for (int k = 0; k < 3; ++k) {
      // What this window cannot decide: occurrences that run past its end, or
      // whose following byte lies past it.
      undecidedFrom[k] = atRangeEnd ? limitPos
                                    : limitPos - int32_t(lits[k].size()) + 1 - (blanks[k] ? 1 : 0);
    }
    const int32_t a = find(0, next[0]);
    const int32_t b = find(1, next[1]);
    const int32_t c = find(2, next[2]);

    if (a >= 0 && b >= 0 && a < b) {
      pendingStart = a;
      pendingStop = b;
    } else if (a >= 0 && b >= 0) {
      if (pendingStart >= 0) {
        pendingStop = b;
      } else {
        // The stop came before the start: take the start, and a stop after
        // it in this same window completes the pair.
        pendingStart = a;
        pendingStop = find(1, a + 1);
      }
    } else if (a >= 0) {
      pendingStart = a;
      pendingStop = -1;
    } else if (b >= 0 && pendingStart >= 0) {
      pendingStop = b;
    }

    if (pendingStart >= 0 && pendingStop >= 0) {
      if (c >= 0 && (c < pendingStart || c < pendingStop)) {
        headPos = c;
      } else {
        startPos = pendingStart;
        stopPos = pendingStop;
        headPos = c;
      }
      return;
    }
    if (c >= 0) {
      headPos = c;
      return;
    }
    if (atRangeEnd)
      return;
    for (int k = 0; k < 3; ++k)
      next[k] = std::max(next[k], undecidedFrom[k]);
    // Carry the longest literal's length - 1 bytes into the next window.
    int32_t keepFrom = std::max(bufPos_, limitPos - (longest - 1));
    if (!AdvanceSearchWindow(keepFrom))
      return;
  }
}
