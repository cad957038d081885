#include "workbench/dialogs/font_color_dialog.h"

#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A colour as the program stores it: 0x00BBGGRR.
TColor ToTColor(const QColor& c)
{
  return TColor(c.red() | (c.green() << 8) | (c.blue() << 16));
}

}  // namespace

TFontColorDialog::TFontColorDialog(const TFontRec& font, const QString& title, QWidget* parent)
    : QDialog(parent), start_(font)
{
  setWindowTitle(title);
  FontPart = new QFontDialog(ToQFont(font), this);
  FontPart->setObjectName(QStringLiteral("FontPart"));
  // Shown as a part of this dialog, without buttons of its own.
  FontPart->setWindowFlags(Qt::Widget);
  FontPart->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  ColorBtn = new QPushButton(tr("C&olour..."), this);
  ColorBtn->setObjectName(QStringLiteral("ColorBtn"));
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ColorBtn);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FontPart);
  layout->addLayout(buttons);

  // Enter in a box of the font part (the size box above all) accepts the
  // dialog, as the desktop's own font dialogs do.
  for (QLineEdit* edit : FontPart->findChildren<QLineEdit*>())
    connect(edit, &QLineEdit::returnPressed, this, &QDialog::accept);
  connect(ColorBtn, &QPushButton::clicked, this, &TFontColorDialog::ChooseColor);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  SetColor(ColorFromTColor(font.Color, palette(), palette().color(QPalette::Text)));
}

void TFontColorDialog::SetColor(const QColor& color)
{
  color_ = color;
  QPixmap swatch(16, 16);
  swatch.fill(color);
  ColorBtn->setIcon(QIcon(swatch));
}

void TFontColorDialog::ChooseColor()
{
  const QColor chosen = QColorDialog::getColor(color_, this, windowTitle());
  if (chosen.isValid())
    SetColor(chosen);
}

TFontRec TFontColorDialog::Font() const
{
  TFontRec font = FontRecFromQFont(FontPart->currentFont(), start_);
  // An unchanged colour keeps its value, a system colour included.
  if (color_ != ColorFromTColor(start_.Color, palette(), palette().color(QPalette::Text)))
    font.Color = ToTColor(color_);
  return font;
}

bool ExecuteFontColorDialog(TFontRec& font, const QString& title)
{
  TFontColorDialog dialog(font, title, QApplication::activeWindow());
  if (dialog.exec() != QDialog::Accepted)
    return false;
  font = dialog.Font();
  return true;
}
