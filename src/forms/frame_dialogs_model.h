// The frame's three small dialogs without their widgets: "Open URL" with its
// history, "Save Workspace Options" and "Select language".
#pragma once

#include "foundation/settings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------
// Open URL

class TOpenURLModel {
public:
  static constexpr const char* Caption = "Open URL";
  static constexpr const char* HintText =
      "URL syntax: (http | ftp)://[user[:password]@]server[:port][/path]";
  static constexpr const char* EmptyURLText = "\"URL\" field can not be empty.";
  static constexpr const char* BadURLText = "\"%s\" is incomplete or bad URL.";

  // Tells whether a trimmed text is a URL the download client can fetch.
  using TURLCheck = std::function<bool(std::string_view url)>;
  // The download client's parser.
  static bool IsFetchableURL(std::string_view url);

  // The items are URLHistory; the text is the first of them, if any.
  explicit TOpenURLModel(TURLCheck check = IsFetchableURL);
  // Hands the items back to URLHistory, however the dialog ended.
  ~TOpenURLModel();
  TOpenURLModel(const TOpenURLModel&) = delete;
  TOpenURLModel& operator=(const TOpenURLModel&) = delete;

  std::vector<std::string> Items;
  std::string Text;

  // The OK button: true when the dialog ends (the trimmed URL is then at the
  // top of the items and is the result); false after a message, the combo
  // to take the focus.
  bool Ok();
  // The focus moved from the combo to another control.
  void ComboExit();
  // The trimmed URL after OK, else empty.
  const std::string& Result() const { return result_; }

private:
  TURLCheck check_;
  std::string result_;
};

// ---------------------------------------------------------------------------
// Save Workspace Options

struct TWkSpaceOptions {
  bool LinePages = true;
  bool Tags = true;
  bool URLs = false;
  bool Freq = false;
  bool operator==(const TWkSpaceOptions&) const = default;
};

class TWkSpaceOptionsModel {
public:
  static constexpr const char* Caption = "Save Workspace Options";

  // The boxes as the dialog opens: the defaults, or the stored Keep flags;
  // the frequency box is on only when CorpusFreqList exists.
  explicit TWkSpaceOptionsModel(bool useDefaults);
  static TWkSpaceOptions InitialBoxes(bool useDefaults, bool haveFreqList, const TWkSpaceOptions& stored);

  TWkSpaceOptions Boxes;
  // OK: the four Keep flags take the boxes.
  void Ok() const;
};

// ---------------------------------------------------------------------------
// Select language

class TLangConfigModel {
public:
  static constexpr const char* Caption = "Select language";

  // The font is SystemFont; the names are LanguageNames in the language's
  // order ignoring case; the selection is the current language's entry, else
  // the first.
  TLangConfigModel();

  const std::vector<std::string>& Names() const { return names_; }
  int32_t Selected = -1;
  TFontRec Font;

  // OK: the font goes to the dialogs; a language other than the current one
  // is made current with its character tables, and the result is true.
  bool Ok();

private:
  std::vector<std::string> names_;
};
