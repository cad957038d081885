#include "workbench/lineview/strings_view.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/file_strings.h"
#include "platform/codepage.h"
#include "support/double_byte_text.h"
#include "support/memory_stream.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <atomic>
#include <set>
#include <thread>

namespace {

// An in-memory list that counts its reads and flags any read out of range.
class MemoryStrings : public TStrings {
public:
  MemoryStrings() = default;
  explicit MemoryStrings(std::vector<std::string> items) : Items(std::move(items)) {}
  std::vector<std::string> Items;
  mutable std::atomic<int> Gets{0};
  mutable std::atomic<int> Counts{0};
  mutable std::atomic<bool> BadRead{false};
  int32_t Count() const override
  {
    ++Counts;
    return int32_t(Items.size());
  }
  std::string Get(int32_t index) const override
  {
    ++Gets;
    if (index < 0 || size_t(index) >= Items.size()) {
      BadRead = true;
      return {};
    }
    return Items[size_t(index)];
  }
};

// A list of any length whose texts are made on demand.
class GeneratedStrings : public TStrings {
public:
  int32_t N = 0;
  mutable int Gets = 0;
  int32_t Count() const override { return N; }
  std::string Get(int32_t index) const override
  {
    ++Gets;
    return "line " + std::to_string(index);
  }
};

// A list that records the largest part asked for and the whole reads of
// items longer than 64 KB.
class RecordingStrings : public TStrings {
public:
  explicit RecordingStrings(std::vector<std::string> items) : Items(std::move(items)) {}
  std::vector<std::string> Items;
  mutable int32_t LargestCount = 0;
  mutable int LongGets = 0;
  int32_t Count() const override { return int32_t(Items.size()); }
  std::string Get(int32_t index) const override
  {
    LongGets += Items[size_t(index)].size() > 65536 ? 1 : 0;
    return Items[size_t(index)];
  }
  std::string textPart(int32_t index, int32_t from, int32_t count, int32_t& length) const override
  {
    LargestCount = std::max(LargestCount, count);
    const std::string& item = Items[size_t(index)];
    length = int32_t(item.size());
    return item.substr(std::min<size_t>(size_t(from), item.size()), size_t(count));
  }
};

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
  int Paints = 0;
protected:
  bool eventFilter(QObject*, QEvent* e) override
  {
    Paints += e->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
};

// A parent that records the keys, other than modifiers, its child passes on.
class KeyParent : public QWidget {
public:
  int Keys = 0;
protected:
  void keyPressEvent(QKeyEvent* e) override
  {
    if (e->key() != Qt::Key_Control && e->key() != Qt::Key_Shift)
      ++Keys;
    e->accept();
  }
};

struct Event {
  char Kind;  // '+', '-' selection; 'c' item changed
  int32_t Index;
  bool operator==(const Event&) const = default;
};

std::vector<std::string> Numbered(int n)
{
  std::vector<std::string> items;
  for (int i = 0; i < n; ++i)
    items.push_back("item " + std::to_string(i));
  return items;
}

class StringsViewTest : public ::testing::Test {
protected:
  KeyParent parent;
  TStringsView* view = nullptr;
  std::vector<Event> events;

  void SetUp() override
  {
    view = new TStringsView(&parent);
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(12);
    view->setFont(f);
    parent.resize(400, 300);
    view->setGeometry(0, 0, 400, 300);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    view->OnItemSelection = [this](TStringsView*, bool sel, int32_t i) { events.push_back({sel ? '+' : '-', i}); };
    view->OnItemChanged = [this](TStringsView* v) { events.push_back({'c', v->ItemIndex()}); };
  }

  // Height of the view for exactly `lines` full lines.
  void FitLines(int lines)
  {
    const int frame = view->height() - view->viewport()->height();
    view->resize(view->width(), lines * view->LineHeight() + frame);
    QApplication::processEvents();
    ASSERT_EQ(view->VisibleLines(), lines);
  }

  void UseExtended()
  {
    view->SetEnableSelect(true);
    view->SetMultiSelect(true);
    view->SetExtendedSelect(true);
  }

  QPoint RowPoint(int32_t index) const
  {
    const QRect r = view->ItemRect(index);
    return QPoint(r.x() + 10, r.y() + r.height() / 2);
  }

  void Mouse(QEvent::Type type, QPoint pt, Qt::KeyboardModifiers mods = Qt::NoModifier)
  {
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, pt, view->viewport()->mapToGlobal(pt), button, buttons, mods);
    QApplication::sendEvent(view->viewport(), &e);
  }
  void Click(int32_t index, Qt::KeyboardModifiers mods = Qt::NoModifier)
  {
    const QPoint pt = RowPoint(index);
    Mouse(QEvent::MouseButtonPress, pt, mods);
    Mouse(QEvent::MouseButtonRelease, pt, mods);
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(view, key, mods); }

  std::vector<int32_t> Selection() const { return view->Selection(); }

