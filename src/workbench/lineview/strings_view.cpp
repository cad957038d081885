#include "workbench/lineview/strings_view.h"

#include "workbench/frame/qt_text.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <deque>

#include "foundation/chartables.h"
#include "platform/codepage.h"

namespace {

// Right and bottom edges as exclusive coordinates.
int RightOf(const QRect& r) { return r.x() + r.width(); }
int BottomOf(const QRect& r) { return r.y() + r.height(); }

// A fill that covers the rectangle's right and bottom edges too.
void FillEdges(QPainter& p, const QRect& r, const QColor& c)
{
  p.fillRect(QRect(r.x(), r.y(), r.width() + 1, r.height() + 1), c);
}

// a * b / c rounded half away from zero; -1 when c is 0.
int64_t MulDiv(int64_t a, int64_t b, int64_t c)
{
  if (c == 0)
    return -1;
  const int64_t n = a * b;
  const bool negative = (n < 0) != (c < 0);
  const int64_t an = n < 0 ? -n : n;
  const int64_t ac = c < 0 ? -c : c;
  const int64_t q = (an + ac / 2) / ac;
  return negative ? -q : q;
}

constexpr int kScrollMax = 32767;
constexpr int kThumbEnd = 32761;

QColor XorColor(const QColor& a, const QColor& b)
{
  return QColor(a.red() ^ b.red(), a.green() ^ b.green(), a.blue() ^ b.blue());
}

}  // namespace

// Fonts made from the control's font and run or label overrides, with their
// metrics and the widths of single-byte characters, kept until the control's
// font or code page changes.
class TStringsView::FontCache
{
public:
  struct Entry {
    TSVFontInfo Key;
    QFont Font;
    QFontMetrics Metrics;
    mutable std::array<int, 256> ByteWidths;  // -1 until measured
  };

  explicit FontCache(const TStringsView& view) : FView(view) {}

  const Entry& Get(const TSVFontInfo& overrides)
  {
    for (const Entry& e : FEntries)
      if (e.Key.Name == overrides.Name && e.Key.Style == overrides.Style && e.Key.Size == overrides.Size)
        return e;
    TSVFontInfo key = overrides;
    key.Color = 0;
    QFont f = FView.font();
    if (!key.Name.empty())
      f.setFamily(FView.ToQString(key.Name));
    if (key.Style != 0) {
      f.setBold((key.Style & fsBold) != 0);
      f.setItalic((key.Style & fsItalic) != 0);
      f.setUnderline((key.Style & fsUnderline) != 0);
      f.setStrikeOut((key.Style & fsStrikeOut) != 0);
    }
    if (key.Size > 0)
      f.setPointSize(key.Size);
    Entry e{key, f, QFontMetrics(f), {}};
    e.ByteWidths.fill(-1);
    FEntries.push_back(std::move(e));
    return FEntries.back();
  }

  const Entry& Base() { return Get(TSVFontInfo()); }

  int CharWidth(const Entry& e, std::string_view ch)
  {
    if (ch.size() != 1)
      return e.Metrics.horizontalAdvance(FView.ToQString(ch));
    int& w = e.ByteWidths[static_cast<unsigned char>(ch[0])];
    if (w < 0)
      w = e.Metrics.horizontalAdvance(FView.ToQString(ch));
    return w;
  }

  void Clear() { FEntries.clear(); }
  // Bounds the cache between paints; never while entries are in use.
  void Trim()
  {
    if (FEntries.size() > 64)
      FEntries.clear();
  }

private:
  const TStringsView& FView;
  std::deque<Entry> FEntries;  // stable references
};

TStringsView::TStringsView(QWidget* parent)
    : QAbstractScrollArea(parent), fonts_(std::make_unique<FontCache>(*this))
{
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setFocusPolicy(Qt::StrongFocus);
  setBackgroundRole(QPalette::Base);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &TStringsView::OnVertAction);
  connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, &TStringsView::OnHorzAction);
  MetricsFromFont();
}

TStringsView::~TStringsView() = default;

// ---------------------------------------------------------------------------
// Source, options and metrics

int32_t TStringsView::ItemCount() const
{
  return strings_ != nullptr ? std::max<int32_t>(strings_->Count(), 0) : 0;
}

int TStringsView::ClientWidth() const { return viewport()->width(); }
int TStringsView::ClientHeight() const { return viewport()->height(); }

bool TStringsView::HorzScrollAllowed() const
{
  return alignment_ != taCenter && !wordWrap_ && ItemCount() > 0;
}

QString TStringsView::ToQString(std::string_view bytes) const
{
  const platform::CodePage& cp = platform::codePage(codePage_ != 0 ? codePage_ : AnsiCodePage);
  const std::u16string u = platform::toUtf16(cp, bytes);
  return QString(reinterpret_cast<const QChar*>(u.data()), static_cast<qsizetype>(u.size()));
}

void TStringsView::SetCodePage(uint16_t codePage)
{
  if (codePage == codePage_)
    return;
  codePage_ = codePage;
  fonts_->Clear();
  Relayout();
}

void TStringsView::SetStrings(TStrings* source)
{
  strings_ = source;
  if (source == nullptr) {
    std::lock_guard lock(lock_);
    screen_.clear();
    itemAbove_ = TSVScreenDrawInfo();
    lastLaidOutItem_ = -1;
    viewFull_ = false;
    return;
  }
  SetTopIndexValue(0);
  maxLineWidth_ = 0;
  maxLineChars_ = 0;
  horzPos_ = 0;
  itemIndex_ = -1;
  anchor_ = -1;
  ClearSelection();
  if (enableSelect_ && ItemCount() > 0)
    itemIndex_ = 0;
  Relayout();
  UpdateScrollRanges();
}

void TStringsView::Relayout()
{
  // The texts or their fonts may have changed (or, from SetStrings, the
  // list): long lines are measured again.
  heads_.clear();
  longWidths_.clear();
  LayoutItems();
  viewport()->update();
}

