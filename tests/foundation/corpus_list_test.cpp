#include "foundation/corpus_list.h"

#include "foundation/abort.h"
#include "foundation/program_state.h"
#include "foundation/tag_scan.h"
#include "support/corpus_fixture.h"
#include "support/fake_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>

using testsupport::CorpusFixture;
using testsupport::FakeDownload;
using testsupport::ScratchFolder;

namespace {

class CorpusTest : public CorpusFixture {
protected:
  std::string corpusFile(const std::string& name, const std::string& text) { return files.write(name, text); }
};

std::vector<int32_t> rows(TIndexedStream& index)
{
  std::vector<int32_t> out;
  for (int32_t r = 0; r < index.RowCount(); ++r)
    out.push_back(index.ValueAt(r, 0));
  return out;
}

}  // namespace

TEST_F(CorpusTest, LoadingOpensItemsAndCollectsIndexesAndCounts)
{
  ConcordSettings.PageSeparator = "<pb>";
  WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>"), TWatchedTag::Make("p", "p", "")};
  const std::string a = corpusFile("a.txt", "<p n=1>One two\r\nthree <hi>four</hi>\r\n<pb>five");
  const std::string b = corpusFile("b.txt", "six seven\neight\n");
  std::vector<std::pair<TCorpusChange, int32_t>> changes;
  const int id = CorpusList.AddListener([&](TCorpusChange c, int32_t i) { changes.emplace_back(c, i); });

  // A relative name is made absolute; the corpus folder follows it.
  const std::string cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(files.path());
  LoadCorpusItems(frame, {a, "./b.txt"});
  std::filesystem::current_path(cwd);
  CorpusList.RemoveListener(id);

  ASSERT_EQ(CorpusList.Count(), 2);
  EXPECT_EQ(CorpusList[0].Name, a);
  EXPECT_EQ(CorpusList[1].Name, b);
  EXPECT_EQ(CorpusPath, files.path());
  EXPECT_EQ(frame.Calls, (std::vector<std::string>{"show " + a}));
  EXPECT_EQ(sink.Calls, (std::vector<std::string>{"close: 4", "close: 4"}));  // word-list windows
  EXPECT_EQ(changes.size(), 2u);
  EXPECT_TRUE(errors().empty());

  TCorpusItem& first = CorpusList[0];
  EXPECT_EQ(first.WordCount, 5);
  ASSERT_TRUE(first.LineIndex.Present());
  EXPECT_EQ(rows(*first.LineIndex.Index), (std::vector<int32_t>{0, 14, 35}));
  EXPECT_EQ(rows(*first.PageIndex.Index), (std::vector<int32_t>{0, 37}));
  ASSERT_TRUE(first.TagIndex.Present());
  EXPECT_EQ(first.TagIndex.Index->Columns(), 2);
  EXPECT_EQ(first.TagIndex.Index->ValueAt(0, 1), 0);   // <p n=1>
  EXPECT_EQ(first.TagIndex.Index->ValueAt(0, 0), 22);  // <hi>
  EXPECT_TRUE(first.LineIndex.Index->TempCopy);
  EXPECT_EQ(CorpusList[1].WordCount, 3);
  EXPECT_EQ(TotalWordCount, 8);
  EXPECT_EQ(frame.Info, std::to_string(std::filesystem::file_size(a) + std::filesystem::file_size(b)) +
                          " bytes, 2 files");
  // Six index files, all in the temp folder, named by kind.
  const auto names = tempFiles();
  ASSERT_EQ(names.size(), 6u);
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.rfind("LNT", 0) == 0; }),
            2);
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.rfind("WTT", 0) == 0; }),
            2);
}