  QImage Render()
  {
    QApplication::processEvents();
    return view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // Row k of the view as drawn.
  QImage RenderRow(int k = 0)
  {
    return Render().copy(QRect(0, k * view->LineHeight(), view->viewport()->width(), view->LineHeight()));
  }
  // The first row of a view alike showing items from horizontal position pos.
  QImage PeerRow(std::vector<std::string> items, int32_t pos = 0)
  {
    TStringsView peer(&parent);
    peer.setFont(view->font());
    peer.setGeometry(view->geometry());
    MemoryStrings s(std::move(items));
    peer.SetStrings(&s);
    peer.SetHorzPos(pos);
    QApplication::processEvents();
    const QRect row(0, 0, peer.viewport()->width(), peer.LineHeight());
    return peer.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(row);
  }
  // The horizontal width per byte of a long line's first 4 KB (of up to
  // bytes bytes, on a character boundary) in the view's font.
  double HeadWidthPerByte(const std::string& line, size_t* bytes = nullptr)
  {
    const platform::CodePage& cp = platform::codePage(AnsiCodePage);
    const size_t n = platform::charStartAt(cp, line, 4096);
    const std::u16string u = platform::toUtf16(cp, std::string_view(line).substr(0, n));
    const QString text(reinterpret_cast<const QChar*>(u.data()), qsizetype(u.size()));
    if (bytes)
      *bytes = n;
    return double(QFontMetrics(view->font()).horizontalAdvance(text)) / double(n);
  }
};

// Leftmost and rightmost x in rows [top, bottom) whose pixel passes the test, or -1.
template <class Pred>
std::pair<int, int> Span(const QImage& img, int top, int bottom, Pred pred)
{
  int lo = -1, hi = -1;
  for (int y = std::max(top, 0); y < std::min(bottom, img.height()); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (pred(QColor(img.pixel(x, y)))) {
        if (lo < 0 || x < lo)
          lo = x;
        hi = std::max(hi, x);
      }
  return {lo, hi};
}

bool Reddish(const QColor& c) { return c.red() > 160 && c.green() < 110 && c.blue() < 110; }
bool Inked(const QColor& c) { return c.lightness() < 160; }

// Items "<left context> KEY <right context>" with a red centred run on KEY.
void CentredKeyFormat(TStringsView* v, std::vector<std::string> lefts)
{
  v->OnFormatItem = [lefts](TStringsView*, const QFontMetrics&, int32_t i, std::string& text,
                            TSVFormatArray& format, TSVLabelInfo& label) {
    const std::string& left = lefts[size_t(i) % lefts.size()];
    text = left + "KEY right context";
    TSVFormatInfo run;
    run.Start = int32_t(left.size()) + 1;
    run.Length = 3;
    run.Center = true;
    run.Font.Color = 0x0000FF;  // red
    format.push_back(run);
    label.Text = "A";
  };
}

}  // namespace

// ---------------------------------------------------------------------------
// Layout, metrics and painting

TEST_F(StringsViewTest, MetricsNeverShrink)
{
  const int lh = view->LineHeight();
  const int cw = view->CharWidth();
  QFont f = view->font();
  f.setPixelSize(24);
  view->setFont(f);
  ASSERT_GT(view->LineHeight(), lh);
  ASSERT_GT(view->CharWidth(), cw);
  const int bigLh = view->LineHeight();
  const int bigCw = view->CharWidth();
  f.setPixelSize(8);
  view->setFont(f);
  EXPECT_EQ(view->LineHeight(), bigLh);
  EXPECT_EQ(view->CharWidth(), bigCw);
  QFont huge = f;
  huge.setPixelSize(40);
  huge.setBold(true);
  view->SetFonts({f, huge});
  EXPECT_GT(view->LineHeight(), bigLh);
  EXPECT_EQ(view->VisibleLines(), view->viewport()->height() / view->LineHeight());
}

TEST_F(StringsViewTest, CentredRunsShareOneColumnWithAndWithoutLabels)
{
  MemoryStrings s(Numbered(8));
  CentredKeyFormat(view, {"a ", "a much longer left context ", "", "mid left "});
  view->SetAlignment(taCenter);
  view->SetStrings(&s);
  for (bool labels : {false, true}) {
    view->SetLabelWidth(2 * view->CharWidth());
    view->SetShowLabel(labels);
    const QImage img = Render();
    const int client = view->viewport()->width();
    const int itemLeft = labels ? view->LabelWidth() + 2 : 0;
    std::set<int> starts;
    for (int32_t i = 0; i < 4; ++i) {
      const QRect r = view->ItemRect(i);
      EXPECT_EQ(r.x(), itemLeft);
      starts.insert(Span(img, r.y(), r.y() + r.height(), Reddish).first);
    }
    ASSERT_EQ(starts.size(), 1u) << "labels " << labels;
    // The run starts near (W - width of KEY) / 2 - 2 in viewport coordinates.
    const int w = client - itemLeft - 4;
    const int keyWidth = QFontMetrics(view->font()).horizontalAdvance(QStringLiteral("KEY"));
    EXPECT_NEAR(*starts.begin(), (w - keyWidth) / 2 - 2, 2) << "labels " << labels;
  }
}

TEST_F(StringsViewTest, LinesWithoutRunsAreCentredOrAlignedWhole)
{
  MemoryStrings s;
  s.Items = {"centre me"};
  view->SetStrings(&s);
  const QRect r = view->ItemRect(0);
  const int areaLeft = r.x() + 2;
  const int areaRight = r.x() + r.width() - 2;

  view->SetAlignment(taCenter);
  auto [lo, hi] = Span(Render(), r.y(), r.y() + r.height(), Inked);
  ASSERT_GE(lo, 0);
  EXPECT_NEAR(lo - areaLeft, areaRight - 1 - hi, 3);

  view->SetAlignment(taRightJustify);
  std::tie(lo, hi) = Span(Render(), r.y(), r.y() + r.height(), Inked);
  EXPECT_NEAR(hi, areaRight - 1, 2);

  view->SetAlignment(taLeftJustify);
  std::tie(lo, hi) = Span(Render(), r.y(), r.y() + r.height(), Inked);
  EXPECT_NEAR(lo, areaLeft, 2);
}

TEST_F(StringsViewTest, WrappedCentredRunIsCentredOnEachOfItsLines)
{
  // A long run in the middle of a long item, wrapped over several lines.
  MemoryStrings s;
  const std::string left(30, 'x');
  s.Items = {left + " " + std::string(60, 'K') + " " + left};
  view->OnFormatItem = [](TStringsView* v, const QFontMetrics&, int32_t i, std::string& text, TSVFormatArray& f,
                          TSVLabelInfo&) {
    text = static_cast<MemoryStrings*>(v->Strings())->Items[size_t(i)];
    TSVFormatInfo run;
    run.Start = 32;
    run.Length = 60;
    run.Center = true;
    run.Font.Color = 0x0000FF;
    f.push_back(run);
  };
  view->SetAlignment(taCenter);
  view->SetWordWrap(true);
  view->SetStrings(&s);
  const QImage img = Render();
  const QRect r = view->ItemRect(0);
  const int lh = view->LineHeight();
  ASSERT_GT(r.height(), lh);
  int middles = 0;
  for (int y = r.y(); y + lh <= r.y() + r.height(); y += lh) {
    auto [lo, hi] = Span(img, y, y + lh, Reddish);
    if (lo < 0)
      continue;
    ++middles;
    const int w = view->viewport()->width() - 4;
    // The red part of each line is centred on the same column.
    EXPECT_NEAR((lo + hi) / 2, w / 2 - 2, 4);
  }
  EXPECT_GE(middles, 2);
}

TEST_F(StringsViewTest, ItemTallerThanTheWindowEndsTheLayoutIncomplete)
{
  MemoryStrings s;
  s.Items = {std::string(3000, 'w') + " end", "next"};
  view->SetWordWrap(true);
  view->SetStrings(&s);
  EXPECT_EQ(view->LastLaidOutItem(), 0);
  EXPECT_FALSE(view->LastItemComplete());
  EXPECT_TRUE(view->ViewFull());
}

TEST_F(StringsViewTest, LineOfMegabytesShowsItsCharactersWhereverItIsScrolled)
{
  // Random words and blanks: at each position the row must look as a short
  // line of the bytes from the position on does.
  std::mt19937 rng(30);
  std::string line(size_t(4) << 20, ' ');
  for (char& c : line)
    c = rng() % 6 == 0 ? ' ' : char('a' + rng() % 26);
  // Positions count the width per byte of its first 4 KB; within them the
  // row looks as a short line of its first bytes scrolled alike does.
  MemoryStrings s({line});
  view->SetStrings(&s);
  Render();
  QApplication::processEvents();
  const double perByte = HeadWidthPerByte(line);
  const int32_t charWidth = view->CharWidth();
  EXPECT_GE(view->horizontalScrollBar()->maximum(),
            int32_t(double(line.size()) * perByte / charWidth) - view->VisibleChars());

  for (int32_t pos : {5, 3000, 1'000'000, 3'000'000, int32_t(line.size()) - 40}) {
    const auto h = int32_t(std::ceil(pos * perByte / charWidth));  // the first position at or past pos
    view->SetHorzPos(h);
    const QImage drawn = RenderRow();
    bool same = pos < 4096 && drawn == PeerRow({line.substr(0, 4000)}, h);
    for (int32_t at = pos; pos >= 4096 && at <= pos + 3 && !same; ++at)
      same = drawn == PeerRow({line.substr(size_t(at), 200)});
    EXPECT_TRUE(same) << pos;
  }
}

// Double-byte lines of 12,000 bytes on 932 and 936 (runs of characters whose
// bytes can all lead, or prose; testsupport::doubleByteText). Scrolled so
// that the byte at the left edge is a lead and a trail byte at odd and even
// places, the row looks as the text from the character holding that byte does.
struct DoubleByteRow {
  int32_t Language;
  bool Runs;
};

class StringsViewDoubleByte : public StringsViewTest, public testing::WithParamInterface<DoubleByteRow> {
protected:
  void TearDown() override
  {
    SetTextLanguage(0x409);
    BuildCharTables();
  }
};

INSTANTIATE_TEST_SUITE_P(Pages, StringsViewDoubleByte,
                         testing::Values(DoubleByteRow{0x411, true}, DoubleByteRow{0x411, false},
                                         DoubleByteRow{0x804, true}, DoubleByteRow{0x804, false}));

TEST_P(StringsViewDoubleByte, LongLineIsDrawnFromACharacterBoundary)
{
  SetTextLanguage(GetParam().Language);
  BuildCharTables();
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  std::mt19937 rng(48);
  const std::string line = testsupport::doubleByteText(cp, GetParam().Runs, 12000, rng);
  std::vector<bool> starts(line.size(), false);
  for (size_t i = 0; i < line.size(); i += platform::charBytesAt(cp, line, i))
    starts[i] = true;
  MemoryStrings s({line});
  view->SetStrings(&s);
  Render();
  size_t headBytes = 0;
  const double perByte = HeadWidthPerByte(line, &headBytes);
  const auto headWidth = int64_t(std::llround(perByte * double(headBytes)));
  // Positions past the head whose byte starts a character or is a trail
  // byte, at odd and at even places.
  std::set<bool> kinds;
  std::set<bool> parities;
  int checked = 0;
  for (auto h = int32_t(headWidth / view->CharWidth() + 1); kinds.size() < 2 || parities.size() < 2 || checked < 8;
       h += 5) {
    const auto byte = size_t(int64_t(h) * view->CharWidth() * int64_t(headBytes) / headWidth);
    ASSERT_LT(byte, line.size() - 200);
    kinds.insert(starts[byte]);
    parities.insert(byte % 2 == 1);
    ++checked;
    view->SetHorzPos(h);
    const size_t start = starts[byte] ? byte : byte - 1;
    EXPECT_EQ(RenderRow(), PeerRow({line.substr(start, 200)})) << "byte " << byte;
  }
}

// A 4,090- and a 4,100-byte line of the same text show the same byte at the
// left edge at every position, within three characters.
TEST_F(StringsViewTest, LinesUnderAndOverTheLongLineThresholdScrollAlike)
{
  QFont f(QStringLiteral("DejaVu Sans"));  // glyphs narrower and wider than "0"
  f.setPixelSize(12);
  view->setFont(f);
  std::mt19937 rng(50);
  std::string prose;
  while (prose.size() < 4100)
    prose += std::string(1 + rng() % 9, char('a' + rng() % 26)) + (rng() % 5 ? " " : ", ");
  const int most = 3 * view->CharWidth();
  // Whether row b shifted by at most three characters is row a.
  const auto alike = [most](const QImage& a, const QImage& b) {
    for (int d = -most; d <= most; ++d) {
      bool same = true;
      for (int y = 0; y < a.height() && same; ++y)
        for (int x = most; x < a.width() - most && same; ++x)
          same = a.pixel(x, y) == b.pixel(x + d, y);
      if (same)
        return true;
    }
    return false;
  };
  for (const std::string& text : {std::string(4100, 'i'), prose}) {
    MemoryStrings s({text.substr(0, 4090), text.substr(0, 4100)});
    view->SetStrings(&s);
    Render();
    for (int steps : {1, 10, 33, 60}) {  // half pages, the last window short of the text's end
      view->SetHorzPos(steps * (view->VisibleChars() / 2));
      EXPECT_TRUE(alike(RenderRow(0), RenderRow(1))) << steps << " " << text.substr(0, 20);
    }
  }
}

TEST_F(StringsViewTest, LongLinesAreReadOnlyInBoundedParts)
{
  RecordingStrings s({"short", std::string(2'000'000, 'w'), "short"});
  view->SetStrings(&s);
  Render();
  for (int32_t pos : {3, 2000, 900'000, 10, 1'500'000})
    view->SetHorzPos(pos);
  Render();
  view->SetHorzPos(view->horizontalScrollBar()->maximum());
  Render();
  EXPECT_LE(s.LargestCount, 65536);
  EXPECT_EQ(s.LongGets, 0);
}

TEST_F(StringsViewTest, SidewaysStepInALongLineRepaintsIt)
{
  MemoryStrings s({std::string(100'000, 'x')});
  view->SetStrings(&s);
  Render();
  PaintCounter counter;
  view->viewport()->installEventFilter(&counter);
  for (int32_t pos : {1, 700, 9000}) {
    counter.Paints = 0;
    view->SetHorzPos(pos);
    QApplication::processEvents();
    EXPECT_GE(counter.Paints, 1) << pos;
  }
  view->viewport()->removeEventFilter(&counter);
}

TEST_F(StringsViewTest, NewShortLinesEndTheRangeOfALongLineShownBefore)
{
  MemoryStrings big({std::string(1'000'000, 'x')});
  view->SetStrings(&big);
  Render();
  QApplication::processEvents();
  ASSERT_GT(view->horizontalScrollBar()->maximum(), 100'000);
  MemoryStrings small({"short", "lines"});
  view->SetStrings(&small);
  Render();
  QApplication::processEvents();
  EXPECT_LT(view->horizontalScrollBar()->maximum(), 10);
}

// A suppressed long line's range ends at its shown end once it has been
// read to its end, not at its bytes.
TEST_F(StringsViewTest, RangeOfASuppressedLineEndsAtItsShownEndOnceKnown)
{
  const char oldStart = ConcordSettings.TagStart;
  const char oldStop = ConcordSettings.TagStop;
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  std::string line;
  while (line.size() < 300'000)
    line += "word <a tag of some length> ";
  testsupport::MemoryStream stream("a\r\n" + line + "\r\nb");
  TBufStream reader(&stream);
  ConfigureBufStream(reader);
  {
    TFileStrings lines(&stream, &reader);
    while (lines.IsCounting())
      std::this_thread::yield();
    lines.Suppress = {true, false, false};
    view->SetStrings(&lines);
    Render();
    QApplication::processEvents();
    QScrollBar* bar = view->horizontalScrollBar();
    const int bytesRange = bar->maximum();
    view->SetHorzPos(bar->maximum());
    Render();
    QApplication::processEvents();
    const std::string shown = lines.Get(1);
    const double shownRange = double(shown.size()) * HeadWidthPerByte(shown) / view->CharWidth();
    EXPECT_NEAR(bar->maximum(), shownRange, shownRange / 100 + 3) << bytesRange;
    view->SetStrings(nullptr);
  }
  ConcordSettings.TagStart = oldStart;
  ConcordSettings.TagStop = oldStop;
}

TEST_F(StringsViewTest, LabelWidthIsCheckedAgainstTheClientWidth)
{
  TStringsView hidden;
  hidden.SetLabelWidth(16);  // not shown yet: no real width to check against
  EXPECT_EQ(hidden.LabelWidth(), 16);

  view->SetLabelWidth(20);
  EXPECT_EQ(view->LabelWidth(), 20);
  view->SetLabelWidth(0);
  EXPECT_EQ(view->LabelWidth(), 20);
  const int client = view->viewport()->width();
  view->SetLabelWidth(client - 6);
  EXPECT_EQ(view->LabelWidth(), 20);
  view->SetLabelWidth(client - 7);
  EXPECT_EQ(view->LabelWidth(), client - 7);
}

TEST_F(StringsViewTest, LargeListsFormatOnlyTheVisibleItems)
{
  GeneratedStrings s;
  s.N = 10'000'000;
  view->SetEnableSelect(true);
  view->SetStrings(&s);
  Render();
  const int visible = view->VisibleLines();
  EXPECT_LE(s.Gets, 5 * (visible + 2));  // a few layouts of the visible items
  EXPECT_GE(view->LastLaidOutItem(), visible - 1);
  EXPECT_LE(view->LastLaidOutItem(), visible);  // plus a partly visible one

  s.Gets = 0;
  Key(Qt::Key_End);
  Render();
  EXPECT_EQ(view->ItemIndex(), s.N - 1);
  EXPECT_EQ(view->LastLaidOutItem(), s.N - 1);
  EXPECT_TRUE(view->LastItemComplete());
  EXPECT_LE(s.Gets, 5 * (visible + 2));
}

// ---------------------------------------------------------------------------
// Selection

TEST_F(StringsViewTest, SetStringsResetsTheViewAndSelectsTheFirstItem)
{
  MemoryStrings s(Numbered(50));
  UseExtended();
  view->SetStrings(&s);
  Click(3);
  Click(5, Qt::ControlModifier);
  view->ScrollTo(10);
  int topChanges = 0;
  view->OnTopIndexChanged = [&](TStringsView*) { ++topChanges; };
  events.clear();
  MemoryStrings other(Numbered(5));
  view->SetStrings(&other);
  EXPECT_EQ(topChanges, 1);
  EXPECT_EQ(view->TopIndex(), 0);
  EXPECT_EQ(view->ItemIndex(), 0);
  EXPECT_EQ(view->Anchor(), -1);
  EXPECT_EQ(view->SelCount(), 0);
  EXPECT_EQ(events, (std::vector<Event>{{'-', 3}, {'-', 5}}));
}

TEST_F(StringsViewTest, ExtendedClicksFollowTheModeTable)
{
  MemoryStrings s(Numbered(20));
  UseExtended();
  view->SetStrings(&s);
  events.clear();

  // Shift without an anchor yet: a plain click, which sets the anchor.
  Click(2, Qt::ShiftModifier);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{2}));
  EXPECT_EQ(view->Anchor(), 2);
  EXPECT_EQ(events, (std::vector<Event>{{'+', 2}, {'c', 2}}));

  // Shift: the range from a selected anchor keeps the anchor, re-added last.
  events.clear();
  Click(5, Qt::ShiftModifier);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{3, 4, 5, 2}));
  EXPECT_EQ(events, (std::vector<Event>{{'-', 2}, {'+', 3}, {'+', 4}, {'+', 5}, {'+', 2}, {'c', 5}}));
  EXPECT_EQ(view->Anchor(), 2);

  // Ctrl: toggles only the clicked item.
  Click(4, Qt::ControlModifier);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{3, 5, 2}));
  EXPECT_EQ(view->Anchor(), 4);

  // A range from the now unselected anchor leaves it out.
  Click(1, Qt::ShiftModifier);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{1, 2, 3}));

