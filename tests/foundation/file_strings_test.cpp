#include "foundation/file_strings.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "platform/codepage.h"
#include "support/corpus_fixture.h"
#include "support/double_byte_text.h"
#include "support/fake_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using testsupport::FakeDownload;

namespace {

// Line starts by the rule of the whole file: CR LF, a bare CR and a bare LF
// each end one line; the text after the last end is one more line.
std::vector<int32_t> referenceStarts(const std::string& s)
{
  std::vector<int32_t> starts;
  if (s.empty())
    return starts;
  int32_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\r' && s[i] != '\n')
      continue;
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
      ++i;
    starts.push_back(start);
    start = int32_t(i + 1);
  }
  starts.push_back(start);
  return starts;
}

std::string referenceText(const std::string& s, int32_t from, int32_t to)
{
  std::string out;
  for (int32_t i = from; i < to; ++i)
    if (s[size_t(i)] != '\r' && s[size_t(i)] != '\n')
      out += s[size_t(i)] == '\t' ? ' ' : s[size_t(i)];
  return out;
}

bool waitUntil(const std::function<bool()>& ready)
{
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!ready() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return ready();
}

void append(const std::string& file, const std::string& bytes)
{
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << bytes;
}

class FileStringsTest : public testsupport::CorpusFixture {
protected:
  // Counts the file to the end and checks every start and text against the
  // reference.
  void checkWholeFile(const std::string& bytes)
  {
    const std::string file = files.write("t.txt", bytes);
    TFileSynchroStream stream(file, CorpusFileMode);
    TBufStream reader(&stream);
    std::atomic<int> done{0};
    TFileStrings lines(&stream, &reader, {}, [&](TFileStrings&) { ++done; });
    // The event fires just after the count shows as ended.
    ASSERT_TRUE(waitUntil([&] { return !lines.IsCounting() && done > 0; }));
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(lines.CountComplete());
    const std::vector<int32_t> starts = referenceStarts(bytes);
    ASSERT_EQ(lines.Count(), int32_t(starts.size()));
    for (size_t i = 0; i < starts.size(); ++i) {
      ASSERT_EQ(lines.LineStart(int32_t(i)), starts[i]) << i;
      const int32_t end = i + 1 < starts.size() ? starts[i + 1] : int32_t(bytes.size());
      const std::string text = referenceText(bytes, starts[i], end);
      ASSERT_EQ(lines.Get(int32_t(i)), text) << i;
      // A part is read alone, with the length of the whole line.
      for (const auto& [from, count] : {std::pair{0, 1 << 30}, std::pair{1, 3}, std::pair{int32_t(text.size()) - 2, 5}}) {
        int32_t length = -1;
        ASSERT_EQ(lines.textPart(int32_t(i), from, count, length),
                  text.substr(size_t(std::clamp(from, 0, int32_t(text.size()))), size_t(count)))
            << i << " " << from;
        ASSERT_EQ(length, int32_t(text.size())) << i;
      }
    }
  }
};

struct LineEndCase {
  const char* Name;
  std::string Bytes;
  int32_t Lines;
};

class LineEnds : public FileStringsTest, public testing::WithParamInterface<LineEndCase> {};

const std::string k64(65536, 'x');

INSTANTIATE_TEST_SUITE_P(
    FileStrings, LineEnds,
    testing::Values(LineEndCase{"CrLf", "a\r\nb\r\nc\r\n", 4}, LineEndCase{"Lf", "a\nb\nc", 3},
                    LineEndCase{"Cr", "a\rb\r\rc\r", 5}, LineEndCase{"Mixed", "a\r\nb\nc\rd\n\re", 6},
                    LineEndCase{"LoneCrThenLf", "one\rtwo\nthree", 3}, LineEndCase{"NoBreak", "just one", 1},
                    LineEndCase{"Empty", "", 0}, LineEndCase{"Exactly64K", k64, 1},
                    LineEndCase{"Exactly64KFinalBreak", k64.substr(1) + "\n", 2},
                    LineEndCase{"PairSplitAt64K", k64.substr(1) + "\r\nnext", 2},
                    LineEndCase{"CrAt64KThenText", k64.substr(1) + "\rnext\n", 3},
                    LineEndCase{"LfAfterChunkCrThenLf", k64.substr(1) + "\r\n\n", 3},
                    LineEndCase{"TabsBecomeBlanks", "a\tb\r\n\tc", 2}),
    [](const testing::TestParamInfo<LineEndCase>& info) { return std::string(info.param.Name); });

TEST_P(LineEnds, CountsAndTextsFollowTheRuleOfTheWholeFile)
{
  checkWholeFile(GetParam().Bytes);
  EXPECT_EQ(int32_t(referenceStarts(GetParam().Bytes).size()), GetParam().Lines);
}

