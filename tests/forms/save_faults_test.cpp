// Every save path fails at each of its file primitives in turn (the fault
// plan of platform/file_ops.h, cycling through the errno values a disk
// gives): the path shows its own message, the old file stays byte for byte,
// nothing else is left in the folder, and the same save then succeeds.
#include "forms/patterns_editor.h"
#include "foundation/config_file.h"
#include "foundation/hash_strings.h"
#include "foundation/indexed_stream.h"
#include "foundation/sync_stream.h"
#include "foundation/text_sink.h"
#include "foundation/utils.h"
#include "foundation/word_list.h"
#include "platform/file_ops.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <fstream>
#include <map>

using platform::FileOp;

namespace {

std::map<std::string, std::string> snapshot(const std::string& folder)
{
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(e.path(), std::ios::binary);
    out[e.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return out;
}

bool opensFile(FileOp op)
{
  return op == FileOp::Create || op == FileOp::OpenWrite;
}

struct TSavePath {
  const char* name;
  // The files the save writes, the first is its target (old content is set
  // for each before every run).
  std::vector<std::string> files;
  // Makes what the save needs (outside the fault plan) and returns the save
  // of the new content into folder, which gives the message shown or
  // raised, empty on success.
  std::function<std::function<std::string()>(const std::string& folder)> make;
  // The message expected when `op` failed with err.
  std::function<std::string(const std::string& folder, FileOp op, int err, int call)> message;
};

void PrintTo(const TSavePath& path, std::ostream* os)
{
  *os << path.name;
}

std::string raised(const std::function<void()>& f)
{
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

std::string writeText(const std::string& path, int err)
{
  return platform::writeErrorText(path, err);
}

class SaveFaultsTest : public testsupport::CorpusFixture, public testing::WithParamInterface<TSavePath> {
protected:
  std::string shown()
  {
    std::string text = dialogs.Messages.empty() ? std::string() : dialogs.Messages.back().Text;
    dialogs.Messages.clear();
    return text;
  }
};

std::vector<TSavePath> savePaths()
{
  const auto sink = [](const std::string& path, TFileTextSink::TMode mode) {
    return raised([&] {
      TFileTextSink file(path, mode);
      for (int i = 0; i < 3; ++i)
        file.WriteLine("line " + std::to_string(i));
      file.Close();
    });
  };
  // Opening raises "Unable to open file"; anything later names the reason.
  const auto sinkMessage = [](const std::string& path, FileOp op, int err, int) {
    return opensFile(op) ? UnableToOpenText(path) : writeText(path, err);
  };
  return {
      {"settings", {"QUILPRO.INI"},
       [](const std::string& dir) {
         URLHistory = {"http://x.example/"};
         return [dir] { return WriteConfig(dir + "QUILPRO.INI") ? std::string() : std::string("shown"); };
       },
       [](const std::string& dir, FileOp, int, int) { return "Could not write to configuration file " + dir + "QUILPRO.INI!"; }},
      {"frequency file", {"words.frq"},
       [](const std::string& dir) {
         auto words = std::make_shared<THashStrings>(64, 1033);
         words->Add("alpha", true);
         words->Add("beta", true);
         return [dir, words] { return raised([&] { words->SaveToFile(dir + "words.frq"); }); };
       },
       [](const std::string& dir, FileOp, int err, int) { return writeText(dir + "words.frq", err); }},
      {"word list file", {"stop.txt"},
       [](const std::string& dir) {
         return [dir] { return raised([&] { WriteWordListFile(dir + "stop.txt", {"the", "a", "of"}); }); };
       },
       [](const std::string& dir, FileOp, int err, int) { return writeText(dir + "stop.txt", err); }},
      {"patterns file", {"patterns.txt"},
       [](const std::string& dir) {
         return [dir] { return raised([&] { SavePatternsFile(dir + "patterns.txt", {"a*", "b?"}); }); };
       },
       [=](const std::string& dir, FileOp op, int err, int) { return sinkMessage(dir + "patterns.txt", op, err, 0); }},
      {"report", {"report.txt"},
       [=](const std::string& dir) { return [=] { return sink(dir + "report.txt", TFileTextSink::TMode::Create); }; },
       [=](const std::string& dir, FileOp op, int err, int) { return sinkMessage(dir + "report.txt", op, err, 0); }},
      {"batch output appended", {"batch.txt"},
       [=](const std::string& dir) { return [=] { return sink(dir + "batch.txt", TFileTextSink::TMode::Append); }; },
       [=](const std::string& dir, FileOp op, int err, int) { return sinkMessage(dir + "batch.txt", op, err, 0); }},
      // As a workspace save writes it: into a reserved data file, no header yet.
      {"index", {"LNT1.tmp"},
       [](const std::string& dir) {
         std::shared_ptr<TIndexedStream> index = TIndexedStream::Create(dir + "../LNT2.tmp", 1);
         for (int32_t v : {0, 7, 19})
           index->Add(v);
         index->Flush();
         return [dir, index] { return raised([&] { index->SaveIndex(dir + "LNT1.tmp"); }); };
       },
       // The data file's own calls come first (create, write, fsync, close),
       // then the header's; the header is committed before the data.
       [](const std::string& dir, FileOp, int err, int n) {
         return writeText(dir + (n <= 4 || n == 10 ? "LNT1.tmp" : "LNT1H.tmp"), err);
       }},
      {"download body", {"IST1.tmp"},
       [](const std::string& dir) {
         std::shared_ptr<TFileSynchroStream> body = std::make_shared<TFileSynchroStream>(dir + "../body.txt", CorpusFileMode);
         return [dir, body] { return raised([&] { body->CopyToFile(dir + "IST1.tmp"); }); };
       },
       [](const std::string& dir, FileOp op, int, int) {
         return opensFile(op) ? UnableToOpenText(dir + "IST1.tmp") : "Unable to write file: " + dir + "IST1.tmp.";
       }},
  };
}

}  // namespace

TEST_P(SaveFaultsTest, EveryFailingCallKeepsTheOldFileAndTheSaveWorksAfter)
{
  const TSavePath& path = GetParam();
  const std::string dir = files.file("out/");
  std::filesystem::create_directory(dir);
  files.write("body.txt", "the downloaded text\r\n");
  const auto reset = [&] {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    for (const std::string& f : path.files)
      files.write("out/" + f, "old " + f);
  };
  const auto action = path.make(dir);
  const auto save = [&]() -> std::string {
    const std::string text = action();
    return text == "shown" ? shown() : text;
  };

  reset();
  const auto before = snapshot(dir);
  platform::setFileFaultPlan([](FileOp, int) { return platform::FaultNone; });
  ASSERT_EQ(save(), "");
  const int calls = platform::fileOpCalls();
  platform::setFileFaultPlan({});
  const auto after = snapshot(dir);
  ASSERT_NE(after, before);
  ASSERT_GT(calls, 0);

  static constexpr int errors[] = {ENOSPC, EIO, EFBIG, EACCES, EROFS};
  for (int n = 1; n <= calls; ++n) {
    reset();
    const int err = errors[n % 5];
    FileOp failed{};
    bool hit = false;
    platform::setFileFaultPlan([&](FileOp op, int call) {
      if (call != n)
        return platform::FaultNone;
      failed = op;
      hit = true;
      return err;
    });
    const std::string message = save();
    platform::setFileFaultPlan({});
    SCOPED_TRACE(std::string(path.name) + ": call " + std::to_string(n) + " (" + platform::fileOpName(failed) + ")");
    if (!hit)
      continue;  // the first save wrote more (data it held back) than a repeat
    EXPECT_EQ(message, path.message(dir, failed, err, n));
    EXPECT_EQ(snapshot(dir), before);
  }
  reset();
  EXPECT_EQ(save(), "");
  EXPECT_EQ(snapshot(dir), after);
}

TEST_P(SaveFaultsTest, AFullFileSystemRefusesTheSaveAndKeepsTheOldFile)
{
  const TSavePath& path = GetParam();
  const std::string dir = files.file("out/");
  std::filesystem::create_directory(dir);
  files.write("body.txt", "the downloaded text\r\n");
  for (const std::string& f : path.files)
    files.write("out/" + f, "old " + f);
  const auto action = path.make(dir);
  const auto before = snapshot(dir);
  // No file may grow past 4 bytes: writes fail with EFBIG, as on a full disk.
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message = action();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  if (message == "shown")
    message = shown();
  EXPECT_EQ(message, path.message(dir, FileOp::Write, EFBIG, 2));
  EXPECT_EQ(snapshot(dir), before);
}

INSTANTIATE_TEST_SUITE_P(Paths, SaveFaultsTest, testing::ValuesIn(savePaths()),
                         [](const testing::TestParamInfo<TSavePath>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           return name;
                         });