  // A plain click clears the rest.
  events.clear();
  Click(7);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{7}));
  EXPECT_EQ(events, (std::vector<Event>{{'-', 1}, {'-', 2}, {'-', 3}, {'+', 7}, {'c', 7}}));

  // Clearing reports every deselection, in selection order.
  Click(0, Qt::ControlModifier);
  Click(4, Qt::ControlModifier);
  events.clear();
  view->ClearSelection();
  EXPECT_EQ(events, (std::vector<Event>{{'-', 7}, {'-', 0}, {'-', 4}}));
}

TEST_F(StringsViewTest, OtherSelectionModesAndSetters)
{
  MemoryStrings s(Numbered(20));
  view->SetEnableSelect(true);
  view->SetMultiSelect(true);
  view->SetStrings(&s);
  // Multiple without extended: clicks toggle, a key selects the new item and
  // deselects only the old current one (3, not selected).
  Click(3);
  Click(5);
  Click(3);
  Key(Qt::Key_Down);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{5, 4}));
  view->setEnabled(false);
  EXPECT_FALSE(view->IsSelected(4));
  view->SetEnableSelect(false);  // ignored while disabled
  EXPECT_TRUE(view->EnableSelect());
  view->setEnabled(true);
  view->SetMultiSelect(false);
  EXPECT_EQ(view->SelCount(), 0);
  EXPECT_EQ(view->ItemIndex(), -1);
  // Single selection.
  Click(2);
  Click(8);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{8}));
  view->SetEnableSelect(false);
  EXPECT_EQ(view->SelCount(), 0);
  view->SetEnableSelect(true);
  EXPECT_EQ(view->ItemIndex(), 0);
}