void TStringsView::MetricsFromFont()
{
  QFont plain = font();
  plain.setBold(false);
  plain.setItalic(false);
  plain.setUnderline(false);
  plain.setStrikeOut(false);
  MeasureFonts({plain});
}

void TStringsView::SetFonts(const std::vector<QFont>& fonts)
{
  MeasureFonts(fonts);
}

void TStringsView::MeasureFonts(const std::vector<QFont>& fonts)
{
  for (const QFont& f : fonts) {
    const QFontMetrics fm(f);
    charWidth_ = std::max(charWidth_, fm.horizontalAdvance(QLatin1Char('0')));
    lineHeight_ = std::max(lineHeight_, fm.height() + fm.leading());
  }
  charWidth_ = std::max(charWidth_, 1);
  lineHeight_ = std::max(lineHeight_, 1);
  UpdateVisible();
  Relayout();
  UpdateScrollRanges();
}

void TStringsView::UpdateVisible()
{
  visibleChars_ = ClientWidth() / charWidth_;
  visibleLines_ = ClientHeight() / lineHeight_;
}

void TStringsView::RecreateWnd()
{
  setFrameStyle(borderStyle_ == bsSingle ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
  horzPos_ = 0;
  UpdateScrollRanges();
  UpdateVisible();
  Relayout();
  UpdateScrollRanges();
}

void TStringsView::SetBorderStyle(TBorderStyle value)
{
  if (value == borderStyle_)
    return;
  borderStyle_ = value;
  RecreateWnd();
}

void TStringsView::SetAlignment(TAlignment value)
{
  if (value == alignment_)
    return;
  alignment_ = value;
  RecreateWnd();
}

void TStringsView::SetWordWrap(bool value)
{
  if (value == wordWrap_)
    return;
  wordWrap_ = value;
  RecreateWnd();
}

void TStringsView::SetShowLabel(bool value)
{
  if (value == showLabel_)
    return;
  showLabel_ = value;
  Relayout();
}

void TStringsView::SetLabelWidth(int32_t value)
{
  // Before the view is first shown its size is provisional; the width is
  // checked against the client width only once there is a real one.
  if (value == labelWidth_ || value < 1)
    return;
  if (isVisible() && !(ClientWidth() - 2 > value + 4))
    return;
  labelWidth_ = value;
  if (showLabel_)
    Relayout();
}

void TStringsView::SetEnableSelect(bool value)
{
  if (!isEnabled() || value == enableSelect_)
    return;
  enableSelect_ = value;
  itemIndex_ = -1;
  anchor_ = -1;
  if (!value)
    ClearSelection();
  else if (ItemCount() > 0)
    itemIndex_ = 0;
  viewport()->update();
}

void TStringsView::SetMultiSelect(bool value)
{
  if (value == multiSelect_)
    return;
  multiSelect_ = value;
  if (!value) {
    itemIndex_ = -1;
    anchor_ = -1;
    ClearSelection();
  }
}

void TStringsView::SetExtendedSelect(bool value)
{
  if (value == extendedSelect_)
    return;
  extendedSelect_ = value;
  anchor_ = -1;
}

void TStringsView::SetTopIndexValue(int32_t value)
{
  topIndex_ = value;
  if (OnTopIndexChanged)
    OnTopIndexChanged(this);
}

// ---------------------------------------------------------------------------
// Layout

int32_t TStringsView::PartBytes() const
{
  return std::max(8 * visibleChars_, LongLineBytes);
}

bool TStringsView::PartsLaidOut() const
{
  std::lock_guard lock(lock_);
  if (itemAbove_.PartFrom >= 0)
    return true;
  return std::any_of(screen_.begin(), screen_.end(), [](const TSVScreenDrawInfo& item) { return item.PartFrom >= 0; });
}

const platform::CodePage& TStringsView::TextCodePage() const
{
  return platform::codePage(codePage_ != 0 ? codePage_ : AnsiCodePage);
}

const TStringsView::TLineHead* TStringsView::FindHead(int32_t index) const
{
  for (const TLineHead& head : heads_)
    if (head.Index == index)
      return &head;
  return nullptr;
}

const TStringsView::TLineHead& TStringsView::MeasureHead(int32_t index, std::string_view head)
{
  if (const TLineHead* known = FindHead(index))
    return *known;
  const size_t bytes = platform::charStartAt(TextCodePage(), head, std::min<size_t>(head.size(), LongLineBytes));
  const int64_t width = fonts_->Base().Metrics.horizontalAdvance(ToQString(head.substr(0, bytes)));
  if (heads_.size() >= 64)
    heads_.erase(heads_.begin());
  heads_.push_back({index, std::max<int32_t>(static_cast<int32_t>(bytes), 1), std::max<int64_t>(width, 1)});
  return heads_.back();
}

int32_t TStringsView::HeadByte(const TLineHead& head) const
{
  const int64_t x = int64_t(horzPos_) * charWidth_;
  return static_cast<int32_t>(std::min<int64_t>(x * head.Bytes / head.Width, INT32_MAX));
}

void TStringsView::ReadPart(int32_t index, std::string& text, TSVScreenDrawInfo& info)
{
  const int64_t x = int64_t(horzPos_) * charWidth_;
  const TLineHead* head = FindHead(index);
  if (head == nullptr || x < head->Width) {
    // From the start: a short line is read whole, once; of a long line its
    // head is measured, and within its width drawn as a short line is.
    const int32_t count = LongLineBytes + PartBytes();
    text = strings_->textPart(index, 0, count, info.TextLength);
    if (static_cast<int32_t>(text.size()) < count)
      info.TextLength = static_cast<int32_t>(text.size());
    if (!LongLine(info.TextLength))
      return;
    head = &MeasureHead(index, text);
    longWidths_[index] = int64_t(info.TextLength) * head->Width / head->Bytes;
    if (x < head->Width) {
      info.PartFrom = 0;
      info.PartTo = static_cast<int32_t>(text.size());
      info.PartShift = static_cast<int32_t>(x);
      return;
    }
  }
  const int32_t from = strings_->charStart(index, HeadByte(*head), TextCodePage());
  text = strings_->textPart(index, from, PartBytes(), info.TextLength);
  if (!LongLine(info.TextLength)) {
    text = strings_->Get(index);  // no longer a long line
    return;
  }
  longWidths_[index] = int64_t(info.TextLength) * head->Width / head->Bytes;
  info.TextStart = from;
  info.PartFrom = from;
  info.PartTo = from + static_cast<int32_t>(text.size());
}

void TStringsView::CutPart(int32_t index, const std::string& text, TSVScreenDrawInfo& info)
{
  const TLineHead& head = MeasureHead(index, text);
  longWidths_[index] = int64_t(info.TextLength) * head.Width / head.Bytes;
  const int64_t x = int64_t(horzPos_) * charWidth_;
  const int64_t size = static_cast<int64_t>(text.size());
  if (x < head.Width) {
    info.PartFrom = 0;
    info.PartTo = static_cast<int32_t>(std::min<int64_t>(size, int64_t(head.Bytes) + PartBytes()));
    info.PartShift = static_cast<int32_t>(x);
    return;
  }
  const size_t byte = std::min<size_t>(static_cast<size_t>(HeadByte(head)), text.size());
  info.PartFrom = static_cast<int32_t>(platform::charStartAt(TextCodePage(), text, byte));
  info.PartTo = static_cast<int32_t>(std::min<int64_t>(size, int64_t(info.PartFrom) + PartBytes()));
}

void TStringsView::FormatItem(int32_t index, std::string& text, TSVScreenDrawInfo& info)
{
  text.clear();
  info.Format.clear();
  info.Label = TSVLabelInfo();
  info.TextStart = 0;
  info.TextLength = -1;
  info.PartFrom = -1;
  info.PartTo = 0;
  info.PartShift = 0;
  if (OnFormatItem) {
    OnFormatItem(this, fonts_->Base().Metrics, index, text, info.Format, info.Label);
  } else if (wordWrap_) {
    // A wrapped item shows from its start and never needs more bytes than
    // fill the window in narrow glyphs.
    const int64_t fill = int64_t(8) * (visibleChars_ + 1) * (visibleLines_ + 2);
    text = strings_->textPart(index, 0, static_cast<int32_t>(std::clamp<int64_t>(fill, LongLineBytes, INT32_MAX)),
                              info.TextLength);
  } else if (alignment_ == taLeftJustify) {
    ReadPart(index, text, info);
  } else {
    text = strings_->Get(index);
  }
  if (!LongLine(info.TextLength) && !(wordWrap_ && !OnFormatItem))
    info.TextLength = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
  if (OnFormatItem && LongLine(info.TextLength))
    CutPart(index, text, info);
  SanitizeSVFormat(info.Format, text, &TextCodePage());
}

void TStringsView::WrapItem(const std::string& text, const TSVFormatArray& format, QRect& rect,
                            TSVStringsArray& lines)
{
  const bool dbcs = platform::codePage(codePage_ != 0 ? codePage_ : AnsiCodePage).dbcs;
  const platform::CodePage* cp = dbcs ? &platform::codePage(codePage_ != 0 ? codePage_ : AnsiCodePage) : nullptr;
  TSVWrapMeasure measure;
  measure.CharWidth = [&](std::string_view ch, int run) {
    const FontCache::Entry& e = run < 0 ? fonts_->Base() : fonts_->Get(format[static_cast<size_t>(run)].Font);
    return fonts_->CharWidth(e, ch);
  };
  measure.TextHeight = [&](int run) {
    const FontCache::Entry& e = run < 0 ? fonts_->Base() : fonts_->Get(format[static_cast<size_t>(run)].Font);
    return e.Metrics.height();
  };
  const int32_t total = SVWrapText(text, format, rect.width() - 4, lineHeight_, cp, measure, lines);
  rect.setHeight(std::max(lineHeight_, total));
}

void TStringsView::LayoutItem(int32_t index, int y, TSVScreenDrawInfo& info)
{
  std::string text;
  FormatItem(index, text, info);
  const int left = LabelColumnShown() ? labelWidth_ + 2 : 0;
  const int bottom = wordWrap_ ? ClientHeight() : y + lineHeight_;
  info.Rect = QRect(left, y, ClientWidth() - left, bottom - y);
  info.Lines.clear();
  if (!wordWrap_) {
    info.Lines.push_back(std::move(text));
  } else if (OnWrapItem) {
    OnWrapItem(this, fonts_->Base().Metrics, index, text, info.Rect, info.Format, info.Lines);
  } else {
    WrapItem(text, info.Format, info.Rect, info.Lines);
  }
}

void TStringsView::LayoutItems()
{
  std::lock_guard lock(lock_);
  fonts_->Trim();
  const int32_t count = ItemCount();
  if (count <= 0) {
    // Nothing to lay out; drop what belonged to items that are gone.
    screen_.clear();
    itemAbove_ = TSVScreenDrawInfo();
    lastLaidOutItem_ = -1;
    viewFull_ = false;
    lastItemComplete_ = true;
    return;
  }
  // A top index left at -1 by an empty list, or past a list that shrank
  // without notice, is never read as an item.
  if (topIndex_ < 0)
    SetTopIndexValue(0);
  else if (topIndex_ >= count)
    SetTopIndexValue(count - 1);

  const int clientHeight = ClientHeight();
  int y = 0;
  itemAbove_ = TSVScreenDrawInfo();
  if (topIndex_ > 0 && topIndex_ < count)
    LayoutItem(topIndex_ - 1, y, itemAbove_);
  screen_.clear();
  for (int32_t i = topIndex_; i < count; ++i) {
    screen_.emplace_back();
    LayoutItem(i, y, screen_.back());
    lastLaidOutItem_ = i;
    y += screen_.back().Rect.height();
    if (y >= clientHeight)
      break;
  }
  viewFull_ = clientHeight <= y;
  lastItemComplete_ = clientHeight >= y;
}

// ---------------------------------------------------------------------------
// Painting

void TStringsView::paintEvent(QPaintEvent* event)
{
  QPainter p(viewport());
  std::lock_guard lock(lock_);
  if (ItemCount() <= 0 || ClientHeight() < lineHeight_ || screen_.empty()) {
    p.fillRect(event->rect(), palette().color(QPalette::Base));
    return;
  }
  PaintItems(p, event->rect());
}

void TStringsView::PaintItems(QPainter& p, const QRect& update)
{
  const QColor control = palette().color(QPalette::Base);
  const QColor separator = palette().color(QPalette::WindowText);
  const bool labels = LabelColumnShown();
  const QRect labelRegion(0, update.y(), labelWidth_ + 2, update.height());
  if (labels) {
    p.setClipRect(labelRegion);
    FillEdges(p, labelRegion, control);
  }
  int y = 0;
  for (size_t k = 0; k < screen_.size(); ++k) {
    const TSVScreenDrawInfo& item = screen_[k];
    const int32_t index = topIndex_ + static_cast<int32_t>(k);
    TOwnerDrawState state = 0;
    if (!isEnabled()) {
      state = odDisabled;
    } else if (enableSelect_) {
      if (IsSelected(index))
        state |= odSelected;
      if (index == itemIndex_)
        state |= odFocused;
    }
    p.setClipRect(update);
    int height = 0;
    int width = 0;
    if (OnDrawItem)
      OnDrawItem(this, p, item.Rect, height, width, item.Format, index, 0, item.Lines, state);
    else
      DrawItem(p, item.Rect, height, width, item.Format, 0, item.Lines, state, &item);
    maxLineWidth_ = std::max(maxLineWidth_, width);
    // A line drawn in part reaches as far as its head's width per byte gives.
    int64_t widest = maxLineWidth_;
    for (const auto& [line, lineWidth] : longWidths_)
      widest = std::max(widest, lineWidth);
    maxLineChars_ = static_cast<int32_t>(std::min<int64_t>(widest / charWidth_ + 1, INT32_MAX / 2));
    if (labels) {
      p.setClipRect(labelRegion);
      if (!item.Label.Text.empty()) {
        const QRect labelRect(0, item.Rect.y(), labelWidth_, item.Rect.height());
        p.setFont(fonts_->Base().Font);
        p.setPen(palette().color(QPalette::Text));
        FillEdges(p, labelRect, control);
        if (OnDrawLabel)
          OnDrawLabel(this, p, index, labelRect, item.Label);
        else
          DrawLabel(p, labelRect, item.Label);
      }
      p.setPen(separator);
      p.drawLine(labelWidth_ - 2, item.Rect.y(), labelWidth_ - 2, BottomOf(item.Rect) - 1);
    }
    y += height;
  }
  const int clientHeight = ClientHeight();
  if (y < clientHeight) {
    p.setClipping(false);
    const QRect& last = screen_.back().Rect;
    const int top = BottomOf(last);
    if (top < clientHeight) {
      FillEdges(p, QRect(last.x(), top, last.width(), clientHeight - top), control);
      if (labels) {
        p.setPen(separator);
        p.drawLine(labelWidth_ - 2, top, labelWidth_ - 2, clientHeight - 1);
      }
    }
  }
  p.setClipping(false);
  ScheduleScrollRanges();
  if (hasFocus() && enableSelect_ && itemIndex_ >= topIndex_ && itemIndex_ <= lastLaidOutItem_) {
    QStyleOptionFocusRect opt;
    opt.initFrom(this);
    opt.rect = ItemRect(itemIndex_);
    opt.backgroundColor = palette().color(QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
  }
}

void TStringsView::DrawItem(QPainter& p, const QRect& rect, int& height, int& width, const TSVFormatArray& format,
                            int32_t startIndex, const TSVStringsArray& lines, TOwnerDrawState state,
                            const TSVScreenDrawInfo* part)
{
  const QPalette& pal = palette();
  const QColor fontColor = pal.color(QPalette::Text);
  QColor textColor = fontColor;
  QColor background = pal.color(QPalette::Base);
  const bool selected = (state & odSelected) != 0 && (state & odDisabled) == 0;
  if ((state & odDisabled) != 0) {
    textColor = pal.color(QPalette::Disabled, QPalette::Text);
  } else if (selected && hasFocus()) {
    textColor = pal.color(QPalette::HighlightedText);
    background = pal.color(QPalette::Highlight);
  } else if (selected) {
    textColor = pal.color(QPalette::WindowText);
    background = pal.color(QPalette::Mid);
  }

  // The text area: the item rectangle less 2 pixels at each side.
  const QRect r(rect.x() + 2, rect.y(), rect.width() - 4, rect.height());
  const int areaWidth = r.width();
  const int labelShift = LabelColumnShown() ? labelWidth_ + 2 : 0;

  // Split every line into segments and measure them once; the measuring pass
  // that places a line and the drawing pass see the same segments.
  struct Piece {
    QString Text;
    const FontCache::Entry* Font;
    QColor Color;
    int Extent;
    bool Center;
  };
  struct Line {
    std::vector<Piece> Pieces;
    int Width = 0;
    int HitX = -1;  // offset of the centred run from the line's start
    int HitW = -1;
  };
  std::vector<Line> laid(lines.size());
  TSVFormatArray runs = format;
  size_t next = 0;
  const int32_t textStart = part != nullptr ? part->TextStart : 0;
  int32_t pos = textStart + 1;
  // Of a long line only the bytes [partFrom, partTo) about the horizontal
  // position are shaped.
  const bool cut = part != nullptr && part->PartFrom >= 0 && lines.size() == 1;
  int32_t partFrom = textStart;
  int32_t partTo = INT32_MAX;
  if (cut) {
    partFrom = part->PartFrom;
    partTo = part->PartTo;
  }
  std::vector<TSVSegment> segments;
  const FontCache::Entry& base = fonts_->Base();
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string& text = lines[k];
    SVLineSegments(pos, static_cast<int32_t>(text.size()), runs, next, segments);
    Line& line = laid[k];
    for (const TSVSegment& s : segments) {
      const int32_t from = std::max(s.Start - 1, partFrom);
      const int32_t to = static_cast<int32_t>(std::min<int64_t>(int64_t(s.Start) - 1 + s.Length, partTo));
      if (from >= to)
        continue;
      Piece piece;
      piece.Text = ToQString(std::string_view(text).substr(static_cast<size_t>(from - (pos - 1)),
                                                            static_cast<size_t>(to - from)));
      if (s.Run >= 0) {
        const TSVFontInfo& over = format[static_cast<size_t>(s.Run)].Font;
        piece.Font = &fonts_->Get(over);
        piece.Color = over.Color != 0 ? ColorFromTColor(over.Color, pal, fontColor) : fontColor;
        if (selected)
          piece.Color = XorColor(piece.Color, textColor);
      } else {
        piece.Font = &base;
        piece.Color = textColor;
      }
      piece.Extent = piece.Font->Metrics.horizontalAdvance(piece.Text);
      piece.Center = s.Run >= 0 && s.Center;
      if (alignment_ == taCenter && piece.Center) {
        line.HitX = line.Width;
        line.HitW = piece.Extent;
      }
      line.Width += piece.Extent;
      line.Pieces.push_back(std::move(piece));
    }
    pos += static_cast<int32_t>(text.size());
  }

  FillEdges(p, rect, background);
  p.setClipRect(QRect(rect.x(), rect.y(), RightOf(r) - rect.x(), rect.height()), Qt::IntersectClip);
  for (size_t k = 0; k < laid.size(); ++k) {
    if (static_cast<int32_t>(k) < startIndex)
      continue;
    const Line& line = laid[k];
    int x = r.x();
    if (alignment_ == taRightJustify) {
      x = RightOf(r) - line.Width;
    } else if (alignment_ == taCenter) {
      if (line.HitW < 0)
        x = r.x() + (areaWidth - line.Width) / 2;
      else
        x = (areaWidth - line.HitW) / 2 - (r.x() + line.HitX) + labelShift;
    }
    x -= cut ? part->PartShift : horzPos_ * charWidth_;
    const int lineTop = r.y() + static_cast<int>(k) * lineHeight_;
    for (const Piece& piece : line.Pieces) {
      const QFontMetrics& fm = piece.Font->Metrics;
      const int top = lineTop + (lineHeight_ - fm.height()) / 2;
      p.setFont(piece.Font->Font);
      p.setPen(piece.Color);
      p.drawText(QPoint(x, top + fm.ascent()), piece.Text);
      width += piece.Extent;
      x += piece.Extent;
    }
    height += lineHeight_;
  }
}

void TStringsView::DrawLabel(QPainter& p, const QRect& rect, const TSVLabelInfo& label)
{
  const FontCache::Entry& base = fonts_->Base();
  const int top = rect.y() + (lineHeight_ - base.Metrics.height()) / 2;
  const FontCache::Entry& work = fonts_->Get(label.Font);
  const QColor fontColor = palette().color(QPalette::Text);
  p.setFont(work.Font);
  p.setPen(label.Font.Color != 0 ? ColorFromTColor(label.Font.Color, palette(), fontColor) : fontColor);
  Qt::Alignment align = Qt::AlignLeft;
  if (label.Alignment == taRightJustify)
    align = Qt::AlignRight;
  else if (label.Alignment == taCenter)
    align = Qt::AlignHCenter;
  p.drawText(QRect(rect.x(), top, rect.width(), BottomOf(rect) - top), int(align | Qt::AlignTop),
             ToQString(label.Text));
}

// ---------------------------------------------------------------------------
// Selection

void TStringsView::FireItemSelection(bool selected, int32_t index)
{
  if (OnItemSelection)
    OnItemSelection(this, selected, index);
}

bool TStringsView::IsSelected(int32_t index) const
{
  if (!isEnabled() || index < 0 || static_cast<size_t>(index) >= selected_.size())
    return false;
  return selected_[static_cast<size_t>(index)];
}

void TStringsView::SelectIndex(int32_t index)
{
  if (index < 0)
    return;
  const size_t at = static_cast<size_t>(index);
  if (at >= selected_.size())
    selected_.resize(std::max(at + 1, selected_.size() * 2));
  if (selected_[at])
    return;
  selected_[at] = true;
  selection_.push_back(index);
  FireItemSelection(true, index);
}

bool TStringsView::DeselectIndex(int32_t index)
{
  if (index < 0 || static_cast<size_t>(index) >= selected_.size() || !selected_[static_cast<size_t>(index)])
    return false;
  selected_[static_cast<size_t>(index)] = false;
  selection_.erase(std::find(selection_.begin(), selection_.end(), index));
  FireItemSelection(false, index);
  return true;
}

void TStringsView::ToggleIndex(int32_t index)
{
  if (!DeselectIndex(index))
    SelectIndex(index);
}

void TStringsView::SelectRange(int32_t index)
{
  const int32_t from = anchor_ <= index ? anchor_ + 1 : index;
  const int32_t to = anchor_ <= index ? index : anchor_ - 1;
  if (to >= 0 && static_cast<size_t>(to) >= selected_.size())
    selected_.resize(static_cast<size_t>(to) + 1);
  selection_.reserve(selection_.size() + static_cast<size_t>(std::max(0, to - from + 1)));
  for (int32_t i = from; i <= to; ++i)
    SelectIndex(i);
}

bool TStringsView::DeselectAll()
{
  std::vector<int32_t> old;
  old.swap(selection_);
  for (int32_t index : old) {
    selected_[static_cast<size_t>(index)] = false;
    FireItemSelection(false, index);
  }
  return !old.empty();
}

void TStringsView::ClearSelection()
{
  if (DeselectAll())
    viewport()->update();
}

void TStringsView::RepaintItem(int32_t index)
{
  if (index < topIndex_ || index > lastLaidOutItem_)
    return;
  const QRect r = ItemRect(index);
  viewport()->update(QRect(r.x(), r.y(), r.width() + 1, r.height() + 1));
}

void TStringsView::SetItemIndex(int32_t index)
{
  if (index < 0 || index >= ItemCount())
    return;
  SelectItem(index, false, false, true, QGuiApplication::keyboardModifiers());
}

void TStringsView::StepDown(int32_t index)
{
  for (;;) {
    const bool visible = index < lastLaidOutItem_ || index == topIndex_ ||
                         (index == lastLaidOutItem_ && lastItemComplete_);
    if (visible || topIndex_ >= index || topIndex_ + 1 >= ItemCount())
      break;
    SetTopIndexValue(topIndex_ + 1);
    LayoutItems();
  }
  UpdateScrollPos();
  viewport()->update();
}

void TStringsView::SelectItem(int32_t index, bool dragging, bool clicked, bool keyboard,
                              Qt::KeyboardModifiers mods)
{
  const int32_t count = ItemCount();
  const bool ctrl = (mods & Qt::ControlModifier) != 0;
  const bool extend = (dragging ? !ctrl : (mods & Qt::ShiftModifier) != 0) && anchor_ != -1;
  const bool wasSelected = itemIndex_ != -1 && IsSelected(itemIndex_);
  bool repaintAll = false;
  bool moved = false;

  if (multiSelect_ && extendedSelect_ && extend) {
    repaintAll = SelCount() > 0;
    // The range starts at the anchor: it keeps the anchor unless Ctrl+click
    // took the anchor out of the selection. An anchor a key moved to without
    // selecting it (Ctrl+End) is part of the range, so what the view shows
    // selected is what copy, delete and print act on.
    const bool anchorIn = IsSelected(anchor_) || !anchorDeselected_;
    DeselectAll();
    SelectRange(index);
    if (anchorIn)
      SelectIndex(anchor_);
    moved = true;
  } else {
    bool toggle = false;
    bool single = false;
    bool clear = false;
    bool setAnchor = false;
    if (multiSelect_ && extendedSelect_) {
      toggle = ctrl && (clicked || (dragging && index != itemIndex_));
      single = !ctrl;
      clear = !ctrl;
      setAnchor = true;
    } else if (multiSelect_) {
      toggle = clicked;
      single = keyboard;
    } else {
      single = true;
    }
    moved = toggle || single || clear;
    if (toggle) {
      ToggleIndex(index);
    } else {
      if (clear) {
        repaintAll = SelCount() > 1;
        DeselectAll();
      }
      if (single && !IsSelected(index)) {
        DeselectIndex(itemIndex_);
        SelectIndex(index);
      }
    }
    if (setAnchor) {
      anchor_ = index;
      anchorDeselected_ = toggle && !IsSelected(index);
    }
    // A key that leaves the selection alone (Ctrl with extended selection)
    // still moves the current item, which must come into view.
    if (keyboard)
      moved = true;
  }

  const int32_t old = itemIndex_;
  itemIndex_ = index;
  if (moved) {
    if (index < topIndex_ || index > lastLaidOutItem_) {
      if (index == 0 || index < topIndex_) {
        ScrollTo(index);
      } else if (index == lastLaidOutItem_ + 1 && index != count - 1) {
        StepDown(index);
        repaintAll = false;
      } else {
        // The last item, or one further away: put it at the bottom at once.
        SetTopIndexValue(std::max({0, topIndex_, index - std::max(visibleLines_, 1) + 1}));
        LayoutItems();
        StepDown(index);
        repaintAll = false;
      }
    } else if (index == lastLaidOutItem_ && !lastItemComplete_) {
      StepDown(index);
      repaintAll = false;
    } else {
      RepaintItem(index);
    }
    // After any scrolling, so the old item is repainted where it now is.
    if (old != index)
      RepaintItem(old);
  }
  if (repaintAll)
    viewport()->update();
  if (OnItemChanged &&
      (itemIndex_ != old || (itemIndex_ != -1 && IsSelected(itemIndex_) != wasSelected)))
    OnItemChanged(this);
}

int32_t TStringsView::ItemAtPos(QPoint pt, bool beyond) const
{
  std::lock_guard lock(lock_);
  const int32_t count = ItemCount();
  if (count <= 0)
    return -1;
  for (size_t k = 0; k < screen_.size(); ++k)
    if (screen_[k].Rect.contains(pt))
      return topIndex_ + static_cast<int32_t>(k);
  return beyond ? count : -1;
}

QRect TStringsView::ItemRect(int32_t index) const
{
  std::lock_guard lock(lock_);
  if (index >= topIndex_ && index <= lastLaidOutItem_ && index - topIndex_ < static_cast<int32_t>(screen_.size()))
    return screen_[static_cast<size_t>(index - topIndex_)].Rect;
  return QRect(-1, -1, 0, 0);
}

int32_t TStringsView::ItemAtPosEx(QPoint pt) const
{
  if (pt.y() < 0)
    return topIndex_ > 0 ? topIndex_ - 1 : -1;
  if (pt.y() >= ClientHeight())
    return lastLaidOutItem_ + 1 < ItemCount() ? lastLaidOutItem_ + 1 : -1;
  return ItemAtPos(pt, false);
}

void TStringsView::MouseSelect(QPoint pt, bool dragging, Qt::KeyboardModifiers mods)
{
  if (!enableSelect_ || ClientHeight() <= lineHeight_)
    return;
  const int32_t item = ItemAtPosEx(pt);
  if (item != -1)
    SelectItem(item, dragging, !dragging, false, mods);
}

// ---------------------------------------------------------------------------
// Count changes

void TStringsView::ItemsChanged()
{
  if (strings_ == nullptr)
    return;
  const int32_t count = ItemCount();
  // Items that went away leave the selection, the current item and the anchor.
  if (!selection_.empty()) {
    std::vector<int32_t> kept;
    std::vector<int32_t> dropped;
    for (int32_t index : selection_)
      (index < count ? kept : dropped).push_back(index);
    if (!dropped.empty()) {
      selection_.swap(kept);
      for (int32_t index : dropped) {
        selected_[static_cast<size_t>(index)] = false;
        FireItemSelection(false, index);
      }
    }
  }
  const bool itemMoved = itemIndex_ >= count;
  if (itemMoved)
    itemIndex_ = count - 1;
  if (anchor_ >= count)
    anchor_ = -1;

  if (count <= lastLaidOutItem_ || !viewFull_) {
    if (count <= topIndex_)
      SetTopIndexValue(count - 1);
    LayoutItems();
    viewport()->update();
  }
  UpdateScrollRanges();
  if (itemMoved && OnItemChanged)
    OnItemChanged(this);
}

void TStringsView::PostItemsChanged()
{
  if (itemsChangedPending_.exchange(true))
    return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        itemsChangedPending_ = false;
        ItemsChanged();
      },
      Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Scrolling

void TStringsView::ScrollTo(int32_t index)
{
  const int32_t count = ItemCount();
  if (index < 0 || index >= count || index == topIndex_)
    return;
  const int32_t d = topIndex_ - index;
  // Pixels of the item that leaves (one down) or enters (one up) the window.
  int pixels = 0;
  {
    std::lock_guard lock(lock_);
    if (d == -1 && !screen_.empty())
      pixels = screen_.front().Rect.height();
    else if (d == 1)
      pixels = itemAbove_.Rect.height();
  }
  SetTopIndexValue(index);
  UpdateScrollPos();
  LayoutItems();
  if (d == 1 || d == -1)
    ScrollContents(d * pixels, 0);
  else
    viewport()->update();
}

void TStringsView::SetHorzPos(int32_t x)
{
  if (x == horzPos_)
    return;
  const int32_t d = horzPos_ - x;
  // A line drawn in part starts at the position: it is read and shaped again.
  const bool parts = PartsLaidOut();
  horzPos_ = x;
  if (parts) {
    LayoutItems();
    viewport()->update();
    if (hasFocus() && enableSelect_)
      RepaintItem(itemIndex_);
  } else {
    ScrollContents(0, d);
  }
  UpdateScrollPos();
}

void TStringsView::ScrollContents(int pixelsDown, int chars)
{
  if (pixelsDown != 0)
    viewport()->scroll(0, pixelsDown);
  if (chars != 0) {
    const int left = showLabel_ ? labelWidth_ + 2 : 0;
    viewport()->scroll(chars * charWidth_, 0, QRect(left, 0, ClientWidth() - 2 - left, ClientHeight()));
  }
  // The focus rectangle is part of the painted item; bring it up to date.
  if (hasFocus() && enableSelect_)
    RepaintItem(itemIndex_);
}

void TStringsView::scrollContentsBy(int, int)
{
  // The view scrolls itself; the scroll bars only report.
}

void TStringsView::UpdateScrollRanges()
{
  rangesPending_ = false;
  QScrollBar* vb = verticalScrollBar();
  if (strings_ == nullptr) {
    vb->setRange(0, 0);
    vb->setPageStep(0);
  } else {
    const int64_t total = int64_t(ItemCount()) + visibleLines_ - 2;
    int page = visibleLines_;
    int64_t range = total;
    if (total >= kScrollMax + 1) {
      range = kScrollMax;
      page = static_cast<int>(MulDiv(kScrollMax, visibleLines_, total));
    }
    // A range 0..range with a page of page items ends at range - page + 1.
    vb->setPageStep(std::max(page, 0));
    vb->setRange(0, static_cast<int>(std::max<int64_t>(0, range - std::max(page, 1) + 1)));
  }
  const bool allowed = HorzScrollAllowed();
  // Setting a policy lays the scroll area out again even when it is the same.
  const Qt::ScrollBarPolicy policy = allowed ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  if (horizontalScrollBarPolicy() != policy)
    setHorizontalScrollBarPolicy(policy);
  if (allowed) {
    QScrollBar* hb = horizontalScrollBar();
    const int page = visibleChars_ / 2;
    hb->setPageStep(page);
    hb->setRange(0, std::max(0, HorzMax() - std::max(page, 1) + 1));
  }
  UpdateScrollPos();
}

void TStringsView::UpdateScrollPos()
{
  QScrollBar* vb = verticalScrollBar();
  const int64_t total = int64_t(ItemCount()) + visibleLines_ - 2;
  const int top = std::max(topIndex_, 0);
  if (total >= kScrollMax + 1)
    vb->setValue(static_cast<int>(MulDiv(kScrollMax, top, total)));
  else
    vb->setValue(top);
  horizontalScrollBar()->setValue(horzPos_);
}

void TStringsView::ScheduleScrollRanges()
{
  if (rangesPending_)
    return;
  rangesPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (rangesPending_)
          UpdateScrollRanges();
      },
      Qt::QueuedConnection);
}

