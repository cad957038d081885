// The "Context Options" dialog without its widgets: a context type and the
// size for that type, edited on the form's own copy of a context record.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Six 32-bit values: the context type (0 Characters, 1 Words, 2 Lines,
// 3 Sentence), the sizes of the four types, and one value of the caller's
// that is carried through unchanged.
struct TContextRecord {
  int32_t ContextType = 0;
  std::array<int32_t, 4> Sizes{};
  int32_t CallerValue = 0;

  bool operator==(const TContextRecord&) const = default;
};

class TContextOptionsModel {
public:
  static constexpr const char* Caption = "Context Options";
  static constexpr const char* TypeNames[4] = {"Characters", "Words", "Lines", "Sentence"};
  // The up-down's step and the edit's length limit.
  static constexpr int32_t SizeStep = 10;
  static constexpr int32_t SizeMaxLength = 5;

  // Copies the record and applies its type.
  explicit TContextOptionsModel(const TContextRecord& record);

  // Selecting a type in the combo: shows the size controls (Characters,
  // Words, Lines) or "&Options.." (Sentence), gives the up-down that type's
  // range and stored size, and drops a size typed and not confirmed.
  void SelectType(int32_t type);
  // Typing in the size edit; free text, read when OK is pressed.
  void SetSizeText(std::string text);
  // The up-down arrows: one step up or down, kept in the range.
  void StepSize(int32_t steps);
  // OK: the typed size, clamped to the type's range, becomes the size of the
  // current type; the whole copy is the result.
  const TContextRecord& Ok();

  int32_t Type() const { return record_.ContextType; }
  const std::string& SizeText() const { return sizeText_; }
  int32_t SizeMin() const { return min_; }
  int32_t SizeMax() const { return max_; }
  // The up-down's position.
  int32_t Position() const { return position_; }
  bool SizeVisible() const { return Type() != 3; }
  bool OptionsVisible() const { return Type() == 3; }
  const TContextRecord& Record() const { return record_; }

private:
  TContextRecord record_;
  std::string sizeText_;
  int32_t min_ = 0;
  int32_t max_ = 0;
  int32_t position_ = 0;
};

// Runs the "Context Options" form on the record; true when the user
// confirmed, and the record is then updated. The workbench installs the form.
bool EditContextOptions(TContextRecord& record);
using TContextOptionsEditor = std::function<bool(TContextRecord& record)>;
void SetContextOptionsEditor(TContextOptionsEditor editor);