TEST_F(StringsViewTest, DraggingSelectsARangeAndCtrlDraggingToggles)
{
  MemoryStrings s(Numbered(20));
  UseExtended();
  view->SetStrings(&s);
  Mouse(QEvent::MouseButtonPress, RowPoint(5));
  for (int32_t i = 6; i <= 9; ++i)
    Mouse(QEvent::MouseMove, RowPoint(i));
  Mouse(QEvent::MouseButtonRelease, RowPoint(9));
  std::vector<int32_t> sel = Selection();
  std::sort(sel.begin(), sel.end());
  EXPECT_EQ(sel, (std::vector<int32_t>{5, 6, 7, 8, 9}));
  EXPECT_EQ(view->ItemIndex(), 9);

  // Ctrl held: each item entered toggles; staying on one item does nothing.
  Mouse(QEvent::MouseButtonPress, RowPoint(12), Qt::ControlModifier);
  Mouse(QEvent::MouseMove, RowPoint(12) + QPoint(5, 0), Qt::ControlModifier);
  Mouse(QEvent::MouseMove, RowPoint(8), Qt::ControlModifier);
  Mouse(QEvent::MouseMove, RowPoint(7), Qt::ControlModifier);
  sel = Selection();
  std::sort(sel.begin(), sel.end());
  EXPECT_EQ(sel, (std::vector<int32_t>{5, 6, 9, 12}));
}

