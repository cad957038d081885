// TStringsView: the owner-drawn line list of the concordance and full-text
// windows. It shows the items of a TStrings it does not own, laying out only
// the items that fit in the viewport plus the one above them, so its cost does
// not depend on the item count. Items may carry format runs (one of them the
// anchor a centred line is placed on, the key-word-in-context column), a label
// in a narrow column at the left, and may be word-wrapped.
//
// A line longer than LongLineBytes (not wrapped, left-justified) is laid
// out, measured and drawn only from the horizontal position on, as far as
// the window goes, so a paint costs the same for a line of any length. Its
// first LongLineBytes are measured once while it is in view: within their
// width the line is drawn as a short line is; further on, the byte drawn at
// the text area's left is found from their width per byte, moved back to
// the start of its character (TStrings::charStart), and the line's width in
// the horizontal range is its length at that width per byte. So lines under
// and over the threshold sit at the same horizontal position. Items without
// OnFormatItem are then read only in part (TStrings::textPart).
//
// The view runs on the GUI thread. A worker whose list grows requests the
// update with PostItemsChanged(), never with ItemsChanged().
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/strings_view_types.h"

class QFontMetrics;
class QPainter;

// One laid-out item.
struct TSVScreenDrawInfo {
  QRect Rect;  // item rectangle in viewport coordinates
  TSVStringsArray Lines;
  // Lines hold the item's text from its 0-based byte TextStart on; of an
  // item longer than the view lays out whole only a part is read.
  int32_t TextStart = 0;
  int32_t TextLength = 0;  // the item's length, or an estimate no smaller
  // A long line drawn in part: the bytes [PartFrom, PartTo) are shaped and
  // drawn PartShift pixels left of the text area's left; PartFrom is -1 for
  // an item drawn whole.
  int32_t PartFrom = -1;
  int32_t PartTo = 0;
  int32_t PartShift = 0;
  TSVFormatArray Format;
  TSVLabelInfo Label;
};
using TSVScreen = std::vector<TSVScreenDrawInfo>;

enum TBorderStyle : uint8_t { bsNone, bsSingle };

class TStringsView : public QAbstractScrollArea
{
  Q_OBJECT
public:
  // Owner-draw state bits passed to OnDrawItem.
  enum : int { odSelected = 1, odDisabled = 2, odFocused = 4 };
  using TOwnerDrawState = int;

  // ADC is the metrics of the control's font, the context layout measures in.
  using TSVFormatItemEvent = std::function<void(TStringsView* Control, const QFontMetrics& ADC, int32_t AIndex,
                                                std::string& AText, TSVFormatArray& AFormat, TSVLabelInfo& ALabel)>;
  using TSVWrapLinesEvent = std::function<void(TStringsView* Control, const QFontMetrics& ADC, int32_t AIndex,
                                               const std::string& AText, QRect& ARect, const TSVFormatArray& AFormat,
                                               TSVStringsArray& ALines)>;
  using TSVDrawItemEvent = std::function<void(TStringsView* Control, QPainter& ADC, const QRect& ARect, int& AHeight,
                                              int& AWidth, const TSVFormatArray& AFormat, int32_t AIndex,
                                              int32_t AStartIndex, const TSVStringsArray& ALines,
                                              TOwnerDrawState AState)>;
  using TSVDrawLabelEvent = std::function<void(TStringsView* Control, QPainter& ADC, int32_t AIndex, const QRect& ARect,
                                               const TSVLabelInfo& ALabel)>;
  using TSVItemSelectionEvent = std::function<void(TStringsView* Sender, bool ASelected, int32_t AIndex)>;
  using TNotifyEvent = std::function<void(TStringsView* Sender)>;

  static constexpr int32_t LongLineBytes = 4096;

  explicit TStringsView(QWidget* parent = nullptr);
  ~TStringsView() override;

