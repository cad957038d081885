// TFileStrings: a whole corpus file (or a download still arriving) as a
// read-only string list of its lines, for the full-text window's line view.
//
// A counting thread (TCountThread) walks the data in 64 KB chunks and records
// the byte offset of every line start: the newest 4096 in memory (Pending),
// the older ones in a temporary offset file (LineOffsetFile, "FST" prefix,
// little-endian int32 per line, no header). The list can be read while the
// count runs; it grows as lines are counted.
//
// Line ends: CR LF is one, a bare CR is one, a bare LF is one, also when a
// pair is split by a chunk edge. Every line end starts a new line, so a file
// ending in a line break has an empty last line; a file without a break is
// one line; an empty file has none.
//
// The thread reads until the data ends: a file at the first read that brings
// no byte; a download once it is done (complete, failed or stopped) and
// everything that arrived was read. While a download stalls the thread sleeps
// about 50 ms between reads. Destroying the list stops the thread and joins
// it; no event fires afterwards.
//
// On a double-byte code page the thread also notes, about every 64 KB, whether
// the byte there is the trail byte of a character, so that a character
// boundary far into a long line is found without reading the line from its
// start.
//
// Locks: the list's lock, then the stream's, never the reverse.
#pragma once

#include "foundation/strings_view_types.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class TBufStream;
class TSynchroStream;
class TFileStrings;

// The counting thread of one list. It belongs to the list, which joins it.
class TCountThread {
public:
  static constexpr int32_t ChunkSize = 65536;
  static constexpr int32_t PendingSize = 4096;

  explicit TCountThread(TFileStrings* owner);
  ~TCountThread();
  TCountThread(const TCountThread&) = delete;
  TCountThread& operator=(const TCountThread&) = delete;

  // Asks the thread to end and wakes it from its wait between reads.
  void RequestStop();
  void Join();

private:
  friend class TFileStrings;
  void Execute(std::stop_token stop);
  void Record(int32_t lineStart);
  // On a double-byte page, about every 64 KB: notes whether the byte at
  // offset, after a chunk, is a trail byte.
  void NoteCharState(int32_t offset, bool trail);
  // Fires the line-counted event when lines were counted since the last one.
  void Publish(int32_t& published);
  bool Flush();
  void Finish(bool complete);
  // Waits about 50 ms; false when a stop was requested.
  bool Sleep(const std::stop_token& stop);

  std::unique_ptr<char[]> Buffer;  // ChunkSize bytes and a terminating #0
  int32_t PendingCount = 0;
  std::array<int32_t, PendingSize> Pending{};
  TFileStrings* Owner;
  std::stop_token stop_;
  std::mutex sleepLock_;
  std::condition_variable_any wake_;
  std::jthread thread_;
};

class TFileStrings final : public TStrings {
public:
  using TNotifyEvent = std::function<void(TFileStrings& sender)>;
  using TErrorEvent = std::function<void(TFileStrings& sender, const std::string& message)>;

  // The list over stream (not owned) whose line texts reader (not owned, over
  // the same stream) reads. The events fire on the counting thread:
  // onLineCounted after the lines of a chunk were counted (their texts can
  // then be read),
  // onCountDone once at the end of the data, onFailed once when writing the
  // offset file failed (the count then ends with the lines counted so far
  // and onCountDone does not fire). Raises std::runtime_error when the offset
  // file cannot be created.
  TFileStrings(TSynchroStream* stream, TBufStream* reader, TNotifyEvent onLineCounted = {},
               TNotifyEvent onCountDone = {}, TErrorEvent onFailed = {});
  // Stops and joins the counting thread, then deletes the offset file.
  ~TFileStrings() override;
  TFileStrings(const TFileStrings&) = delete;
  TFileStrings& operator=(const TFileStrings&) = delete;

  int32_t Count() const override { return LineCount.load(std::memory_order_acquire); }
  // The text of line index: its bytes with CR and LF left out and TAB shown
  // as a blank; with suppression, tags, part-of-speech tags or words (a run
  // of blanks then shows as one) left out. Reads through the reader; call it
  // on the reader's thread.
  std::string Get(int32_t index) const override;
  // Reads only the part asked for (with suppression, from the last mark
  // before the part that an earlier read of the line left, else from the
  // line's start, up to the part's end). The length is exact without
  // suppression; with it, exact once the line has been read to its end, else
  // the line's byte count, which bounds it.
  std::string textPart(int32_t index, int32_t from, int32_t count, int32_t& length) const override;
  // Reads at most about one mark step of the line (64 KB) on the code page
  // the list was made on, whatever pos is: from the count's note before pos,
  // or with suppression from the last mark before it.
  int32_t charStart(int32_t index, int32_t pos, const platform::CodePage& cp) const override;

