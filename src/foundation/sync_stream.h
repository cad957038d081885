// Streams read by absolute position under a lock.
//
// Every corpus item has one source stream shared by all its readers: the
// buffered readers of the user-interface thread and the line-counting thread.
// Each reader keeps its own position and reads with ReadAt, which seeks and
// reads under the stream's own lock, so the two never interleave.
//
// Positions inside one file are 32-bit: a file of 2 GiB or more is refused
// when it is opened.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// Seek origins.
enum : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

// Open modes: the low two bits give the access (0 read, 1 write, 2 read and
// write), bits 4 to 7 the sharing (kept, not enforced). The file must exist.
enum : uint16_t {
  fmOpenRead = 0x00,
  fmOpenWrite = 0x01,
  fmOpenReadWrite = 0x02,
  fmShareExclusive = 0x10,
  fmShareDenyWrite = 0x20,
  fmShareDenyRead = 0x30,
  fmShareDenyNone = 0x40,
  CorpusFileMode = 48,   // read; others may write
  KeptCopyMode = 50,     // read and write; others may write
};

class TSynchroStream {
public:
  TSynchroStream() = default;
  virtual ~TSynchroStream() = default;
  TSynchroStream(const TSynchroStream&) = delete;
  TSynchroStream& operator=(const TSynchroStream&) = delete;

  // Total size in bytes.
  virtual int32_t GetSize() = 0;
  // Whether the bytes up to pos are available.
  virtual bool WaitForPosition(int32_t pos) = 0;
  // The bytes that can be read now: the size, or for a download that is
  // still arriving, what has arrived so far.
  virtual int32_t ReadableSize() { return GetSize(); }
  // Read and write at the current position; the number of bytes done (0 on
  // failure or at the end; a short read is not an error).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // The new position, or -1 when the seek fails.
  virtual int32_t Seek(int32_t offset, int origin) = 0;

  // A descriptor of the file the stream reads, open for reading, whose bytes
  // up to the size are all there, so that they may be mapped into memory
  // (under the lock); -1 when the stream has no such file.
  virtual int MappableHandle() { return -1; }

  // The stream's critical section; re-entrant for its owner.
  void Lock() { CriticalSection.lock(); }
  void Unlock() { CriticalSection.unlock(); }
  std::recursive_mutex& Mutex() { return CriticalSection; }

  // Under the lock: seek to pos, read up to count bytes; pos grows by the bytes
  // read. A negative pos reads nothing and does not seek.
  int32_t ReadAt(int32_t& pos, void* buffer, int32_t count);
  // Under the lock: seek; newPos and the result are the new position.
  int32_t SeekLocked(int32_t offset, int origin, int32_t& newPos);

private:
  std::recursive_mutex CriticalSection;
};

// A stream over a file on disk.
class TFileSynchroStream : public TSynchroStream {
public:
  // Opens fileName with mode. Throws std::runtime_error "Unable to open file: %s."
  // when the file cannot be opened or is not a regular file, and "File is too
  // large (2 GB or more): %s." for a file of 2 GiB or more.
  TFileSynchroStream(const std::string& fileName, uint16_t mode);
  ~TFileSynchroStream() override;

  int32_t GetSize() override { return Size; }
  bool WaitForPosition(int32_t) override { return true; }
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int32_t Seek(int32_t offset, int origin) override;
  int MappableHandle() override { return (Mode & 3) == fmOpenWrite ? -1 : Handle; }

  // Under the lock: writes a copy of the whole file to newName (created or
  // emptied). Every write is checked; on failure the partial copy is deleted
  // and std::runtime_error names it. The stream's position is left at its end.
  void CopyToFile(const std::string& newName);
  // Under the lock: goes on reading from newName, opened with Mode, at the
  // position the old file had. Size stays as it was.
  void SwitchToFile(const std::string& newName);

  std::string FileName;
  uint16_t Mode = 0;
  int32_t Size = 0;          // taken at open; not updated afterwards
  int Handle = -1;           // owned
  bool Saved = false;        // needs no copy into a workspace folder
  bool TempCopy = false;     // reads the program's own copy in the temp folder

private:
  int64_t FilePos = 0;       // the handle's current position
};

// The message of a failed open, with the file name in place of %s.
std::string UnableToOpenText(const std::string& fileName);

// Opens a file the way the streams do: the access from the mode's low bits,
// no creation. Refuses folders and other non-regular files and files of 2 GiB
// or more with the messages above. Returns the descriptor and the size.
int OpenStreamFile(const std::string& fileName, uint16_t mode, int32_t& size);

// A small positional reader, used by the test whether a file is text.
class TFileHandle {
public:
  TFileHandle() = default;
  ~TFileHandle();
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  // Seeks to pos when pos is not negative and differs from Position, then
  // reads up to count bytes; Position moves on. The bytes read (0 on failure).
  int32_t ReadAt(int32_t pos, int32_t count, void* buffer);
  // Closes the handle; Valid becomes false.
  void Close();

  int Handle = -1;
  int32_t Position = 0;
  int32_t Size = -1;
  bool Valid = false;
};

// Opens a file for reading (others may read). Never throws: an unreadable file
// gives a handle with Valid false.
std::unique_ptr<TFileHandle> OpenFileHandle(const std::string& fileName);