TEST_F(CorpusTest, SkippedInputsKeepTheFlagsOfTheOthers)
{
  const std::string a = corpusFile("a.txt", "alpha beta");
  const std::string bin = corpusFile("bin.dat", std::string("\x01\x02\x03\x04\x05\x06 text", 12));
  const std::string c = corpusFile("c.txt", "gamma");
  dialogs.Answers = {mrCancel, mrOk};  // the question, then the error box at the end
  const std::vector<std::string> flags = {"", "", "", "", "W.9 "};
  LoadCorpusItems(frame, {files.file("missing.txt"), a, a, bin, c}, &flags);

  ASSERT_EQ(CorpusList.Names(), (std::vector<std::string>{a, c}));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Unable to open file: " + files.file("missing.txt") + "."}));
  EXPECT_EQ(questions(), (std::vector<std::string>{bin + "\r\ndoes not seem to be a text file. Open anyway?"}));
  // The first input was not added, so no full text opens; the duplicate
  // brings the first copy forward.
  EXPECT_EQ(std::count(frame.Calls.begin(), frame.Calls.end(), "show " + a), 1);
  EXPECT_EQ(CorpusList[1].Flags, "W.9 ");
  EXPECT_EQ(CorpusList[1].WordCount, 1);  // W alone does not spare the scan, which recounts
}

TEST_F(CorpusTest, OnlyRegularFilesAreOpenedAndOthersAreRefusedAtOnce)
{
  // Nobody writes to the FIFO: an open that waited for a writer would hang.
  const std::string fifo = files.file("pipe.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (std::string name : {fifo, std::string("/dev/zero")}) {
    EXPECT_FALSE(AddCorpusItem(frame, name, "")) << name;
    EXPECT_EQ(errors().back(), "Unable to open file: " + name + ".");
  }
  // A sparse file of 2 GiB reads as NUL bytes, no text: its size refuses it
  // before any question is asked.
  std::string big = files.write("big.txt", "");
  std::filesystem::resize_file(big, uintmax_t(1) << 31);
  EXPECT_FALSE(AddCorpusItem(frame, big, ""));
  EXPECT_EQ(errors().back(), "File is too large (2 GB or more): " + big + ".");
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_TRUE(questions().empty());
}

TEST_F(CorpusTest, UntrustedNamesAreRefusedBeforeAnyStreamIsMade)
{
  std::string file = files.file("bad\x07name.txt");
  std::string url = "http://host/a\tb";
  EXPECT_FALSE(AddCorpusItem(frame, file, ""));
  EXPECT_FALSE(AddCorpusItem(frame, url, ""));
  EXPECT_EQ(errors(), (std::vector<std::string>{"Unable to open file: " + file + ".",
                                              "Bad or incomplete URL: http://host/a\tb."}));
  // Until the download client exists, URLs are refused like a failed open.
  std::string plain = "http://example.org/text.txt";
  EXPECT_FALSE(AddCorpusItem(frame, plain, ""));
  EXPECT_EQ(errors().back(), "Unable to open file: http://example.org/text.txt.");
  EXPECT_TRUE(CorpusList.Empty());
}

TEST_F(CorpusTest, GetFlagValueTakesTheFirstEntryOfALetter)
{
  const std::string flags = "L.12 P.3 T.ab W.1000 L.99 ";
  for (auto [letter, value] : std::vector<std::pair<char, std::string>>{{'L', "12"}, {'W', "1000"}, {'U', ""}})
    EXPECT_EQ(GetFlagValue(letter, flags), value) << letter;
  EXPECT_EQ(GetFlagValue('T', "T.x"), "x");
  for (const std::string& unsafe : {std::string("U.../etc/passwd "), std::string("U.a\x01") + "b "})
    EXPECT_EQ(GetFlagValue('U', unsafe), "");
}

