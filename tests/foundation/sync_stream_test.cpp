#include "foundation/sync_stream.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using testsupport::ScratchFolder;
using testsupport::readFile;

namespace {

// Bytes that tell their own position: a misplaced read shows at once.
std::string positionalBytes(int n)
{
  std::string s(size_t(n), '\0');
  for (int i = 0; i < n; ++i)
    s[size_t(i)] = char((i * 7 + i / 251) & 0xFF);
  return s;
}

std::string openError(const std::string& path, uint16_t mode = CorpusFileMode)
{
  try {
    TFileSynchroStream s(path, mode);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(FileSynchroStreamTest, RefusesMissingFilesFoldersAndFilesOfTwoGigabytes)
{
  ScratchFolder dir;
  const std::string missing = dir.file("none.txt");
  EXPECT_EQ(openError(missing), "Unable to open file: " + missing + ".");
  EXPECT_EQ(openError(dir.path()), "Unable to open file: " + dir.path() + ".");

  // Sparse files: one byte below 2 GiB still opens, 2 GiB is refused.
  const std::string big = dir.file("big.txt");
  const std::string justBelow = dir.file("below.txt");
  for (auto [path, size] : {std::pair{big, off_t(1) << 31}, std::pair{justBelow, (off_t(1) << 31) - 1}}) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
  }
  EXPECT_EQ(openError(big), "File is too large (2 GB or more): " + big + ".");
  TFileSynchroStream below(justBelow, CorpusFileMode);
  EXPECT_EQ(below.GetSize(), INT32_MAX);
  int32_t pos = INT32_MAX - 1;
  char b = 'x';
  EXPECT_EQ(below.ReadAt(pos, &b, 8), 1);  // short read at the very end
  EXPECT_EQ(b, '\0');
  EXPECT_EQ(pos, INT32_MAX);
}

TEST(FileSynchroStreamTest, ReadsByPositionAndLeavesPositionsPastTheEndAlone)
{
  ScratchFolder dir;
  const std::string data = positionalBytes(1000);
  TFileSynchroStream s(dir.write("a.txt", data), CorpusFileMode);
  EXPECT_EQ(s.GetSize(), 1000);
  EXPECT_FALSE(s.Saved);
  EXPECT_FALSE(s.TempCopy);

  char buf[64];
  int32_t pos = 990;
  EXPECT_EQ(s.ReadAt(pos, buf, 64), 10);  // short read: not an error
  EXPECT_EQ(std::string(buf, 10), data.substr(990));
  EXPECT_EQ(pos, 1000);

  pos = 5000;
  EXPECT_EQ(s.ReadAt(pos, buf, 64), 0);
  EXPECT_EQ(pos, 5000);
  pos = -3;
  EXPECT_EQ(s.ReadAt(pos, buf, 64), 0);
  EXPECT_EQ(pos, -3);

  int32_t newPos = 0;
  EXPECT_EQ(s.SeekLocked(-10, soFromEnd, newPos), 990);
  EXPECT_EQ(newPos, 990);
  EXPECT_EQ(s.Read(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), data.substr(990, 4));
}

TEST(FileSynchroStreamTest, WritesOnlyWhenOpenedForWriting)
{
  ScratchFolder dir;
  const std::string path = dir.write("w.txt", "abcdef");
  {
    TFileSynchroStream ro(path, CorpusFileMode);
    EXPECT_EQ(ro.Write("XY", 2), 0);
  }
  {
    TFileSynchroStream rw(path, KeptCopyMode);
    rw.Seek(2, soFromBeginning);
    EXPECT_EQ(rw.Write("XY", 2), 2);
  }
  EXPECT_EQ(readFile(path), "abXYef");
}

TEST(FileSynchroStreamTest, TwoThreadsEachGetTheBytesOfTheirOwnPositions)
{
  ScratchFolder dir;
  const std::string data = positionalBytes(200000);
  TFileSynchroStream s(dir.write("t.txt", data), CorpusFileMode);
  std::atomic<int> wrong{0};
  auto reader = [&](int start, int step) {
    char buf[333];
    for (int i = 0; i < 3000; ++i) {
      int32_t pos = (start + i * step) % 199000;
      const int32_t from = pos;
      int32_t n = s.ReadAt(pos, buf, sizeof buf);
      if (n != int32_t(sizeof buf) || pos != from + n || std::string(buf, size_t(n)) != data.substr(size_t(from), size_t(n)))
        ++wrong;
    }
  };
  std::thread t1(reader, 0, 977);
  std::thread t2(reader, 50000, 1231);
  t1.join();
  t2.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(FileSynchroStreamTest, CopyAndSwitchKeepTheSizeTakenAtOpen)
{
  ScratchFolder dir;
  const std::string data = positionalBytes(20000);  // more than two copy blocks
  TFileSynchroStream s(dir.write("src.txt", data), KeptCopyMode);
  const std::string copy = dir.file("copy.txt");
  s.CopyToFile(copy);
  EXPECT_EQ(readFile(copy), data);
  int32_t end = 0;
  EXPECT_EQ(s.SeekLocked(0, soFromCurrent, end), 20000);  // left at its end

  // The copy grows (as a download would); the stream moves over to it.
  {
    std::FILE* f = std::fopen(copy.c_str(), "ab");
    std::fputs("TAIL", f);
    std::fclose(f);
  }
  s.SwitchToFile(copy);
  EXPECT_EQ(s.FileName, copy);
  EXPECT_EQ(s.GetSize(), 20000);
  char buf[8];
  EXPECT_EQ(s.Read(buf, 8), 4);  // reading goes on at the old file's end
  EXPECT_EQ(std::string(buf, 4), "TAIL");

  const std::string nowhere = dir.file("no/such/folder.txt");
  try {
    s.SwitchToFile(nowhere);
    FAIL() << "switch to a missing file";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to open file: " + nowhere + ".");
  }
  EXPECT_EQ(s.FileName, copy);  // still on the copy
  try {
    s.CopyToFile(nowhere);
    FAIL() << "copy into a missing folder";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to open file: " + nowhere + ".");
  }
}

TEST(FileSynchroStreamTest, FailedCopyRaisesAndLeavesNoPartialFile)
{
  ScratchFolder dir;
  const std::string src = dir.write("src.txt", positionalBytes(64 * 1024));
  const std::string copy = dir.file("copy.txt");
  // A child process with a 10 000-byte file-size limit: the copy's writes
  // fail part-way.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{10000, 10000};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    int code = 1;
    try {
      TFileSynchroStream s(src, CorpusFileMode);
      s.CopyToFile(copy);
      code = 2;  // reported success
    } catch (const std::runtime_error& e) {
      code = std::string(e.what()) == "Unable to write file: " + copy + "." ? 0 : 3;
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(copy));
}

TEST(FileHandleTest, ReadsOnFromWhereItStoodUnlessToldAPosition)
{
  ScratchFolder dir;
  const std::string data = positionalBytes(600);
  auto h = OpenFileHandle(dir.write("h.txt", data));
  ASSERT_TRUE(h->Valid);
  EXPECT_EQ(h->Size, 600);
  EXPECT_EQ(h->Position, 0);
  char buf[256];
  EXPECT_EQ(h->ReadAt(-1, 100, buf), 100);
  EXPECT_EQ(h->ReadAt(-1, 100, buf), 100);  // goes on at 100
  EXPECT_EQ(std::string(buf, 100), data.substr(100, 100));
  EXPECT_EQ(h->ReadAt(550, 100, buf), 50);
  EXPECT_EQ(std::string(buf, 50), data.substr(550));
  EXPECT_EQ(h->Position, 600);
  h->Close();
  EXPECT_FALSE(h->Valid);
  EXPECT_EQ(h->ReadAt(0, 10, buf), 0);

  auto missing = OpenFileHandle(dir.file("none"));
  EXPECT_FALSE(missing->Valid);
  EXPECT_EQ(missing->ReadAt(0, 10, buf), 0);
  EXPECT_FALSE(OpenFileHandle(dir.path())->Valid);
}
