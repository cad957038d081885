#include "workbench/dialogs/concord_config_dlg.h"

#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/dialogs/headings_dlg.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

TConcordConfigDlg* ConcordConfigDlg = nullptr;

namespace {

template <class W> W* Named(W* widget, const char* name)
{
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int maxLength)
{
  auto* edit = Named(new QLineEdit(parent), name);
  edit->setMaxLength(maxLength);
  return edit;
}

TUpDownEdit* MakeUpDown(QWidget* parent, const char* name, const char* editName, int maxLength)
{
  auto* upDown = Named(new TUpDownEdit(parent), name);
  upDown->Edit()->setObjectName(QString::fromLatin1(editName));
  upDown->Edit()->setMaxLength(maxLength);
  return upDown;
}

QLabel* MakeLabel(QWidget* parent, const char* caption, QWidget* buddy, const char* name = nullptr)
{
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  if (name)
    label->setObjectName(QString::fromLatin1(name));
  label->setBuddy(buddy);
  return label;
}

// Sets a text only when the model's differs from what the widget shows, so
// typed text the code page cannot hold stays until a handler replaces it.
void ShowText(QLineEdit* edit, const std::string& text)
{
  if (FromQString(edit->text()) != text) {
    const QSignalBlocker block(edit);
    edit->setText(ToQString(text));
  }
}

void ShowUpDown(TUpDownEdit* upDown, const TUpDownState& state)
{
  const QSignalBlocker block(upDown->Edit());
  upDown->SetRange(state.Min, state.Max);
  upDown->SetPosition(state.Position);
  ShowText(upDown->Edit(), state.Text);
  upDown->setVisible(state.Visible);
  upDown->setEnabled(state.Enabled);
}

void ShowList(QComboBox* combo, const TListBoxState& list)
{
  const QSignalBlocker block(combo);
  combo->setCurrentIndex(list.ItemIndex);
  combo->setEnabled(list.Enabled);
}

}  // namespace

TConcordConfigDlg::TConcordConfigDlg(QWidget* parent) : QDialog(parent), model_(this)
{
  setObjectName(QStringLiteral("ConcordConfigDlg"));
  setWindowTitle(QString::fromLatin1(TConcordConfigModel::Caption));
  BuildControls();
  Connect();
  SetTextFont(SystemFont);
  QPointer<TConcordConfigDlg> self(this);
  AddDialogFontListener([self] {
    if (self)
      self->SetTextFont(SystemFont);
  });
  ShowModel();
  ConcordConfigDlg = this;
}

TConcordConfigDlg::~TConcordConfigDlg()
{
  if (ConcordConfigDlg == this)
    ConcordConfigDlg = nullptr;
}

