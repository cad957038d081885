#include "workbench/frame/menu_table.h"

#include "forms/advanced_sort.h"
#include "forms/batch_options.h"
#include "forms/concord_config.h"
#include "forms/context_options.h"
#include "forms/corpora_list_model.h"
#include "forms/frame_dialogs_model.h"
#include "forms/frequency_config.h"
#include "forms/hdctx.h"
#include "forms/headings.h"
#include "forms/patterns_editor.h"
#include "forms/search_dialog_model.h"
#include "forms/sentence_options.h"
#include "forms/stop_list_model.h"
#include "forms/tag_settings.h"
#include "foundation/hit_location.h"
#include "workbench/dialogs/about_box.h"
#include "workbench/dialogs/tag_info_form.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/windows/collocation_form.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/corpus_comp_form.h"
#include "workbench/windows/distribution_form.h"
#include "workbench/windows/full_text_form.h"
#include "workbench/windows/word_list_form.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadGuide()
{
  std::ifstream in(QUILL_HELP_HTML);
  EXPECT_TRUE(in) << QUILL_HELP_HTML;
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// The guide's text with every run of white space read as one blank, as a
// browser shows it.
std::string GuideText()
{
  return std::regex_replace(ReadGuide(), std::regex("\\s+"), " ");
}

std::string RegexQuote(const std::string& text)
{
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// A command as a menu shows it: its caption and shortcut, and where it is.
struct TCommand {
  std::string Where;
  std::string Caption;
  std::string Shortcut;
};

// Captions are compared without their "&" marks and trailing dots.
std::string Plain(const std::string& caption)
{
  return std::regex_replace(caption, std::regex("&|\\s*\\.\\.\\.$"), "");
}

// Every caption is in the guide; a shortcut sits in the cell after its
// command's caption: <td>Caption...</td><td><kbd>Ctrl+X</kbd></td>.
void ExpectDocumented(const std::string& text, const std::vector<TCommand>& commands)
{
  for (const TCommand& c : commands) {
    const std::string caption = Plain(c.Caption);
    if (caption.size() < 2)  // the letters a..z of the concordance pop-up menu
      continue;
    EXPECT_NE(text.find(caption), std::string::npos) << c.Where << ": " << caption;
    if (c.Shortcut.empty())
      continue;
    const std::regex row(RegexQuote(caption) + R"((\s?\.\.\.)?</td> ?<td><kbd>)" + RegexQuote(c.Shortcut) + "</kbd>");
    EXPECT_TRUE(std::regex_search(text, row)) << c.Where << ": " << caption << " with " << c.Shortcut;
  }
}

std::vector<TCommand> FrameCommands()
{
  std::vector<TCommand> out;
  for (const TMenuEntry& entry : FrameMenuTable())
    out.push_back({"main window", entry.Caption, entry.Shortcut});
  return out;
}

// Every item of every menu a window owns: the menus it brings to the menu bar,
// their submenus and its pop-up menus.
std::vector<TCommand> WindowCommands(QWidget& window)
{
  std::vector<TCommand> out;
  const std::string where = window.objectName().toStdString() + " " + window.metaObject()->className();
  for (QMenu* menu : window.findChildren<QMenu*>()) {
    if (!menu->title().isEmpty())
      out.push_back({where, menu->title().toStdString(), ""});
    for (QAction* action : menu->actions())
      if (!action->isSeparator())
        out.push_back({where, action->text().toStdString(),
                       action->shortcut().toString(QKeySequence::PortableText).toStdString()});
  }
  return out;
}

}  // namespace

TEST(HelpFileTest, DescribesEveryMenuItemOfTheMainWindowWithItsShortcut)
{
  const std::vector<TCommand> commands = FrameCommands();
  ASSERT_GT(commands.size(), 40u);
  ExpectDocumented(GuideText(), commands);
}

TEST(HelpFileTest, DescribesEveryMenuItemOfEveryChildWindowWithItsShortcut)
{
  const std::string text = GuideText();
  auto concordance = std::make_unique<TConcordanceForm>("cat");
  std::vector<std::unique_ptr<QWidget>> windows;
  windows.push_back(std::make_unique<TFullTextForm>());
  windows.push_back(std::make_unique<TCollocationForm>(concordance.get(), 0));
  windows.push_back(std::make_unique<TWordListForm>());
  windows.push_back(std::make_unique<TCorpusCompForm>());
  windows.push_back(std::make_unique<TDistributionForm>(concordance.get()));

  std::vector<TCommand> commands = WindowCommands(*concordance);
  for (const auto& w : windows) {
    const std::vector<TCommand> own = WindowCommands(*w);
    commands.insert(commands.end(), own.begin(), own.end());
    EXPECT_NE(text.find(w->windowTitle().toStdString()), std::string::npos) << w->windowTitle().toStdString();
  }
  // The concordance window's Display, Sort and line menus, the full text's
  // menu, the collocation window's and the comparison's pop-up at least.
  ASSERT_GT(commands.size(), 60u);
  ExpectDocumented(text, commands);
  windows.clear();
}

TEST(HelpFileTest, NamesEveryDialogByItsCaption)
{
  const std::string text = GuideText();
  std::vector<std::string> captions = {
      TOpenURLModel::Caption, TWkSpaceOptionsModel::Caption, TLangConfigModel::Caption,
      CorporaListCaption, ViewFilesCaption, TBatchSearchCfgForm::Caption,
      TAdvancedSortColModel::SortCaption, TAdvancedSortColModel::CollocCaption, TTagCfgModel::Caption,
      TWordTagsCfgModel::Caption, TViewStopListModel::Caption, TContextOptionsModel::Caption,
      TConcordConfigModel::Caption, TFreqConfigModel::Caption, TSentCfgModel::Caption,
      TViewSentExceptsModel::Caption, TSearchTemplateModel::SimpleCaption, TSearchTemplateModel::AdvancedCaption,
      THeadingEdit::NewCaption, THeadingEdit::EditCaption, THeadingsModel::Caption, TPatternsEditModel::Caption,
      THdCtxForm::Caption, TAboutBox::Caption, "Add new tag", "Edit tag", "Add new meta-tag", "Edit meta-tag"};
  // The dialogs whose caption only their form knows.
  std::vector<std::unique_ptr<QWidget>> forms;
  forms.push_back(std::make_unique<TOutputConfigDlg>());
  forms.push_back(std::make_unique<TTagInfoForm>(THitInfo{}));
  forms.push_back(std::make_unique<TCCSortForm>());
  forms.push_back(std::make_unique<TCorpusCompColsSelectForm>());
  for (const auto& form : forms)
    captions.push_back(form->windowTitle().toStdString());

  for (const std::string& caption : captions) {
    ASSERT_FALSE(caption.empty());
    EXPECT_NE(text.find(caption), std::string::npos) << caption;
  }
}

TEST(HelpFileTest, LinksResolveAndNeedNoScript)
{
  const std::string html = ReadGuide();
  std::set<std::string> ids;
  const std::regex id("id=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), id); it != std::sregex_iterator(); ++it)
    EXPECT_TRUE(ids.insert((*it)[1]).second) << "anchor twice: " << (*it)[1];
  const std::regex href("href=\"([^\"]*)\"");
  int links = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), href); it != std::sregex_iterator(); ++it, ++links) {
    const std::string target = (*it)[1];
    ASSERT_EQ(target.rfind('#', 0), 0u) << "not an anchor of the guide: " << target;
    EXPECT_TRUE(ids.count(target.substr(1))) << target;
  }
  EXPECT_GT(links, 40);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_FALSE(std::regex_search(html, std::regex("<[^>]* on[a-z]+=")));  // no event handlers
}
