// The concordance report over a real corpus file with its indexes: the
// two-pass alignment, the line limit, information and tag lines, labels,
// concealing and escaping, the HTML rows, cancelling, failures and printing.
#include "workbench/output/concordance_writer.h"

#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/tag_scan.h"
#include "search/concord_items.h"
#include "search/sentence.h"
#include "support/double_byte_text.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"
#include "support/text_checks.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/output/text_sink.h"

#include <QPrinter>
#include <QWidget>
#include "corpus_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testsupport::ScopedEnv;
using testsupport::ScratchFolder;
using testsupport::errorOf;
using testsupport::readFile;

namespace {

std::vector<std::string> splitCrLf(const std::string& text)
{
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
    lines.push_back(text.substr(from, at - from));
  if (from < text.size())
    lines.push_back(text.substr(from));
  return lines;
}

// Every LF is part of a CR LF and every CR of one.
bool onlyCrLf(const std::string& text)
{
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
      return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
      return false;
  }
  return true;
}

// Plain progress dialogs that remember what the writer set; the test may
// press Cancel after a number of lines through the sink.
class RecordingDialogs : public DialogService {
public:
  RecordingDialogs() { previous_ = SetDialogService(this); }
  ~RecordingDialogs() override { SetDialogService(previous_); }

  int ShowMessageBox(const MessageBoxRequest&) override { return mrOk; }
  bool QueryInput(std::string_view, std::string_view, const TFontRec&, std::string&) override { return false; }
  std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile) override
  {
    struct Form : ProgressDialog {
      Form(bool m, RecordingDialogs& owner) : ProgressDialog(m), owner_(owner) {}
      ~Form() override
      {
        owner_.Caption = Caption();
        owner_.MaxValue = MaxValue();
        owner_.Alive = false;
      }
      RecordingDialogs& owner_;
    };
    Alive = true;
    ++Created;
    return std::make_unique<Form>(multiFile, *this);
  }
  std::unique_ptr<DoubleProgressDialog> CreateDoubleProgressForm() override
  {
    return std::make_unique<DoubleProgressDialog>();
  }

  int Created = 0;
  bool Alive = false;
  std::string Caption;
  int64_t MaxValue = -1;

private:
  DialogService* previous_;
};

// Collects the text and presses Cancel once the given number of lines
// ending in CR LF have been written.
class CancellingSink : public TStringTextSink {
public:
  explicit CancellingSink(int afterLines) : afterLines_(afterLines) {}
  int Lines() const { return lines_; }
  void Write(std::string_view bytes) override
  {
    TStringTextSink::Write(bytes);
    if (bytes == LineEnd && ++lines_ == afterLines_)
      if (ProgressDialog* p = ProgressDialog::Topmost())
        p->SetTag(ProgressCancel);
  }

private:
  int afterLines_;
  int lines_ = 0;
};

class NullFrame : public TCorpusFrame {};

class ConcordanceReportTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    InitSharedState();
    SetTextLanguage(0x409);
    corpusgen::useDefaultSearchSettings();
    ConcordSettings.PageSeparator = "@@PAGE";
    BuildCharTables();
    WatchedTags.clear();
  }

  void TearDown() override
  {
    UnloadCorpus(frame_);
    WatchedTags.clear();
    InitProgramState();
  }

  // Loads the text as the only corpus item, with its indexes.
  void load(const std::string& text, const std::string& name = "corpus.txt")
  {
    text_ = text;
    path_ = corpus_.write(name, text);
    LoadCorpusItems(frame_, {path_});
    ASSERT_EQ(CorpusList.Count(), 1);
  }

  // A hit on the given occurrence of the word, appended to the list.
  TConcordItem& addHit(const std::string& word, int occurrence = 0)
  {
    size_t at = text_.find(word);
    for (int k = 0; k < occurrence; ++k)
      at = text_.find(word, at + 1);
    EXPECT_NE(at, std::string::npos) << word;
    auto hit = std::make_unique<TConcordItem>();
    hit->FileIndex = 0;
    hit->HitStart = int32_t(at);
    hit->HitEnd = int32_t(at + word.size());
    hit->HitNumber = list_.Count();
    list_.AddItem(std::move(hit));
    return *list_.GetItem(list_.Count() - 1);
  }

  std::string report(const TOutputOptions& o, uint8_t contextType = 1, int32_t size = 3, bool printing = false,
                     std::array<bool, 3> suppress = {false, false, false})
  {
    TStringTextSink sink;
    WriteConcordance(sink, list_, nullptr, "cat", o, suppress, sizes(contextType, size), contextType, printing);
    return sink.Text();
  }

  static std::array<int32_t, 4> sizes(uint8_t type, int32_t size)
  {
    std::array<int32_t, 4> s{20, 3, 0, 1};
    s[type] = size;
    return s;
  }

  ScratchFolder temp_;
  ScopedEnv tmpdir_{"TMPDIR", temp_.path()};
  ScratchFolder corpus_;
  NullFrame frame_;
  RecordingDialogs dialogs_;
  TConcordItems list_;
  std::string text_;
  std::string path_;
};