TEST_F(CorpusTest, RemovalDeletesOnlyTheProgramsOwnFiles)
{
  ConcordSettings.PageSeparator = "<pb>";
  WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>")};
  const std::string a = corpusFile("a.txt", "one <pb> two\r\n");
  const std::string b = corpusFile("b.txt", "three\r\n");
  LoadCorpusItems(frame, {a, b});
  ASSERT_EQ(tempFiles().size(), 6u);
  frame.Calls.clear();
  sink.Calls.clear();

  RemoveCorpusItem(frame, 0);
  EXPECT_EQ(frame.Calls, (std::vector<std::string>{"close " + a}));
  EXPECT_EQ(sink.Calls, (std::vector<std::string>{"close: 4"}));
  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{b}));
  EXPECT_EQ(tempFiles().size(), 3u);
  EXPECT_EQ(TotalWordCount, 1);

  RemoveCorpusItem(frame, 0);
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_TRUE(tempFiles().empty());
  EXPECT_EQ(TotalWordCount, 0);
  // The corpus files themselves stay.
  EXPECT_EQ(files.names(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(CorpusTest, DroppingTagIndexesClearsEveryItemAndKeepsTheOtherIndexes)
{
  ConcordSettings.PageSeparator = "<pb>";
  WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>")};
  LoadCorpusItems(frame, {corpusFile("a.txt", "<hi>one</hi> <pb>\r\n"), corpusFile("b.txt", "<hi>two\r\n"),
                          corpusFile("c.txt", "three <hi>\r\n")});
  ASSERT_EQ(tempFiles().size(), 9u);
  auto tagFiles = [&] {
    const auto names = tempFiles();
    return std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.rfind("WTT", 0) == 0; });
  };
  ASSERT_EQ(tagFiles(), 3);

  DropTagIndexes();
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    EXPECT_FALSE(CorpusList[i].TagIndex.Present()) << i;
    EXPECT_EQ(CorpusList[i].TagIndex.FileName, "") << i;
    EXPECT_TRUE(CorpusList[i].LineIndex.Present()) << i;
    EXPECT_TRUE(CorpusList[i].PageIndex.Present()) << i;
  }
  EXPECT_EQ(tagFiles(), 0);
  EXPECT_EQ(tempFiles().size(), 6u);
}

TEST_F(CorpusTest, WorkspaceFlagsReopenSavedIndexesInsteadOfScanning)
{
  ConcordSettings.PageSeparator = "<pb>";
  const std::string a = corpusFile("a.txt", "one two\r\nthree <pb> four\r\n");
  LoadCorpusItems(frame, {a});
  ScratchFolder workspace;
  CorpusList[0].LineIndex.Index->SaveIndex(workspace.file("1.tmp"));
  CorpusList[0].PageIndex.Index->SaveIndex(workspace.file("2.tmp"));
  UnloadCorpus(frame);
  ASSERT_TRUE(tempFiles().empty());

  WorkspaceFolder = workspace.path();
  FrequencySettings.ScanTextsOnLoad = true;
  const std::vector<std::string> flags = {"L.1 P.2 W.4 "};
  LoadCorpusItems(frame, {a}, &flags);
  ASSERT_EQ(CorpusList.Count(), 1);
  TCorpusItem& item = CorpusList[0];
  EXPECT_TRUE(tempFiles().empty());  // nothing scanned: no tracked tags, so no T needed
  EXPECT_EQ(item.WordCount, 4);
  EXPECT_TRUE(item.LineIndex.Index->Saved);
  EXPECT_EQ(item.LineIndex.FileName, workspace.file("1.tmp"));
  EXPECT_EQ(rows(*item.PageIndex.Index), (std::vector<int32_t>{0, 15}));
  EXPECT_FALSE(CorpusFreqList);
  EXPECT_TRUE(FrequencySettings.ScanTextsOnLoad);  // restored after the pass

  // Removing the item keeps the workspace's files.
  RemoveCorpusItem(frame, 0);
  EXPECT_EQ(workspace.names(), (std::vector<std::string>{"1.tmp", "1H.tmp", "2.tmp", "2H.tmp"}));

  // A damaged header is reported and that index is built anew; a W value
  // that is no count makes the scan count.
  workspace.write("2H.tmp", "IDXS");
  const std::vector<std::string> flags2 = {"L.1 P.2 W.x4 "};
  LoadCorpusItems(frame, {a}, &flags2);
  EXPECT_EQ(errors(), (std::vector<std::string>{"Invalid index file: " + workspace.file("2.tmp")}));
  EXPECT_TRUE(CorpusList[0].LineIndex.Index->Saved);
  EXPECT_TRUE(CorpusList[0].PageIndex.Index->TempCopy);
  EXPECT_EQ(CorpusList[0].WordCount, 4);
  EXPECT_EQ(tempFiles().size(), 1u);
}

