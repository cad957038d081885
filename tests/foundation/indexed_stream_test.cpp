#include "foundation/indexed_stream.h"

#include "platform/safe_write.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

using testsupport::ScratchFolder;

namespace {

// The last row whose value is at most key, by a plain walk.
int32_t expectedRow(const std::vector<int32_t>& column, int32_t key)
{
  int32_t row = -1;
  for (size_t i = 0; i < column.size() && column[i] <= key; ++i)
    row = static_cast<int32_t>(i);
  return row;
}

std::string le32(int32_t v)
{
  std::string s(4, '\0');
  std::memcpy(s.data(), &v, 4);
  return s;
}

int32_t int32At(const std::string& s, size_t offset)
{
  int32_t v;
  std::memcpy(&v, s.data() + offset, 4);
  return v;
}

std::string headerOf(const std::string& dataName)
{
  return dataName.substr(0, dataName.size() - 4) + "H.tmp";
}

}  // namespace

TEST(IndexedStreamTest, OneColumnLookupFindsTheLastRowNotAboveTheKey)
{
  ScratchFolder dir;
  auto index = TIndexedStream::Create(dir.file("LNT1.tmp"), 1);
  EXPECT_EQ(index->Lookup(100), -1);  // no rows yet

  // Runs of equal values, some of them across block edges (2048 rows each).
  std::vector<int32_t> values;
  std::mt19937 rng(7);
  int32_t v = 5;
  while (values.size() < 9000) {
    const int run = (values.size() > 2040 && values.size() < 2050) ? 20 : int(rng() % 3) + 1;
    for (int i = 0; i < run; ++i)
      values.push_back(v);
    v += int32_t(rng() % 50) + 1;
  }
  for (int32_t x : values)
    index->Add(x);
  ASSERT_EQ(index->RowCount(), static_cast<int32_t>(values.size()));
  EXPECT_EQ(index->SampleCount(), (index->RowCount() + 2047) / 2048);

  EXPECT_EQ(index->Lookup(4), -1);
  EXPECT_EQ(index->Lookup(std::numeric_limits<int32_t>::max()), index->RowCount() - 1);
  for (int i = 0; i < 3000; ++i) {
    const int32_t key = int32_t(rng() % uint32_t(v + 10)) - 5;
    const int32_t row = index->Lookup(key);
    ASSERT_EQ(row, expectedRow(values, key)) << "key " << key;
  }
  // A key equal to a stored value gives a row holding that value.
  for (size_t i = 0; i < values.size(); i += 97)
    EXPECT_EQ(values[size_t(index->Lookup(values[i]))], values[i]);
}

TEST(IndexedStreamTest, RowsAppendedAfterALookupAreSeenByTheNext)
{
  ScratchFolder dir;
  auto index = TIndexedStream::Create(dir.file("LNT2.tmp"), 1);
  index->Add(0);
  index->Add(10);
  EXPECT_EQ(index->Lookup(15), 1);
  index->Add(20);
  EXPECT_EQ(index->Lookup(25), 2);
  EXPECT_EQ(index->ValueAt(2, 0), 20);
}

TEST(IndexedStreamTest, LookupsSeeRowsStillPendingInEveryBlock)
{
  ScratchFolder dir;
  auto index = TIndexedStream::Create(dir.file("LNT5.tmp"), 1);
  std::vector<int32_t> column;
  const int32_t rows = 3 * TIndexedStream::BlockValues + 7;
  for (int32_t r = 0; r < rows; ++r) {
    index->Add(r * 3);
    column.push_back(r * 3);
    if (r % 1000 != 999 && r != rows - 1)
      continue;
    for (int32_t key : {-1, 0, r * 3 / 2, r * 3 - 1, r * 3, r * 3 + 5})
      EXPECT_EQ(index->Lookup(key), expectedRow(column, key)) << "row " << r << ", key " << key;
  }
}

