#include "forms/patterns_editor.h"

#include "forms/code_page_text.h"
#include "forms/search_dialog_model.h"
#include "foundation/dialogs.h"
#include "foundation/text_sink.h"
#include "foundation/utils.h"

#include <algorithm>
#include <utility>

namespace {

TPatternsEditor& installedEditor()
{
  static TPatternsEditor editor;
  return editor;
}

}  // namespace

void SavePatternsFile(const std::string& fileName, const std::vector<std::string>& lines)
{
  TFileTextSink file(fileName);
  for (const std::string& line : lines)
    file.WriteLine(line);
  file.Close();
}

std::string PatternsMemoText(const std::vector<std::string>& lines)
{
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0)
      text += '\n';
    text += lines[i];
  }
  return text;
}

std::vector<std::string> PatternsMemoLines(const std::string& text)
{
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

int32_t MemoPosition(const std::vector<std::string>& lines, int32_t offset)
{
  // The memo counts characters: a break is one, and so is a double-byte
  // character.
  int32_t lineStart = 0;
  int32_t position = 0;
  for (const std::string& line : lines) {
    const int32_t next = lineStart + int32_t(line.size()) + 2;
    if (next > offset) {
      const size_t within = size_t(std::clamp(offset - lineStart, 0, int32_t(line.size())));
      position += int32_t(CharCount(CharPrefix(line, within)));
      return std::max(0, position + offset - lineStart - int32_t(within));
    }
    position += int32_t(CharCount(line)) + 1;
    lineStart = next;
  }
  return std::max(0, position + offset - lineStart);
}

void TPatternsEditView::ShowException(const std::exception& error)
{
  ShowError(error.what());
}

TPatternsEditModel::TPatternsEditModel(std::vector<std::string> lines, int32_t selStart, int32_t selLength)
  : Lines(std::move(lines))
{
  SelStart = MemoPosition(Lines, selStart);
  SelLength = std::max(0, MemoPosition(Lines, selStart + selLength) - SelStart);
}

bool TPatternsEditModel::OKBtnClick()
{
  if (AllStringsBlank(Lines)) {
    ShowError(EmptyListText);
    ActiveControl = "PatternsMemo";
    return false;
  }
  return true;
}

bool TPatternsEditModel::CanCancel()
{
  return !Modified || WarnYesNo(AbandonText, false);
}

bool TPatternsEditModel::LoadBtnClick()
{
  ActiveControl = "PatternsMemo";
  if (Modified && !WarnYesNo(AbandonText, false))
    return false;
  std::string fileName;
  if (!view_ || !view_->ChooseLoadFile(fileName))
    return false;
  std::vector<std::string> kept = Lines;
  try {
    Lines = LoadPatternsFile(fileName);
    // A loaded list is not yet taken: Cancel asks again.
    Modified = true;
    return true;
  } catch (const std::exception& error) {
    Lines = std::move(kept);
    view_->ShowException(error);
    return false;
  }
}

void TPatternsEditModel::SaveBtnClick()
{
  ActiveControl = "PatternsMemo";
  std::string fileName;
  if (!view_ || !view_->ChooseSaveFile(fileName))
    return;
  try {
    SavePatternsFile(fileName, Lines);
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
}

void SetPatternsEditor(TPatternsEditor editor)
{
  installedEditor() = std::move(editor);
}

bool EditPatterns(std::vector<std::string>& list, int32_t selStart, int32_t selLength)
{
  if (!installedEditor())
    return false;
  TPatternsEditModel model(list, selStart, selLength);
  if (!installedEditor()(model))
    return false;
  list = std::move(model.Lines);
  return true;
}
