// Regex mode of FindNextHit through a compiled search context, as the corpus
// scan drives it.
#include "search/search_context.h"

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "search/sentence.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using testsupport::ScratchFolder;

namespace {

class Owner : public TSearchOwner {
public:
  void ProcessMessages() override { ++pumps; }
  bool CancelPressed() override { return cancel; }
  void UpdateProgress(int32_t position, bool forced) override { progress.emplace_back(position, forced); }

  bool cancel = false;
  int pumps = 0;
  std::vector<std::pair<int32_t, bool>> progress;
};

using Hits = std::vector<std::pair<int32_t, int32_t>>;

class RegexScanTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    SetTextLanguage(0x409);
    ConcordSettings.NonWordChars = ".,;:!?";
    ConcordSettings.WildCard0orMore = '*';
    ConcordSettings.WildCard0or1 = '%';
    ConcordSettings.WildCardExactly1 = '~';
    ConcordSettings.IgnoreCase = true;
    BuildCharTables();
    SentDelimitersExcepts.clear();
  }
  void TearDown() override { InitProgramState(); }

  std::unique_ptr<TSearchContext> Context(const std::string& pattern, const std::string& skip = "")
  {
    TCharSet skipSet;
    for (char c : skip)
      skipSet.set(static_cast<unsigned char>(c));
    auto context = std::make_unique<TSearchContext>(pattern, false, "", skipSet, TSearchMode::Regex);
    context->Owner = &owner_;
    return context;
  }
  TBufStream& open(const std::string& text)
  {
    stream_ = std::make_unique<TFileSynchroStream>(dir_.write("corpus.txt", text), CorpusFileMode);
    reader_ = std::make_unique<TBufStream>(stream_.get());
    return *reader_;
  }
  Hits all(TSearchContext& context, TBufStream& reader)
  {
    Hits hits;
    while (context.FindNextHit(reader, true)) {
      EXPECT_EQ(reader.GetPosition(), context.HitEnd);
      hits.emplace_back(context.HitStart, context.HitEnd);
    }
    return hits;
  }

  ScratchFolder dir_;
  std::unique_ptr<TFileSynchroStream> stream_;
  std::unique_ptr<TBufStream> reader_;
  Owner owner_;
};

TEST_F(RegexScanTest, HitsOfACompiledPattern)
{
  TBufStream& reader = open("The cat.\r\nA CAT sat; the\r\ncat ran.");
  auto context = Context("the\\s+cat");
  EXPECT_EQ(all(*context, reader), (Hits{{0, 7}, {21, 29}}));
  EXPECT_TRUE(owner_.NoRate);
  // Progress is reported with each window and with each hit's start.
  const auto& p = owner_.progress;
  EXPECT_NE(std::find(p.begin(), p.end(), std::make_pair(21, false)), p.end());
  EXPECT_NE(std::find(p.begin(), p.end(), std::make_pair(0, true)), p.end());

  // Skipping characters come from the context.
  open("co-operate cooperate");
  auto skipping = Context("coop", "-");
  EXPECT_EQ(all(*skipping, *reader_), (Hits{{0, 5}, {11, 15}}));
}

TEST_F(RegexScanTest, RangesAndReadersChangeBetweenCalls)
{
  // The heading and context loops restrict the scanner to new ranges; the
  // same context then searches each afresh.
  TBufStream& reader = open("ab ab | ab ab | ab");
  auto context = Context("ab");
  reader.SetRange(0, 7);
  EXPECT_EQ(all(*context, reader), (Hits{{0, 2}, {3, 5}}));
  reader.SetRange(8, 15);
  EXPECT_EQ(all(*context, reader), (Hits{{8, 10}, {11, 13}}));
  reader.SetRange(4, 18);
  ASSERT_TRUE(context->FindNextHit(reader, false));
  EXPECT_EQ(context->HitStart, 8);
  // Another reader over another file, at the same positions.
  ScratchFolder other;
  TFileSynchroStream stream(other.write("b.txt", "xx ab ab | ab"), CorpusFileMode);
  TBufStream second(&stream);
  second.SetRange(4, 13);
  EXPECT_EQ(all(*context, second), (Hits{{6, 8}, {11, 13}}));
}

TEST_F(RegexScanTest, CancelStopsTheScan)
{
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "word ";
  TBufStream& reader = open(text + "target");
  auto context = Context("target");
  owner_.cancel = true;
  EXPECT_FALSE(context->FindNextHit(reader, true));
  EXPECT_TRUE(owner_.Stopped);
  EXPECT_EQ(owner_.RegexGiveUps, 0);
}

TEST_F(RegexScanTest, SentenceTestOnTheContextsReader)
{
  // The run gives the context its hit reader for the test.
  open("It is the end. Then we go.");
  TFileSynchroStream stream(dir_.file("corpus.txt"), CorpusFileMode);
  TBufStream hitReader(&stream);
  auto within = Context("the end");
  ASSERT_TRUE(within->FindNextHit(*reader_, true));
  EXPECT_EQ(within->HitStart, 6);
  within->Reader = &hitReader;
  EXPECT_FALSE(CrossesSentence(*within, within->HitStart, within->HitEnd));
  auto across = Context("end\\. then");
  reader_->SetRange(0, reader_->RangeEnd());
  ASSERT_TRUE(across->FindNextHit(*reader_, true));
  across->Reader = &hitReader;
  EXPECT_TRUE(CrossesSentence(*across, across->HitStart, across->HitEnd));
  EXPECT_EQ(reader_->GetPosition(), across->HitEnd);
}

}  // namespace