TSVFormatInfo hitRun(int32_t start, int32_t length)
{
  TSVFormatInfo r;
  r.Start = start;
  r.Length = length;
  r.Center = true;
  r.Hilite = true;
  return r;
}

TSVFormatInfo collocateRun(int32_t start, int32_t length, TColor colour = 0x0000FF)
{
  TSVFormatInfo r;
  r.Start = start;
  r.Length = length;
  r.Font.Color = colour;
  return r;
}

}  // namespace

// --- plain text ----------------------------------------------------------------------

TEST_F(ConcordanceReportTest, TwoPassesPutEveryHitInOneColumnWithinTheLineLimit)
{
  load("cat first.\r\n"
       "the very long left context before the cat comes here.\r\n"
       "a\tcat\twith tabs.\r\n"
       "one two three four five six seven eight cat\r\n");
  addHit("cat", 0);
  addHit("cat", 1);
  addHit("cat", 2);
  addHit("cat", 3);
  TOutputOptions o;
  const std::string all = report(o);
  EXPECT_TRUE(onlyCrLf(all));
  EXPECT_EQ(all.find('\t'), std::string::npos);
  const std::vector<std::string> lines = splitCrLf(all);
  ASSERT_EQ(lines.size(), 4u);
  const size_t column = lines[1].find("[[cat]]");
  ASSERT_NE(column, std::string::npos);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].find("[[cat]]"), column) << lines[i];
    EXPECT_EQ(lines[i].rfind(std::string(4 - std::to_string(i + 1).size(), ' ') + std::to_string(i + 1) + ". ", 0),
              0u)
        << lines[i];
  }
  EXPECT_EQ(dialogs_.Caption, "Saving");
  EXPECT_EQ(dialogs_.MaxValue, 8);  // four hits, twice
  EXPECT_FALSE(dialogs_.Alive);

  // Two lines only: the widest left context is found among them.
  o.MaxLines = 2;
  std::vector<std::string> limited = splitCrLf(report(o));
  ASSERT_EQ(limited.size(), 2u);
  EXPECT_EQ(limited[0].find("[[cat]]"), column);
  EXPECT_EQ(limited[1].find("[[cat]]"), column);
  EXPECT_EQ(dialogs_.MaxValue, 2);  // (MaxLines - 1) twice
  o.MaxLines = 1;
  limited = splitCrLf(report(o));
  ASSERT_EQ(limited.size(), 1u);
  EXPECT_LT(limited[0].find("[[cat]]"), column);  // the long left context of hit 2 is not written
  EXPECT_EQ(dialogs_.MaxValue, 0);

  // Running text is written in one pass, without indents.
  o.MaxLines = 0;
  const std::vector<std::string> running = splitCrLf(report(o, 2, 0));
  ASSERT_EQ(running.size(), 4u);
  EXPECT_EQ(running[0], "   1. [[cat]]");  // a zero context: the hit alone
  EXPECT_EQ(dialogs_.MaxValue, 4);
}

