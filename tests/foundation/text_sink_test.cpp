#include "foundation/text_sink.h"

#include "platform/safe_write.h"
#include "support/scratch_folder.h"
#include "support/text_checks.h"

#include <gtest/gtest.h>

#include <filesystem>

using testsupport::ScratchFolder;
using testsupport::errorOf;
using testsupport::readFile;

namespace {

struct FaultHookReset {
  ~FaultHookReset() { platform::setWriteFaultHook(nullptr); }
};

}  // namespace

TEST(FileTextSink, WritesBytesUnchangedWithCrLfLineEnds)
{
  ScratchFolder dir;
  const std::string path = dir.file("report.txt");
  const std::string bytes("caf\xE9 \x80\xFF tab\there", 17);
  TFileTextSink sink(path);
  sink.WriteLine(bytes);
  sink.WriteLine();
  sink.Write("no end");
  sink.Close();
  EXPECT_EQ(readFile(path), bytes + "\r\n\r\nno end");
  EXPECT_EQ(sink.Name(), path);
}

TEST(FileTextSink, ReplacesTheOldFileOnlyWhenClosed)
{
  ScratchFolder dir;
  const std::string path = dir.write("report.txt", "old report");
  {
    TFileTextSink sink(path);
    const std::string big(200 * 1024, 'x');  // more than one buffer goes to the disk
    sink.Write(big);
    EXPECT_EQ(readFile(path), "old report");
    sink.Close();
    EXPECT_EQ(readFile(path), big);
  }
  {
    TFileTextSink sink(path);
    sink.WriteLine("never finished");
    // Dropped without Close, as after a failure elsewhere.
  }
  EXPECT_EQ(readFile(path).size(), 200u * 1024);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"report.txt"});
}

TEST(FileTextSink, AppendAddsAtTheEndAndAnAbandonedAppendIsCutBack)
{
  ScratchFolder dir;
  const std::string path = dir.write("batch.txt", "first\r\n");
  {
    TFileTextSink sink(path, TFileTextSink::TMode::Append);
    sink.WriteLine("second");
    sink.Close();
  }
  EXPECT_EQ(readFile(path), "first\r\nsecond\r\n");
  {
    TFileTextSink sink(path, TFileTextSink::TMode::Append);
    sink.Write(std::string(100 * 1024, 'y'));  // flushed to the file already
    sink.Abandon();
  }
  EXPECT_EQ(readFile(path), "first\r\nsecond\r\n");

  const std::string fresh = dir.file("fresh.txt");
  {
    TFileTextSink sink(fresh, TFileTextSink::TMode::Append);
    sink.Write(std::string(100 * 1024, 'z'));
  }
  EXPECT_FALSE(std::filesystem::exists(fresh));
}

TEST(FileTextSink, FailuresRaiseWithTheFileName)
{
  ScratchFolder dir;
  const std::string missing = dir.file("no such folder/report.txt");
  EXPECT_EQ(errorOf([&] { TFileTextSink sink(missing); }), "Unable to open file: " + missing + ".");
  EXPECT_EQ(errorOf([&] { TFileTextSink sink(missing, TFileTextSink::TMode::Append); }),
            "Unable to open file: " + missing + ".");

  // A full disk: the small report fails when it is closed, a large one at
  // its first write to the device.
  const std::string full = "Unable to write file: /dev/full (No space left on device).";
  {
    TFileTextSink sink("/dev/full");
    sink.WriteLine("one line");
    EXPECT_EQ(errorOf([&] { sink.Close(); }), full);
    EXPECT_EQ(errorOf([&] { sink.Close(); }), full);  // never looks like success later
  }
  {
    TFileTextSink sink("/dev/full", TFileTextSink::TMode::Append);
    EXPECT_EQ(errorOf([&] { sink.Write(std::string(200 * 1024, 'x')); }), full);
    EXPECT_EQ(errorOf([&] { sink.WriteLine("more"); }), full);
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST(FileTextSink, AFailedCommitKeepsTheOldFile)
{
  ScratchFolder dir;
  const std::string path = dir.write("report.txt", "old");
  FaultHookReset reset;
  TFileTextSink sink(path);
  sink.WriteLine("new");
  platform::setWriteFaultHook([](int) { return false; });
  const std::string error = errorOf([&] { sink.Close(); });
  EXPECT_EQ(error.rfind("Unable to write file: " + path + " (", 0), 0u) << error;
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"report.txt"});
}
