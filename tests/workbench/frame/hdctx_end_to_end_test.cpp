// A search restricted to headings and contexts, from the Advanced Search
// menu item through the search dialog, the restrictions form, the headings
// dialog (its keys and buttons) and the heading editor, over a generated corpus with headings; the
// hits are counted against a plain reference reading of the same text.
#include "workbench/frame/frame_test_support.h"

#include "corpus_generator.h"
#include "search/concord_items.h"
#include "workbench/dialogs/hdctx_form.h"
#include "workbench/dialogs/headings_dlg.h"
#include "workbench/dialogs/modal_steps.h"
#include "workbench/dialogs/search_template_dlg.h"
#include "workbench/windows/concordance_form.h"

#include <QCheckBox>
#include <QWindow>
#include <QApplication>
#include <QKeyEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cctype>
#include <map>

using frametest::FrameTest;
using testsupport::WhenModal;
using Words = std::vector<std::string>;

namespace {

// Runs of letters outside markup tags, lower-cased.
Words WordsOf(const std::string& text, size_t from, size_t to)
{
  Words words(1);
  for (size_t i = from; i < to; ++i) {
    if (text[i] == '<')
      i = std::min(text.find('>', i), to);
    else if (std::isalpha(static_cast<unsigned char>(text[i])))
      words.back() += char(std::tolower(static_cast<unsigned char>(text[i])));
    if (!words.back().empty() && (i + 1 >= to || !std::isalpha(static_cast<unsigned char>(text[i + 1]))))
      words.emplace_back();
  }
  words.pop_back();
  return words;
}

// Each heading's words and the words of its text: from the paragraph tag
// after the heading to the next heading (the last one has no end and is
// never searched).
std::vector<std::pair<Words, Words>> SectionsOf(const std::string& text)
{
  std::vector<std::pair<Words, Words>> out;
  for (size_t at = text.find("<head>"), next; (next = text.find("<head>", at + 1)) != std::string::npos; at = next) {
    const size_t stop = text.find("<p n=", at);
    out.emplace_back(WordsOf(text, at + 6, stop), WordsOf(text, text.find('>', stop) + 1, next));
  }
  return out;
}

// Hits of `pattern`; with a `left` word only between it and the next `right`
// word (a range counts once its right end is found).
size_t Hits(const Words& words, const std::string& pattern, const std::string& left = "",
            const std::string& right = "")
{
  size_t n = 0, pending = 0;
  bool inside = left.empty();
  for (const std::string& w : words) {
    if (!inside)
      inside = w == left;
    else if (!left.empty() && w == right) {
      n += pending;
      pending = 0;
      inside = false;
    } else {
      (left.empty() ? n : pending) += w == pattern;
    }
  }
  return n;
}

// Types a heading into the editor that is up, checking OK's enabling, and
// presses OK. Fewer than five texts edit an existing heading.
void TypeHeading(QWidget* editor, const Words& texts)
{
  const bool isNew = texts.size() == 5;
  auto* ok = editor->findChild<QPushButton*>(QStringLiteral("OKBtn"));
  const char* names[] = {"HeadNameEdit", "HeadStartEdit", "HeadStopEdit", "TextStartEdit", "TextStopEdit"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(ok->isEnabled(), !isNew) << i;
    auto* edit = editor->findChild<QLineEdit*>(QString::fromLatin1(names[i]));
    if (i < texts.size()) {
      edit->clear();
      QTest::keyClicks(edit, QString::fromStdString(texts[i]));
    }
  }
  QTest::mouseClick(ok, Qt::LeftButton);
}

void Key(QWidget* to, QEvent::Type type, int key)
{
  QKeyEvent event(type, key, Qt::NoModifier);
  QApplication::sendEvent(to, &event);
}

class HdCtxEndToEndTest : public FrameTest {
protected:
  // Advanced Search with the restrictions on, the form worked by `inForm`;
  // the hits of the new concordance window.
  size_t Search(const std::string& pattern, std::function<void(THdCtxDlg&)> inForm)
  {
    TFrameForm& frame = Frame();
    frame.UpdateMenuState();
    frame.windowHandle()->requestActivate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == frame.windowHandle(); }));
    const size_t before = frame.ChildWindows().size();
    QTimer::singleShot(0, [&] {
      TSearchTemplateDlg& dlg = *SearchTemplateDlg;
      QTest::keyClicks(dlg.SearchString, QString::fromStdString(pattern));
      QTest::mouseClick(dlg.HdCtxCheck, Qt::LeftButton);
      WhenModal([&](QWidget*) {
        inForm(*HdCtxForm);
        QTest::mouseClick(HdCtxForm->OKButton, Qt::LeftButton);
      });
      QTest::mouseClick(dlg.HdCtxBtn, Qt::LeftButton);
      QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    QTest::keyClick(&frame, Qt::Key_A, Qt::ControlModifier);
    const auto windows = frame.ChildWindows();
    EXPECT_EQ(windows.size(), before + 1);
    auto* w = windows.empty() ? nullptr : dynamic_cast<TConcordanceForm*>(windows.back());
    return w ? size_t(w->Items().Count()) : 0;
  }

  static void Type(QComboBox* box, const std::string& text)
  {
    box->setFocus();
    QTest::keyClicks(box, QString::fromStdString(text));
  }
};