TEST_F(CorpusTest, CountingWhileLoadingBuildsTheListOnlyForAWholeScan)
{
  FrequencySettings.ScanTextsOnLoad = true;
  const std::string a = corpusFile("a.txt", "The cat the dog");
  const std::string b = corpusFile("b.txt", "a cat");
  LoadCorpusItems(frame, {a, b});
  ASSERT_TRUE(CorpusFreqList);
  EXPECT_EQ(CorpusFreqList->CountOf("the"), 2);
  EXPECT_EQ(CorpusFreqList->CountOf("cat"), 2);
  EXPECT_EQ(CorpusInfoText(), "6 words, 4 types");

  // Adding to a loaded corpus drops the list and builds none.
  const std::string c = corpusFile("c.txt", "more words");
  LoadCorpusItems(frame, {c});
  EXPECT_FALSE(CorpusFreqList);
  EXPECT_EQ(TotalWordCount, 8);
}

TEST_F(CorpusTest, CancelEndsOneItemOrAllOfThem)
{
  FrequencySettings.ScanTextsOnLoad = true;
  WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>")};
  const std::string a = corpusFile("a.txt", "alpha\r\n");
  const std::string b = corpusFile("b.txt", "beta gamma\r\n");
  const std::string c = corpusFile("c.txt", "delta\r\n");

  // Cancel on the first item: it keeps no index and no count, the others
  // are scanned; the partial word list is dropped.
  cancelWhenScanning(a, ProgressCancel);
  LoadCorpusItems(frame, {a, b, c});
  EXPECT_FALSE(TagScanCancelled);
  EXPECT_FALSE(CorpusList[0].LineIndex.Present());
  EXPECT_EQ(CorpusList[0].LineIndex.FileName, " ");
  EXPECT_EQ(CorpusList[0].WordCount, 0);
  EXPECT_TRUE(CorpusList[1].LineIndex.Present());
  EXPECT_EQ(CorpusList[1].WordCount, 2);
  EXPECT_EQ(CorpusList[2].WordCount, 1);
  EXPECT_FALSE(CorpusFreqList);
  EXPECT_EQ(TotalWordCount, 0);
  EXPECT_EQ(tempFiles().size(), 6u);
  UnloadCorpus(frame);

  // Cancel All on the second item: the rest is not scanned.
  cancelWhenScanning(b, ProgressCancelAll);
  LoadCorpusItems(frame, {a, b, c});
  EXPECT_TRUE(TagScanCancelled);
  EXPECT_EQ(CorpusList[0].WordCount, 1);
  EXPECT_FALSE(CorpusList[1].LineIndex.Present());
  EXPECT_FALSE(CorpusList[2].LineIndex.Present());
  EXPECT_EQ(tempFiles().size(), 3u);

  // Cancel in a single-file pass sets the flag too.
  TagScanCancelled = false;
  cancelWhenScanning(b, ProgressCancel);
  int32_t words = 0;
  EXPECT_EQ(CollectTagInfo(b, true, words, false, true, true), TTagScanResult::Cancelled);
  EXPECT_TRUE(TagScanCancelled);
  EXPECT_EQ(CollectTagInfo(b, true, words, false, true, true), TTagScanResult::Skipped);
  EXPECT_EQ(tempFiles().size(), 3u);
}

