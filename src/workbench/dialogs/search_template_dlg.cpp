#include "workbench/dialogs/search_template_dlg.h"

#include "forms/concord_config.h"
#include "forms/patterns_editor.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/dialogs/hdctx_form.h"
#include "workbench/dialogs/patterns_edit_form.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/frame/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

TSearchTemplateDlg* SearchTemplateDlg = nullptr;

namespace {

template <class W> W* Named(W* widget, const char* name)
{
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

void ShowState(QWidget* widget, const TControlState& state)
{
  if (widget->isVisibleTo(widget->parentWidget()) != state.Visible)
    widget->setVisible(state.Visible);
  widget->setEnabled(state.Enabled);
}

void ShowButton(QPushButton* button, const TControlState& state)
{
  button->setText(ToQString(state.Caption));
  ShowState(button, state);
}

void ShowCheck(QAbstractButton* box, const TControlState& state)
{
  const QSignalBlocker block(box);
  box->setText(ToQString(state.Caption));
  box->setChecked(state.Checked);
  ShowState(box, state);
}

}  // namespace

bool TQtSearchDialogServices::HasSearchParameters() const
{
  return ConcordConfigModel() != nullptr;
}

int TQtSearchDialogServices::ExecuteSearchParameters(bool enableContext)
{
  return ::ExecuteSearchParameters(enableContext);
}

bool TQtSearchDialogServices::EditPatterns(std::vector<std::string>& list, int32_t selStart, int32_t selLength)
{
  return ::EditPatterns(list, selStart, selLength);
}

bool TQtSearchDialogServices::EditBatchOutputOptions(TBatchOutputOptions& o)
{
  // The saving form without a line limit (-1); the limit comes back unused.
  int32_t maxLines = -1;
  return EditOutputOptions(okSave, maxLines, o.ShowFileNames, o.SortLabels, o.SaveAsHTML, o.TrackedTags,
                           o.RelativeLines, o.PageNumbers, o.LineNumbers, o.ConcealCollocates, o.ConcealHits);
}

bool TQtSearchDialogServices::ChoosePatternsFile(std::string& fileName)
{
  return ::ChoosePatternsFile(TFileDialog::OpenMode, fileName);
}

THdCtxRestrictions* TQtSearchDialogServices::Restrictions()
{
  return HdCtxForm ? &HdCtxForm->Model() : nullptr;
}

TSearchTemplateDlg::TSearchTemplateDlg(TSearchDialogServices* services, QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("SearchTemplateDlg"));
  if (!services) {
    ownServices_ = std::make_unique<TQtSearchDialogServices>(this);
    services = ownServices_.get();
  }
  model_ = std::make_unique<TSearchTemplateModel>(*services, this);
  BuildControls();
  Connect();

  SetTextFont(SystemFont);
  QPointer<TSearchTemplateDlg> self(this);
  AddDialogFontListener([self] {
    if (self)
      self->SetTextFont(SystemFont);
  });
  ShowModel();
  SearchTemplateDlg = this;
}

TSearchTemplateDlg::~TSearchTemplateDlg()
{
  if (SearchTemplateDlg == this)
    SearchTemplateDlg = nullptr;
}