void TConcordConfigDlg::BuildControls()
{
  // Wildcards.
  auto* wildcards = new QGroupBox(QStringLiteral(" Wildcards "), this);
  Char0orMore = MakeEdit(wildcards, "Char0orMore", 1);
  Char0or1 = MakeEdit(wildcards, "Char0or1", 1);
  CharExactly1 = MakeEdit(wildcards, "CharExactly1", 1);
  auto* wildGrid = new QGridLayout(wildcards);
  wildGrid->addWidget(MakeLabel(wildcards, "&0 or more:", Char0orMore), 0, 0);
  wildGrid->addWidget(Char0orMore, 0, 1);
  wildGrid->addWidget(MakeLabel(wildcards, "0 or &1:", Char0or1), 1, 0);
  wildGrid->addWidget(Char0or1, 1, 1);
  wildGrid->addWidget(MakeLabel(wildcards, "e&xactly 1:", CharExactly1), 2, 0);
  wildGrid->addWidget(CharExactly1, 2, 1);
  for (QLineEdit* e : {Char0orMore, Char0or1, CharExactly1})
    e->setMaximumWidth(32);

  // Hits and context.
  auto* hits = new QGroupBox(QStringLiteral(" Hits/Context "), this);
  MaxSearchHitsEdit = MakeEdit(hits, "MaxSearchHitsEdit", 10);
  FrequencyofHitsUpDown = MakeUpDown(hits, "FrequencyofHitsUpDown", "FrequencyofHitsEdit", 5);
  ContextTypeCombo = Named(new QComboBox(hits), "ContextTypeCombo");
  for (const char* name : TConcordConfigModel::ContextTypeNames)
    ContextTypeCombo->addItem(QString::fromLatin1(name));
  ContextSizeUpDown = MakeUpDown(hits, "ContextSizeUpDown", "ContextSizeEdit", 5);
  ContextSizeUpDown->SetIncrement(10);
  FullSentOpts = MakeDialogButton(hits, "FullSentOpts", "&Options..");
  ContextWindowSizeCombo = Named(new QComboBox(hits), "ContextWindowSizeCombo");
  for (const char* name : TConcordConfigModel::WindowSizeNames)
    ContextWindowSizeCombo->addItem(QString::fromLatin1(name));
  HiliteCollocatesCB = Named(new QCheckBox(QStringLiteral("Highlight Collocates"), hits), "HiliteCollocatesCB");
  ContextCharsLabel = MakeLabel(hits, "&Context type:", ContextTypeCombo, "ContextCharsLabel");
  ContextSizeLabel = MakeLabel(hits, "Si&ze:", ContextSizeUpDown->Edit(), "ContextSizeLabel");
  auto* hitsGrid = new QGridLayout(hits);
  hitsGrid->addWidget(MakeLabel(hits, "&Max Search Hits:", MaxSearchHitsEdit), 0, 0);
  hitsGrid->addWidget(MaxSearchHitsEdit, 0, 1);
  hitsGrid->addWidget(MakeLabel(hits, "&Frequency of Hits:", FrequencyofHitsUpDown->Edit()), 1, 0);
  hitsGrid->addWidget(FrequencyofHitsUpDown, 1, 1);
  hitsGrid->addWidget(ContextCharsLabel, 2, 0);
  hitsGrid->addWidget(ContextTypeCombo, 2, 1);
  hitsGrid->addWidget(ContextSizeLabel, 3, 0);
  hitsGrid->addWidget(ContextSizeUpDown, 3, 1);
  hitsGrid->addWidget(FullSentOpts, 3, 1);
  hitsGrid->addWidget(MakeLabel(hits, "Context &Window Size:", ContextWindowSizeCombo), 4, 0);
  hitsGrid->addWidget(ContextWindowSizeCombo, 4, 1);
  hitsGrid->addWidget(HiliteCollocatesCB, 5, 0, 1, 2);

  // Special characters.
  auto* special = new QGroupBox(QStringLiteral(" Special Characters "), this);
  CharWordMatch = MakeEdit(special, "CharWordMatch", 1);
  CharWordMatch->setMaximumWidth(32);
  WordMatchLoUpDown = MakeUpDown(special, "WordMatchLoUpDown", "WordMatchLoEdit", 2);
  WordMatchHiUpDown = MakeUpDown(special, "WordMatchHiUpDown", "WordMatchHiEdit", 2);
  WordCharBox = Named(MakeHistoryBox(special), "WordCharBox");
  SkippingBox = Named(MakeHistoryBox(special), "SkippingBox");
  EqualBox = Named(MakeHistoryBox(special), "EqualBox");
  TagSearchEdit = MakeEdit(special, "TagSearchEdit", 1);
  TagSearchEdit->setMaximumWidth(32);
  LabelEOLN = Named(new QLabel(QStringLiteral("End of Line:"), special), "LabelEOLN");
  CharEndOfLine = Named(new QLineEdit(QStringLiteral("LF"), special), "CharEndOfLine");
  auto* gap = new QHBoxLayout;
  gap->addWidget(CharWordMatch);
  gap->addWidget(new QLabel(QStringLiteral("matches between"), special));
  gap->addWidget(WordMatchLoUpDown);
  gap->addWidget(new QLabel(QStringLiteral("and"), special));
  gap->addWidget(WordMatchHiUpDown);
  gap->addWidget(new QLabel(QStringLiteral("words"), special));
  gap->addStretch(1);
  auto* specialGrid = new QGridLayout(special);
  specialGrid->addLayout(gap, 0, 0, 1, 2);
  specialGrid->addWidget(MakeLabel(special, "Characters to treat as &delimiters:", WordCharBox), 1, 0, 1, 2);
  specialGrid->addWidget(WordCharBox, 2, 0, 1, 2);
  specialGrid->addWidget(MakeLabel(special, "&Skipping characters:", SkippingBox), 3, 0);
  specialGrid->addWidget(MakeLabel(special, "&Equal characters:", EqualBox), 3, 1);
  specialGrid->addWidget(SkippingBox, 4, 0);
  specialGrid->addWidget(EqualBox, 4, 1);
  auto* tagRow = new QHBoxLayout;
  tagRow->addWidget(MakeLabel(special, "&Tag search separator:", TagSearchEdit));
  tagRow->addWidget(TagSearchEdit);
  tagRow->addWidget(LabelEOLN);
  tagRow->addWidget(CharEndOfLine);
  tagRow->addStretch(1);
  specialGrid->addLayout(tagRow, 5, 0, 1, 2);
  specialGrid->setColumnMinimumWidth(0, 160);
  specialGrid->setColumnMinimumWidth(1, 160);

  Revert = MakeDialogButton(this, "Revert", "&Revert to default");
  EditHeadingsBtn = MakeDialogButton(this, "EditHeadingsBtn", "&Headings...");
  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  OKBtn->setDefault(true);
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");

  auto* top = new QHBoxLayout;
  top->addWidget(wildcards);
  top->addWidget(hits, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Revert);
  buttons->addWidget(EditHeadingsBtn);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(special);
  layout->addLayout(buttons);
}