TEST_F(CorpusTest, DownloadsAreScannedAsTheyArrive)
{
  const std::string body = temp.write("IST1.tmp", "");
  const std::string text = "first words\r\n" + std::string(70000, 'x') + " last\r\n";
  FakeDownload* live = nullptr;
  SetDownloadFactory([&](const std::string& url) {
    auto d = std::make_unique<FakeDownload>(body, url + "/index.txt", -1);
    live = d.get();
    return d;
  });
  // Each poll lets another piece arrive, until the download is done.
  size_t sent = 0;
  onPump = [&](int) {
    if (live && sent < text.size()) {
      const size_t n = std::min<size_t>(9000, text.size() - sent);
      std::ofstream(body, std::ios::binary | std::ios::app).write(text.data() + sent, std::streamsize(n));
      sent += n;
    } else if (live) {
      live->done_ = true;
    }
  };
  LoadCorpusItems(frame, {"http://host.example"});
  ASSERT_EQ(CorpusList.Count(), 1);
  TCorpusItem& item = CorpusList[0];
  EXPECT_EQ(item.Name, "http://host.example/index.txt");
  EXPECT_EQ(item.WordCount, 4);
  EXPECT_EQ(rows(*item.LineIndex.Index), (std::vector<int32_t>{0, 11, int32_t(text.size()) - 2}));
  EXPECT_FALSE(TotalCorpusSize());  // a download of unknown size
  EXPECT_EQ(CorpusInfoText(), "");
  EXPECT_TRUE(questions().empty());  // no text-file question for URLs

  // A second URL redirected to the first is a duplicate; its body goes.
  const std::string body2 = temp.write("IST2.tmp", "x");
  SetDownloadFactory([&](const std::string&) {
    return std::make_unique<FakeDownload>(body2, "http://host.example/index.txt", 1);
  });
  std::string other = "http://other.example";
  EXPECT_FALSE(AddCorpusItem(frame, other, ""));
  EXPECT_EQ(other, "http://host.example/index.txt");
  EXPECT_FALSE(std::filesystem::exists(body2));

  // Removal deletes the download body with the indexes.
  RemoveCorpusItem(frame, 0);
  EXPECT_TRUE(tempFiles().empty());
}

// A download whose bytes come only while its own wait runs; where nobody
// waits on it, it gives up after some looks at Done().
class WaitingDownload : public FakeDownload {
public:
  using FakeDownload::FakeDownload;
  bool WaitForPosition(int32_t) override
  {
    arrive();
    return true;
  }
  bool Done() const override { return done_ || ++looks_ > 40; }
  std::function<void()> arrive;

private:
  mutable int looks_ = 0;
};

TEST_F(CorpusTest, TheLoadScanWaitsThroughTheDownloadsOwnWait)
{
  const std::string body = temp.write("IST1.tmp", "");
  const std::string text = "first words\r\n" + std::string(70000, 'x') + " last\r\n";
  SetDownloadFactory([&](const std::string& url) {
    auto d = std::make_unique<WaitingDownload>(body, url, -1);
    d->arrive = [&text, &body, sent = size_t(0), d = d.get()]() mutable {
      const size_t n = std::min<size_t>(20000, text.size() - sent);
      std::ofstream(body, std::ios::binary | std::ios::app).write(text.data() + sent, std::streamsize(n));
      sent += n;
      d->done_ = sent == text.size();
    };
    return d;
  });
  LoadCorpusItems(frame, {"http://host.example/w"});
  ASSERT_EQ(CorpusList.Count(), 1);
  EXPECT_EQ(CorpusList[0].WordCount, 4);
  EXPECT_EQ(rows(*CorpusList[0].LineIndex.Index), (std::vector<int32_t>{0, 11, int32_t(text.size()) - 2}));
}