TEST_F(StringsViewTest, DraggingBelowTheWindowScrollsOneItem)
{
  MemoryStrings s(Numbered(100));
  UseExtended();
  view->SetStrings(&s);
  FitLines(10);
  Mouse(QEvent::MouseButtonPress, RowPoint(8));
  Mouse(QEvent::MouseMove, QPoint(20, view->viewport()->height() + 5));
  EXPECT_EQ(view->ItemIndex(), 10);
  EXPECT_EQ(view->TopIndex(), 1);
  Mouse(QEvent::MouseMove, QPoint(20, -5));
  EXPECT_EQ(view->ItemIndex(), 0);
  EXPECT_EQ(view->TopIndex(), 0);
}

TEST_F(StringsViewTest, KeysMoveTheCurrentItemIntoView)
{
  MemoryStrings s;
  UseExtended();
  view->SetStrings(&s);  // empty: no current item
  s.Items = Numbered(100);
  view->ItemsChanged();
  FitLines(10);
  ASSERT_EQ(view->ItemIndex(), -1);
  // key, times pressed, then the current and the top item
  for (auto [key, times, item, top] : std::vector<std::array<int, 4>>{
         {Qt::Key_Down, 1, 0, 0}, {Qt::Key_Down, 10, 10, 1}, {Qt::Key_End, 1, 99, 90},
         {Qt::Key_PageUp, 1, 89, 89}, {Qt::Key_Home, 1, 0, 0}}) {
    for (int i = 0; i < times; ++i)
      Key(Qt::Key(key));
    EXPECT_EQ(view->ItemIndex(), item) << key;
    EXPECT_EQ(view->TopIndex(), top) << key;
  }
  EXPECT_EQ(Selection(), (std::vector<int32_t>{0}));

  // Shift+End selects everything; Ctrl+Down only moves the current item, into view.
  Key(Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(view->SelCount(), 100);
  Key(Qt::Key_Home);
  events.clear();
  for (int i = 0; i < 12; ++i)
    Key(Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(view->ItemIndex(), 12);
  EXPECT_EQ(view->TopIndex(), 3);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{0}));
  EXPECT_EQ(events.size(), 12u);  // only item changes
}

