#include "foundation/corpus_list.h"

#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/abort.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/utils.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "platform/file_ops.h"
#include "platform/frame_sink.h"
#include "platform/ui_bridge.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

TCorpusList CorpusList;
std::unique_ptr<THashStrings> CorpusFreqList;

namespace {

TDownloadFactory downloadFactory;

std::unique_ptr<TDownloadStream> makeDownload(const std::string& url)
{
  if (!downloadFactory)
    throw std::runtime_error(UnableToOpenText(url));
  auto stream = downloadFactory(url);
  if (!stream)
    throw std::runtime_error(UnableToOpenText(url));
  return stream;
}

bool isAbort(const std::exception& e)
{
  return dynamic_cast<const EAbort*>(&e) != nullptr;
}

// Drops the corpus word table and the windows that show it.
void dropFrequencyList()
{
  CloseChildWindows(platform::ckWordList);
  CorpusFreqList.reset();
}

// True for a file the program made for itself in the temporary folder: a
// user's corpus file or a file kept in the workspace folder is never deleted.
bool ownTemporaryFile(const std::string& fileName, bool tempCopy)
{
  if (!tempCopy || fileName.empty())
    return false;
  const std::string& workspace = WorkspaceFolder;
  return workspace.empty() || fileName.compare(0, workspace.size(), workspace) != 0;
}

// The "Unable to open file" messages of the load under way (null outside
// one), shown together when it ends.
std::vector<std::string>* openFailures = nullptr;

void showLoadError(const std::string& text)
{
  static const std::string lead = UnableToOpenText("").substr(0, UnableToOpenText("").size() - 1);
  if (openFailures && text.size() > lead.size() && text.starts_with(lead) && text.ends_with('.')) {
    openFailures->push_back(text);
    return;
  }
  ShowError(text);
}

void showOpenFailures(const std::vector<std::string>& failures)
{
  if (failures.empty())
    return;
  std::string text;
  const size_t listed = std::min(failures.size(), size_t(MissingFilesListed));
  for (size_t i = 0; i < listed; ++i) {
    if (i > 0)
      text += "\r\n";
    text += failures[i];
  }
  if (failures.size() > listed)
    text += "\r\n... and " + std::to_string(failures.size() - listed) + " more.";
  ShowError(text);
}

void deleteFile(const std::string& fileName)
{
  platform::fileops::unlink(fileName);
}

}  // namespace

void ReleaseIndex(TIndexEntry& entry)
{
  if (!entry.Index)
    return;
  const std::string fileName = entry.Index->FileName();
  const bool own = ownTemporaryFile(fileName, entry.Index->TempCopy);
  entry.Index.reset();
  if (own) {
    deleteFile(IndexHeaderFileName(fileName));
    deleteFile(fileName);
  }
}

namespace {

void dropIndexes(TIndexEntry TCorpusItem::*entry)
{
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    TIndexEntry& e = CorpusList[i].*entry;
    ReleaseIndex(e);
    e.FileName.clear();
  }
}

}  // namespace

void DropTagIndexes()
{
  dropIndexes(&TCorpusItem::TagIndex);
}

void DropPageIndexes()
{
  dropIndexes(&TCorpusItem::PageIndex);
}

namespace {

// Frees the item's reader and stream; deletes the stream's file when it is
// the program's own copy (a download body or a temporary copy).
void releaseStreams(TCorpusItem& item)
{
  std::string fileName;
  bool own = false;
  if (auto* file = dynamic_cast<TFileSynchroStream*>(item.Source.get())) {
    fileName = file->FileName;
    own = IsURL(item.Name) && ownTemporaryFile(fileName, file->TempCopy);
  }
  item.Reader.reset();
  item.Source.reset();
  if (own)
    deleteFile(fileName);
}

bool hasControlBytes(std::string_view s, unsigned char below)
{
  return std::any_of(s.begin(), s.end(), [below](char c) { return static_cast<unsigned char>(c) < below; });
}

// A file name made absolute and cleaned; symlinks are left as they are.
std::string absoluteFileName(const std::string& name)
{
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(name, ec);
  if (ec)
    return name;
  return p.lexically_normal().string();
}

std::string folderOf(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A word count of a W flag: a decimal integer from 1 to 2147483647.
bool parseWordCount(const std::string& text, int32_t& count)
{
  int32_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < 1)
    return false;
  count = v;
  return true;
}

void processMessages()
{
  platform::uiBridge().processMessages();
}

}  // namespace

