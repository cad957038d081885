// The result grids as they are drawn: every column shows its header and its
// widest cell whole in the grid's real fonts (the collocation, word-list and
// comparison windows over large counts), the word-list window's word column
// takes the rest after a resize and after activation, and the comparison
// grid draws its own cells. A long grid measures only its longest texts (its
// words by a bound of their width that no word exceeds),
// with the widths a measure of every cell gives.
#include "forms/corpus_comparison.h"
#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "workbench/frame/grid_metrics.h"
#include "workbench/frame/qt_text.h"
#include "workbench/windows/collocation_form.h"
#include "workbench/windows/corpus_comp_form.h"
#include "workbench/windows/word_list_form.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QStyle>
#include <QTableView>
#include <gtest/gtest.h>

#include <cstdio>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

std::unique_ptr<THashStrings> Table(std::vector<std::pair<const char*, int32_t>> words)
{
  auto table = std::make_unique<THashStrings>(16, LanguageId);
  for (const auto& [word, count] : words)
    table->AddCount(word, count);
  return table;
}

const std::vector<std::function<std::unique_ptr<QWidget>()>> Windows = {
    [] {
      auto form = std::make_unique<TCollocationForm>(nullptr, 0);
      TConcordItems::TCollocTableArray tables;
      tables[ctx1L] = Table({{"the", 1234567}, {"tabernacle", 12}});
      tables[ctx1R] = Table({{"of", 98765}, {"wilderness", 3}});
      form->FillCollocationList(tables, ctx1L, ctx1R);
      return std::unique_ptr<QWidget>(std::move(form));
    },
    [] {
      auto form = std::make_unique<TWordListForm>();
      form->FillWordList(*Table({{"the", 1234567}, {"wilderness", 40}}), wlmByCount, "Corpus Frequency List",
                         1234607);
      return std::unique_ptr<QWidget>(std::move(form));
    },
    [] {
      // Alphabetical: the largest count is on the last row.
      auto form = std::make_unique<TWordListForm>();
      form->FillWordList(*Table({{"zebra", 12345678}, {"aardvark", 3}}), wlmAlphabetical, "Corpus Frequency List",
                         12345681);
      return std::unique_ptr<QWidget>(std::move(form));
    },
    [] {
      auto form = std::make_unique<TCorpusCompForm>();
      TCorpusCompRec record{1234567, 12.3456f, "wilderness", 7654321, 65.4321f, 123456.789L};
      form->SetComparison(Table({{"wilderness", 7654321}}), {record, TCorpusCompRec{}});
      return std::unique_ptr<QWidget>(std::move(form));
    },
};

}  // namespace

class GridColumnsTest : public ::testing::TestWithParam<size_t> {
protected:
  void SetUp() override
  {
    FrequencySettings.MinimumFrequency = 1;
    FrequencySettings.MaximumLines = 100;
  }
  void TearDown() override { FrequencySettings = saved_; }
  const TFrequencySettings saved_ = FrequencySettings;
};

