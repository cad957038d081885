// Index files: fixed-width rows of 32-bit little-endian values (line ends,
// page starts, tracked-tag positions) with one in-memory sample per block of
// rows, so the row of a position is found with two binary searches and one
// block read.
//
// Data file: rows of Columns int32 values, appended in order, no header.
// Every column is non-decreasing down the file.
//
// Header file (a saved index, named by IndexHeaderFileName), int32 values:
//   "IDXS", version 1, n, n sample values, RowCount, Columns, SampleCount,
//   SampleStep, RowsPerBlock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TIndexedStream {
public:
  // Largest block in 32-bit values; a block holds max(1, 2048 div Columns) rows.
  static constexpr int32_t BlockValues = 2048;

  // Creates (truncates) the data file, a temporary file of this run
  // (TempCopy set). Throws "Unable to open file: %s.".
  static std::unique_ptr<TIndexedStream> Create(const std::string& fileName, int32_t columns);
  // Opens a saved index for reading: the data file and its header file.
  // Saved is set. A missing, short or inconsistent header raises
  // "Invalid index file: " + the data file name; a missing data file
  // "Unable to open file: %s.".
  static std::unique_ptr<TIndexedStream> Open(const std::string& fileName);

  ~TIndexedStream();  // closes the file; never deletes it
  TIndexedStream(const TIndexedStream&) = delete;
  TIndexedStream& operator=(const TIndexedStream&) = delete;

  // One-column append.
  void Add(int32_t value);
  // Appends one row of Columns values.
  void AddRow(const int32_t* row);
  // Writes the appended rows that are still held in memory. Lookups and
  // SaveIndex flush first. Throws "Unable to write file: %s." on failure.
  void Flush();

  // The last row whose value (in column col) is at most key; -1 when even
  // row 0 is greater or the index has no rows. With several equal values
  // any of them may be given.
  int32_t Lookup(int32_t key) { return LookupColumn(key, 0); }
  int32_t LookupColumn(int32_t key, int32_t col);
  // The value of one cell; for readers of tracked-tag rows.
  int32_t ValueAt(int32_t row, int32_t col);

  // Writes the header file of newName and a copy of the data file as
  // newName, each through a temporary file renamed into place. On failure
  // raises an error naming the file and leaves no partial copy.
  void SaveIndex(const std::string& newName);

  const std::string& FileName() const { return fileName_; }
  int32_t RowCount() const { return rowCount_; }
  int32_t SampleCount() const { return sampleCount_; }
  int32_t Columns() const { return columns_; }
  int32_t SampleStep() const { return rowsPerBlock_; }
  int32_t RowsPerBlock() const { return rowsPerBlock_; }
  const std::vector<int32_t>& Samples() const { return samples_; }

  // The workspace has saved this index.
  bool Saved = false;
  // The data file is a temporary file of this run.
  bool TempCopy = false;

private:
  TIndexedStream(std::string fileName, int fd, int32_t columns);
  void loadBlock(int32_t block);

  std::string fileName_;
  int fd_ = -1;
  int32_t columns_;
  int32_t rowsPerBlock_;
  int32_t rowCount_ = 0;
  int32_t sampleCount_ = 0;
  std::vector<int32_t> samples_;
  std::vector<int32_t> pending_;  // appended rows not yet written
  int32_t flushedRows_ = 0;
  std::vector<int32_t> block_;    // the block last read
  int32_t loadedBlock_ = -1;
};
