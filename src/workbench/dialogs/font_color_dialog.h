// The font dialog of the windows' font commands. The program's fonts carry a
// colour as well as face, size and style, so the font choice comes with a
// colour choice; the character set of the font is kept as it was.
#pragma once

#include "foundation/settings.h"

#include <QColor>
#include <QDialog>

class QFontDialog;
class QPushButton;

class TFontColorDialog : public QDialog {
  Q_OBJECT
public:
  // Starts with font (its face, size, style and colour).
  explicit TFontColorDialog(const TFontRec& font, const QString& title, QWidget* parent = nullptr);

  // The choice: face, size and style from the font part, the colour chosen,
  // the character set of the starting font.
  TFontRec Font() const;
  QColor Color() const { return color_; }
  void SetColor(const QColor& color);

  QFontDialog* FontPart = nullptr;
  QPushButton* ColorBtn = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

private:
  void ChooseColor();

  TFontRec start_;
  QColor color_;
};

// Runs the dialog modally; true when confirmed, font then holding the choice.
bool ExecuteFontColorDialog(TFontRec& font, const QString& title);