TEST_P(GridColumnsTest, EveryColumnShowsItsWidestTextWhole)
{
  const std::unique_ptr<QWidget> window = Windows[GetParam()]();
  QTableView& grid = *window->findChild<QTableView*>();
  ASSERT_EQ(grid.model()->rowCount(), 2);
  window->show();
  QApplication::processEvents();
  const QAbstractItemModel& model = *grid.model();
  const QFontMetrics cells(grid.font());
  const QFontMetrics header(grid.horizontalHeader()->font());
  for (int c = 0; c < model.columnCount(); ++c) {
    const QString title = model.headerData(c, Qt::Horizontal).toString();
    int widest = title.isEmpty() ? 0 : header.horizontalAdvance(title);
    for (int r = 0; r < model.rowCount(); ++r)
      widest = std::max(widest, cells.horizontalAdvance(model.index(r, c).data().toString()));
    if (widest > 0)  // two pixels of margin on either side at least
      EXPECT_GE(grid.columnWidth(c), widest + 4) << "column " << c << " " << title.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(ResultWindows, GridColumnsTest, ::testing::Range(size_t(0), Windows.size()));

TEST(WordListColumnsTest, TheWordColumnTakesTheRestAfterAResizeAndOnActivation)
{
  TWordListForm form;
  form.FillWordList(*Table({{"the", 64}, {"lord", 8}}), wlmByCount, "Corpus Frequency List", 72);
  form.show();
  QTableView& grid = *form.FreqGrid;
  const int scrollBar = grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
  for (bool activation : {false, true}) {
    form.resize(500 + 40 * activation, 300);
    QApplication::processEvents();
    if (activation)
      form.activated();
    const int rest = grid.width() - 2 * grid.frameWidth() - grid.columnWidth(0) - grid.columnWidth(1) - 2 - 3;
    EXPECT_EQ(grid.columnWidth(2), rest - (activation ? scrollBar : 0)) << activation;
  }
  // Numbers to the right, words to the left.
  EXPECT_EQ(grid.model()->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(grid.model()->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

TEST(CompGridDrawingTest, HeaderIsFramedSelectionIsHighlightedAndTheFocusedCellIsNot)
{
  TCorpusCompForm form;
  TCompRecords records(4);
  for (size_t i = 0; i < records.size(); ++i)
    records[i] = TCorpusCompRec{int32_t(i + 1), 1.0f, "word", 2, 2.0f, 0.5L};
  form.SetComparison(Table({{"word", 2}}), std::move(records));
  form.show();
  QApplication::setActiveWindow(&form);
  QTableView& grid = *form.CompGrid;
  grid.setFocus();
  grid.setCurrentIndex(grid.model()->index(1, 1));
  grid.selectionModel()->select(QItemSelection(grid.model()->index(1, 1), grid.model()->index(2, 3)),
                                QItemSelectionModel::Select);
  QApplication::processEvents();
  ASSERT_TRUE(grid.hasFocus());
  const QImage image = grid.grab().toImage();
  const QPalette palette = grid.palette();
  const auto pixel = [&](int row, int column, int dx, int dy) {
    const QRect cell = grid.visualRect(grid.model()->index(row, column)).translated(grid.viewport()->pos());
    return image.pixel(cell.left() + dx, cell.top() + dy);
  };
  const int h = grid.rowHeight(0);
  EXPECT_EQ(pixel(2, 2, grid.columnWidth(2) - 4, h / 2), palette.color(QPalette::Highlight).rgb());  // selected
  EXPECT_EQ(pixel(1, 2, grid.columnWidth(2) - 4, 1), palette.color(QPalette::Highlight).rgb());
  EXPECT_EQ(pixel(1, 1, grid.columnWidth(1) - 4, h / 2), palette.color(QPalette::Base).rgb());  // focused
  EXPECT_EQ(pixel(0, 1, grid.columnWidth(1) - 4, h / 2), palette.color(QPalette::Base).rgb());  // not selected
  // The header: the fixed colour framed light above and left, dark below and right.
  QHeaderView& header = *grid.horizontalHeader();
  const QImage top = header.grab().toImage();
  // A column of pixels near the right end of a header cell, clear of its text.
  const int x = header.sectionViewportPosition(2) - 5;
  EXPECT_EQ(top.pixel(x, 0), palette.color(QPalette::Light).rgb());
  EXPECT_EQ(top.pixel(x, header.height() / 2), palette.color(QPalette::Button).rgb());
  bool dark = false;
  for (int y = header.height() - 3; y < header.height(); ++y)
    dark = dark || top.pixel(x, y) == palette.color(QPalette::Dark).rgb();
  EXPECT_TRUE(dark);
}

TEST(LongestTextRowsTest, KeepsTheGreatestKeysInRowOrderAndTheEarlierOfEqualKeys)
{
  const std::vector<double> keys = {3, 9, 1, 9, 4, 9, 2};
  const auto key = [&](int32_t row) { return keys[size_t(row)]; };
  EXPECT_EQ(longestTextRows(7, key, 2), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(longestTextRows(7, key, 5), (std::vector<int32_t>{0, 1, 3, 4, 5}));
  EXPECT_EQ(longestTextRows(7, key, 9).size(), 7u);
  EXPECT_TRUE(longestTextRows(7, key, 0).empty());
  EXPECT_TRUE(longestTextRows(0, key, 3).empty());
}

// Grids longer than the cells measured: each column as wide as a measure of
// its header and every cell gives (80 pixels at least, both margins and the
// grid line besides the text).
TEST(CompGridColumnsTest, ALongGridGetsTheWidthsOfAFullMeasure)
{
  const auto word = [](int32_t i) { return "w" + std::to_string(i % 1000); };
  struct Case {
    const char* name;
    std::function<TCompRecords()> make;
    int pixels = 0;  // the grid font's size; 0: the default font
  };
  const std::vector<Case> cases = {
      {"the longest word far down",
       [&] {
         TCompRecords records;
         for (int32_t i = 0; i < 3000; ++i)
           records.push_back({i % 7, 0.5f, word(i), 3, 0.25f, 1.5L});
         records[2700].Word = "incomprehensibilities";
         return records;
       }},
      {"a wide word shorter than a few narrow ones",
       [&] {
         TCompRecords records;
         for (int32_t i = 0; i < 3000; ++i)
           records.push_back({1, 0.5f, i % 100 == 0 ? std::string(12, 'i') : word(i), 3, 0.25f, 1.5L});
         records[2999].Word = "WWWWWWWWWW";
         return records;
       }},
      {"long numbers late, a minus among them",
       [&] {
         TCompRecords records;
         for (int32_t i = 0; i < 3000; ++i)
           records.push_back({i, float(i % 10), word(i), i % 50, float(i % 7), 1234567.25L});
         records[2500] = {2147483647, 100.0f, "x", -1234567, 0.00004f, -1234567.25L};
         records[2600].RefPercent = 99.99995f;
         return records;
       }},
      {"a short word of wide letters after 300 longer narrow ones",
       [] {
         TCompRecords records(300, {1, 0.5f, "fillitjiltrift", 3, 0.25f, 1.5L});
         records.push_back({1, 0.5f, "wmwmwmwmwm", 3, 0.25f, 1.5L});
         return records;
       }},
      {"the longest reference count, reference and change percentages each alone far down",
       [&] {
         TCompRecords records;
         for (int32_t i = 0; i < 3000; ++i)
           records.push_back({i % 9, 1.0f, word(i), i % 9, 1.5f, 2.5L});
         records[2000].RefCount = -2147483647;
         records[2400].RefPercent = 1234567.0f;
         records[2800].CurPercent = -7654321.0f;
         return records;
       },
       24},
      {"no records", [] { return TCompRecords{}; }},
  };
  for (const auto& [name, make, pixels] : cases) {
    TCorpusCompForm form;
    if (pixels > 0) {
      QFont font = form.CompGrid->font();
      font.setPixelSize(pixels);
      form.CompGrid->setFont(font);
    }
    form.SetComparison(Table({{"x", 1}}), make());
    QTableView& grid = *form.CompGrid;
    const QFontMetrics cells(grid.font());
    const QFontMetrics header(grid.horizontalHeader()->font());
    for (int c = 0; c < CompColumnCount; ++c) {
      int full = std::max(80, header.horizontalAdvance(QString::fromLatin1(CompHeaderTexts[c])) + 5);
      for (const TCorpusCompRec& record : form.Records)
        full = std::max(full, cells.horizontalAdvance(QString::fromStdString(CompCellText(record, c))) + 5);
      EXPECT_EQ(grid.columnWidth(c), full) << name << ", column " << c;
    }
  }
}

static std::string hexBytes(const std::string& text)
{
  std::string hex;
  for (const unsigned char c : text) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02X ", c);
    hex += byte;
  }
  return hex;
}

TEST(TextWidthBoundTest, NoTextIsWiderThanItsBound)
{
  // Random texts of every byte but the controls, at two sizes, in a
  // single-byte and a double-byte code page.
  std::mt19937 random(5);
  const auto savedLanguage = LanguageId;
  for (const int language : {0x409, 0x411}) {
    SetTextLanguage(language);
    BuildCharTables();
    for (const int pixels : {0, 24}) {
      QFont font = QApplication::font();
      if (pixels > 0)
        font.setPixelSize(pixels);
      const TTextWidthBound bound(font);
      const QFontMetrics metrics(font);
      for (int t = 0; t < 2000; ++t) {
        std::string text;
        for (int n = 1 + int(random() % 16); n > 0; --n)
          text += char(0x20 + random() % 0xE0);
        EXPECT_GE(bound(text), metrics.horizontalAdvance(ToQString(text))) << hexBytes(text) << " lang " << language << " at " << pixels;
      }
    }
  }
  SetTextLanguage(savedLanguage);
  BuildCharTables();
}
