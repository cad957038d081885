#include "forms/frame_dialogs_model.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/inet_stream.h"
#include "foundation/program_state.h"
#include "foundation/utils.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TOpenURLModel

bool TOpenURLModel::IsFetchableURL(std::string_view url)
{
  TURLParts parts;
  return ParseURL(url, parts);
}

TOpenURLModel::TOpenURLModel(TURLCheck check) : Items(URLHistory), check_(std::move(check))
{
  if (!Items.empty())
    Text = Items.front();
}

TOpenURLModel::~TOpenURLModel()
{
  URLHistory = Items;
}

bool TOpenURLModel::Ok()
{
  std::string url = TrimBlanks(Text);
  if (url.empty()) {
    ShowError(EmptyURLText);
    return false;
  }
  if (!check_ || !check_(url)) {
    std::string text = BadURLText;
    text.replace(text.find("%s"), 2, url);
    ShowError(text);
    return false;
  }
  AddToHistory(Items, url);
  Text = url;
  result_ = url;
  return true;
}

void TOpenURLModel::ComboExit()
{
  std::string text = Text;
  if (AddToHistory(Items, text) >= 0)
    Text = text;
}

// ---------------------------------------------------------------------------
// TWkSpaceOptionsModel

TWkSpaceOptionsModel::TWkSpaceOptionsModel(bool useDefaults)
  : Boxes(InitialBoxes(useDefaults, CorpusFreqList != nullptr,
                       {KeepLinePages, KeepWatchedTags, KeepURLs, KeepFreq}))
{
}

TWkSpaceOptions TWkSpaceOptionsModel::InitialBoxes(bool useDefaults, bool haveFreqList,
                                                   const TWkSpaceOptions& stored)
{
  TWkSpaceOptions boxes = useDefaults ? TWkSpaceOptions{} : stored;
  boxes.Freq = haveFreqList && (useDefaults || stored.Freq);
  return boxes;
}

void TWkSpaceOptionsModel::Ok() const
{
  KeepLinePages = Boxes.LinePages;
  KeepWatchedTags = Boxes.Tags;
  KeepURLs = Boxes.URLs;
  KeepFreq = Boxes.Freq;
}

// ---------------------------------------------------------------------------
// TLangConfigModel

TLangConfigModel::TLangConfigModel() : Font(SystemFont), names_(LanguageNames)
{
  std::stable_sort(names_.begin(), names_.end(),
                   [](const std::string& a, const std::string& b) { return LocaleCompare(a, b, true) < 0; });
  const auto it = std::find(names_.begin(), names_.end(), LanguageNameById(LanguageId));
  if (!names_.empty())
    Selected = it == names_.end() ? 0 : static_cast<int32_t>(it - names_.begin());
}

bool TLangConfigModel::Ok()
{
  SetDialogFont(Font);
  if (Selected < 0 || Selected >= static_cast<int32_t>(names_.size()))
    return false;
  const int32_t id = LanguageIdByName(names_[Selected]);
  if (id == LanguageId)
    return false;
  SetTextLanguage(id);
  BuildCharTables();
  return true;
}
