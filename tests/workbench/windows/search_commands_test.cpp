// The frame's search driver: interactive searches into concordance windows
// (new or refined) and batch searches into files, sorted or as found.
#include "workbench/frame/frame_test_support.h"
#include "support/text_checks.h"

#include "search/concord_items.h"
#include "forms/search_dialog_model.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/dialogs/search_template_dlg.h"
#include "workbench/windows/scripted_search.h"
#include <QLabel>
#include <QMdiArea>



using frametest::ChosenFiles;
using frametest::FrameTest;
using frametest::ScriptedSearch;
using testsupport::Count;
using testsupport::readFile;

namespace {

class FrameSearchTest : public FrameTest {
protected:
  FrameSearchTest()
  {
    first = folder_.write("first.txt", "A dog and a cat.\r\nThe cat saw the dog.\r\n");
    second = folder_.write("second.txt", "One cat, no dog.\r\n");
    Start({first, second});
    SearchTemplateDlg->Model().SetView(&view_);
    commands_ = InstallFrameCommands(Frame());
  }
  ~FrameSearchTest() override
  {
    if (SearchTemplateDlg)
      SearchTemplateDlg->Model().SetView(SearchTemplateDlg);
    BatchOutputOptions = TBatchOutputOptions{};
  }

  // A batch search of these pattern lines into the file, optionally appended.
  void Batch(std::vector<std::string> lines, const std::string& file, bool append = false)
  {
    view_.Fill = [lines, append](TSearchTemplateModel& m) {
      m.BatchSearchCheckClick(true);
      m.SaveToFileCheckClick(true);
      m.AppendSearchCheckClick(append);
      *m.CurrentPatterns = lines;
    };
    files_.Answers.push_back(file);
    commands_->GenerateConcordance(true);
  }
  void Interactive(const std::string& pattern, bool append = false)
  {
    view_.Fill = [pattern, append](TSearchTemplateModel& m) {
      m.SearchString.Text = pattern;
      m.AppendSearchCheckClick(append);
    };
    commands_->GenerateConcordance(false);
  }
  std::vector<TConcordanceForm*> Windows()
  {
    std::vector<TConcordanceForm*> out;
    for (TMDIChildForm* child : Frame().ChildWindows())
      if (auto* w = dynamic_cast<TConcordanceForm*>(child))
        out.push_back(w);
    return out;
  }
  // The hit texts of a batch file in the order written.
  static std::string HitOrder(const std::string& text)
  {
    std::string order;
    for (size_t at = text.find("[["); at != std::string::npos; at = text.find("[[", at + 2))
      order += text.substr(at + 2, text.find("]]", at) - at - 2) + " ";
    return order;
  }

  std::string first, second;
  ScriptedSearch view_;
  ChosenFiles files_;
  TFrameCommands* commands_ = nullptr;
};

}  // namespace

TEST_F(FrameSearchTest, UnsortedBatchWritesHitsAsFoundAndSortedOnesInKeyOrder)
{
  const std::string found = folder_.file("found.txt");
  Batch({"dog, cat"}, found);
  const std::string text = readFile(found);
  // Items, then patterns, then positions; numbered by the running count.
  EXPECT_EQ(HitOrder(text), "dog dog cat cat dog cat ");
  EXPECT_NE(text.find("   1. "), std::string::npos);
  EXPECT_NE(text.find("   6. "), std::string::npos);
  EXPECT_EQ(files_.Shown.back().Title, "Select where to save batch search results");
  EXPECT_EQ(files_.Shown.back().Filter, "Text files (*.TXT)|*.TXT|All files (*.*)|*.*");
  EXPECT_TRUE(files_.Shown.back().Options & ofOverwritePrompt);
  EXPECT_EQ(Frame().HintText(), QStringLiteral("2 files in current corpus"));

  // By the search term.
  ConcordSettings.BatchSort.First = ctx0;
  const std::string sorted = folder_.file("sorted.txt");
  Batch({"dog, cat"}, sorted);
  EXPECT_EQ(HitOrder(readFile(sorted)), "cat cat cat dog dog dog ");

  // A customised key list alone sorts too; an empty one does not.
  ConcordSettings.BatchSort.First = ctxNone;
  ConcordSettings.BatchSortItems = {TAdvancedSortColItem{ctx0, false}};
  const std::string custom = folder_.file("custom.txt");
  Batch({"dog, cat"}, custom);
  EXPECT_EQ(HitOrder(readFile(custom)), "cat cat cat dog dog dog ");
  ConcordSettings.BatchSortItems.clear();
  const std::string plain = folder_.file("plain.txt");
  Batch({"dog, cat"}, plain);
  EXPECT_EQ(HitOrder(readFile(plain)), "dog dog cat cat dog cat ");
  EXPECT_FALSE(IsBusy());
  EXPECT_TRUE(Windows().empty());
}