void TSearchTemplateDlg::BuildControls()
{
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  BasePanel = Named(new QWidget(this), "BasePanel");
  auto* base = new QGridLayout(BasePanel);
  base->setContentsMargins(0, 0, 0, 0);
  PatternLabel = Named(new QLabel(BasePanel), "PatternLabel");
  Examples = Named(new QLabel(BasePanel), "Examples");
  Examples->setTextFormat(Qt::PlainText);
  SearchString = Named(MakeHistoryBox(BasePanel), "SearchString");
  SearchString->lineEdit()->setMaxLength(int(TPatternBox::MaxLength));
  SearchString->setMinimumWidth(360);
  PatternLabel->setBuddy(SearchString);
  EditPatternsBtn = Named(new QPushButton(BasePanel), "EditPatternsBtn");
  ImportPatternsBtn = Named(new QPushButton(BasePanel), "ImportPatternsBtn");
  BatchOptionsBtn = Named(new QPushButton(BasePanel), "BatchOptionsBtn");
  auto* batchButtons = new QHBoxLayout;
  batchButtons->addWidget(EditPatternsBtn);
  batchButtons->addWidget(ImportPatternsBtn);
  batchButtons->addWidget(BatchOptionsBtn);
  batchButtons->addStretch();
  base->addWidget(PatternLabel, 0, 0);
  base->addWidget(Examples, 1, 0);
  base->addWidget(SearchString, 2, 0);
  base->addLayout(batchButtons, 3, 0);
  layout->addWidget(BasePanel);

  AdvancedPanel = Named(new QWidget(this), "AdvancedPanel");
  auto* advanced = new QHBoxLayout(AdvancedPanel);
  advanced->setContentsMargins(0, 0, 0, 0);
  SyntaxGroup = Named(new QGroupBox(QStringLiteral(" Search Syntax "), AdvancedPanel), "SyntaxGroup");
  auto* syntax = new QVBoxLayout(SyntaxGroup);
  PatternRadio = Named(new QRadioButton(SyntaxGroup), "PatternRadio");
  GrepRadio = Named(new QRadioButton(SyntaxGroup), "GrepRadio");
  TagRadio = Named(new QRadioButton(SyntaxGroup), "TagRadio");
  for (QRadioButton* r : {PatternRadio, GrepRadio, TagRadio})
    syntax->addWidget(r);
  syntax->addStretch();
  GeneralGroup = Named(new QGroupBox(QStringLiteral(" General Search Control "), AdvancedPanel), "GeneralGroup");
  auto* general = new QVBoxLayout(GeneralGroup);
  IgnoreCaseCheckBox = Named(new QCheckBox(GeneralGroup), "IgnoreCaseCheckBox");
  PaddingCheck = Named(new QCheckBox(GeneralGroup), "PaddingCheck");
  SentCheck = Named(new QCheckBox(GeneralGroup), "SentCheck");
  for (QCheckBox* c : {IgnoreCaseCheckBox, PaddingCheck, SentCheck})
    general->addWidget(c);
  general->addStretch();
  AdditionalGroup =
      Named(new QGroupBox(QStringLiteral(" Additional Search Control "), AdvancedPanel), "AdditionalGroup");
  auto* additional = new QGridLayout(AdditionalGroup);
  HdCtxCheck = Named(new QCheckBox(AdditionalGroup), "HdCtxCheck");
  HdCtxBtn = Named(new QPushButton(AdditionalGroup), "HdCtxBtn");
  AppendSearchCheck = Named(new QCheckBox(AdditionalGroup), "AppendSearchCheck");
  BatchSearchCheck = Named(new QCheckBox(AdditionalGroup), "BatchSearchCheck");
  SaveToFileCheck = Named(new QCheckBox(AdditionalGroup), "SaveToFileCheck");
  SaveOptionsBtn = Named(new QPushButton(AdditionalGroup), "SaveOptionsBtn");
  additional->addWidget(HdCtxCheck, 0, 0);
  additional->addWidget(HdCtxBtn, 0, 1);
  additional->addWidget(AppendSearchCheck, 1, 0);
  additional->addWidget(BatchSearchCheck, 2, 0);
  additional->addWidget(SaveToFileCheck, 3, 0);
  additional->addWidget(SaveOptionsBtn, 3, 1);
  advanced->addWidget(SyntaxGroup);
  advanced->addWidget(GeneralGroup);
  advanced->addWidget(AdditionalGroup);
  layout->addWidget(AdvancedPanel);

  BottomPanel = Named(new QWidget(this), "BottomPanel");
  auto* bottom = new QHBoxLayout(BottomPanel);
  bottom->setContentsMargins(0, 0, 0, 0);
  OptionsBtn = Named(new QPushButton(BottomPanel), "OptionsBtn");
  AdvancedBtn = Named(new QPushButton(BottomPanel), "AdvancedBtn");
  OKBtn = Named(new QPushButton(BottomPanel), "OKBtn");
  CancelBtn = Named(new QPushButton(BottomPanel), "CancelBtn");
  OKBtn->setDefault(true);
  for (QPushButton* b : {OptionsBtn, AdvancedBtn, EditPatternsBtn, ImportPatternsBtn, BatchOptionsBtn,
                         HdCtxBtn, SaveOptionsBtn, CancelBtn})
    b->setAutoDefault(false);
  bottom->addWidget(OptionsBtn);
  bottom->addWidget(AdvancedBtn);
  bottom->addStretch();
  bottom->addWidget(OKBtn);
  bottom->addWidget(CancelBtn);
  layout->addWidget(BottomPanel);
}

template <class F> void TSearchTemplateDlg::Handle(F&& handler)
{
  if (showing_)
    return;
  handler();
  ShowModel();
}