TEST_F(ConcordanceReportTest, InformationAndTagLinesBeforeTheHit)
{
  WatchedTags = {TWatchedTag::Make("speaker", "<sp ", ">"), TWatchedTag::Make("", "<who ", ">")};
  load("<sp Ann> hello cat\r\nsecond line dog\r\n");
  TConcordItem& cat = addHit("cat");
  TConcordItem& dog = addHit("dog");
  const int32_t width = TagColumnWidth(false, true);
  EXPECT_EQ(width, 9);
  EXPECT_EQ(TagColumnWidth(true, true), 0);
  EXPECT_EQ(TagColumnWidth(false, false), 0);

  TOutputOptions o;
  o.ShowFile = o.LineNumbers = o.PageNumbers = o.TrackedTags = true;
  TStringTextSink sink;
  std::string text = "hello cat";
  TSVFormatArray runs = {hitRun(7, 3)};
  WriteConcordanceLine(sink, 1, cat, 0, width, o, false, runs, 2, text);
  EXPECT_EQ(sink.Text(), "\r\n" + CorpusList[0].Name + ", Line 1, Page 1:\r\n"
                         "speaker: <sp Ann>\r\n"
                         "  <who : N/A\r\n"
                         "   1.   hello [[cat]]\r\n");

  // Relative lines replace the absolute line; nothing known reads "N/A".
  o.ShowFile = o.TrackedTags = false;
  o.RelativeLines = true;
  TStringTextSink relative;
  text = "second line dog";
  runs = {hitRun(13, 3)};
  WriteConcordanceLine(relative, 1, dog, 1, 0, o, false, runs, 0, text);
  EXPECT_EQ(relative.Text(), "\r\nPage 1, Line 2:\r\n   2. second line [[dog]]\r\n");
  dog.FileIndex = 7;  // no such item: no index tells anything
  TStringTextSink unknown;
  o.RelativeLines = false;
  text = "x";
  runs.clear();
  WriteConcordanceLine(unknown, 1, dog, 12344, 0, o, false, runs, 0, text);
  EXPECT_EQ(unknown.Text(), "\r\nLine N/A, Page N/A:\r\n12345. x\r\n");  // wider from line 10000 on

  // No information: no empty line.
  TStringTextSink bare;
  text = "second line dog";
  runs = {hitRun(13, 3)};
  WriteConcordanceLine(bare, 1, cat, 0, 0, TOutputOptions{}, false, runs, 0, text);
  EXPECT_EQ(bare.Text(), "   1. second line [[dog]]\r\n");
}

TEST_F(ConcordanceReportTest, SortLabelsAndConcealing)
{
  load("the cat sat\r\n");
  TConcordItem& hit = addHit("cat");
  TOutputOptions o;
  o.SortLabels = true;
  TStringTextSink sink;
  std::string text = "the cat sat";
  TSVFormatArray runs = {collocateRun(1, 3), hitRun(5, 3), collocateRun(9, 3)};
  WriteConcordanceLine(sink, 1, hit, 0, 0, o, false, runs, 0, text);
  hit.Letter = 'q';
  text = "the cat sat";
  o.ConcealHits = true;
  WriteConcordanceLine(sink, 1, hit, 1, 0, o, false, runs, 0, text);
  o.ConcealHits = false;
  o.ConcealCollocates = true;
  text = "the cat sat";
  WriteConcordanceLine(sink, 1, hit, 2, 0, o, false, runs, 0, text);
  EXPECT_EQ(sink.Text(), "   1.   the [[cat]] sat\r\n"
                         "   2. q the [[___]] sat\r\n"
                         "   3. q ___ [[cat]] ___\r\n");
}

// --- HTML ----------------------------------------------------------------------------

TEST_F(ConcordanceReportTest, HtmlRowsEscapeEveryPieceAndKeepMarksOnTheirCharacters)
{
  WatchedTags = {TWatchedTag::Make("a&b", "<sp ", ">")};
  load("<sp \"A\"&B> x < cat<y & z\r\n", "R&D <1>.txt");
  TConcordItem& hit = addHit("cat");
  TOutputOptions o;
  o.SaveAsHTML = o.ShowFile = o.TrackedTags = true;
  TStringTextSink sink;
  std::string text = "x < cat<y & z";
  TSVFormatArray runs = {collocateRun(1, 1, 0x00FF00), hitRun(5, 3), collocateRun(9, 1)};
  WriteConcordanceLine(sink, 1, hit, 0, TagColumnWidth(false, true), o, false, runs, 0, text);
  const std::string escapedPath = EscapeHtml(CorpusList[0].Name);
  EXPECT_NE(escapedPath.find("R&amp;D &lt;1&gt;.txt"), std::string::npos);
  EXPECT_EQ(sink.Text(),
            "  <tr bgcolor=\"#E7FAFE\">\r\n"
            "\r\n"
            "   <td colspan=\"3\" align=\"left\">\r\n" +
                escapedPath + ":\r\n" +
                " <br><b> a&amp;b </b> : &lt;sp &quot;A&quot;&amp;B&gt;\r\n"
                "   </td>\r\n"
                "  </tr>\r\n"
                "  <tr bgcolor=\"#E7FAFE\">\r\n"
                "   <td align=\"center\"> \r\n"
                "   1. \r\n"
                "   </td>\r\n"
                "<td align= \"right\"><b class=colloc style=\"color: #00FF00;\">x</b> &lt; </td>"
                "<td align= \"left\"><b class=hilite>cat</b>&lt;<b class=colloc style=\"color: #FF0000;\">y</b>"
                " &amp; z</td>\r\n"
                "  </tr>\r\n");

  // An odd row without information; concealing comes before escaping; a
  // running-text layout has one cell; a line without a hit one centred cell.
  TStringTextSink odd;
  o = TOutputOptions{};
  o.SaveAsHTML = o.ConcealHits = true;
  text = "a <b> c";
  runs = {hitRun(3, 3)};
  WriteConcordanceLine(odd, 3, hit, 1, 0, o, false, runs, 0, text);
  text = "no hit & more";
  runs.clear();
  WriteConcordanceLine(odd, 1, hit, 2, 0, o, false, runs, 0, text);
  EXPECT_EQ(odd.Text(),
            "  <tr >\r\n   <td align=\"center\"> \r\n   2. \r\n   </td>\r\n"
            "<td align= \"left\">a <b class=hilite>___</b> c</td>\r\n  </tr>\r\n"
            "  <tr bgcolor=\"#E7FAFE\">\r\n   <td align=\"center\"> \r\n   3. \r\n   </td>\r\n"
            "<td align= \"center\" colspan=\"2\">no hit &amp; more</td>\r\n  </tr>\r\n");
}

