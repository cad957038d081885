#include "platform/safe_write.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using platform::writeFileAtomically;
using testsupport::ScratchFolder;
using testsupport::readFile;

TEST(SafeWrite, CreatesAndReplacesFiles)
{
  ScratchFolder dir;
  const std::string path = dir.file("out.txt");
  writeFileAtomically(path, "first");
  EXPECT_EQ(readFile(path), "first");
  writeFileAtomically(path, std::string("sec\0ond", 7));
  EXPECT_EQ(readFile(path), std::string("sec\0ond", 7));
  writeFileAtomically(path, "");
  EXPECT_EQ(readFile(path), "");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"out.txt"});
}

TEST(SafeWrite, EveryFailingCallKeepsTheOldFileAndLeavesNoTemporary)
{
  ScratchFolder dir;
  const std::string path = dir.write("keep.txt", "old content");
  const std::string big(3 << 20, 'x');  // several low-level writes
  int failAt = 1;
  for (;; ++failAt) {
    platform::setWriteFaultHook([failAt](int call) { return call != failAt; });
    bool threw = false;
    try {
      writeFileAtomically(path, big);
    } catch (const std::runtime_error& e) {
      threw = true;
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    platform::setWriteFaultHook(nullptr);
    if (!threw)
      break;
    EXPECT_EQ(readFile(path), "old content") << "failing call " << failAt;
    EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.txt"}) << "failing call " << failAt;
    writeFileAtomically(path, "old content");
  }
  EXPECT_GE(failAt, 4);  // three writes and the rename could each fail
  EXPECT_EQ(readFile(path), big);
}

TEST(SafeWrite, KeepsPermissionsAndSymbolicLinks)
{
  ScratchFolder dir;
  const std::string target = dir.write("real.txt", "a");
  ::chmod(target.c_str(), 0640);
  const std::string link = dir.file("link.txt");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  writeFileAtomically(link, "b");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFile(target), "b");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(SafeWrite, UnwritableFolderRaises)
{
  ScratchFolder dir;
  EXPECT_THROW(writeFileAtomically(dir.file("missing/x.txt"), "x"), std::runtime_error);
  if (::geteuid() != 0) {
    const std::string ro = dir.path() + "ro";
    std::filesystem::create_directory(ro);
    const std::string path = ro + "/x.txt";
    writeFileAtomically(path, "old");
    ::chmod(ro.c_str(), 0555);
    EXPECT_THROW(writeFileAtomically(path, "new"), std::runtime_error);
    EXPECT_EQ(readFile(path), "old");
    ::chmod(ro.c_str(), 0755);
  }
}

TEST(SafeWrite, AbandoningTwiceClosesNothingTheSecondTime)
{
  ScratchFolder dir;
  platform::OutputFile out;
  ASSERT_EQ(out.open(dir.file("a.txt"), platform::OutputFile::Mode::Replace), 0);
  out.abandon();
  // The freed descriptor number is taken by the next file opened.
  const int other = ::open(dir.file("b.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(other, 0);
  out.abandon();
  EXPECT_NE(::fcntl(other, F_GETFD), -1);
  ::close(other);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"b.txt"});
}

TEST(SafeWrite, ADeviceIsWrittenInPlaceAndAFullOneFails)
{
  try {
    platform::writeFileAtomically("/dev/full", "text");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), platform::writeErrorText("/dev/full", ENOSPC));
  }
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  platform::writeFileAtomically("/dev/null", "text");
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}