void TSearchTemplateDlg::Connect()
{
  TSearchTemplateModel& m = *model_;
  connect(PatternRadio, &QRadioButton::clicked, this, [this, &m] { Handle([&] { m.SyntaxRadioClick(TSearchMode::Text); }); });
  connect(GrepRadio, &QRadioButton::clicked, this, [this, &m] { Handle([&] { m.SyntaxRadioClick(TSearchMode::Regex); }); });
  connect(TagRadio, &QRadioButton::clicked, this, [this, &m] { Handle([&] { m.SyntaxRadioClick(TSearchMode::Tag); }); });
  connect(IgnoreCaseCheckBox, &QCheckBox::clicked, this, [this, &m](bool on) { Handle([&] { m.IgnoreCaseCheckBoxClick(on); }); });
  connect(PaddingCheck, &QCheckBox::clicked, this, [this, &m](bool on) { Handle([&] { m.PaddingCheckClick(on); }); });
  connect(SentCheck, &QCheckBox::clicked, this, [this, &m](bool on) { Handle([&] { m.SentCheckClick(on); }); });
  connect(HdCtxCheck, &QCheckBox::clicked, this, [this, &m](bool on) { Handle([&] { m.HdCtxCheckClick(on); }); });
  connect(AppendSearchCheck, &QCheckBox::clicked, this, [this, &m](bool on) { Handle([&] { m.AppendSearchCheckClick(on); }); });
  connect(BatchSearchCheck, &QCheckBox::clicked, this, [this, &m](bool on) { Handle([&] { m.BatchSearchCheckClick(on); }); });
  connect(SaveToFileCheck, &QCheckBox::clicked, this, [this, &m](bool on) { Handle([&] { m.SaveToFileCheckClick(on); }); });
  connect(HdCtxBtn, &QPushButton::clicked, this, [this, &m] { Handle([&] { m.HdCtxBtnClick(); }); });
  connect(SaveOptionsBtn, &QPushButton::clicked, this, [this, &m] { Handle([&] { m.SaveOptionsBtnClick(); }); });
  connect(OptionsBtn, &QPushButton::clicked, this, [this, &m] { Handle([&] { m.OptionsBtnClick(); }); });
  connect(BatchOptionsBtn, &QPushButton::clicked, this, [this, &m] { Handle([&] { m.BatchOptionsBtnClick(); }); });
  connect(EditPatternsBtn, &QPushButton::clicked, this, [this, &m] { Handle([&] { m.EditPatternsBtnClick(); }); });
  connect(ImportPatternsBtn, &QPushButton::clicked, this, [this, &m] { Handle([&] { m.ImportPatternsBtnClick(); }); });
  connect(AdvancedBtn, &QPushButton::clicked, this, [this, &m] {
    Handle([&] { m.AdvancedBtnClick(); });
    FitHeight();
    CentreVertically();
    FocusControl(m.ActiveControl);
  });
  connect(OKBtn, &QPushButton::clicked, this, [this] { ClickOK(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(SearchString, &QComboBox::editTextChanged, this, [this, &m](const QString& text) {
    if (!showing_)
      m.SearchString.Text = FromQString(text);
  });
  connect(SearchString, &QComboBox::currentIndexChanged, this, [this, &m](int index) {
    if (!showing_)
      m.SearchString.ItemIndex = index;
  });
  SearchString->installEventFilter(this);
}

bool TSearchTemplateDlg::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == SearchString && event->type() == QEvent::FocusOut) {
    // Leaving the box; not when its list drops down or another window comes up.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    // Text the code page cannot hold is not remembered; OK refuses it.
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
        UnrepresentableChars(SearchString->currentText()).empty())
      Handle([this] { model_->SearchStringExit(); });
  }
  return QDialog::eventFilter(watched, event);
}

void TSearchTemplateDlg::SetTextFont(const TFontRec& font)
{
  SearchString->setFont(ToQFont(font));
}