TEST_F(ConcordanceReportTest, HtmlReportHasHeadRowsAndTailAndPrintingGivesPlainText)
{
  load("one cat & <dog>\r\ntwo cat\r\n");
  addHit("cat", 0);
  addHit("cat", 1);
  TOutputOptions o;
  o.SaveAsHTML = true;
  TStringTextSink sink;
  WriteConcordance(sink, list_, nullptr, "c<a>t", o, {false, false, false}, sizes(1, 3), 1, false);
  const std::string html = sink.Text();
  EXPECT_TRUE(onlyCrLf(html));
  EXPECT_EQ(html.rfind("<html>\r\n", 0), 0u);
  EXPECT_NE(html.find("Search Result for 'c&lt;a&gt;t'"), std::string::npos);
  EXPECT_NE(html.find("<b class=hilite>cat</b> &amp; &lt;dog&gt;"), std::string::npos);
  EXPECT_NE(html.find("  <tr >\r\n"), std::string::npos);
  EXPECT_TRUE(html.ends_with("  </tr>\r\n</table>\r\n\r\n</body>\r\n\r\n</html>\r\n"));
  EXPECT_EQ(dialogs_.MaxValue, 2);  // one pass

  const std::string printed = report(o, 1, 3, true);
  EXPECT_EQ(dialogs_.Caption, "Printing");
  EXPECT_EQ(printed.find('<'), printed.find("<dog>"));  // the corpus's own text only
  EXPECT_EQ(printed.find("<html>"), std::string::npos);
  EXPECT_NE(printed.find("[[cat]]"), std::string::npos);
}

// Text and HTML report files of double-byte corpora: every line decodes
// cleanly, and without the writer's decoration holds only the corpus's
// characters.
TEST_F(ConcordanceReportTest, DoubleByteReportsHoldWholeCharacters)
{
  for (const testsupport::TDoubleBytePage& page : testsupport::DoubleBytePages()) {
    SCOPED_TRACE(page.Name);
    SetTextLanguage(page.LanguageId);
    BuildCharTables();
    UnloadCorpus(frame_);
    const testsupport::TDoubleByteText gen = testsupport::MakeDoubleByteText(page, 7);
    load(gen.Text);
    TConcordItems list;
    testsupport::AddHits(list, gen);
    const std::u16string shown = testsupport::DecodedAsShown(gen.Text);
    for (const TContextType type : {ctCharacters, ctWords, ctSentence}) {
      for (const bool html : {false, true}) {
        TOutputOptions o;
        o.SaveAsHTML = html;
        const std::string path = corpus_.file(html ? "report.htm" : "report.txt");
        TFileTextSink file(path);
        WriteConcordance(file, list, nullptr, "hit", o, {false, false, false}, sizes(type, 10), type, false);
        file.Close();
        int32_t rows = 0;
        for (const std::string& bytes : splitCrLf(readFile(path))) {
          std::u16string line = testsupport::Decoded(bytes);
          if (line.find(html ? u"hilite>" : u"[[") == std::u16string::npos)
            continue;
          ++rows;
          // Less the number, tags, hit brackets, indent and frame.
          if (!html)
            line.erase(0, line.find(u". ") + 2);
          for (const std::u16string mark : {u"[[", u"]]"})
            if (const size_t at = line.find(mark); at != std::u16string::npos)
              line.erase(at, 2);
          for (size_t tag; (tag = line.find(u'<')) != std::u16string::npos;)
            line.erase(tag, line.find(u'>', tag) + 1 - tag);
          line.erase(0, line.find_first_not_of(u' '));
          if (line.starts_with(u"... "))
            line.erase(0, 4);
          if (line.ends_with(u" ..."))
            line.resize(line.size() - 4);
          testsupport::ExpectWholeCharacters(shown, line);
        }
        EXPECT_EQ(rows, list.Count());
      }
    }
  }
}

