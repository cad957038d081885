// Every save path fails at each of its file primitives in turn (the fault
// plan of platform/file_ops.h, cycling through the errno values a disk
// gives): the path shows its own message, the old file stays byte for byte,
// nothing else is left in the folder, nothing partial is taken as complete,
// no busy flag stays set, and the same save then succeeds.
//
// One row per writer: "report" stands for every window's save and batch
// output (concordance text and HTML, collocation, distribution, word-list
// window, batch frequency data, unsorted and sorted batch output), all
// TFileTextSink; "word list file" for the stop-list and the exceptions.
#include "forms/corpus_comparison.h"
#include "forms/patterns_editor.h"
#include "foundation/buf_stream.h"
#include "foundation/config_file.h"
#include "foundation/file_strings.h"
#include "foundation/inet_stream.h"
#include "foundation/hash_strings.h"
#include "foundation/indexed_stream.h"
#include "foundation/sync_stream.h"
#include "foundation/text_sink.h"
#include "foundation/utils.h"
#include "foundation/word_list.h"
#include "platform/file_ops.h"
#include "support/corpus_fixture.h"
#include "support/net_servers.h"

#include <atomic>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

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
  // The folder the files are in, under the scratch folder.
  const char* folder = "out/";
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

// A temporary file's number made "#": it differs from run to run.
std::string anonymous(const std::string& text)
{
  return std::regex_replace(text, std::regex("/(FST|IST|LNT|PGT|WTT)[0-9A-F]+\\.tmp"), "/$1#.tmp");
}

// Runs work with the program's temporary files in folder.
std::string inTempFolder(const std::string& folder, const std::function<std::string()>& work)
{
  TempFolder = folder;
  std::string result;
  try {
    result = work();
  } catch (const std::exception& e) {
    result = e.what();
  }
  TempFolder.clear();
  return anonymous(result);
}