void TStringsView::OnVertAction(int action)
{
  QScrollBar* vb = verticalScrollBar();
  const int32_t count = ItemCount();
  if (count > 0 && ClientHeight() >= lineHeight_) {
    const int32_t lines = visibleLines_;
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: ScrollTo(topIndex_ - 1); break;
      case QAbstractSlider::SliderSingleStepAdd: ScrollTo(topIndex_ + 1); break;
      case QAbstractSlider::SliderPageStepSub: ScrollTo(std::max(topIndex_ - lines, 0)); break;
      case QAbstractSlider::SliderPageStepAdd: ScrollTo(std::min(topIndex_ + lines, count - 1)); break;
      case QAbstractSlider::SliderToMinimum: ScrollTo(0); break;
      case QAbstractSlider::SliderToMaximum: ScrollTo(count - 1); break;
      case QAbstractSlider::SliderMove: {
        const int p = vb->sliderPosition();
        if (p == vb->value())
          break;
        const int64_t total = int64_t(count) + visibleLines_ - 2;
        int64_t item = p;
        if (total >= kScrollMax + 1) {
          if (p < 2)
            item = 0;
          else if (p >= kThumbEnd)
            item = count - 1;
          else
            item = MulDiv(total, p, kScrollMax);
        }
        // A position past the last item shows the last item.
        ScrollTo(static_cast<int32_t>(std::min<int64_t>(item, count - 1)));
        break;
      }
      default: break;
    }
  }
  // The bar shows where the view is, not where the action would have put it.
  const int64_t total = int64_t(count) + visibleLines_ - 2;
  const int top = std::max(topIndex_, 0);
  vb->setSliderPosition(total >= kScrollMax + 1 ? static_cast<int>(MulDiv(kScrollMax, top, total)) : top);
}