TEST_F(HdCtxEndToEndTest, HeadingAndContextRestrictionsFromTheMenus)
{
  corpusgen::Options o;
  o.size = 120000;
  o.seed = 29;
  o.vocabularySize = 400;
  o.markupTags = true;
  o.headingMarker = "<head>";
  o.headingEveryLines = 12;
  const std::string text = corpusgen::generateToString(o);
  const auto sections = SectionsOf(text);
  // The heading word most often found in headings, a frequent word to search
  // and two rarer ones for the contexts.
  std::map<std::string, size_t> inHeadings;
  for (const auto& s : sections)
    for (const std::string& w : s.first)
      ++inHeadings[w];
  const std::string heading =
      std::max_element(inHeadings.begin(), inHeadings.end(), [](auto& a, auto& b) { return a.second < b.second; })
          ->first;
  Words v = corpusgen::vocabulary(o);
  for (std::string& w : v)
    w = WordsOf(w, 0, w.size()).at(0);
  const std::string pattern = v[2], left = v[10], right = v[11];
  size_t both = 0, headingOnly = 0;
  for (const auto& [head, body] : sections)
    if (std::find(head.begin(), head.end(), heading) != head.end()) {
      both += Hits(body, pattern, left, right);
      headingOnly += Hits(body, pattern);
    }
  const size_t contextOnly = Hits(WordsOf(text, 0, text.size()), pattern, left, right);
  ASSERT_GT(both, 0u);
  ASSERT_LT(both, std::min(headingOnly, contextOnly));
  ASSERT_LT(std::max(headingOnly, contextOnly), 500u);

  Start({folder_.write("headed.txt", text)});
  // The heading is defined through "&Edit..." on the way.
  EXPECT_EQ(Search(pattern, [&](THdCtxDlg& f) {
    EXPECT_FALSE(f.HeadingCheck->isEnabled());
    EXPECT_TRUE(f.focusWidget() == f.ContextCheck);
    WhenModal([this](QWidget*) {
      // Insert and Delete act when released, Enter when pressed.
      QListWidget* list = HeadingsDlg->HeadingsList;
      EXPECT_TRUE(HeadingsDlg->focusWidget() == list);
      EXPECT_FALSE(HeadingsDlg->EditBtn->isEnabled() || HeadingsDlg->RemoveBtn->isEnabled());
      Key(list, QEvent::KeyPress, Qt::Key_Insert);
      WhenModal([](QWidget* e) { TypeHeading(e, {"Spare", "a", "b", "c", "d"}); });
      Key(list, QEvent::KeyRelease, Qt::Key_Insert);
      WhenModal([](QWidget* e) { TypeHeading(e, {"Part", "<head>", "<p n=", ">", "<head>"}); });
      QTest::mouseClick(HeadingsDlg->AddBtn, Qt::LeftButton);
      EXPECT_TRUE(HeadingsDlg->EditBtn->isEnabled() && HeadingsDlg->RemoveBtn->isEnabled());
      list->setCurrentRow(1);
      WhenModal([](QWidget* e) { TypeHeading(e, {"Section"}); });
      Key(list, QEvent::KeyPress, Qt::Key_Return);
      EXPECT_TRUE(HeadingsDlg->isVisible());
      list->setCurrentRow(0);
      Dialogs.Answers = {mrYes};
      Key(list, QEvent::KeyRelease, Qt::Key_Delete);
      EXPECT_EQ(list->count(), 1);
    });
    QTest::mouseClick(f.HeadingEditBtn, Qt::LeftButton);
    EXPECT_TRUE(f.HeadingCheck->isEnabled());
    QTest::mouseClick(f.HeadingCheck, Qt::LeftButton);
    EXPECT_EQ(f.HeadingCombo->currentText(), QStringLiteral("Section"));
    Type(f.HeadingPattern, heading);
    QTest::mouseClick(f.ContextCheck, Qt::LeftButton);
    Type(f.LeftPattern, left);
    Type(f.RightPattern, right);
  }), both);
  EXPECT_EQ(Search(pattern, [](THdCtxDlg& f) {
    EXPECT_TRUE(f.focusWidget() == f.HeadingPattern);
    QTest::mouseClick(f.ContextCheck, Qt::LeftButton);
  }), headingOnly);
  EXPECT_EQ(Search(pattern, [](THdCtxDlg& f) {
    QTest::mouseClick(f.HeadingCheck, Qt::LeftButton);
    QTest::mouseClick(f.ContextCheck, Qt::LeftButton);
  }), contextOnly);
  EXPECT_TRUE(Messages(mtError).empty());
  EXPECT_EQ(Messages(mtWarning), Words{"Remove \"Spare\"?"});
}

}  // namespace
