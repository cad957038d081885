// A search restricted to headings and contexts, from the Advanced Search
// menu item through the search dialog, the restrictions form, the headings
// dialog and the heading editor, over a generated corpus with headings; the
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
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cctype>
#include <map>

using frametest::FrameTest;

using testsupport::WhenModal;

namespace {

// Words of the text: runs of letters outside markup tags, lower-cased, with
// their positions.
struct TWord {
  std::string Text;
  size_t Pos;
};

std::vector<TWord> WordsOf(const std::string& text, size_t from, size_t to)
{
  std::vector<TWord> words;
  for (size_t i = from; i < to;) {
    if (text[i] == '<') {
      i = text.find('>', i);
      i = i == std::string::npos ? to : i + 1;
    } else if (std::isalpha(static_cast<unsigned char>(text[i]))) {
      size_t j = i;
      std::string w;
      while (j < to && std::isalpha(static_cast<unsigned char>(text[j])))
        w += char(std::tolower(static_cast<unsigned char>(text[j++])));
      words.push_back({w, i});
      i = j;
    } else {
      ++i;
    }
  }
  return words;
}

// One heading: its heading words and the words of its text. The text runs
// from the end of the paragraph tag after the heading to the next heading;
// the last heading has no end and is never searched.
struct TSection {
  std::vector<TWord> Heading, Body;
};

std::vector<TSection> SectionsOf(const std::string& text)
{
  std::vector<TSection> out;
  for (size_t at = text.find("<head>"); at != std::string::npos;) {
    const size_t stop = text.find("<p n=", at);
    const size_t next = text.find("<head>", at + 1);
    if (stop == std::string::npos || next == std::string::npos)
      break;
    out.push_back({WordsOf(text, at + 6, stop), WordsOf(text, text.find('>', stop) + 1, next)});
    at = next;
  }
  return out;
}

// Hits of `pattern` in the words, only between a `left` hit and the next
// `right` hit when `left` is not empty.
size_t Hits(const std::vector<TWord>& words, const std::string& pattern, const std::string& left,
            const std::string& right)
{
  size_t n = 0, pending = 0;
  bool inside = false;
  for (const TWord& w : words) {
    if (left.empty())
      n += w.Text == pattern;
    else if (!inside)
      inside = w.Text == left;
    else if (w.Text == right) {
      n += pending;  // a range counts once its right end is found
      pending = 0;
      inside = false;
    } else {
      pending += w.Text == pattern;
    }
  }
  return n;
}

// The same in the text of every section whose heading has `heading`.
size_t Hits(const std::vector<TSection>& sections, const std::string& pattern, const std::string& heading,
            const std::string& left, const std::string& right)
{
  size_t n = 0;
  for (const TSection& s : sections)
    if (std::any_of(s.Heading.begin(), s.Heading.end(), [&](const TWord& w) { return w.Text == heading; }))
      n += Hits(s.Body, pattern, left, right);
  return n;
}

std::string Lower(std::string s)
{
  for (char& c : s)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class HdCtxEndToEndTest : public FrameTest {
protected:
  HdCtxEndToEndTest()
  {
    corpusgen::Options o;
    o.size = 120000;
    o.seed = 29;
    o.vocabularySize = 400;
    o.markupTags = true;
    o.headingMarker = "<head>";
    o.headingEveryLines = 12;
    text_ = corpusgen::generateToString(o);
    corpus_ = folder_.write("headed.txt", text_);
    sections_ = SectionsOf(text_);
    vocabulary_ = corpusgen::vocabulary(o);
  }

  // Advanced Search with the restrictions on, the form worked by `inForm`.
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
      WhenModal([&](QWidget* w) {
        EXPECT_EQ(w, HdCtxForm);
        inForm(*HdCtxForm);
        QTest::mouseClick(HdCtxForm->OKButton, Qt::LeftButton);
      });
      QTest::mouseClick(dlg.HdCtxBtn, Qt::LeftButton);
      QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
      if (dlg.isVisible())
        dlg.reject();
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
    box->lineEdit()->clear();
    QTest::keyClicks(box, QString::fromStdString(text));
  }

  std::string text_, corpus_;
  std::vector<TSection> sections_;
  std::vector<std::string> vocabulary_;
};

TEST_F(HdCtxEndToEndTest, HeadingAndContextRestrictionsFromTheMenus)
{
  // The heading word found in most headings but not all, a frequent word to
  // search and two rarer ones for the contexts.
  std::map<std::string, size_t> inHeadings;
  for (const TSection& s : sections_)
    for (const TWord& w : s.Heading)
      ++inHeadings[w.Text];
  std::string heading;
  for (const auto& [word, n] : inHeadings)
    if (n < sections_.size() && (heading.empty() || n > inHeadings[heading]))
      heading = word;
  ASSERT_GT(sections_.size(), 20u);
  ASSERT_FALSE(heading.empty());
  const std::string pattern = Lower(vocabulary_[2]), left = Lower(vocabulary_[10]), right = Lower(vocabulary_[11]);

  Start({corpus_});
  const size_t both = Hits(sections_, pattern, heading, left, right);
  const size_t headingOnly = Hits(sections_, pattern, heading, "", "");
  const size_t contextOnly = Hits(WordsOf(text_, 0, text_.size()), pattern, left, right);
  ASSERT_GT(both, 0u);
  ASSERT_LT(both, headingOnly);
  ASSERT_LT(both, contextOnly);
  ASSERT_LT(headingOnly, 500u);
  ASSERT_LT(contextOnly, 500u);

  // The heading is defined through "&Edit..." on the way.
  EXPECT_EQ(Search(pattern, [&](THdCtxDlg& f) {
    EXPECT_FALSE(f.HeadingCheck->isEnabled());
    WhenModal([](QWidget*) {
      WhenModal([](QWidget* e) {
        const char* names[] = {"HeadNameEdit", "HeadStartEdit", "HeadStopEdit", "TextStartEdit", "TextStopEdit"};
        const char* texts[] = {"Section", "<head>", "<p n=", ">", "<head>"};
        for (int i = 0; i < 5; ++i)
          QTest::keyClicks(e->findChild<QLineEdit*>(QString::fromLatin1(names[i])), QString::fromLatin1(texts[i]));
        QTest::mouseClick(e->findChild<QPushButton*>(QStringLiteral("OKBtn")), Qt::LeftButton);
      });
      QTest::mouseClick(HeadingsDlg->AddBtn, Qt::LeftButton);
      EXPECT_EQ(HeadingsDlg->HeadingsList->count(), 1);
    });
    QTest::mouseClick(f.HeadingEditBtn, Qt::LeftButton);
    QTest::mouseClick(f.HeadingCheck, Qt::LeftButton);
    EXPECT_EQ(f.HeadingCombo->currentText(), QStringLiteral("Section"));
    Type(f.HeadingPattern, heading);
    QTest::mouseClick(f.ContextCheck, Qt::LeftButton);
    Type(f.LeftPattern, left);
    Type(f.RightPattern, right);
  }), both);

  EXPECT_EQ(Search(pattern, [](THdCtxDlg& f) { QTest::mouseClick(f.ContextCheck, Qt::LeftButton); }), headingOnly);
  EXPECT_EQ(Search(pattern, [](THdCtxDlg& f) {
    QTest::mouseClick(f.HeadingCheck, Qt::LeftButton);
    QTest::mouseClick(f.ContextCheck, Qt::LeftButton);
  }), contextOnly);
  EXPECT_TRUE(Messages(mtError).empty());
  EXPECT_TRUE(Messages(mtWarning).empty());
}

}  // namespace