void TStringsView::OnHorzAction(int action)
{
  QScrollBar* hb = horizontalScrollBar();
  if (HorzScrollAllowed()) {
    const int32_t page = visibleChars_ / 2;
    const int32_t max = HorzMax();
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: SetHorzPos(std::max(horzPos_ - 1, 0)); break;
      case QAbstractSlider::SliderSingleStepAdd: SetHorzPos(std::min(horzPos_ + 1, max)); break;
      case QAbstractSlider::SliderPageStepSub: SetHorzPos(std::max(horzPos_ - page, 0)); break;
      case QAbstractSlider::SliderPageStepAdd: SetHorzPos(std::min(horzPos_ + page, max)); break;
      case QAbstractSlider::SliderToMinimum: SetHorzPos(0); break;
      case QAbstractSlider::SliderToMaximum: SetHorzPos(max); break;
      case QAbstractSlider::SliderMove: SetHorzPos(std::clamp(hb->sliderPosition(), 0, max)); break;
      default: break;
    }
  }
  hb->setSliderPosition(horzPos_);
}

// ---------------------------------------------------------------------------
// Keyboard, mouse, focus, size

void TStringsView::keyPressEvent(QKeyEvent* event)
{
  if (ClientHeight() < lineHeight_) {
    event->ignore();
    return;
  }
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool allowed = HorzScrollAllowed();
  const bool ctrl = (mods & Qt::ControlModifier) != 0 && allowed;
  const int32_t count = ItemCount();
  const int32_t lines = visibleLines_;
  const int32_t halfPage = visibleChars_ / 2;
  auto item = [&](int32_t index) {
    if (index >= 0 && index < ItemCount())
      SelectItem(index, false, false, true, mods);
  };
  switch (event->key()) {
    case Qt::Key_PageUp:
      if (ctrl) SetHorzPos(std::max(horzPos_ - halfPage, 0));
      else if (enableSelect_) item(std::max(itemIndex_ - lines, 0));
      else ScrollTo(std::max(topIndex_ - lines, 0));
      break;
    case Qt::Key_PageDown:
      if (ctrl) SetHorzPos(std::min(horzPos_ + halfPage, HorzMax()));
      else if (enableSelect_) item(std::min(itemIndex_ + lines, count - 1));
      else ScrollTo(std::min(topIndex_ + lines, count - 1));
      break;
    case Qt::Key_Home:
      if (ctrl) SetHorzPos(0);
      else if (enableSelect_) item(0);
      else ScrollTo(0);
      break;
    case Qt::Key_End:
      if (ctrl) SetHorzPos(HorzMax());
      else if (enableSelect_) item(count - 1);
      else ScrollTo(count - 1);
      break;
    case Qt::Key_Up:
      if (enableSelect_) item(itemIndex_ - 1);
      else ScrollTo(topIndex_ - 1);
      break;
    case Qt::Key_Down:
      if (enableSelect_) item(itemIndex_ + 1);
      else ScrollTo(topIndex_ + 1);
      break;
    case Qt::Key_Left:
      if (allowed) SetHorzPos(std::max(horzPos_ - 1, 0));
      break;
    case Qt::Key_Right:
      if (allowed) SetHorzPos(std::min(horzPos_ + 1, HorzMax()));
      break;
    default:
      event->ignore();
      return;
  }
  event->accept();
}