  TSVFormatItemEvent OnFormatItem;
  TSVWrapLinesEvent OnWrapItem;
  TSVDrawItemEvent OnDrawItem;
  TSVDrawLabelEvent OnDrawLabel;
  TNotifyEvent OnItemChanged;          // current item, or its selected state, changed
  TSVItemSelectionEvent OnItemSelection;  // one index entered or left the selection
  TNotifyEvent OnTopIndexChanged;

  // The source; not owned. The owner clears or replaces it before freeing it.
  TStrings* Strings() const { return strings_; }
  void SetStrings(TStrings* source);
  // Lays the items out again and repaints; after any change of formatting.
  void Relayout();
  // The source's count changed.
  void ItemsChanged();
  // Thread-safe request for ItemsChanged on the GUI thread; requests made
  // before it runs are served by one call.
  void PostItemsChanged();
  // Raises the line height and character width to cover every font.
  void SetFonts(const std::vector<QFont>& fonts);
  // Code page of the item bytes; 0 (the default) is the text language's.
  void SetCodePage(uint16_t codePage);
  uint16_t CodePage() const { return codePage_; }

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool EnableSelect() const { return enableSelect_; }
  void SetEnableSelect(bool value);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  bool ShowLabel() const { return showLabel_; }
  void SetShowLabel(bool value);
  int32_t LabelWidth() const { return labelWidth_; }
  void SetLabelWidth(int32_t value);

  int32_t ItemIndex() const { return itemIndex_; }
  int32_t TopIndex() const { return topIndex_; }
  int32_t Anchor() const { return anchor_; }
  int32_t HorzPos() const { return horzPos_; }
  int32_t LineHeight() const { return lineHeight_; }
  int32_t CharWidth() const { return charWidth_; }
  int32_t VisibleLines() const { return visibleLines_; }
  int32_t VisibleChars() const { return visibleChars_; }
  int32_t MaxLineWidth() const { return maxLineWidth_; }
  int32_t LastLaidOutItem() const { return lastLaidOutItem_; }
  bool LastItemComplete() const { return lastItemComplete_; }
  bool ViewFull() const { return viewFull_; }
  int32_t SelCount() const { return static_cast<int32_t>(selection_.size()); }
  // Selected indexes in the order they were selected.
  const std::vector<int32_t>& Selection() const { return selection_; }

  bool IsSelected(int32_t index) const;
  void ClearSelection();
  // The laid-out item whose rectangle holds pt (viewport coordinates); else
  // -1, or the item count when beyond is true.
  int32_t ItemAtPos(QPoint pt, bool beyond) const;
  // Rectangle of a laid-out item, or an empty rectangle at (-1, -1).
  QRect ItemRect(int32_t index) const;
  void ScrollTo(int32_t index);
  void SetHorzPos(int32_t x);
  // Makes index the current item as a key press would; ignores bad indexes.
  void SetItemIndex(int32_t index);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  class FontCache;

  int32_t ItemCount() const;
  int ClientWidth() const;
  int ClientHeight() const;
  bool LabelColumnShown() const { return showLabel_ && labelWidth_ >= 1; }
  bool HorzScrollAllowed() const;
  int32_t HorzMax() const { return visibleChars_ / 2 + maxLineChars_; }
  bool LongLine(int32_t textLength) const
  {
    return textLength > LongLineBytes && !wordWrap_ && alignment_ == taLeftJustify;
  }
  // Bytes that fill the window in narrow glyphs, at least LongLineBytes.
  int32_t PartBytes() const;
  // Some laid-out item is drawn only in part.
  bool PartsLaidOut() const;
  // The bytes and width of a long line's first part, measured from head,
  // its text from the start on; kept while the line is in view.
  struct TLineHead {
    int32_t Index;
    int32_t Bytes;
    int64_t Width;
  };
  const TLineHead& MeasureHead(int32_t index, std::string_view head);
  const TLineHead* FindHead(int32_t index) const;
  // The byte of a long line at horizontal position horzPos_.
  int32_t HeadByte(const TLineHead& head) const;
  // Reads from the list the item a left-justified line shows at the
  // horizontal position: a short line whole, of a long line its part.
  void ReadPart(int32_t index, std::string& text, TSVScreenDrawInfo& info);
  // The part of a long item given whole (OnFormatItem) drawn there.
  void CutPart(int32_t index, const std::string& text, TSVScreenDrawInfo& info);
  const platform::CodePage& TextCodePage() const;