TEST_F(StringsViewTest, FarItemIsBroughtIntoViewWithOneJump)
{
  MemoryStrings s(Numbered(1000));
  view->SetEnableSelect(true);
  view->SetStrings(&s);
  FitLines(10);
  int topChanges = 0;
  view->OnTopIndexChanged = [&](TStringsView*) { ++topChanges; };
  view->SetItemIndex(500);
  EXPECT_EQ(view->ItemIndex(), 500);
  EXPECT_EQ(view->TopIndex(), 491);
  EXPECT_EQ(view->LastLaidOutItem(), 500);
  EXPECT_LE(topChanges, 2);
  view->SetItemIndex(1000);  // out of range: ignored
  EXPECT_EQ(view->ItemIndex(), 500);
}

TEST_F(StringsViewTest, KeysScrollWithoutSelection)
{
  MemoryStrings s(Numbered(100));
  view->SetStrings(&s);
  FitLines(10);
  for (auto [key, top] : std::vector<std::pair<Qt::Key, int>>{
         {Qt::Key_PageDown, 10}, {Qt::Key_Down, 11}, {Qt::Key_Up, 10}, {Qt::Key_Up, 9}, {Qt::Key_End, 99},
         {Qt::Key_Home, 0}}) {
    Key(key);
    EXPECT_EQ(view->TopIndex(), top) << key;
  }
  EXPECT_EQ(view->ItemIndex(), -1);
}