TEST_F(FileStringsTest, RandomTextsAcrossChunkEdgesMatchTheReference)
{
  std::mt19937 rng(25);
  const char alphabet[] = {'a', 'b', ' ', '\t', '\r', '\n'};
  for (int round = 0; round < 6; ++round) {
    std::string bytes(size_t(60000 + rng() % 150000), 'a');
    for (char& c : bytes)
      c = alphabet[rng() % (round % 2 ? 6 : 4) + (round % 2 ? 0 : 2)];
    checkWholeFile(bytes);
  }
}

TEST_F(FileStringsTest, ManyBlocksOfOffsetsAreWrittenAndReadBack)
{
  std::string bytes;
  for (int i = 0; i < 3 * TCountThread::PendingSize + 17; ++i)
    bytes += "line " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
  checkWholeFile(bytes);
  EXPECT_TRUE(tempFiles().empty());  // the offset file went with the list
}

TEST_F(FileStringsTest, DownloadIsCountedWhileItGrowsAndStallsAndEndsWhenDone)
{
  const std::string body = temp.write("DLD1.tmp", "");
  FakeDownload download(body, "http://host.example/t.txt", -1);
  TBufStream reader(&download);
  std::atomic<int> events{0};
  std::atomic<int> done{0};
  TFileStrings lines(&download, &reader, [&](TFileStrings&) { ++events; }, [&](TFileStrings&) { ++done; });

  append(body, "first\r\nsecond\r\nthi");
  ASSERT_TRUE(waitUntil([&] { return lines.Count() == 2; }));
  EXPECT_EQ(lines.Get(0), "first");
  EXPECT_EQ(lines.Get(1), "");  // its end is not known yet

  // A stalled download sleeps between reads instead of spinning.
  rusage before{};
  rusage after{};
  ::getrusage(RUSAGE_SELF, &before);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  ::getrusage(RUSAGE_SELF, &after);
  const auto cpuMs = [](const rusage& r) {
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
  };
  EXPECT_LT(cpuMs(after) - cpuMs(before), 100.0);
  EXPECT_TRUE(lines.IsCounting());

  append(body, "rd\r");
  ASSERT_TRUE(waitUntil([&] { return lines.Count() == 3; }));
  EXPECT_EQ(lines.Get(1), "second");
  append(body, "\nlast");
  download.done_ = true;
  ASSERT_TRUE(waitUntil([&] { return !lines.IsCounting() && done > 0; }));
  EXPECT_EQ(done, 1);
  EXPECT_EQ(lines.Count(), 4);  // the LF after the chunk's final CR ended nothing
  EXPECT_EQ(lines.Get(2), "third");
  EXPECT_EQ(lines.Get(3), "last");
  EXPECT_EQ(lines.GetFileSize(), 26);  // the data's end, not the unknown size
  EXPECT_GE(events, 3);  // one per read that brought line ends, and the last line's
}

TEST_F(FileStringsTest, DestroyingWhileCountingJoinsAndDeletesTheOffsetFile)
{
  const std::string body = temp.write("DLD2.tmp", "a\nb\n");
  auto download = std::make_unique<FakeDownload>(body, "http://host.example/t.txt", -1);
  TBufStream reader(download.get());
  std::atomic<int> events{0};
  std::atomic<bool> destroyed{false};
  std::atomic<bool> lateEvent{false};
  auto lines = std::make_unique<TFileStrings>(download.get(), &reader, [&](TFileStrings&) {
    ++events;
    if (destroyed)
      lateEvent = true;
  });
  const std::string offsets = lines->IndexFileName();
  ASSERT_TRUE(waitUntil([&] { return events == 1 && lines->Count() == 2; }));
  lines.reset();  // the download never ends: the thread waits in its sleep
  destroyed = true;
  EXPECT_FALSE(std::filesystem::exists(offsets));
  append(body, "c\nd\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_FALSE(lateEvent);
  download.reset();  // nothing reads the freed stream
}

TEST_F(FileStringsTest, AFailingOffsetWriteEndsTheCountWithTheLinesSoFar)
{
  std::string bytes;
  for (int i = 0; i < 2 * TCountThread::PendingSize + 5; ++i)
    bytes += "w" + std::to_string(i) + "\n";
  const std::string file = files.write("big.txt", bytes);
  TFileSynchroStream stream(file, CorpusFileMode);
  TBufStream reader(&stream);
  std::vector<std::string> failures;
  std::atomic<int> done{0};

  // Offset files may hold only part of one block.
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1000;
  ::setrlimit(RLIMIT_FSIZE, &small);
  {
    TFileStrings lines(&stream, &reader, {}, [&](TFileStrings&) { ++done; },
                       [&](TFileStrings&, const std::string& message) { failures.push_back(message); });
    ASSERT_TRUE(waitUntil([&] { return !lines.IsCounting(); }));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(lines.CountComplete());
    EXPECT_EQ(lines.Count(), TCountThread::PendingSize - 1);
    EXPECT_EQ(lines.Get(0), "w0");
    EXPECT_EQ(lines.Get(4094), "w4094");
  }
  EXPECT_EQ(done, 0);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("FST"), std::string::npos);
}