  // Editing is refused with std::runtime_error.
  [[noreturn]] void Clear();
  [[noreturn]] void Delete(int32_t index);
  [[noreturn]] void Insert(int32_t index, const std::string& text);

  // The count is still running.
  bool IsCounting() const { return counting_.load(std::memory_order_acquire); }
  // The count ended at the end of the data (not stopped, not failed).
  bool CountComplete() const { return complete_.load(std::memory_order_acquire); }
  // The byte offset where line index starts (0 <= index < Count()).
  int32_t LineStart(int32_t index) const;
  // The size of the data: at first the stream's size; once the count ended,
  // the offset it reached.
  int32_t GetFileSize() const { return FileSize.load(std::memory_order_acquire); }
  const std::string& IndexFileName() const { return IndexFileName_; }
  // Stops the count (as the destructor does) and waits for the thread; the
  // list keeps what was counted. No event fires afterwards.
  void StopCounting();

  // Leave out markup tags, part-of-speech tags, words.
  std::array<bool, 3> Suppress{};
  // The reader's classification changed (tag settings): what was learnt of
  // where shown text lies in long lines is forgotten.
  void ClassificationChanged()
  {
    lineMarks_.clear();
    shownLengths_.clear();
  }

private:
  friend class TCountThread;
  // The offset of entry j, read under the list's lock.
  int32_t Entry(int32_t j) const;
  // The bytes [start, end) of the data where line index lies; false for an
  // index out of range or a line without text yet.
  bool LineBounds(int32_t index, int32_t& start, int32_t& end) const;
  std::string PlainText(int32_t start, int32_t end) const;
  // The shown text of the line [start, end) without its first skip bytes,
  // at most limit bytes of it. trailAtSkip, when given, receives whether the
  // shown byte skip is the trail byte of a double-byte character.
  std::string ClassifiedText(int32_t start, int32_t end, int32_t skip = 0, int32_t limit = INT32_MAX,
                             bool* trailAtSkip = nullptr) const;

  // Marks along a line longer than MarkStep read with suppression, about
  // every MarkStep bytes: the data offset, the shown bytes before it and
  // whether the next shown byte is a trail byte. A part far into a long line
  // is read from the last mark before it, not from the line's start. They are
  // kept for the few long lines read last (the long lines in view).
  struct TShownMark {
    int32_t Pos;
    int32_t Shown;
    bool Trail;
  };
  struct TLineMarks {
    int32_t Line = -1;  // the start offset of the line marked
    std::vector<TShownMark> Marks;
  };
  static constexpr int32_t MarkStep = 65536;
  static constexpr size_t MarkedLines = 8;
  // What was learnt with other suppression flags is forgotten.
  void ForgetOtherSuppression() const;
  // The marks of the line starting at start, made the most recently used.
  std::vector<TShownMark>& LineMarks(int32_t start) const;
  mutable std::vector<TLineMarks> lineMarks_;  // the most recently used last
  // The shown length of lines a read took to their end, by start offset.
  mutable std::unordered_map<int32_t, int32_t> shownLengths_;
  mutable std::array<bool, 3> marksSuppress_{};

  // The count's notes on a double-byte page: the data offset and whether the
  // byte there is a trail byte (the first byte of a line never is).
  struct TCharMark {
    int32_t Pos;
    bool Trail;
  };
  const platform::CodePage* codePage_;  // the text language's when the list was made
  std::vector<TCharMark> charMarks_;    // under the lock

  TSynchroStream* Stream;
  int32_t ReadPos = 0;
  std::atomic<int32_t> FileSize{0};
  TBufStream* Reader;
  std::string IndexFileName_;
  int IndexStream = -1;
  std::atomic<int32_t> LineCount{0};
  int32_t written_ = 0;            // entries in the offset file (under the lock)
  mutable std::mutex Lock;
  std::unique_ptr<TCountThread> Thread;
  TNotifyEvent OnLineCounted;
  TNotifyEvent OnCountDone;
  TErrorEvent OnFailed;
  std::atomic<bool> counting_{true};
  std::atomic<bool> complete_{false};
};