void TConcordConfigDlg::Connect()
{
  TConcordConfigModel& m = model_;
  const std::pair<QLineEdit*, TControlState*> edits[] = {
      {Char0orMore, &m.Char0orMore},   {Char0or1, &m.Char0or1},         {CharExactly1, &m.CharExactly1},
      {CharWordMatch, &m.CharWordMatch}, {TagSearchEdit, &m.TagSearchEdit}, {MaxSearchHitsEdit, &m.MaxSearchHitsEdit}};
  for (auto [edit, state] : edits)
    connect(edit, &QLineEdit::textChanged, this, [this, state](const QString& text) {
      if (!showing_)
        state->Caption = FromQString(text);
    });
  const std::pair<TUpDownEdit*, TUpDownState*> upDowns[] = {{FrequencyofHitsUpDown, &m.FrequencyofHitsUpDown},
                                                            {ContextSizeUpDown, &m.ContextSizeUpDown},
                                                            {WordMatchLoUpDown, &m.WordMatchLoUpDown},
                                                            {WordMatchHiUpDown, &m.WordMatchHiUpDown}};
  for (auto [upDown, state] : upDowns) {
    const bool wordGap = upDown == WordMatchLoUpDown || upDown == WordMatchHiUpDown;
    connect(upDown->Edit(), &QLineEdit::textChanged, this, [this, state, wordGap](const QString& text) {
      if (showing_)
        return;
      state->Text = FromQString(text);
      if (wordGap)
        Handle([this] { model_.WordMatchChange(); });
    });
  }
  for (QLineEdit* e : {MaxSearchHitsEdit, FrequencyofHitsUpDown->Edit(), ContextSizeUpDown->Edit(),
                       WordMatchLoUpDown->Edit(), WordMatchHiUpDown->Edit()})
    e->installEventFilter(this);
  connect(ContextTypeCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (showing_)
      return;
    model_.ContextTypeCombo.ItemIndex = index;
    Handle([this] { model_.ContextTypeComboChange(); });
  });
  connect(ContextWindowSizeCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!showing_)
      model_.ContextWindowSizeCombo.ItemIndex = index;
  });
  connect(HiliteCollocatesCB, &QCheckBox::toggled, this, [this](bool on) {
    if (!showing_)
      model_.HiliteCollocatesCB.Checked = on;
  });
  for (QComboBox* box : {WordCharBox, SkippingBox, EqualBox}) {
    connect(box, &QComboBox::editTextChanged, this, [this, box](const QString& text) {
      if (!showing_)
        BoxOf(box).Text = FromQString(text);
    });
    connect(box, &QComboBox::currentIndexChanged, this, [this, box](int index) {
      if (!showing_)
        BoxOf(box).ItemIndex = index;
    });
    box->installEventFilter(this);
  }
  connect(FullSentOpts, &QPushButton::clicked, this, [this] { Handle([this] { model_.FullSentOptsClick(); }); });
  connect(EditHeadingsBtn, &QPushButton::clicked, this, [this] { Handle([this] { model_.EditHeadingsBtnClick(); }); });
  connect(Revert, &QPushButton::clicked, this, [this] { Handle([this] { model_.RevertClick(); }); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { ClickOK(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

template <class F> void TConcordConfigDlg::Handle(F&& handler)
{
  if (showing_)
    return;
  handler();
  ShowModel();
}

TPatternBox& TConcordConfigDlg::BoxOf(QObject* combo)
{
  if (combo == WordCharBox)
    return model_.WordCharBox;
  if (combo == SkippingBox)
    return model_.SkippingBox;
  return model_.EqualBox;
}

bool TConcordConfigDlg::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched)) {
    const QString text = static_cast<QKeyEvent*>(event)->text();
    // Keys without a character (arrows, Home, Delete...) pass.
    if (text.size() == 1 && !model_.NumericKeyPress(char32_t(text.at(0).unicode())))
      return true;
  }
  if (event->type() == QEvent::FocusOut && (watched == WordCharBox || watched == SkippingBox || watched == EqualBox)) {
    // Leaving the box; not when its list drops down or another window comes up.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    auto* box = static_cast<QComboBox*>(watched);
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
        UnrepresentableChars(box->currentText()).empty())
      Handle([&] { model_.CharBoxExit(BoxOf(box)); });
  }
  return QDialog::eventFilter(watched, event);
}

void TConcordConfigDlg::SetTextFont(const TFontRec& font)
{
  const QFont f = ToQFont(font);
  for (QComboBox* box : {WordCharBox, SkippingBox, EqualBox})
    box->setFont(f);
}