TEST(IndexedStreamTest, MultiColumnRowsUseSmallerBlocks)
{
  ScratchFolder dir;
  for (int32_t columns : {3, 2048, 3000}) {
    auto index = TIndexedStream::Create(dir.file("WTT" + std::to_string(columns) + ".tmp"), columns);
    EXPECT_EQ(index->RowsPerBlock(), std::max(1, 2048 / columns));
    EXPECT_EQ(index->LookupColumn(0, 0), -1);
    std::vector<std::vector<int32_t>> cols(static_cast<size_t>(columns));
    std::vector<int32_t> row(size_t(columns), -1);
    const int rows = columns == 3 ? 2500 : 7;
    for (int r = 0; r < rows; ++r) {
      row[size_t(r % columns)] = r * 10 + 3;
      index->AddRow(row.data());
      for (int c = 0; c < columns; ++c)
        cols[size_t(c)].push_back(row[size_t(c)]);
    }
    for (int32_t c : {0, 1, 2}) {
      for (int32_t key : {-2, -1, 3, 12, 13, 14, 1000, 24999, 100000}) {
        ASSERT_EQ(index->LookupColumn(key, c), expectedRow(cols[size_t(c)], key))
          << columns << " columns, column " << c << ", key " << key;
      }
    }
    EXPECT_EQ(index->LookupColumn(5, columns), -1);
  }
}

TEST(IndexedStreamTest, SavedIndexReopensWithItsHeader)
{
  ScratchFolder dir;
  auto index = TIndexedStream::Create(dir.file("PGT3.tmp"), 2);
  std::vector<int32_t> firstColumn;
  for (int32_t r = 0; r < 3000; ++r) {
    const int32_t row[2] = {r * 3, r < 5 ? -1 : r};
    index->AddRow(row);
    firstColumn.push_back(r * 3);
  }
  index->TempCopy = true;
  const std::string saved = dir.file("7.tmp");
  index->SaveIndex(saved);

  const std::string header = testsupport::readFile(dir.file("7H.tmp"));
  EXPECT_EQ(header.substr(0, 4), "IDXS");
  EXPECT_EQ(int32At(header, 4), 1);
  const int32_t n = int32At(header, 8);
  EXPECT_EQ(n, 2 * 3);  // three blocks of 1024 rows, two values per sample
  ASSERT_EQ(header.size(), size_t(32 + 4 * n));
  EXPECT_EQ(int32At(header, 12 + 4 * size_t(n)), 3000);
  EXPECT_EQ(int32At(header, 16 + 4 * size_t(n)), 2);
  EXPECT_EQ(int32At(header, 20 + 4 * size_t(n)), 3);
  EXPECT_EQ(int32At(header, 24 + 4 * size_t(n)), 1024);
  EXPECT_EQ(int32At(header, 28 + 4 * size_t(n)), 1024);
  EXPECT_EQ(testsupport::readFile(saved), testsupport::readFile(dir.file("PGT3.tmp")));

  auto reopened = TIndexedStream::Open(saved);
  EXPECT_TRUE(reopened->Saved);
  EXPECT_FALSE(reopened->TempCopy);
  EXPECT_EQ(reopened->RowCount(), 3000);
  EXPECT_EQ(reopened->Columns(), 2);
  for (int32_t key : {-1, 0, 1, 3071, 3072, 8999, 9000})
    EXPECT_EQ(reopened->LookupColumn(key, 0), expectedRow(firstColumn, key)) << key;
  EXPECT_EQ(reopened->LookupColumn(4, 1), 4);
}