TEST_F(FileStringsTest, SuppressionLeavesOutTagsPartsOfSpeechAndWords)
{
  const std::string text = "one <b> two\tthree  four\r\n<i>x</i>";
  const std::string file = files.write("s.txt", text);
  TFileSynchroStream stream(file, CorpusFileMode);
  TBufStream reader(&stream);
  ConfigureBufStream(reader);
  TFileStrings lines(&stream, &reader);
  ASSERT_TRUE(waitUntil([&] { return !lines.IsCounting(); }));
  struct Row {
    std::array<bool, 3> Suppress;
    std::string First;
    std::string Second;
  };
  for (const Row& row : {Row{{false, false, false}, "one <b> two three  four", "<i>x</i>"},
                         Row{{true, false, false}, "one  two three  four", "x"},
                         Row{{false, false, true}, " <b>  ", "<i></i>"}}) {
    lines.Suppress = row.Suppress;
    EXPECT_EQ(lines.Get(0), row.First);
    EXPECT_EQ(lines.Get(1), row.Second);
    int32_t length = 0;
    EXPECT_EQ(lines.textPart(0, 2, 4, length), row.First.substr(2, 4));
    EXPECT_GE(length, int32_t(row.First.size()));
  }
}

// Parts far into a long line, read in any order and under each suppression,
// are the parts of the whole line's shown text.
TEST_F(FileStringsTest, PartsOfALongSuppressedLineAreTheWholeLinesParts)
{
  std::mt19937 rng(45);
  const char* pieces[] = {"word ", "<tag a=1> ", "said_VBD ", "\t", "  ", "x</b>"};
  std::string text;
  while (text.size() < 700000)
    text += pieces[rng() % 6];
  const std::string file = files.write("long.txt", text + "\r\nend");
  TFileSynchroStream stream(file, CorpusFileMode);
  TBufStream reader(&stream);
  ConfigureBufStream(reader);
  TFileStrings lines(&stream, &reader);
  ASSERT_TRUE(waitUntil([&] { return !lines.IsCounting(); }));
  for (const std::array<bool, 3> suppress : {std::array{true, false, false}, std::array{false, true, true},
                                             std::array{true, true, false}}) {
    lines.Suppress = suppress;
    const std::string whole = lines.Get(0);
    lines.ClassificationChanged();
    for (int i = 0; i < 12; ++i) {
      const auto from = int32_t(rng() % (whole.size() + 10));
      int32_t length = 0;
      ASSERT_EQ(lines.textPart(0, from, 300, length), whole.substr(std::min<size_t>(from, whole.size()), 300))
          << "from " << from;
    }
  }
}

// A file stream that is read, never mapped, and counts the bytes read.
class CountingStream : public TFileSynchroStream {
public:
  using TFileSynchroStream::TFileSynchroStream;
  std::atomic<int64_t> Bytes{0};
  int MappableHandle() override { return -1; }
  int32_t Read(void* buffer, int32_t count) override
  {
    const int32_t got = TFileSynchroStream::Read(buffer, count);
    Bytes += std::max(got, 0);
    return got;
  }
};

// Parts of a 300 KB suppressed line between short lines (one before it, 20
// after it).
class SuppressedLine : public FileStringsTest {
protected:
  void SetUp() override
  {
    FileStringsTest::SetUp();
    std::mt19937 rng(50);
    const char* pieces[] = {"word ", "<tag a=1> ", "[x] ", "said_VBD ", "\t"};
    std::string text;
    while (text.size() < 300000)
      text += pieces[rng() % 5];
    stream = std::make_unique<CountingStream>(files.write("s.txt", "a\r\n" + text + std::string(20, '\n') + "b"), CorpusFileMode);
    reader = std::make_unique<TBufStream>(stream.get());
    ConfigureBufStream(*reader);
    lines = std::make_unique<TFileStrings>(stream.get(), reader.get());
    ASSERT_TRUE(waitUntil([&] { return !lines->IsCounting(); }));
    lines->Suppress = {true, false, false};
  }
  // 300 bytes of line 1 far in, read before the whole line is.
  void expectFarPart()
  {
    int32_t length = 0;
    const std::string part = lines->textPart(1, 100000, 300, length);
    EXPECT_EQ(part, lines->Get(1).substr(100000, 300));
  }
  std::unique_ptr<CountingStream> stream;
  std::unique_ptr<TBufStream> reader;
  std::unique_ptr<TFileStrings> lines;
};

