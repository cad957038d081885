#include "forms/context_options.h"

#include "foundation/settings.h"
#include "foundation/utils.h"

#include <algorithm>
#include <utility>

namespace {

TContextOptionsEditor& Editor()
{
  static TContextOptionsEditor editor;
  return editor;
}

}  // namespace

TContextOptionsModel::TContextOptionsModel(const TContextRecord& record) : record_(record)
{
  SelectType(record.ContextType);
}

void TContextOptionsModel::SelectType(int32_t type)
{
  type = std::clamp(type, int32_t(0), int32_t(3));
  record_.ContextType = type;
  min_ = ContextSizeMin[type];
  max_ = ContextSizeMax[type];
  position_ = std::clamp(record_.Sizes[size_t(type)], min_, max_);
  sizeText_ = std::to_string(position_);
}

void TContextOptionsModel::SetSizeText(std::string text)
{
  if (text.size() > size_t(SizeMaxLength))
    text.resize(size_t(SizeMaxLength));
  sizeText_ = std::move(text);
}

void TContextOptionsModel::StepSize(int32_t steps)
{
  position_ = ClampEditToRange(sizeText_, position_, min_, max_);
  const int64_t moved = int64_t(position_) + int64_t(steps) * SizeStep;
  position_ = int32_t(std::clamp<int64_t>(moved, min_, max_));
  sizeText_ = std::to_string(position_);
}

const TContextRecord& TContextOptionsModel::Ok()
{
  position_ = ClampEditToRange(sizeText_, position_, min_, max_);
  record_.Sizes[size_t(record_.ContextType)] = position_;
  return record_;
}

bool EditContextOptions(TContextRecord& record)
{
  if (!Editor())
    return false;
  return Editor()(record);
}

void SetContextOptionsEditor(TContextOptionsEditor editor)
{
  Editor() = std::move(editor);
}