void TConcordConfigDlg::ShowModel()
{
  const TConcordConfigModel& m = model_;
  showing_ = true;
  ShowText(Char0orMore, m.Char0orMore.Caption);
  ShowText(Char0or1, m.Char0or1.Caption);
  ShowText(CharExactly1, m.CharExactly1.Caption);
  ShowText(CharWordMatch, m.CharWordMatch.Caption);
  ShowText(TagSearchEdit, m.TagSearchEdit.Caption);
  ShowText(MaxSearchHitsEdit, m.MaxSearchHitsEdit.Caption);
  ShowUpDown(FrequencyofHitsUpDown, m.FrequencyofHitsUpDown);
  ShowUpDown(ContextSizeUpDown, m.ContextSizeUpDown);
  ShowUpDown(WordMatchLoUpDown, m.WordMatchLoUpDown);
  ShowUpDown(WordMatchHiUpDown, m.WordMatchHiUpDown);
  ShowList(ContextTypeCombo, m.ContextTypeCombo);
  ShowList(ContextWindowSizeCombo, m.ContextWindowSizeCombo);
  ContextCharsLabel->setEnabled(m.ContextCharsLabel.Enabled);
  ContextSizeLabel->setEnabled(m.ContextSizeLabel.Enabled);
  ContextSizeLabel->setVisible(m.ContextSizeLabel.Visible);
  FullSentOpts->setVisible(m.FullSentOpts.Visible);
  HiliteCollocatesCB->setChecked(m.HiliteCollocatesCB.Checked);
  LabelEOLN->setVisible(m.LabelEOLN.Visible);
  CharEndOfLine->setVisible(m.CharEndOfLine.Visible);
  CharEndOfLine->setEnabled(m.CharEndOfLine.Enabled);
  ShowPatternBox(WordCharBox, m.WordCharBox);
  ShowPatternBox(SkippingBox, m.SkippingBox);
  ShowPatternBox(EqualBox, m.EqualBox);
  showing_ = false;
}

void TConcordConfigDlg::FocusControl(const std::string& name)
{
  if (QWidget* w = findChild<QWidget*>(QString::fromStdString(name)))
    w->setFocus(Qt::OtherFocusReason);
}

bool TConcordConfigDlg::ClickOK()
{
  TConcordConfigModel& m = model_;
  // Typed characters go to the core as bytes of the code page, or not at all.
  const std::pair<QWidget*, std::pair<QString, std::string*>> texts[] = {
      {Char0orMore, {Char0orMore->text(), &m.Char0orMore.Caption}},
      {Char0or1, {Char0or1->text(), &m.Char0or1.Caption}},
      {CharExactly1, {CharExactly1->text(), &m.CharExactly1.Caption}},
      {CharWordMatch, {CharWordMatch->text(), &m.CharWordMatch.Caption}},
      {TagSearchEdit, {TagSearchEdit->text(), &m.TagSearchEdit.Caption}},
      {WordCharBox, {WordCharBox->currentText(), &m.WordCharBox.Text}},
      {SkippingBox, {SkippingBox->currentText(), &m.SkippingBox.Text}},
      {EqualBox, {EqualBox->currentText(), &m.EqualBox.Text}}};
  for (const auto& [widget, text] : texts)
    if (!TextFromWidget(text.first, *text.second)) {
      widget->setFocus(Qt::OtherFocusReason);
      return false;
    }
  const bool close = m.OKBtnClick();
  ShowModel();
  if (!close) {
    FocusControl(m.ActiveControl);
    return false;
  }
  accept();
  return true;
}

int TConcordConfigDlg::ShowModal()
{
  model_.FormShow();
  ShowModel();
  FocusControl(model_.ActiveControl);
  if (model_.ActiveControl == "MaxSearchHitsEdit")
    MaxSearchHitsEdit->selectAll();
  return exec() == QDialog::Accepted ? mrOk : mrCancel;
}

void TConcordConfigDlg::Beep()
{
  QApplication::beep();
}

void TConcordConfigDlg::ShowHeadings()
{
  if (HeadingsDlg)
    HeadingsDlg->ShowModal();
}

void TConcordConfigDlg::ResetWordCounts()
{
  if (FrameForm)
    ::ResetWordCounts(*FrameForm);
  DropCorpusFreqList();
}

void TConcordConfigDlg::done(int result)
{
  // Closing by OK or Cancel: each box is trimmed into its history (text the
  // code page cannot hold stays out of it).
  for (QComboBox* box : {WordCharBox, SkippingBox, EqualBox})
    if (UnrepresentableChars(box->currentText()).empty())
      model_.CharBoxExit(BoxOf(box));
  ShowModel();
  QDialog::done(result);
}