void TStringsView::mousePressEvent(QMouseEvent* event)
{
  QAbstractScrollArea::mousePressEvent(event);
  event->accept();
  if (event->button() == Qt::LeftButton)
    MouseSelect(event->position().toPoint(), false, event->modifiers());
}

void TStringsView::mouseMoveEvent(QMouseEvent* event)
{
  QAbstractScrollArea::mouseMoveEvent(event);
  event->accept();
  if ((event->buttons() & Qt::LeftButton) != 0)
    MouseSelect(event->position().toPoint(), true, event->modifiers());
}

void TStringsView::wheelEvent(QWheelEvent* event)
{
  event->accept();
  const int delta = event->angleDelta().y();
  if ((delta > 0 && wheelDelta_ < 0) || (delta < 0 && wheelDelta_ > 0))
    wheelDelta_ = 0;
  wheelDelta_ += delta;
  // One item per notch; touchpads send many small deltas that add up to one.
  while (wheelDelta_ >= 120) {
    wheelDelta_ -= 120;
    ScrollTo(topIndex_ - 1);
  }
  while (wheelDelta_ <= -120) {
    wheelDelta_ += 120;
    ScrollTo(topIndex_ + 1);
  }
}

void TStringsView::focusInEvent(QFocusEvent* event)
{
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void TStringsView::focusOutEvent(QFocusEvent* event)
{
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void TStringsView::changeEvent(QEvent* event)
{
  QAbstractScrollArea::changeEvent(event);
  switch (event->type()) {
    case QEvent::FontChange:
      fonts_->Clear();
      MetricsFromFont();
      break;
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
      viewport()->update();
      break;
    default:
      break;
  }
}

void TStringsView::resizeEvent(QResizeEvent* event)
{
  QAbstractScrollArea::resizeEvent(event);
  if (lineHeight_ == 0)
    MetricsFromFont();
  UpdateVisible();
  UpdateScrollRanges();
  LayoutItems();
  viewport()->update();
}