TEST(IndexedStreamTest, DamagedOrMissingHeadersAreRejected)
{
  ScratchFolder dir;
  auto index = TIndexedStream::Create(dir.file("LNT4.tmp"), 1);
  for (int32_t r = 0; r < 5000; ++r)
    index->Add(r);
  const std::string data = dir.file("9.tmp");
  index->SaveIndex(data);
  const std::string good = testsupport::readFile(headerOf(data));
  const size_t tail = good.size() - 20;

  auto patched = [&](size_t offset, int32_t v) {
    std::string h = good;
    std::memcpy(h.data() + offset, &v, 4);
    return h;
  };
  struct Case {
    const char* what;
    std::string header;
  };
  const std::vector<Case> cases = {
    {"bad magic", "IDXT" + good.substr(4)},
    {"other version", patched(4, 2)},
    {"empty", ""},
    {"short", good.substr(0, 20)},
    {"n larger than the file", patched(8, 100)},
    {"negative n", patched(8, -1)},
    {"row count off by one", patched(tail, 4999)},
    {"no columns", patched(tail + 4, 0)},
    {"two columns", patched(tail + 4, 2)},
    {"too many samples", patched(tail + 8, 4)},
    {"sample step", patched(tail + 12, 2047)},
    {"rows per block", patched(tail + 16, 0)},
    {"bytes after the header", good + le32(0)},
  };
  for (const auto& c : cases) {
    dir.write("9H.tmp", c.header);
    try {
      TIndexedStream::Open(data);
      ADD_FAILURE() << c.what << ": opened";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Invalid index file: " + data) << c.what;
    }
  }

  std::filesystem::remove(headerOf(data));
  EXPECT_THROW(
    {
      try {
        TIndexedStream::Open(data);
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid index file: " + data);
        throw;
      }
    },
    std::runtime_error);

  // A header that cannot be read (a folder): the read fails at once.
  std::filesystem::create_directory(headerOf(data));
  EXPECT_THROW(TIndexedStream::Open(data), std::runtime_error);
  std::filesystem::remove(headerOf(data));

  // A data file shorter than the header says.
  dir.write("9H.tmp", good);
  dir.write("9.tmp", std::string(4 * 4999, '\0'));
  EXPECT_THROW(TIndexedStream::Open(data), std::runtime_error);
}

TEST(IndexedStreamTest, FailedSaveLeavesNoPartialCopy)
{
  ScratchFolder dir;
  auto index = TIndexedStream::Create(dir.file("LNT5.tmp"), 1);
  index->Add(0);
  index->Add(17);
  EXPECT_THROW(index->SaveIndex(dir.file("no/such/folder/1.tmp")), std::runtime_error);
  // The target is a folder: the copy cannot be renamed over it.
  std::filesystem::create_directory(dir.file("2.tmp"));
  EXPECT_THROW(index->SaveIndex(dir.file("2.tmp")), std::runtime_error);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"2.tmp", "LNT5.tmp"}));
  EXPECT_EQ(index->Lookup(20), 1);
}

TEST(IndexedStreamTest, SaveThatFailsAtAnyWriteKeepsTheOldIndex)
{
  ScratchFolder dir;
  const std::string saved = dir.file("3.tmp");
  auto old = TIndexedStream::Create(dir.file("LNT6.tmp"), 1);
  for (int32_t r = 0; r < 3000; ++r)
    old->Add(r * 2);
  old->SaveIndex(saved);
  auto fresh = TIndexedStream::Create(dir.file("LNT7.tmp"), 1);
  for (int32_t r = 0; r < 300000; ++r)
    fresh->Add(r * 5);

  // Count the writes and renames of a save, then fail each in turn but the
  // last (the header's rename, after which the new index is in place).
  int calls = 0;
  platform::setWriteFaultHook([&calls](int call) { return calls = call, true; });
  fresh->SaveIndex(dir.file("4.tmp"));
  const std::vector<std::string> names = dir.names();
  for (int failAt = 1; failAt < calls; ++failAt) {
    SCOPED_TRACE(failAt);
    platform::setWriteFaultHook([failAt](int call) { return call != failAt; });
    try {
      fresh->SaveIndex(saved);
      ADD_FAILURE() << "saved";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Unable to write file: ", 0), 0u) << e.what();
    }
    platform::setWriteFaultHook({});
    EXPECT_EQ(dir.names(), names);
    auto reopened = TIndexedStream::Open(saved);
    ASSERT_EQ(reopened->RowCount(), 3000);
    EXPECT_EQ(reopened->Lookup(5999), 2999);
  }
  platform::setWriteFaultHook({});
  fresh->SaveIndex(saved);
  EXPECT_EQ(TIndexedStream::Open(saved)->RowCount(), 300000);
}