// --- ending early ---------------------------------------------------------------------

TEST_F(ConcordanceReportTest, CancelEndsBetweenTwoLinesWithoutTheTail)
{
  load("a cat\r\nb cat\r\nc cat\r\n");
  addHit("cat", 0);
  addHit("cat", 1);
  addHit("cat", 2);
  TOutputOptions o;
  o.SaveAsHTML = true;
  CancellingSink head(-1);
  WriteHtmlHeader(head, 1, "cat");
  CancellingSink sink(head.Lines() + 6);  // the header and the first row
  WriteConcordance(sink, list_, nullptr, "cat", o, {false, false, false}, sizes(1, 3), 1, false);
  EXPECT_TRUE(sink.Text().ends_with("  </tr>\r\n"));
  EXPECT_EQ(sink.Text().find("   2. "), std::string::npos);
  EXPECT_EQ(sink.Text().find("</html>"), std::string::npos);
  EXPECT_FALSE(dialogs_.Alive);
}

TEST_F(ConcordanceReportTest, TheProgressFormIsApplicationModalWhileWriting)
{
  load("a cat\r\nb cat\r\n");
  addHit("cat", 0);
  addHit("cat", 1);
  QtDialogService qt;
  qt.install();
  // Looks at the progress form whenever text arrives.
  struct Probe : TStringTextSink {
    void Write(std::string_view bytes) override
    {
      if (auto* form = dynamic_cast<QWidget*>(ProgressDialog::Topmost())) {
        Modality = form->windowModality();
        Visible = form->isVisible();
        Title = form->windowTitle().toStdString();
      }
      TStringTextSink::Write(bytes);
    }
    Qt::WindowModality Modality = Qt::NonModal;
    bool Visible = false;
    std::string Title;
  } sink;
  WriteConcordance(sink, list_, nullptr, "cat", TOutputOptions{}, {false, false, false}, sizes(2, 0), 2, false);
  EXPECT_EQ(sink.Modality, Qt::ApplicationModal);
  EXPECT_TRUE(sink.Visible);
  EXPECT_EQ(sink.Title, "Saving");
  EXPECT_EQ(ProgressDialog::Topmost(), nullptr);
}

TEST_F(ConcordanceReportTest, FailuresRaiseWithTheFileNameAndReleaseTheProgress)
{
  load("a cat\r\n");
  addHit("cat");
  const std::string missing = corpus_.file("gone/report.txt");
  EXPECT_EQ(errorOf([&] { TFileTextSink sink(missing); }), "Unable to open file: " + missing + ".");

  const std::string error = errorOf([&] {
    TFileTextSink sink("/dev/full");
    WriteConcordance(sink, list_, nullptr, "cat", TOutputOptions{}, {false, false, false}, sizes(1, 3), 1, false);
    sink.Close();
  });
  EXPECT_EQ(error, "Unable to write file: /dev/full (No space left on device).");
  EXPECT_FALSE(dialogs_.Alive);

  // A real report file, closed by the caller.
  const std::string path = corpus_.file("report.txt");
  TFileTextSink file(path);
  WriteConcordance(file, list_, nullptr, "cat", TOutputOptions{}, {false, false, false}, sizes(2, 0), 2, false);
  file.Close();
  EXPECT_EQ(readFile(path), "   1. [[cat]]\r\n");
}

TEST_F(ConcordanceReportTest, PrintingToAPdfPrinter)
{
  load("a cat\r\nb cat\r\n");
  addHit("cat", 0);
  addHit("cat", 1);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const std::string pdf = corpus_.file("report.pdf");
  printer.setOutputFileName(QString::fromStdString(pdf));
  TPrinterLookup old = SetPrinterLookup([&printer] { return &printer; });
  {
    TPrinterTextSink sink("Quillmar - cat");
    TOutputOptions o;
    o.SaveAsHTML = true;  // ignored when printing
    WriteConcordance(sink, list_, nullptr, "cat", o, {false, false, false}, sizes(1, 3), 1, true);
    sink.Close();
    EXPECT_EQ(sink.LinesPrinted(), 2);
  }
  SetPrinterLookup(std::move(old));
  EXPECT_EQ(readFile(pdf).rfind("%PDF", 0), 0u);
}