bool waitFor(const std::function<bool()>& done)
{
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done() && std::chrono::steady_clock::now() < until) {
    platform::uiBridge().processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  platform::uiBridge().processMessages();
  return done();
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
      // WriteSaveOnExit in the settings file's own folder; WriteWorkspacePath
      // is the same writer (one key changed and committed).
      {"settings keys", {"QUILPRO.INI"},
       [](const std::string& dir) {
         const auto base = std::filesystem::path(dir).parent_path().parent_path();
         ::setenv("XDG_CONFIG_HOME", base.c_str(), 1);  // the fixture restores it
         return [] {
           SettingsUnwritableShown = false;
           SaveOnExit = true;
           return WriteSaveOnExit() ? std::string() : std::string("shown");
         };
       },
       [](const std::string& dir, FileOp op, int, int n) -> std::string {
         // The first close ends the probe that the folder takes the file.
         if (op == FileOp::Close && n == 2)
           return std::string();
         return "Could not write to configuration file " + dir + "QUILPRO.INI!";
       },
       "quillmar/"},
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
      // Raised through the comparison's own writer, which holds BusySaving.
      {"comparison report", {"comparison.txt"},
       [](const std::string& dir) {
         return [dir] {
           return raised([&] {
             TFileTextSink file(dir + "comparison.txt");
             const TCompRecords records = {{3, 0.5f, "alpha", 1, 0.1f, 2.5L}, {1, 0.2f, "beta", 4, 0.4f, 1.5L}};
             WriteComparison(records, file, false, ~0u, {});
           });
         };
       },
       [=](const std::string& dir, FileOp op, int err, int) {
         return sinkMessage(dir + "comparison.txt", op, err, 0);
       }},
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
      // The line, page and tracked-tag indexes of a corpus item built anew:
      // a failed pass leaves the item's old indexes in use and their files
      // as they were, and nothing of its own.
      {"tag scan indexes", {},
       [](const std::string& dir) {
         ConcordSettings.PageSeparator = "<pb>";
         WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>")};
         std::string text;
         for (int i = 0; i < 3000; ++i)
           text += "w <hi>x</hi> <pb>\r\n";
         const std::string name = std::filesystem::path(dir + "../item.txt").lexically_normal();
         std::ofstream(name, std::ios::binary) << text;
         static TCorpusFrame frame;
         TempFolder = dir + "../run/";
         LoadCorpusItems(frame, {name});
         TempFolder.clear();
         return [dir, name] {
           TCorpusItem& item = CorpusList[0];
           const auto entries = [&] {
             std::string out;
             for (const TIndexEntry* e : {&item.LineIndex, &item.PageIndex, &item.TagIndex})
               out += e->FileName + (e->Present() ? "+" : "-");
             return out;
           };
           const std::string old = entries();
           const auto files = snapshot(dir + "../run/");
           return inTempFolder(dir + "../run/", [&] {
             std::string error;
             int32_t words = 1;
             try {
               CollectTagInfo(name, true, words, false, true, true);
             } catch (const std::exception& e) {
               error = e.what();
             }
             if (!error.empty() && (entries() != old || snapshot(dir + "../run/") != files))
               return error + " (indexes changed)";
             if (error.empty() && (entries().find('-') != std::string::npos || entries() == old))
               return std::string("indexes not replaced");
             return error;
           });
         };
       },
       // The files are made page, line, tag index (a name, then the index
       // over it) and written line, page, tag; the later calls release the
       // old indexes once the new ones are in use.
       [](const std::string& dir, FileOp op, int, int n) -> std::string {
         const std::string run = dir + "../run/";
         static const char* const made[] = {"PGT", "LNT", "WTT"};
         if (op == FileOp::Create)
           return n % 3 == 1 ? "Unable to create a temporary file in " + run + "."
                             : "Unable to open file: " + run + made[n / 3 - 1] + "#.tmp.";
         if (op == FileOp::Write)
           return "Unable to write file: " + run + (n == 11 ? "PGT" : n == 12 ? "WTT" : "LNT") + "#.tmp.";
         return "";
       }},
      // The full text's line offsets, a temporary file of the run: counted
      // whole, or failed with the count not complete and the file gone.
      {"line offsets", {},
       [](const std::string& dir) {
         std::string text;
         for (int i = 0; i < 5000; ++i)
           text += "w" + std::to_string(i) + "\r\n";
         std::ofstream(dir + "../lines.txt", std::ios::binary) << text;
         auto stream = std::make_shared<TFileSynchroStream>(dir + "../lines.txt", CorpusFileMode);
         return [dir, stream] {
           return inTempFolder(dir + "../run/", [&] {
             std::string failure;
             std::atomic<bool> failed{false};
             std::string name;
             {
               TBufStream reader(stream.get());
               TFileStrings lines(stream.get(), &reader, {}, {}, [&](TFileStrings&, const std::string& m) {
                 failure = m;
                 failed.store(true);
               });
               name = lines.IndexFileName();
               // The failure event fires on the counting thread just after
               // the count shows as ended.
               if (!waitFor([&] { return !lines.IsCounting() && (lines.CountComplete() || failed.load()); }))
                 return std::string("still counting");
               if (lines.CountComplete() != failure.empty())
                 return failure + " (complete: " + std::to_string(lines.CountComplete()) + ")";
               if (failure.empty() && (lines.Count() != 5001 || lines.Get(4999) != "w4999"))
                 return std::string("wrong lines");
             }
             return std::filesystem::exists(name) ? "left " + name : failure;
           });
         };
       },
       [](const std::string& dir, FileOp op, int, int) -> std::string {
         if (op == FileOp::Create)
           return "Unable to create a temporary file in " + dir + "../run/.";
         if (op == FileOp::OpenWrite)
           return "Unable to open file: " + dir + "../run/FST#.tmp.";
         if (op == FileOp::Write)
           return "Unable to write the line offsets to " + dir + "../run/FST#.tmp.";
         return op == FileOp::Unlink ? "left " + dir + "../run/FST#.tmp" : "";
       }},
      // The body of a download as it arrives: a failed write ends it with
      // its error, never complete.
      {"live download body", {},
       [](const std::string& dir) {
         auto server = std::make_shared<testsupport::ScriptedServer>([](testsupport::ServerConnection& c, int) {
           if (c.ReadRequest().empty())
             return;
           c.Send("HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n");
           c.Trickle(std::string(300000, 'x'), 100000, std::chrono::milliseconds(1));
           c.WaitForClose();
         });
         return [dir, server] {
           return inTempFolder(dir + "../run/", [&] {
             std::string error;
             std::string name;
             {
               TInetSynchroStream s(server->Url("http", "/body"));
               name = s.FileName;
               if (!waitFor([&] { return s.Done(); }))
                 return std::string("never ended");
               error = s.ErrorMessage();
               if (s.Complete() == !error.empty())
                 return error + " (complete: " + std::to_string(s.Complete()) + ")";
               if (error.empty() && s.ReceivedBytes() != 300000)
                 return std::string("short body");
             }
             return std::filesystem::exists(name) ? "left " + name : error;
           });
         };
       },
       [](const std::string& dir, FileOp op, int, int) -> std::string {
         if (op == FileOp::Create)
           return "Unable to create a temporary file in " + dir + "../run/.";
         if (op == FileOp::OpenWrite)
           return "Unable to open file: " + dir + "../run/IST#.tmp.";
         if (op == FileOp::Write)
           return "Unable to write file: " + dir + "../run/IST#.tmp.";
         return op == FileOp::Unlink ? "left " + dir + "../run/IST#.tmp" : "";
       }},
  };
}

}  // namespace

