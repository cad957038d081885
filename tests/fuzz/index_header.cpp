// A saved index ("IDXS" header and its data file, both from the input).
// When it opens, look-ups at keys from the input give rows inside the data
// file and read only there; a refused one raises "Invalid index file: " +
// the data file's name.
#include "foundation/indexed_stream.h"
#include "foundation/utils.h"
#include "fuzz/fuzz_support.h"

#include <memory>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::resetState();
  fuzz::TInput in(data, size);
  const std::string header(in.piece());
  const std::string rows(in.rest());
  const std::string dataName = fuzz::writePrivateFile("IDX.tmp", rows);
  fuzz::writePrivateFile(IndexHeaderFileName(dataName).substr(fuzz::privateFolder().size()), header);
  std::unique_ptr<TIndexedStream> index;
  try {
    index = TIndexedStream::Open(dataName);
  } catch (const std::runtime_error& e) {
    fuzz::check(e.what() == "Invalid index file: " + dataName, std::string("message: ") + e.what());
    return 0;
  }
  const int32_t rowCount = index->RowCount();
  const int32_t columns = index->Columns();
  fuzz::check(int64_t(rowCount) * columns * 4 == int64_t(rows.size()), "rows beyond the data file");
  // Keys: every value of both files, and the edges.
  fuzz::TInput keys(reinterpret_cast<const uint8_t*>(header.data()), header.size());
  int lookups = 0;
  auto lookup = [&](int32_t key) {
    for (int32_t col = 0; col < columns && col < 8; ++col) {
      const int32_t row = index->LookupColumn(key, col);
      fuzz::check(row >= -1 && row < rowCount, "row outside the index: " + std::to_string(row));
      if (row >= 0)
        index->ValueAt(row, col);
    }
    ++lookups;
  };
  lookup(INT32_MIN);
  lookup(INT32_MAX);
  lookup(0);
  while (!keys.empty() && lookups < 64)
    lookup(int32_t(keys.u32()));
  fuzz::TInput values(reinterpret_cast<const uint8_t*>(rows.data()), rows.size());
  while (!values.empty() && lookups < 128)
    lookup(int32_t(values.u32()));
  return 0;
}