TEST_F(CorpusTest, KeptCopiesOpenFromTheWorkspaceAndReloadDownloadsAgain)
{
  ScratchFolder workspace;
  WorkspaceFolder = workspace.path();
  const std::string kept = workspace.write("5.tmp", "kept copy text\r\n");
  const std::vector<std::string> flags = {"U.5 ", "U.6 "};
  std::vector<std::string> requested;
  SetDownloadFactory([&](const std::string& url) {
    requested.push_back(url);
    const std::string body = temp.write("IST" + std::to_string(requested.size()) + ".tmp", "fresh text\r\n");
    auto d = std::make_unique<FakeDownload>(body, url, 12);
    d->done_ = true;
    return d;
  });
  LoadCorpusItems(frame, {"http://a.example/x", "http://b.example/y"}, &flags);

  ASSERT_EQ(CorpusList.Count(), 2);
  auto* keptStream = dynamic_cast<TFileSynchroStream*>(CorpusList[0].Source.get());
  ASSERT_NE(keptStream, nullptr);
  EXPECT_EQ(dynamic_cast<TDownloadStream*>(keptStream), nullptr);
  EXPECT_TRUE(keptStream->Saved);
  EXPECT_EQ(keptStream->FileName, kept);
  // The second copy is missing: its error is shown and the URL downloaded.
  EXPECT_EQ(errors(), (std::vector<std::string>{"Unable to open file: " + workspace.file("6.tmp") + "."}));
  EXPECT_EQ(requested, (std::vector<std::string>{"http://b.example/y"}));
  EXPECT_EQ(CorpusList[0].WordCount, 3);

  ReloadCorpusItem(frame, {1, 0});
  EXPECT_EQ(requested, (std::vector<std::string>{"http://b.example/y", "http://a.example/x"}));
  TCorpusItem& reloaded = CorpusList[0];
  EXPECT_NE(dynamic_cast<TDownloadStream*>(reloaded.Source.get()), nullptr);
  EXPECT_EQ(reloaded.WordCount, 0);
  EXPECT_FALSE(reloaded.LineIndex.Present());
  EXPECT_EQ(reloaded.LineIndex.FileName, "");
  EXPECT_TRUE(std::filesystem::exists(kept));  // the workspace's copy stays
  EXPECT_EQ(TotalWordCount, 0);
}

TEST_F(CorpusTest, WordTotalsAndCorpusInfo)
{
  UpdateWordTotal(frame);
  EXPECT_EQ(TotalWordCount, 0);
  EXPECT_EQ(TotalCorpusSize(), 0);
  EXPECT_EQ(CorpusInfoText(), "0 bytes, 0 files");

  const std::string a = corpusFile("a.txt", std::string(1536, 'a'));
  LoadCorpusItems(frame, {a});
  EXPECT_EQ(frame.Info, "1.50 kbytes, 1 file");
  EXPECT_EQ(TotalWordCount, 1);
  ResetWordCounts(frame);
  EXPECT_EQ(CorpusList[0].WordCount, 0);
  EXPECT_EQ(TotalWordCount, 0);
}

TEST_F(CorpusTest, AnItemRemovedWhileItIsScannedLeavesNothingBehind)
{
  FrequencySettings.ScanTextsOnLoad = true;
  const std::string a = corpusFile("a.txt", "alpha beta\r\n");
  const std::string b = corpusFile("b.txt", "gamma\r\n");
  bool removed = false;
  onPump = [&](int) {
    ProgressDialog* p = ProgressDialog::Topmost();
    if (!removed && p && p->ProgressLabel() == a) {
      removed = true;
      RemoveCorpusItem(frame, CorpusList.IndexOf(a));
    }
  };
  LoadCorpusItems(frame, {a, b});
  ASSERT_EQ(CorpusList.Names(), (std::vector<std::string>{b}));
  EXPECT_EQ(CorpusList[0].WordCount, 1);
  EXPECT_EQ(tempFiles().size(), 2u);  // b's line and page indexes
  EXPECT_FALSE(CorpusFreqList);       // the list would miss a's words
}
