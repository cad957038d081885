#include "workbench/output/text_sink.h"

#include "foundation/abort.h"
#include "foundation/dialogs.h"
#include "platform/safe_write.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/frame/qt_text.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int TabWidth = 8;
constexpr int PrintPointSize = 10;

struct TProgramPrinter {
  QPrinter* Printer = nullptr;
  QString Name;
};

void SetUpFor(TProgramPrinter& program, const QString& name)
{
  program.Name = name;
  if (name == QLatin1String(PdfFilePrinterName)) {
    program.Printer->setOutputFormat(QPrinter::PdfFormat);
    return;
  }
  program.Printer->setOutputFormat(QPrinter::NativeFormat);
  program.Printer->setPrinterName(name);
}

// One printer for the whole run; it is never freed, so that it outlives
// the application object.
TProgramPrinter& TheProgramPrinter()
{
  static TProgramPrinter program = [] {
    TProgramPrinter p;
    p.Printer = new QPrinter(QPrinter::HighResolution);
    const QString system = QPrinterInfo::defaultPrinterName();
    SetUpFor(p, system.isEmpty() ? PrinterNames().front() : system);
    return p;
  }();
  return program;
}

QPrinter* DefaultPrinter()
{
  return TheProgramPrinter().Printer;
}

TPrinterLookup& Lookup()
{
  static TPrinterLookup lookup;
  return lookup;
}

QString ExpandTabs(const QString& text)
{
  if (!text.contains(QLatin1Char('\t')))
    return text;
  QString out;
  out.reserve(text.size() + TabWidth);
  for (const QChar c : text) {
    if (c == QLatin1Char('\t'))
      out.append(QString(TabWidth - out.size() % TabWidth, QLatin1Char(' ')));
    else
      out.append(c);
  }
  return out;
}

}  // namespace

TPrinterLookup SetPrinterLookup(TPrinterLookup lookup)
{
  TPrinterLookup old = std::move(Lookup());
  Lookup() = std::move(lookup);
  return old;
}

QPrinter* ProgramPrinter()
{
  return Lookup() ? Lookup()() : DefaultPrinter();
}

QStringList PrinterNames()
{
  QStringList names = QPrinterInfo::availablePrinterNames();
  names.removeAll(QLatin1String(PdfFilePrinterName));
  names.append(QLatin1String(PdfFilePrinterName));
  return names;
}

QString SelectedPrinterName()
{
  return TheProgramPrinter().Name;
}

bool SelectPrinter(const QString& name)
{
  if (!PrinterNames().contains(name))
    return false;
  SetUpFor(TheProgramPrinter(), name);
  return true;
}

bool PreparePrintJob(QPrinter& printer)
{
  const TProgramPrinter& program = TheProgramPrinter();
  if (&printer != program.Printer || program.Name != QLatin1String(PdfFilePrinterName))
    return true;
  TFileDialog dialog("PdfFileDialog", TFileDialog::SaveMode);
  dialog.Title = PdfFileDialogTitle;
  dialog.Filter = PdfFileDialogFilter;
  dialog.DefaultExt = "pdf";
  dialog.Options = ofOverwritePrompt | ofPathMustExist;
  dialog.FileName = printer.outputFileName().toLocal8Bit().toStdString();
  if (!dialog.Execute())
    return false;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromLocal8Bit(dialog.FileName.data(), qsizetype(dialog.FileName.size())));
  return true;
}

// --- printer ----------------------------------------------------------------

QFont TPrinterTextSink::PrintFont()
{
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(PrintPointSize);
  return font;
}

TPrinterTextSink::TPrinterTextSink(std::string_view jobTitle) : printer_(ProgramPrinter())
{
  if (!printer_)
    throw std::runtime_error(NoPrinterText);
  if (!PreparePrintJob(*printer_))
    throw EAbort();
  if (!jobTitle.empty())
    printer_->setDocName(ToQString(jobTitle));
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(printer_))
    Fail("the print job could not be started");
  painter_->setFont(PrintFont());
  painter_->setPen(Qt::black);
  const QFontMetrics metrics = painter_->fontMetrics();
  lineHeight_ = std::max(1, metrics.lineSpacing());
  ascent_ = metrics.ascent();
  columns_ = std::max(1, printer_->width() / std::max(1, metrics.horizontalAdvance(QLatin1Char('M'))));
  pageHeight_ = printer_->height();
  page_ = 1;
}

TPrinterTextSink::~TPrinterTextSink()
{
  if (closed_ || !painter_ || !painter_->isActive())
    return;
  printer_->abort();
  if (painter_->isActive())
    painter_->end();
}

std::string TPrinterTextSink::Name() const
{
  if (printer_->outputFormat() == QPrinter::PdfFormat)
    return FromQString(printer_->outputFileName());
  return FromQString(printer_->printerName());
}

void TPrinterTextSink::Write(std::string_view bytes)
{
  if (closed_)
    Fail("the print job is closed");
  for (const char c : bytes) {
    if (c == '\r') {
      EndLine();
      afterCr_ = true;
      continue;
    }
    if (c == '\n') {
      if (!afterCr_)
        EndLine();
      afterCr_ = false;
      continue;
    }
    afterCr_ = false;
    line_.push_back(c);
  }
}

void TPrinterTextSink::EndLine()
{
  const QString text = ExpandTabs(ToQString(line_));
  line_.clear();
  if (text.isEmpty()) {
    PrintLine(text);
    return;
  }
  for (qsizetype from = 0; from < text.size(); from += columns_)
    PrintLine(text.mid(from, columns_));
}

void TPrinterTextSink::PrintLine(const QString& text)
{
  if (y_ > 0 && y_ + lineHeight_ > pageHeight_) {
    if (!printer_->newPage())
      Fail("a new page could not be started");
    y_ = 0;
    ++page_;
  }
  if (!text.isEmpty())
    painter_->drawText(0, y_ + ascent_, text);
  y_ += lineHeight_;
  ++lines_;
}

void TPrinterTextSink::Close()
{
  if (closed_)
    return;
  if (!line_.empty())
    EndLine();
  closed_ = true;
  const bool ended = painter_->end();
  if (!ended || printer_->printerState() == QPrinter::Error)
    Fail("the printer reported an error");
}

void TPrinterTextSink::Fail(const std::string& reason)
{
  throw std::runtime_error(platform::writeErrorText(Name(), reason));
}

// --- clipboard --------------------------------------------------------------

void TClipboardTextSink::Close()
{
  if (closed_)
    return;
  closed_ = true;
  if (!text_.empty())
    QGuiApplication::clipboard()->setText(ToQString(text_));
}

void RunShowingFailure(const std::function<void()>& work)
{
  std::string error;
  {
    ScopedHourglass hourglass;
    try {
      work();
    } catch (const EAbort&) {
      // The user stopped it: nothing to report.
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
  if (!error.empty())
    ShowError(error);
}
