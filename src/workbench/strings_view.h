// TStringsView: the owner-drawn line list of the concordance and full-text
// windows. It shows the items of a TStrings it does not own, laying out only
// the items that fit in the viewport plus the one above them, so its cost does
// not depend on the item count. Items may carry format runs (one of them the
// anchor a centred line is placed on, the key-word-in-context column), a label
// in a narrow column at the left, and may be word-wrapped.
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
  TStrings* Strings() const { return FStrings; }
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
  uint16_t CodePage() const { return FCodePage; }

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle value);
  bool EnableSelect() const { return FEnableSelect; }
  void SetEnableSelect(bool value);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool value);
  bool ExtendedSelect() const { return FExtendedSelect; }
  void SetExtendedSelect(bool value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool value);
  bool ShowLabel() const { return FShowLabel; }
  void SetShowLabel(bool value);
  int32_t LabelWidth() const { return FLabelWidth; }
  void SetLabelWidth(int32_t value);

  int32_t ItemIndex() const { return FItemIndex; }
  int32_t TopIndex() const { return FTopIndex; }
  int32_t Anchor() const { return FAnchor; }
  int32_t HorzPos() const { return FHorzPos; }
  int32_t LineHeight() const { return FLineHeight; }
  int32_t CharWidth() const { return FCharWidth; }
  int32_t VisibleLines() const { return FVisibleLines; }
  int32_t VisibleChars() const { return FVisibleChars; }
  int32_t MaxLineWidth() const { return FMaxLineWidth; }
  int32_t LastLaidOutItem() const { return FLastLaidOutItem; }
  bool LastItemComplete() const { return FLastItemComplete; }
  bool ViewFull() const { return FViewFull; }
  int32_t SelCount() const { return static_cast<int32_t>(FSelection.size()); }
  // Selected indexes in the order they were selected.
  const std::vector<int32_t>& Selection() const { return FSelection; }

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
  bool LabelColumnShown() const { return FShowLabel && FLabelWidth >= 1; }
  bool HorzScrollAllowed() const;
  int32_t HorzMax() const { return FVisibleChars / 2 + FMaxLineChars; }

  void MetricsFromFont();
  void MeasureFonts(const std::vector<QFont>& fonts);
  void UpdateVisible();
  void RecreateWnd();
  void SetTopIndexValue(int32_t value);

  void FormatItem(int32_t index, std::string& text, TSVFormatArray& format, TSVLabelInfo& label);
  void LayoutItem(int32_t index, int y, TSVScreenDrawInfo& info);
  void WrapItem(const std::string& text, const TSVFormatArray& format, QRect& rect, TSVStringsArray& lines);
  void LayoutItems();
  void PaintItems(QPainter& p, const QRect& update);
  void DrawItem(QPainter& p, const QRect& rect, int& height, int& width, const TSVFormatArray& format,
                int32_t startIndex, const TSVStringsArray& lines, TOwnerDrawState state);
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

  TBorderStyle FBorderStyle = bsSingle;
  TStrings* FStrings = nullptr;
  bool FEnableSelect = false;
  bool FMultiSelect = false;
  bool FExtendedSelect = false;
  TAlignment FAlignment = taLeftJustify;
  bool FWordWrap = false;
  bool FShowLabel = false;
  int32_t FLabelWidth = 0;
  std::vector<int32_t> FSelection;
  std::vector<bool> FSelected;  // membership of FSelection, by index
  int32_t FLineHeight = 0;
  int32_t FCharWidth = 0;
  int32_t FVisibleLines = 0;
  int32_t FVisibleChars = 0;
  int32_t FMaxLineWidth = 0;
  int32_t FMaxLineChars = 0;
  mutable std::recursive_mutex FLock;  // layout and painting
  int32_t FItemIndex = -1;
  int32_t FAnchor = -1;
  int32_t FTopIndex = 0;
  int32_t FHorzPos = 0;
  int32_t FLastLaidOutItem = -1;
  bool FLastItemComplete = false;
  bool FViewFull = false;
  TSVScreenDrawInfo FItemAbove;
  TSVScreen FScreen;
  uint16_t FCodePage = 0;
  int FWheelDelta = 0;
  bool FRangesPending = false;
  std::atomic<bool> FItemsChangedPending{false};
  std::unique_ptr<FontCache> FFonts;
};
