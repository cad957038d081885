// Every dialog and window keeps the promise of its captions' mnemonics: a
// label with an underlined letter has a control to take the focus, and no
// two controls of one window share a letter (the second press would only
// move between them instead of acting).
#include "workbench/frame/frame_test_support.h"

#include "forms/advanced_sort.h"
#include "forms/headings.h"
#include "forms/patterns_editor.h"
#include "forms/tag_settings.h"
#include "workbench/dialogs/about_box.h"
#include "workbench/dialogs/advanced_sort_form.h"
#include "workbench/dialogs/context_options_form.h"
#include "workbench/dialogs/frame_dialogs_forms.h"
#include "workbench/dialogs/headings_dlg.h"
#include "workbench/dialogs/patterns_edit_form.h"
#include "workbench/dialogs/tag_cfg_dlg.h"
#include "workbench/dialogs/word_tags_cfg_dlg.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/output/print_setup_dlg.h"
#include "workbench/windows/corpus_comp_form.h"
#include "workbench/windows/word_list_form.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>

using frametest::FrameTest;

namespace {

// The underlined letter of a caption, or 0.
QChar Mnemonic(const QString& text)
{
  for (qsizetype i = 0; i + 1 < text.size(); ++i)
    if (text[i] == QLatin1Char('&')) {
      if (text[i + 1] != QLatin1Char('&'))
        return text[i + 1].toUpper();
      ++i;
    }
  return {};
}

// What is wrong with the window's mnemonics, one line per fault.
std::vector<std::string> Faults(QWidget& window)
{
  std::vector<std::string> faults;
  std::map<QChar, QString> taken;
  const auto take = [&](const QChar letter, const QString& caption) {
    if (letter.isNull())
      return;
    // Two pairs of captions that the word-list editors are given share a
    // letter as written; they stay as they are.
    static const std::set<std::pair<QString, QString>> given = {{"C&lose", "&Load..."}, {"C&ancel", "&Add..."}};
    if (auto [at, fresh] = taken.emplace(letter, caption); !fresh && !given.count({caption, at->second}))
      faults.push_back("\"" + caption.toStdString() + "\" shares its letter with \"" + at->second.toStdString() + "\"");
  };
  for (QLabel* label : window.findChildren<QLabel*>()) {
    const QChar letter = Mnemonic(label->text());
    if (!letter.isNull() && !label->buddy())
      faults.push_back("\"" + label->text().toStdString() + "\" has no control");
    take(letter, label->text());
  }
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
    if (!button->isHidden() || button->isVisibleTo(&window))
      take(Mnemonic(button->text()), button->text());
  for (QGroupBox* group : window.findChildren<QGroupBox*>())
    take(Mnemonic(group->title()), group->title());
  return faults;
}

class MnemonicsTest : public FrameTest {};

TEST_F(MnemonicsTest, EveryUnderlinedLetterActsAndIsTheOnlyOneInItsWindow)
{
  Start();
  const std::vector<TTagRow> tagRows(1);
  const std::vector<TMetaRow> metaRows(1);
  TEditWatchTagsModel watchTag(tagRows, -1);
  TEditMetaTagsModel metaTag(metaRows, -1);
  TPatternsEditModel patterns({"cat"}, 0, 0);
  THeadingEdit heading(true, -1, {});
  std::vector<TAdvancedSortColItem> sortList;
  TAdvancedSortColModel sort(false, TAdvancedSortColOptions{}, &sortList);
  const std::vector<std::function<std::unique_ptr<QWidget>()>> made = {
      [] { return std::make_unique<TOutputConfigDlg>(); },
      [] { return std::make_unique<TPrintSetupDlg>(); },
      [] { return std::make_unique<TLangConfig>(); },
      [] { return std::make_unique<TWkSpaceOptionsForm>(false); },
      [] { return std::make_unique<TOpenURLForm>(); },
      [] { return std::make_unique<TAboutBox>(); },
      [] { return std::make_unique<TCCSortForm>(); },
      [] { return std::make_unique<TCorpusCompColsSelectForm>(); },
      [] { return std::make_unique<TContextOptionsForm>(TContextRecord{}); },
      [] { return std::make_unique<TSentCfgDlg>(); },
      [] { return std::make_unique<TViewSentExceptsDlg>(); },
      [&] { return std::make_unique<TEditWatchTagsDlg>(watchTag); },
      [&] { return std::make_unique<TEditMetaTagsDlg>(metaTag); },
      [&] { return std::make_unique<TPatternsEditForm>(patterns); },
      [&] { return std::make_unique<THeadingEditDlg>(heading); },
      [&] { return std::make_unique<TAdvancedSortColForm>(sort); },
  };
  std::vector<std::unique_ptr<QWidget>> owned;
  for (const auto& make : made)
    owned.push_back(make());
  // The dialogs made at start-up, which live for the whole run.
  std::vector<QWidget*> windows;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (qobject_cast<QDialog*>(top))
      windows.push_back(top);
  EXPECT_GE(windows.size(), owned.size() + 9);
  for (QWidget* window : windows) {
    SCOPED_TRACE(window->metaObject()->className());
    EXPECT_EQ(Faults(*window), std::vector<std::string>{});
  }
}

}  // namespace