TEST_F(StringsViewTest, HorizontalKeysScrollOnlyWhenAllowedAndAreNeverPassedOn)
{
  MemoryStrings s;
  s.Items = {std::string(200, 'h'), "b"};
  view->SetStrings(&s);
  Render();  // the widest item drawn sets the horizontal range
  QApplication::processEvents();
  const int32_t half = view->VisibleChars() / 2;
  const int32_t max = half + (view->MaxLineWidth() / view->CharWidth() + 1);
  EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
  const auto ctrl = Qt::ControlModifier;
  for (auto [key, mods, pos] : std::vector<std::tuple<Qt::Key, Qt::KeyboardModifiers, int>>{
         {Qt::Key_Right, {}, 1}, {Qt::Key_Right, {}, 2}, {Qt::Key_Left, {}, 1}, {Qt::Key_End, ctrl, max},
         {Qt::Key_Right, {}, max}, {Qt::Key_PageUp, ctrl, max - half}, {Qt::Key_Home, ctrl, 0}}) {
    Key(key, mods);
    EXPECT_EQ(view->HorzPos(), pos) << key;
  }
  EXPECT_EQ(parent.Keys, 0);

  // Centred (and likewise wrapped): no horizontal scrolling, keys swallowed.
  view->SetAlignment(taCenter);
  EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
  Key(Qt::Key_Right);
  Key(Qt::Key_Left);
  EXPECT_EQ(view->HorzPos(), 0);
  EXPECT_EQ(parent.Keys, 0);
  Key(Qt::Key_A);
  EXPECT_EQ(parent.Keys, 1);
}

TEST_F(StringsViewTest, ClientLowerThanOneLineIgnoresKeysAndClicks)
{
  MemoryStrings s(Numbered(10));
  view->SetEnableSelect(true);
  view->SetStrings(&s);
  const int frame = view->height() - view->viewport()->height();
  view->resize(view->width(), frame + view->LineHeight() - 1);
  QApplication::processEvents();
  Key(Qt::Key_Down);
  EXPECT_EQ(view->ItemIndex(), 0);
  EXPECT_EQ(parent.Keys, 1);
  Mouse(QEvent::MouseButtonPress, QPoint(20, 2));
  EXPECT_EQ(view->ItemIndex(), 0);
}

// ---------------------------------------------------------------------------
// Scroll bar, wheel and count changes

