#include "search/sentence_options.h"

#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/stop_list.h"
#include "foundation/utils.h"
#include "platform/safe_write.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && LocaleLowerChar(a[i]) != LocaleLowerChar(b[i]))
      return false;
  return true;
}

// The first entry equal to word without regard to case; end() when none.
std::vector<std::string>::iterator FindWord(std::vector<std::string>& list, std::string_view word)
{
  return std::find_if(list.begin(), list.end(),
                      [word](const std::string& entry) { return EqualIgnoringCase(entry, word); });
}

// The list box's order: the text language, ignoring case.
bool SortsBefore(const std::string& a, const std::string& b)
{
  return LocaleCompare(a, b, true) < 0;
}

std::string FolderOf(const std::string& fileName)
{
  const size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string NameOf(const std::string& fileName)
{
  const size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

std::function<bool()>& SentenceOptionsEditor()
{
  static std::function<bool()> editor;
  return editor;
}

}  // namespace

// ---------------------------------------------------------------------------
// SentExceptsFile

std::vector<std::string> ReadSentExceptsFile(const std::string& fileName)
{
  const auto failure = [&fileName](int err) {
    return std::runtime_error("Unable to open file: " + fileName + " (" + std::strerror(err) + ").");
  };
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw failure(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = errno ? errno : EISDIR;
    ::close(fd);
    throw failure(S_ISDIR(st.st_mode) ? EISDIR : err);
  }
  std::string data;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0)
      break;
    if (n < 0) {
      if (errno == EINTR)
        continue;
      const int err = errno;
      ::close(fd);
      throw failure(err);
    }
    data.append(buffer, size_t(n));
  }
  ::close(fd);

  std::vector<std::string> words;
  size_t start = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\r' && data[i] != '\n')
      continue;
    words.push_back(data.substr(start, i - start));
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < data.size())
    words.push_back(data.substr(start));
  return words;
}

void WriteSentExceptsFile(const std::string& fileName, const std::vector<std::string>& words)
{
  std::string data;
  for (const auto& word : words) {
    data += word;
    data += "\r\n";
  }
  platform::writeFileAtomically(fileName, data);
}

// ---------------------------------------------------------------------------
// TSentCfgModel

TSentCfgModel::TSentCfgModel() : Delimiters(SentDelimiters), SmartAbbr(SmartAbbrDetect) {}

void TSentCfgModel::Ok()
{
  SentDelimiters = RemoveBlanks(Delimiters);
  SmartAbbrDetect = SmartAbbr;
}

bool ShowSentenceOptions()
{
  auto& editor = SentenceOptionsEditor();
  return editor ? editor() : false;
}

void SetSentenceOptionsEditor(std::function<bool()> editor)
{
  SentenceOptionsEditor() = std::move(editor);
}

// ---------------------------------------------------------------------------
// TViewSentExceptsModel

TViewSentExceptsModel::TViewSentExceptsModel(TStopListFileChooser& chooser)
  : chooser_(chooser), textFont_(SystemFont)
{
}

void TViewSentExceptsModel::Open()
{
  SetWordList(SentDelimitersExcepts);
  restorePoint_ = SentDelimitersExcepts;
  modified_ = false;
  fileNameLabel_.clear();
}

void TViewSentExceptsModel::SetWordList(const std::vector<std::string>& words)
{
  wordList_ = words;
  std::stable_sort(wordList_.begin(), wordList_.end(), SortsBefore);
  selected_.assign(wordList_.size(), false);
}

size_t TViewSentExceptsModel::InsertSorted(const std::string& word)
{
  const auto at = std::upper_bound(wordList_.begin(), wordList_.end(), word, SortsBefore);
  const auto index = size_t(at - wordList_.begin());
  wordList_.insert(at, word);
  selected_.insert(selected_.begin() + std::ptrdiff_t(index), false);
  return index;
}

void TViewSentExceptsModel::SetSelection(std::vector<bool> selected)
{
  selected.resize(wordList_.size(), false);
  selected_ = std::move(selected);
}

bool TViewSentExceptsModel::RemoveEnabled() const
{
  return !wordList_.empty() && std::find(selected_.begin(), selected_.end(), true) != selected_.end();
}

void TViewSentExceptsModel::Add()
{
  std::string text;
  if (!QueryInput(AddCaption, AddPrompt, textFont_, text) || text.empty())
    return;
  std::string word = LowerCaseText(TrimBlanks(text));
  if (!word.empty() && word.back() == '.')
    word.pop_back();
  if (word.empty() || FindWord(SentDelimitersExcepts, word) != SentDelimitersExcepts.end())
    return;
  try {
    SentDelimitersExcepts.push_back(word);
    const size_t index = InsertSorted(word);
    selected_.assign(wordList_.size(), false);
    selected_[index] = true;
    modified_ = true;
  } catch (const std::exception&) {
    ShowWarning(CannotAddText);
  }
}

void TViewSentExceptsModel::Remove()
{
  if (!RemoveEnabled())
    return;
  for (size_t i = wordList_.size(); i-- > 0;) {
    if (!selected_[i])
      continue;
    const auto found = FindWord(SentDelimitersExcepts, wordList_[i]);
    if (found != SentDelimitersExcepts.end())
      SentDelimitersExcepts.erase(found);
    wordList_.erase(wordList_.begin() + std::ptrdiff_t(i));
    selected_.erase(selected_.begin() + std::ptrdiff_t(i));
    if (i < wordList_.size())
      selected_[i] = true;
    modified_ = true;
  }
}

void TViewSentExceptsModel::Clear()
{
  if (wordList_.empty() || !AskConfirmation(ClearQuestion))
    return;
  SentDelimitersExcepts.clear();
  wordList_.clear();
  selected_.clear();
  fileNameLabel_.clear();
  modified_ = true;
}

void TViewSentExceptsModel::Save()
{
  if (!SaveEnabled())
    return;
  if (fileName_.empty()) {
    std::string chosen;
    if (!chooser_.ChooseSaveFile(SaveDialogTitle, SentDelimitersPath, chosen))
      return;
    fileName_ = MakeFileName(chosen, "TXT");
  }
  try {
    WriteSentExceptsFile(fileName_, wordList_);
  } catch (const std::exception&) {
    ShowError(SaveFailedText + fileName_);
    fileName_.clear();
    fileNameLabel_.clear();
    return;
  }
  SentDelimitersPath = FolderOf(fileName_);
  fileNameLabel_ = NameOf(fileName_);
  modified_ = false;
}

void TViewSentExceptsModel::Load()
{
  std::string chosen;
  if (!chooser_.ChooseLoadFile(LoadDialogTitle, SentDelimitersPath, chosen))
    return;
  const std::string name = MakeFileName(chosen, "TXT");
  SentDelimitersPath = FolderOf(name);
  std::vector<std::string> words;
  try {
    words = ReadSentExceptsFile(name);
  } catch (const std::exception&) {
    // The list and the file name of the last save stay as they were.
    ShowError(LoadFailedText + name);
    return;
  }
  fileName_ = name;
  SetWordList(words);
  SentDelimitersExcepts = wordList_;
  fileNameLabel_ = NameOf(fileName_);
  if (!selected_.empty())
    selected_[0] = true;
  modified_ = false;
}

void TViewSentExceptsModel::Ok()
{
  restorePoint_.clear();
}

bool TViewSentExceptsModel::Cancel()
{
  if (!modified_)
    return true;
  if (!AskConfirmation(CancelQuestion))
    return false;
  SentDelimitersExcepts = restorePoint_;
  return true;
}