void TSearchTemplateDlg::ShowModel()
{
  const TSearchTemplateModel& m = *model_;
  showing_ = true;
  setWindowTitle(ToQString(m.Caption));
  ShowState(AdvancedPanel, m.AdvancedPanel);
  PatternLabel->setText(ToQString(m.PatternLabel.Caption));
  Examples->setText(ToQString(m.Examples.Caption));

  {
    const QSignalBlocker block(SearchString);
    bool same = SearchString->count() == int(m.SearchString.Items.size());
    for (int i = 0; same && i < SearchString->count(); ++i)
      same = FromQString(SearchString->itemText(i)) == m.SearchString.Items[size_t(i)];
    if (!same) {
      SearchString->clear();
      for (const std::string& item : m.SearchString.Items)
        SearchString->addItem(ToQString(item));
    }
    SearchString->setCurrentIndex(m.SearchString.ItemIndex);
    if (FromQString(SearchString->currentText()) != m.SearchString.Text)
      SearchString->setEditText(ToQString(m.SearchString.Text));
    TControlState box;
    box.Visible = m.SearchString.Visible;
    box.Enabled = m.SearchString.Enabled;
    ShowState(SearchString, box);
  }

  ShowButton(EditPatternsBtn, m.EditPatternsBtn);
  ShowButton(ImportPatternsBtn, m.ImportPatternsBtn);
  ShowButton(BatchOptionsBtn, m.BatchOptionsBtn);
  ShowCheck(PatternRadio, m.PatternRadio);
  ShowCheck(GrepRadio, m.GrepRadio);
  ShowCheck(TagRadio, m.TagRadio);
  ShowCheck(IgnoreCaseCheckBox, m.IgnoreCaseCheckBox);
  ShowCheck(PaddingCheck, m.PaddingCheck);
  ShowCheck(SentCheck, m.SentCheck);
  ShowCheck(HdCtxCheck, m.HdCtxCheck);
  ShowButton(HdCtxBtn, m.HdCtxBtn);
  ShowCheck(AppendSearchCheck, m.AppendSearchCheck);
  ShowCheck(BatchSearchCheck, m.BatchSearchCheck);
  ShowCheck(SaveToFileCheck, m.SaveToFileCheck);
  ShowButton(SaveOptionsBtn, m.SaveOptionsBtn);
  ShowButton(OptionsBtn, m.OptionsBtn);
  ShowButton(AdvancedBtn, m.AdvancedBtn);
  ShowButton(OKBtn, m.OKBtn);
  ShowButton(CancelBtn, m.CancelBtn);
  showing_ = false;
}

TSearchOkOutcome TSearchTemplateDlg::ClickOK()
{
  // The box may still hold typed text the model has not seen.
  if (model_->SearchString.Visible &&
      !TextFromWidget(SearchString->currentText(), model_->SearchString.Text)) {
    TSearchOkOutcome refused;
    refused.Focus = SearchString->objectName().toStdString();
    FocusControl(refused.Focus);
    return refused;
  }
  // So do the restriction boxes in use; their form opens at the box.
  if (model_->HdCtxCheck.Checked && HdCtxForm) {
    THdCtxForm& restrictions = HdCtxForm->Model();
    const std::pair<bool, QComboBox*> boxes[] = {{restrictions.HeadingChecked(), HdCtxForm->HeadingPattern},
                                                 {restrictions.ContextChecked(), HdCtxForm->LeftPattern},
                                                 {restrictions.ContextChecked(), HdCtxForm->RightPattern}};
    std::string bytes;
    for (const auto& [inUse, box] : boxes)
      if (inUse && !TextFromWidget(box->currentText(), bytes)) {
        restrictions.SetActiveControl(box->objectName().toStdString());
        restrictions.ShowModal();
        return TSearchOkOutcome{};
      }
  }
  const TSearchOkOutcome outcome = model_->OKBtnClick();
  ShowModel();
  if (outcome.Close)
    accept();
  else if (!outcome.Focus.empty())
    FocusControl(outcome.Focus);
  return outcome;
}

void TSearchTemplateDlg::reject()
{
  model_->CancelBtnClick();
  QDialog::reject();
}

int TSearchTemplateDlg::ShowModal()
{
  ShowModel();
  shownAdvanced_ = !model_->AdvancedPanel.Visible;  // force a fit
  FitHeight();
  CentreVertically();
  FocusControl(model_->ActiveControl);
  return exec() == QDialog::Accepted ? mrOk : mrCancel;
}

void TSearchTemplateDlg::FocusControl(const std::string& name)
{
  if (QWidget* w = findChild<QWidget*>(QString::fromStdString(name)))
    w->setFocus(Qt::OtherFocusReason);
}

void TSearchTemplateDlg::FitHeight()
{
  if (shownAdvanced_ == model_->AdvancedPanel.Visible)
    return;
  shownAdvanced_ = model_->AdvancedPanel.Visible;
  layout()->activate();
  adjustSize();
}

void TSearchTemplateDlg::CentreVertically()
{
  const QScreen* s = screen();
  if (!s)
    return;
  const QRect area = s->geometry();
  const int height = frameGeometry().height();
  const int top = std::max(0, (area.height() - height) / 2);
  const int left = std::max(0, (area.width() - frameGeometry().width()) / 2);
  move(left, top);
}