TEST_F(StringsViewTest, ScaledScrollBarReachesBothEnds)
{
  GeneratedStrings s;
  s.N = 100'000;
  view->SetStrings(&s);
  FitLines(20);
  QScrollBar* vb = view->verticalScrollBar();
  const int64_t total = s.N + 20 - 2;
  const int page = int((32767LL * 20 + total / 2) / total);
  EXPECT_EQ(vb->pageStep(), page);
  EXPECT_EQ(vb->maximum(), 32767 - page + 1);

  vb->setSliderPosition(vb->maximum());
  EXPECT_EQ(view->TopIndex(), s.N - 1);
  EXPECT_EQ(view->LastLaidOutItem(), s.N - 1);
  vb->setSliderPosition(16384);
  EXPECT_EQ(view->TopIndex(), int32_t((total * 16384 + 32767 / 2) / 32767));
  vb->setSliderPosition(1);
  EXPECT_EQ(view->TopIndex(), 0);
  EXPECT_EQ(vb->value(), 0);

  vb->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(view->TopIndex(), s.N - 1);
  EXPECT_GE(vb->value(), 32761 - 1);
  vb->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(view->TopIndex(), s.N - 2);
}

TEST_F(StringsViewTest, WheelScrollsOneItemPerNotchAddingUpSmallDeltas)
{
  MemoryStrings s(Numbered(50));
  view->SetStrings(&s);
  auto wheel = [&](int delta) {
    const QPoint pt(20, 20);
    QWheelEvent e(pt, view->viewport()->mapToGlobal(pt), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &e);
    EXPECT_TRUE(e.isAccepted());
  };
  // Small deltas add up to a notch; at the top a notch up does nothing.
  for (auto [delta, top] : std::vector<std::pair<int, int>>{
         {-120, 1}, {-30, 1}, {-30, 1}, {-30, 1}, {-30, 2}, {240, 0}, {120, 0}}) {
    wheel(delta);
    EXPECT_EQ(view->TopIndex(), top) << delta;
  }
}

TEST_F(StringsViewTest, GrowingListLaysOutOnlyWhileTheWindowIsNotFull)
{
  MemoryStrings s;
  view->SetAlignment(taCenter);  // no horizontal bar to come and go
  FitLines(10);
  view->SetStrings(&s);
  for (int i = 0; i < 5; ++i) {
    s.Items.push_back("x");
    view->ItemsChanged();
  }
  EXPECT_EQ(view->LastLaidOutItem(), 4);
  EXPECT_FALSE(view->ViewFull());
  s.Items.resize(10, "x");
  view->ItemsChanged();
  EXPECT_TRUE(view->ViewFull());
  const int gets = s.Gets;
  s.Items.resize(500, "x");
  view->ItemsChanged();
  EXPECT_EQ(s.Gets, gets);  // a full window costs only a range update
  EXPECT_EQ(view->verticalScrollBar()->maximum(), 499);
}

TEST_F(StringsViewTest, ShrinkingListDropsWhatIsGone)
{
  MemoryStrings s(Numbered(50));
  UseExtended();
  view->SetAlignment(taCenter);
  FitLines(10);
  view->SetStrings(&s);
  Click(2);
  view->ScrollTo(40);
  Click(41, Qt::ControlModifier);
  Click(44, Qt::ControlModifier);
  Click(47, Qt::ControlModifier);
  ASSERT_EQ(Selection(), (std::vector<int32_t>{2, 41, 44, 47}));
  ASSERT_EQ(view->Anchor(), 47);
  events.clear();
  s.Items.resize(30);
  view->ItemsChanged();
  EXPECT_EQ(Selection(), (std::vector<int32_t>{2}));
  EXPECT_EQ(events, (std::vector<Event>{{'-', 41}, {'-', 44}, {'-', 47}, {'c', 29}}));
  EXPECT_EQ(view->ItemIndex(), 29);
  EXPECT_EQ(view->Anchor(), -1);
  EXPECT_EQ(view->TopIndex(), 29);
  EXPECT_FALSE(s.BadRead);
}

TEST_F(StringsViewTest, EmptiedListRefilledWithoutNewSourceNeverReadsANegativeItem)
{
  MemoryStrings s(Numbered(30));
  view->SetStrings(&s);
  view->ScrollTo(20);
  s.Items.clear();
  view->ItemsChanged();
  EXPECT_EQ(view->TopIndex(), -1);
  Render();
  s.Items = Numbered(3);
  view->ItemsChanged();
  Render();
  EXPECT_EQ(view->TopIndex(), 0);
  EXPECT_EQ(view->LastLaidOutItem(), 2);
  EXPECT_FALSE(s.BadRead);
}

TEST_F(StringsViewTest, WorkerRequestsAreServedOnTheGuiThreadInOneCall)
{
  MemoryStrings s;
  view->SetStrings(&s);
  s.Items = Numbered(40);  // grown before the worker reports
  int tops = 0;
  view->OnTopIndexChanged = [&](TStringsView*) { ++tops; };
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i)
      view->PostItemsChanged();
  });
  worker.join();
  const int counts = s.Counts;
  QApplication::processEvents();
  EXPECT_GT(view->LastLaidOutItem(), 0);
  EXPECT_LT(s.Counts - counts, 100);  // one ItemsChanged, not a hundred
}
