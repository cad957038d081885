#include "workbench/dialogs/tag_info_form.h"

#include "foundation/settings.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QLabel* ValueLabel(QWidget* parent, const char* name, const QString& text)
{
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}

QString FromPath(const std::string& path)
{
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

TTagInfoForm::TTagInfoForm(const THitInfo& info, QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("TagInfoForm"));
  setWindowTitle(QStringLiteral("Info"));

  MatchLabel = ValueLabel(this, "MatchLabel", ToQString(info.Match));
  const TFontRec& hilite = ConcordSettings.HiliteFont;
  MatchLabel->setFont(ToQFont(hilite));
  if (hilite.Color >= 0) {  // BGR; negative values are system colours
    QPalette palette = MatchLabel->palette();
    palette.setColor(QPalette::WindowText,
                     QColor(hilite.Color & 0xFF, (hilite.Color >> 8) & 0xFF, (hilite.Color >> 16) & 0xFF));
    MatchLabel->setPalette(palette);
  }
  FilenameLabel = ValueLabel(this, "FilenameLabel", FromPath(info.FileName));
  AbsLineLabel = ValueLabel(this, "AbsLineLabel", QString::fromLatin1(info.AbsLine.c_str()));
  PageLabel = ValueLabel(this, "PageLabel", QString::fromLatin1(info.Page.c_str()));
  RelLineLabel = ValueLabel(this, "RelLineLabel", QString::fromLatin1(info.LineInPage.c_str()));

  Grid = new QTableWidget(int(info.Tags.size()), 2, this);
  Grid->setObjectName(QStringLiteral("Grid"));
  Grid->setFont(ToQFont(ConcordSettings.NormalFont));
  Grid->verticalHeader()->hide();
  Grid->verticalHeader()->setDefaultSectionSize(18);
  Grid->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
  Grid->setColumnWidth(0, 90);
  Grid->setColumnWidth(1, 270);
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (size_t r = 0; r < info.Tags.size(); ++r) {
    Grid->setItem(int(r), 0, new QTableWidgetItem(ToQString(info.Tags[r].first)));
    Grid->setItem(int(r), 1, new QTableWidgetItem(ToQString(info.Tags[r].second)));
  }

  CloseBtn = new QPushButton(QStringLiteral("Close"), this);
  CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
  CloseBtn->setDefault(true);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QGridLayout;
  const std::pair<const char*, QLabel*> rows[] = {
      {"Match:", MatchLabel}, {"File:", FilenameLabel}, {"Absolute Line:", AbsLineLabel},
      {"Page:", PageLabel},   {"Line:", RelLineLabel},
  };
  int row = 0;
  for (const auto& [caption, value] : rows) {
    fields->addWidget(new QLabel(QString::fromLatin1(caption), this), row, 0);
    fields->addWidget(value, row, 1);
    ++row;
  }
  fields->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CloseBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(new QLabel(QStringLiteral("Tracked Tags:"), this));
  layout->addWidget(Grid, 1);
  layout->addLayout(buttons);
  resize(ClientWidth, ClientHeight);
}

TTagInfoForm::~TTagInfoForm() = default;

void ShowHitInfo(int32_t fileIndex, int32_t position, const std::string& matchText)
{
  TTagInfoForm form(GetHitInfo(fileIndex, position, matchText), QApplication::activeWindow());
  form.exec();
}