  void MetricsFromFont();
  void MeasureFonts(const std::vector<QFont>& fonts);
  void UpdateVisible();
  void RecreateWnd();
  void SetTopIndexValue(int32_t value);

  void FormatItem(int32_t index, std::string& text, TSVScreenDrawInfo& info);
  void LayoutItem(int32_t index, int y, TSVScreenDrawInfo& info);
  void WrapItem(const std::string& text, const TSVFormatArray& format, QRect& rect, TSVStringsArray& lines);
  void LayoutItems();
  void PaintItems(QPainter& p, const QRect& update);
  void DrawItem(QPainter& p, const QRect& rect, int& height, int& width, const TSVFormatArray& format,
                int32_t startIndex, const TSVStringsArray& lines, TOwnerDrawState state,
                const TSVScreenDrawInfo* part = nullptr);
  void DrawLabel(QPainter& p, const QRect& rect, const TSVLabelInfo& label);
  QString ToQString(std::string_view bytes) const;

  void SelectIndex(int32_t index);
  bool DeselectIndex(int32_t index);
  void ToggleIndex(int32_t index);
  void SelectRange(int32_t index);
  bool DeselectAll();
  void SelectItem(int32_t index, bool dragging, bool clicked, bool keyboard, Qt::KeyboardModifiers mods);
  void StepDown(int32_t index);
  void FireItemSelection(bool selected, int32_t index);
  int32_t ItemAtPosEx(QPoint pt) const;
  void MouseSelect(QPoint pt, bool dragging, Qt::KeyboardModifiers mods);
  void RepaintItem(int32_t index);

  void UpdateScrollRanges();
  void UpdateScrollPos();
  void ScheduleScrollRanges();
  void ScrollContents(int pixelsDown, int chars);
  void OnVertAction(int action);
  void OnHorzAction(int action);

  TBorderStyle borderStyle_ = bsSingle;
  TStrings* strings_ = nullptr;
  bool enableSelect_ = false;
  bool multiSelect_ = false;
  bool extendedSelect_ = false;
  TAlignment alignment_ = taLeftJustify;
  bool wordWrap_ = false;
  bool showLabel_ = false;
  int32_t labelWidth_ = 0;
  std::vector<int32_t> selection_;
  std::vector<bool> selected_;  // membership of selection_, by index
  int32_t lineHeight_ = 0;
  int32_t charWidth_ = 0;
  int32_t visibleLines_ = 0;
  int32_t visibleChars_ = 0;
  int32_t maxLineWidth_ = 0;
  int32_t maxLineChars_ = 0;
  std::vector<TLineHead> heads_;  // of the long lines laid out last
  // The width of every long line drawn, by index, as its length and head
  // give it.
  std::map<int32_t, int64_t> longWidths_;
  mutable std::recursive_mutex lock_;  // layout and painting
  int32_t itemIndex_ = -1;
  int32_t anchor_ = -1;
  bool anchorDeselected_ = false;  // Ctrl+click took the anchor out of the selection
  int32_t topIndex_ = 0;
  int32_t horzPos_ = 0;
  int32_t lastLaidOutItem_ = -1;
  bool lastItemComplete_ = false;
  bool viewFull_ = false;
  TSVScreenDrawInfo itemAbove_;
  TSVScreen screen_;
  uint16_t codePage_ = 0;
  int wheelDelta_ = 0;
  bool rangesPending_ = false;
  std::atomic<bool> itemsChangedPending_{false};
  std::unique_ptr<FontCache> fonts_;
};