TEST_F(SuppressedLine, KeepsItsMarksAndShownLengthWhileShortLinesAreRead)
{
  int32_t length = 0;
  lines->textPart(1, 0, 300, length);
  EXPECT_GT(length, 300000);  // the line's bytes until it is read to its end
  const std::string whole = lines->Get(1);
  lines->textPart(1, 0, 300, length);
  EXPECT_EQ(length, int32_t(whole.size()));
  for (int32_t i : {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 21})
    lines->Get(i);
  stream->Bytes = 0;
  const auto from = int32_t(whole.size() * 4 / 5);
  EXPECT_EQ(lines->textPart(1, from, 300, length), whole.substr(size_t(from), 300));
  EXPECT_LT(stream->Bytes, 65536);  // from the mark before the part
}

TEST_F(SuppressedLine, PartsFollowASwitchOfSuppressionOrOfTheTagSettings)
{
  lines->Get(1);  // marks all along the line
  lines->Suppress = {false, false, true};
  expectFarPart();
  lines->Suppress = {true, false, false};
  lines->Get(1);
  ConcordSettings.TagStart = '[';
  ConcordSettings.TagStop = ']';
  ConfigureBufStream(*reader);
  lines->ClassificationChanged();
  expectFarPart();
}

// Long lines of double-byte text (testsupport::doubleByteText).
struct DoubleByteRow {
  int32_t Language;
  bool Runs;
  bool SuppressTags;
};

class DoubleByteLine : public FileStringsTest, public testing::WithParamInterface<DoubleByteRow> {
protected:
  void TearDown() override
  {
    SetTextLanguage(0x409);
    BuildCharTables();
    FileStringsTest::TearDown();
  }
};

INSTANTIATE_TEST_SUITE_P(Pages, DoubleByteLine,
                         testing::Values(DoubleByteRow{0x411, true, false}, DoubleByteRow{0x411, false, true},
                                         DoubleByteRow{0x804, true, true}, DoubleByteRow{0x804, false, false}));

TEST_P(DoubleByteLine, CharacterStartsFarInAreFoundReadingAboutOneMarkStep)
{
  SetTextLanguage(GetParam().Language);
  BuildCharTables();
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  ASSERT_TRUE(cp.dbcs);
  std::mt19937 rng(48);
  const std::string file = files.write("d.txt", "a\r\n" + testsupport::doubleByteText(cp, GetParam().Runs, 600000, rng));
  CountingStream stream(file, CorpusFileMode);
  TBufStream reader(&stream);
  ConfigureBufStream(reader);
  TFileStrings lines(&stream, &reader);
  ASSERT_TRUE(waitUntil([&] { return !lines.IsCounting(); }));
  lines.Suppress = {GetParam().SuppressTags, false, false};
  const std::string shown = lines.Get(1);
  std::vector<bool> starts(shown.size(), false);
  for (size_t i = 0; i < shown.size(); i += platform::charBytesAt(cp, shown, i))
    starts[i] = true;
  int trails = 0;
  for (int i = 0; i < 40; ++i) {
    const auto pos = int32_t(shown.size() / 4 + rng() % (shown.size() * 3 / 4));
    stream.Bytes = 0;
    EXPECT_EQ(lines.charStart(1, pos, cp), starts[size_t(pos)] ? pos : pos - 1) << pos;
    EXPECT_LT(stream.Bytes, 2 * 65536) << pos;
    trails += starts[size_t(pos)] ? 0 : 1;
  }
  EXPECT_GT(trails, 4);
}

TEST_F(FileStringsTest, EditingIsRefusedWithItsMessages)
{
  const std::string file = files.write("e.txt", "x");
  TFileSynchroStream stream(file, CorpusFileMode);
  TBufStream reader(&stream);
  TFileStrings lines(&stream, &reader);
  const auto message = [](const std::function<void()>& edit) {
    try {
      edit();
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(message([&] { lines.Clear(); }), "\"Clear\" method is invalid for TFileStrings.");
  EXPECT_EQ(message([&] { lines.Delete(0); }), "\"Delete\" method is invalid for TFileStrings.");
  EXPECT_EQ(message([&] { lines.Insert(0, "y"); }), "\"Insert\" method is invalid for TFileStrings.");
}

}  // namespace