TEST_F(FrameSearchTest, HtmlBatchHasHeadAndFootEvenWithoutHitsAndAppendsWholeDocuments)
{
  BatchOutputOptions.SaveAsHTML = true;
  const std::string page = folder_.file("out.html");
  Batch({"zebra"}, page);
  EXPECT_EQ(files_.Shown.back().Filter, "HTML files (*.HTML)|*.HTML|All files (*.*)|*.*");
  const std::string empty = readFile(page);
  EXPECT_EQ(Count(empty, "<html"), 1u);
  EXPECT_EQ(Count(empty, "</html>"), 1u);
  Batch({"cat"}, page, true);
  EXPECT_FALSE(files_.Shown.back().Options & ofOverwritePrompt);
  const std::string both = readFile(page);
  EXPECT_EQ(both.substr(0, empty.size()), empty);
  EXPECT_EQ(Count(both, "<html"), 2u);
  EXPECT_EQ(Count(both, "class=hilite"), 3u);

  // Appending to a text file that does not exist creates it.
  BatchOutputOptions.SaveAsHTML = false;
  const std::string text = folder_.file("new.txt");
  Batch({"dog"}, text, true);
  Batch({"cat"}, text, true);
  EXPECT_EQ(HitOrder(readFile(text)), "dog dog dog cat cat cat ");
}

TEST_F(FrameSearchTest, CancelAndFailuresLeaveNothingBehindAndTheProgramIdle)
{
  // Cancel in the batch save dialog: no file, no window.
  view_.Fill = [](TSearchTemplateModel& m) {
    m.BatchSearchCheckClick(true);
    m.SaveToFileCheckClick(true);
    *m.CurrentPatterns = {"cat"};
  };
  commands_->GenerateConcordance(true);
  EXPECT_TRUE(Windows().empty());
  EXPECT_FALSE(IsBusy());

  // A regular expression the search cannot prepare: the message, nothing run.
  view_.Force = true;
  view_.Fill = [](TSearchTemplateModel& m) {
    m.SyntaxRadioClick(TSearchMode::Regex);
    m.SearchString.Text = "(";
  };
  commands_->GenerateConcordance(true);
  view_.Force = false;
  EXPECT_EQ(Messages(mtError), std::vector<std::string>{"Unmatched ( or \\("});
  EXPECT_TRUE(Windows().empty());

  // A batch file that cannot be written: the message, the clean-up.
  Batch({"cat"}, "/dev/full");
  ASSERT_EQ(Messages(mtError).size(), 2u);
  EXPECT_NE(Messages(mtError)[1].find("/dev/full"), std::string::npos);
  EXPECT_FALSE(IsBusy());
  EXPECT_FALSE(Frame().BatchFileOpen);
  EXPECT_EQ(commands_->BatchFile, nullptr);
}

TEST_F(FrameSearchTest, InteractiveSearchFillsAWindowAndARefineNarrowsIt)
{
  Interactive("cat");
  ASSERT_EQ(Windows().size(), 1u);
  TConcordanceForm* window = Windows()[0];
  EXPECT_EQ(window->Items().Count(), 3);
  EXPECT_EQ(window->SearchText(), "cat");
  EXPECT_NE(window->Search(), nullptr);

  // Refine the active window: same window, captions newest first, numbers go on.
  Frame().ClientArea->setActiveSubWindow(window->subWindow());
  Interactive("dog", true);
  ASSERT_EQ(Windows().size(), 1u);
  EXPECT_EQ(window->SearchText(), "dog/cat");
  EXPECT_EQ(window->Items().Count(), 6);
  EXPECT_EQ(window->Items().GetItem(5)->HitNumber, 5);
  EXPECT_EQ(window->SortOrderWindow->text(), QStringLiteral("Original text order"));

  // A sorted window shows "Unordered" after a refine.
  window->SortSpec().First = ctx0;
  Interactive("saw", true);
  EXPECT_EQ(window->SearchText(), "saw/dog/cat");
  EXPECT_EQ(window->SortSpec().First, ctxNone);
  EXPECT_EQ(window->SortOrderWindow->text(), QStringLiteral("Unordered"));

  // Without Append a new window opens.
  Interactive("one");
  EXPECT_EQ(Windows().size(), 2u);
  EXPECT_FALSE(IsBusy());
}