// --- the list -------------------------------------------------------------

int32_t TCorpusList::IndexOf(std::string_view name) const
{
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->Name == name)
      return static_cast<int32_t>(i);
  return -1;
}

int32_t TCorpusList::IndexOf(const TCorpusItem* item) const
{
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item)
      return static_cast<int32_t>(i);
  return -1;
}

std::vector<std::string> TCorpusList::Names() const
{
  std::vector<std::string> out;
  out.reserve(items_.size());
  for (const auto& item : items_)
    out.push_back(item->Name);
  return out;
}

int TCorpusList::AddListener(std::function<void(TCorpusChange, int32_t)> listener)
{
  listeners_.emplace_back(nextListener_, std::move(listener));
  return nextListener_++;
}

void TCorpusList::RemoveListener(int id)
{
  std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void TCorpusList::notify(TCorpusChange change, int32_t i)
{
  const auto copy = listeners_;
  for (const auto& l : copy)
    l.second(change, i);
}

void TCorpusList::Append(std::unique_ptr<TCorpusItem> item)
{
  items_.push_back(std::move(item));
  notify(TCorpusChange::Added, Count() - 1);
}

std::unique_ptr<TCorpusItem> TCorpusList::Take(int32_t i)
{
  auto it = items_.begin() + static_cast<ptrdiff_t>(i);
  std::unique_ptr<TCorpusItem> item = std::move(*it);
  items_.erase(it);
  notify(TCorpusChange::Removed, i);
  return item;
}

void TCorpusList::NotifyChanged(int32_t i)
{
  notify(TCorpusChange::Changed, i);
}

void SetDownloadFactory(TDownloadFactory factory)
{
  downloadFactory = std::move(factory);
}

// --- operations ------------------------------------------------------------

bool IsWorkspaceId(std::string_view id)
{
  if (id.empty() || id.size() > 16)
    return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
}

std::string GetFlagValue(char letter, const std::string& flags)
{
  const char key[2] = {letter, '.'};
  const size_t at = flags.find(std::string_view(key, 2));
  if (at == std::string::npos)
    return std::string();
  const size_t from = at + 2;
  size_t to = flags.find(' ', from);
  if (to == std::string::npos)
    to = flags.size();
  std::string value = flags.substr(from, to - from);
  // A value names a file in the workspace folder (or is a word count): only
  // the names the program makes for its temporary files count.
  return IsWorkspaceId(value) ? value : std::string();
}

bool AddCorpusItem(TCorpusFrame& frame, std::string& name, const std::string& flags)
{
  const bool isUrl = IsURL(name);
  if (isUrl ? hasControlBytes(name, 0x21) : hasControlBytes(name, 0x20)) {
    if (isUrl)
      ShowError("Bad or incomplete URL: " + name + ".");
    else
      showLoadError(UnableToOpenText(name));
    return false;
  }
  if (CorpusList.IndexOf(name) >= 0) {
    frame.ShowFullText(name);
    return false;
  }
  // A file is opened before its bytes are looked at, so one that will be
  // refused (too large, no regular file) is refused without a question.
  std::unique_ptr<TFileSynchroStream> file;
  if (!isUrl) {
    try {
      file = std::make_unique<TFileSynchroStream>(name, CorpusFileMode);
    } catch (const std::exception& e) {
      showLoadError(e.what());
      return false;
    }
    if (!IsTextFile(name) && !AskConfirmation(name + "\r\ndoes not seem to be a text file. Open anyway?"))
      return false;
  }

  try {
    auto item = std::make_unique<TCorpusItem>();
    if (isUrl) {
      const std::string id = WorkspaceFolder.empty() ? std::string() : GetFlagValue('U', flags);
      if (!id.empty()) {
        try {
          auto kept = std::make_unique<TFileSynchroStream>(WorkspaceFolder + id + ".tmp", KeptCopyMode);
          kept->Saved = true;
          item->Source = std::move(kept);
        } catch (const std::exception& e) {
          showLoadError(e.what());
        }
      }
      if (!item->Source) {
        auto download = makeDownload(name);
        const std::string url = download->URL();
        if (CorpusList.IndexOf(url) >= 0) {
          // Redirected to an item already loaded: a duplicate.
          item->Name = url;
          item->Source = std::move(download);
          releaseStreams(*item);
          name = url;
          frame.ShowFullText(name);
          return false;
        }
        name = url;
        item->Source = std::move(download);
      }
    } else {
      file->Saved = true;
      item->Source = std::move(file);
    }
    item->Reader = std::make_unique<TBufStream>(item->Source.get());
    item->Name = name;
    item->Flags = flags;
    CorpusList.Append(std::move(item));
  } catch (const std::exception& e) {
    if (!isAbort(e))
      showLoadError(e.what());
    return false;
  }
  dropFrequencyList();
  return true;
}

void ReopenIndex(TIndexEntry& entry, bool& present, const std::string& id)
{
  if (!present)
    return;
  const std::string fileName = WorkspaceFolder + id + ".tmp";
  try {
    entry.Index = TIndexedStream::Open(fileName);
    entry.FileName = fileName;
  } catch (const std::exception& e) {
    if (!isAbort(e))
      showLoadError(e.what());
    present = false;
  }
}

void LoadCorpusItems(TCorpusFrame& frame, const std::vector<std::string>& items,
                     const std::vector<std::string>* flags)
{
  const bool startedEmpty = CorpusList.Empty();
  std::vector<const TCorpusItem*> added;
  // One box for every file that cannot be opened (a nested load adds to
  // the outer one's).
  std::vector<std::string> failures;
  struct Collect {
    std::vector<std::string>* outer;
    ~Collect() { openFailures = outer; }
  } collect{openFailures};
  if (!openFailures)
    openFailures = &failures;
  StopLoadingURLs = false;
  {
    BusyScope loading(BusyLoading);
    for (size_t i = 0; i < items.size(); ++i) {
      std::string name = items[i];
      if (IsURL(name)) {
        if (StopLoadingURLs)
          continue;
      } else if (!hasControlBytes(name, 0x20)) {
        name = absoluteFileName(name);
        CorpusPath = folderOf(name);
      }
      const std::string itemFlags = (flags && i < flags->size()) ? (*flags)[i] : std::string();
      if (AddCorpusItem(frame, name, itemFlags)) {
        added.push_back(&CorpusList[CorpusList.Count() - 1]);
        if (i == 0)
          frame.ShowFullText(name);
      }
      processMessages();
    }
  }

  // Counting while loading builds the corpus list only in a pass that loads
  // the whole corpus and scans every item of it.
  const bool saved = FrequencySettings.ScanTextsOnLoad;
  struct Restore {
    bool value;
    ~Restore() { FrequencySettings.ScanTextsOnLoad = value; }
  } restore{saved};
  if (!WorkspaceFolder.empty()) {
    std::error_code ec;
    if (std::filesystem::exists(WorkspaceFolder + "FREQ.tmp", ec))
      FrequencySettings.ScanTextsOnLoad = false;
  }
  if (!startedEmpty)
    FrequencySettings.ScanTextsOnLoad = false;

  TagScanCancelled = false;
  {
    BusyScope collecting(BusyCollecting);
    for (const TCorpusItem* wanted : added) {
      const int32_t j = CorpusList.IndexOf(wanted);
      if (j < 0)
        continue;
      TCorpusItem& item = CorpusList[j];
      const std::string lineId = GetFlagValue('L', item.Flags);
      const std::string pageId = GetFlagValue('P', item.Flags);
      const std::string tagId = GetFlagValue('T', item.Flags);
      const std::string wordValue = GetFlagValue('W', item.Flags);
      bool l = !lineId.empty(), p = !pageId.empty(), t = !tagId.empty(), w = !wordValue.empty();
      ReopenIndex(item.LineIndex, l, lineId);
      ReopenIndex(item.PageIndex, p, pageId);
      ReopenIndex(item.TagIndex, t, tagId);
      if (w && !parseWordCount(wordValue, item.WordCount))
        w = false;
      t = t || WatchedTags.empty();
      if (l && p && t && w) {
        CorpusFreqList.reset();
        FrequencySettings.ScanTextsOnLoad = false;
        continue;
      }
      int32_t count = 0;
      const std::string name = item.Name;
      try {
        const TTagScanResult result = CollectTagInfo(name, !l, count, true, !t, !p);
        if (result == TTagScanResult::Cancelled && FrequencySettings.ScanTextsOnLoad) {
          CorpusFreqList.reset();
          FrequencySettings.ScanTextsOnLoad = false;
        }
      } catch (const std::exception& e) {
        CorpusFreqList.reset();
        if (!isAbort(e))
          ShowError(e.what());
        break;
      }
      const int32_t k = CorpusList.IndexOf(wanted);
      if (k >= 0)
        CorpusList[k].WordCount = count;
    }
    // A list counted while loading misses the items a cancelled pass skipped.
    if (TagScanCancelled)
      CorpusFreqList.reset();
  }
  if (openFailures == &failures) {
    openFailures = nullptr;
    showOpenFailures(failures);
  }
  UpdateWordTotal(frame);
  UpdateCorpusInfo(frame);
}

void RemoveCorpusItem(TCorpusFrame& frame, int32_t i)
{
  if (i < 0 || i >= CorpusList.Count())
    return;
  TCorpusItem* item = &CorpusList[i];
  frame.CloseFullText(item->Name);
  TotalWordCount = 0;
  dropFrequencyList();
  // Closing windows may have let other events run: find the item again.
  i = CorpusList.IndexOf(item);
  if (i < 0)
    return;
  ReleaseIndex(item->LineIndex);
  ReleaseIndex(item->PageIndex);
  ReleaseIndex(item->TagIndex);
  releaseStreams(*item);
  CorpusList.Take(i);
  UpdateWordTotal(frame);
}

void ReloadCorpusItem(TCorpusFrame& frame, const std::vector<int32_t>& selected)
{
  StopLoadingURLs = false;
  BusyScope loading(BusyLoading);
  std::vector<int32_t> order = selected;
  std::sort(order.begin(), order.end());
  std::vector<const TCorpusItem*> items;
  for (int32_t i : order)
    if (i >= 0 && i < CorpusList.Count())
      items.push_back(&CorpusList[i]);

  for (const TCorpusItem* wanted : items) {
    int32_t j = CorpusList.IndexOf(wanted);
    if (j < 0)
      continue;
    TCorpusItem& item = CorpusList[j];
    if (!IsURL(item.Name) || dynamic_cast<TDownloadStream*>(item.Source.get()))
      continue;
    try {
      auto download = makeDownload(item.Name);
      j = CorpusList.IndexOf(wanted);
      if (j < 0)
        continue;  // removed while the download started
      // Nothing may go on reading the old stream.
      frame.CloseFullText(item.Name);
      j = CorpusList.IndexOf(wanted);
      if (j < 0)
        continue;
      releaseStreams(item);
      item.Source = std::move(download);
      item.Reader = std::make_unique<TBufStream>(item.Source.get());
      for (TIndexEntry* entry : {&item.LineIndex, &item.PageIndex, &item.TagIndex}) {
        ReleaseIndex(*entry);
        entry->FileName.clear();
      }
      item.WordCount = 0;
      CorpusList.NotifyChanged(j);
      UpdateWordTotal(frame);
      UpdateCorpusInfo(frame);
      dropFrequencyList();
    } catch (const std::exception& e) {
      if (!isAbort(e))
        ShowError(e.what());
    }
  }
}

void UnloadCorpus(TCorpusFrame& frame)
{
  frame.CloseAllChildWindows();
  for (int32_t i = CorpusList.Count() - 1; i >= 0; --i)
    RemoveCorpusItem(frame, std::min(i, CorpusList.Count() - 1));
  TotalWordCount = 0;
  UpdateCorpusInfo(frame);
  processMessages();
  frame.ForgetWordListWindows();
}

void ResetWordCounts(TCorpusFrame& frame)
{
  for (int32_t i = 0; i < CorpusList.Count(); ++i)
    CorpusList[i].WordCount = 0;
  TotalWordCount = 0;
  UpdateCorpusInfo(frame);
}

void UpdateWordTotal(TCorpusFrame&)
{
  int64_t total = 0;
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    const int32_t count = CorpusList[i].WordCount;
    if (count <= 0) {
      total = 0;
      break;
    }
    total += count;
  }
  TotalWordCount = total;
}

std::optional<int64_t> TotalCorpusSize()
{
  int64_t total = 0;
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    TSynchroStream* source = CorpusList[i].Source.get();
    if (!source)
      continue;
    if (auto* download = dynamic_cast<TDownloadStream*>(source); download && !download->SizeKnown())
      return std::nullopt;
    total += source->GetSize();
  }
  return total;
}

std::string CorpusInfoText()
{
  if (CorpusFreqList)
    return CountText(TotalWordCount, "word") + ", " + CountText(CorpusFreqList->Count(), "type");
  if (const auto size = TotalCorpusSize())
    return SizeText(*size, true) + ", " + CountText(CorpusList.Count(), "file");
  return std::string();
}

void UpdateCorpusInfo(TCorpusFrame& frame)
{
  frame.SetCorpusInfo(CorpusInfoText());
}
