// The corpus: the ordered list of loaded items (local files by absolute path,
// or http and ftp URLs), each with its source stream, its reader, its line,
// page and tracked-tag indexes and its word count; and the operations that
// add, load, remove, reload and unload items.
//
// Item i of CorpusList is corpus item i everywhere: in the corpora dialog,
// in hit records (file index) and in the distribution.
#pragma once

#include "foundation/buf_stream.h"
#include "foundation/hash_strings.h"
#include "foundation/indexed_stream.h"
#include "foundation/sync_stream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One index of an item: the data file's name and the index, or none. A new
// item's entries hold the placeholder " "; an item reloaded from the network
// has "". Only the object tells whether the item has the index.
struct TIndexEntry {
  std::string FileName = " ";
  std::unique_ptr<TIndexedStream> Index;

  bool Present() const { return Index != nullptr; }
};

struct TCorpusItem {
  std::string Name;          // absolute path or URL
  int32_t WordCount = 0;     // 0 or less: not counted
  std::unique_ptr<TSynchroStream> Source;
  std::unique_ptr<TBufStream> Reader;
  TIndexEntry LineIndex;
  TIndexEntry PageIndex;
  TIndexEntry TagIndex;
  std::string Flags;         // the workspace flags the item was loaded with
};

// What happened to the list, for the corpora dialog's model.
enum class TCorpusChange { Added, Removed, Changed };

class TCorpusList {
public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TCorpusItem& operator[](int32_t i) { return *items_.at(static_cast<size_t>(i)); }
  const TCorpusItem& operator[](int32_t i) const { return *items_.at(static_cast<size_t>(i)); }
  // Index of the item with exactly this name (case-sensitive), -1 when none.
  int32_t IndexOf(std::string_view name) const;
  // Index of an item by identity, -1 when it is no longer in the list.
  int32_t IndexOf(const TCorpusItem* item) const;
  std::vector<std::string> Names() const;

  // Called after every change with its kind and the item's index (for
  // Removed, the index it had). Returns an id for RemoveListener.
  int AddListener(std::function<void(TCorpusChange, int32_t)> listener);
  void RemoveListener(int id);

  // Low-level list changes; the operations below use them.
  void Append(std::unique_ptr<TCorpusItem> item);
  std::unique_ptr<TCorpusItem> Take(int32_t i);
  void NotifyChanged(int32_t i);

private:
  void notify(TCorpusChange change, int32_t i);
  std::vector<std::unique_ptr<TCorpusItem>> items_;
  std::vector<std::pair<int, std::function<void(TCorpusChange, int32_t)>>> listeners_;
  int nextListener_ = 1;
};

extern TCorpusList CorpusList;

// The corpus word-frequency table, built when first needed and dropped
// whenever the corpus changes.
extern std::unique_ptr<THashStrings> CorpusFreqList;

// A stream over the file a download is still filling (the download client
// derives its stream from it). Its file is the program's own temporary copy.
class TDownloadStream : public TFileSynchroStream {
public:
  using TFileSynchroStream::TFileSynchroStream;
  // The URL the download holds, after any redirect.
  virtual std::string URL() const = 0;
  // No more bytes will arrive: the download is complete, failed, stopped or
  // cut short.
  virtual bool Done() const = 0;
  // The whole body arrived (only such a download may be kept).
  virtual bool Complete() const { return Done(); }
  // The total size is known (GetSize() gives it); until then the size is
  // not part of any sum.
  virtual bool SizeKnown() const = 0;
  // Bytes still arriving are read with the stream's own reads only.
  int MappableHandle() override { return -1; }
};

// Makes the download stream of a URL, starting the download. Throws with a
// message to show when it cannot.
using TDownloadFactory = std::function<std::unique_ptr<TDownloadStream>(const std::string& url)>;
// Installs the factory; an empty one restores the default, which refuses
// every URL with "Unable to open file: %s." until the download client exists.
void SetDownloadFactory(TDownloadFactory factory);

// What the corpus operations ask of the frame window. The frame implements
// it; tests record the calls. Closing word-list windows goes through
// CloseChildWindows, status texts through the frame interface.
class TCorpusFrame {
public:
  virtual ~TCorpusFrame() = default;
  // Shows the item's full-text window in normal state, creating it when needed.
  virtual void ShowFullText(const std::string& name) { (void)name; }
  // Closes the item's full-text window when one is open.
  virtual void CloseFullText(const std::string& name) { (void)name; }
  // Closes every child window.
  virtual void CloseAllChildWindows() {}
  // Forgets the frame's two word-list windows.
  virtual void ForgetWordListWindows() {}
  // The text of the corpus information panel; the frame sizes the panel to
  // it and refreshes its status text.
  virtual void SetCorpusInfo(const std::string& text) { (void)text; }
};

// The value of the first flag entry "<letter>.<value> " in flags: the
// characters after the first occurrence of letter and "." up to the next
// blank or the end; empty when there is none or when the value is no
// workspace id.
std::string GetFlagValue(char letter, const std::string& flags);
// 1 to 16 ASCII letters or digits: a name the program gives its temporary
// files (without folder and extension), or a word count.
bool IsWorkspaceId(std::string_view id);

inline constexpr int MissingFilesListed = 20;

// Adds one file or URL; true when a new item was appended. For a URL, name
// becomes the URL the download stream holds. A name already in the list
// brings its full-text window forward and adds nothing.
bool AddCorpusItem(TCorpusFrame& frame, std::string& name, const std::string& flags);

// Adds every item, then collects the indexes and word counts the new items
// lack. flags, when given, holds one flag string per input item. The files
// that cannot be opened are named together in one error box at the end:
// the first MissingFilesListed, then how many more.
void LoadCorpusItems(TCorpusFrame& frame, const std::vector<std::string>& items,
                     const std::vector<std::string>* flags = nullptr);

// Opens the saved index WorkspaceFolder + id + ".tmp" as entry of item j;
// on failure shows the message and clears present, so the index is built anew.
void ReopenIndex(TIndexEntry& entry, bool& present, const std::string& id);

// Frees an entry's index and deletes its data and header files when they are
// the program's own temporary files outside the workspace folder.
void ReleaseIndex(TIndexEntry& entry);

// Every item's tracked-tag index, or every item's page index, released as
// ReleaseIndex does, the entry's name cleared. The tag scan builds them anew.
void DropTagIndexes();
void DropPageIndexes();

// Removes item i with its streams, reader and indexes; deletes only files
// that are the program's own temporary copies.
void RemoveCorpusItem(TCorpusFrame& frame, int32_t i);

// Downloads again every selected URL item that was opened from a kept copy.
void ReloadCorpusItem(TCorpusFrame& frame, const std::vector<int32_t>& selected);

// Closes every child window and removes every item.
void UnloadCorpus(TCorpusFrame& frame);

// Every item's count := 0, TotalWordCount := 0, the panel refreshed.
void ResetWordCounts(TCorpusFrame& frame);

// TotalWordCount := the sum of the items' counts, 0 as soon as one item has
// a count of 0 or less.
void UpdateWordTotal(TCorpusFrame& frame);

// The text of the corpus information panel, given to the frame.
void UpdateCorpusInfo(TCorpusFrame& frame);
std::string CorpusInfoText();

// The sum of the sizes of all source streams; none while the size of a
// download is not yet known; 0 for an empty corpus.
std::optional<int64_t> TotalCorpusSize();