TEST_P(SaveFaultsTest, EveryFailingCallKeepsTheOldFileAndTheSaveWorksAfter)
{
  const TSavePath& path = GetParam();
  const std::string dir = files.file(path.folder);
  std::filesystem::create_directory(dir);
  std::filesystem::create_directory(files.file("run/"));
  files.write("body.txt", "the downloaded text\r\n");
  const auto reset = [&] {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    for (const std::string& f : path.files)
      files.write(path.folder + f, "old " + f);
  };
  const auto action = path.make(dir);
  const auto save = [&]() -> std::string {
    const std::string text = action();
    return text == "shown" ? shown() : text;
  };

  reset();
  const auto before = snapshot(dir);
  // A failed assertion must not leave a plan over this frame's locals.
  struct Disarm {
    ~Disarm() { platform::setFileFaultPlan({}); }
  } disarm;
  std::set<FileOp> seen;
  std::mutex seenLock;
  platform::setFileFaultPlan([&](FileOp op, int) {
    std::lock_guard lock(seenLock);
    seen.insert(op);
    return platform::FaultNone;
  });
  ASSERT_EQ(save(), "");
  const int calls = platform::fileOpCalls();
  platform::setFileFaultPlan({});
  const auto after = snapshot(dir);
  // The data goes through the primitives, and so does the removal of a
  // temporary file.
  EXPECT_TRUE(seen.count(FileOp::Write));
  EXPECT_TRUE(!path.files.empty() || seen.count(FileOp::Unlink));
  if (!path.files.empty())
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
    // A fault the save may pass over (closing a probe) still gives the whole new file.
    EXPECT_EQ(snapshot(dir), message.empty() ? after : before);
    EXPECT_FALSE(IsBusy() || CollectingArrivingURL);
  }
  reset();
  EXPECT_EQ(save(), "");
  EXPECT_EQ(snapshot(dir), after);
}

TEST_P(SaveFaultsTest, AFullFileSystemRefusesTheSaveAndKeepsTheOldFile)
{
  const TSavePath& path = GetParam();
  const std::string dir = files.file(path.folder);
  std::filesystem::create_directory(dir);
  std::filesystem::create_directory(files.file("run/"));
  files.write("body.txt", "the downloaded text\r\n");
  for (const std::string& f : path.files)
    files.write(path.folder + f, "old " + f);
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
