// The printer and clipboard targets of the text-file writer (the file target
// and the interface are in foundation/text_sink.h).
//
// Printing binds the writer to the program's one printer, the one the
// frame's Print Setup edits: the lines are laid out down the page in a
// fixed-pitch font, so that columns aligned with blanks stay aligned on
// paper, with a new page when a page is full. The clipboard target collects
// the text and sets the clipboard once, when it is closed.
#pragma once

#include "foundation/text_sink.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QPainter;
class QPrinter;

// The printers the program offers are the system's printers and always one
// more, the PDF file printer, which writes each job to a PDF file it asks
// for. The program's one printer is set up for the printer chosen last in
// Print Setup: at first the system's default printer, or the PDF file
// printer when the system has none.
inline constexpr const char* PdfFilePrinterName = "PDF file";
inline constexpr const char* PdfFileDialogTitle = "Print to PDF file";
inline constexpr const char* PdfFileDialogFilter = "PDF files (*.pdf)|*.pdf|All files (*.*)|*.*";
// The names of the printers offered, the PDF file printer last.
QStringList PrinterNames();
// The printer chosen for the program's printer.
QString SelectedPrinterName();
// Sets the program's printer up for one of PrinterNames; false for a name
// that is not offered.
bool SelectPrinter(const QString& name);

// Finds the program's printer; nullptr when there is none.
using TPrinterLookup = std::function<QPrinter*()>;
// Installs how the printer is found (tests give a PDF printer, or none); an
// empty lookup restores the default, the program's one printer. Returns the
// lookup it replaced.
TPrinterLookup SetPrinterLookup(TPrinterLookup lookup);
// The program's printer, or nullptr when there is none.
QPrinter* ProgramPrinter();
// Readies the printer for a job: the PDF file printer asks for the file to
// write (the frame's file dialogs, so tests answer it); false when the user
// cancels. Other printers are ready as they are.
bool PreparePrintJob(QPrinter& printer);

// The message raised when printing finds no printer.
inline constexpr const char* NoPrinterText = "No printer is available.";

class TPrinterTextSink final : public TTextSink {
public:
  // Starts a print job named jobTitle on the program's printer; raises
  // NoPrinterText without a printer, EAbort when the user cancels the PDF
  // file printer's question for a file, and the write error when the job
  // cannot start.
  explicit TPrinterTextSink(std::string_view jobTitle = {});
  // A job that was not closed is aborted.
  ~TPrinterTextSink() override;

  // CR LF, LF and CR end lines; a TAB moves to the next multiple of 8
  // columns; a line too long for the page goes on in the next line.
  void Write(std::string_view bytes) override;
  // Prints the last line and ends the job; raises when the printer failed.
  void Close() override;
  std::string Name() const override;

  // The fixed-pitch font of print-outs.
  static QFont PrintFont();
  int PagesPrinted() const { return page_; }
  int LinesPrinted() const { return lines_; }

private:
  void EndLine();
  void PrintLine(const QString& text);
  [[noreturn]] void Fail(const std::string& reason);

  QPrinter* printer_;
  std::unique_ptr<QPainter> painter_;
  std::string line_;        // bytes of the line being collected
  bool afterCr_ = false;    // the last byte was a CR (an LF after it ends nothing)
  int lineHeight_ = 0;
  int ascent_ = 0;
  int columns_ = 1;         // characters in one printed line
  int pageHeight_ = 0;
  int y_ = 0;               // top of the next line on the page
  int page_ = 0;
  int lines_ = 0;
  bool closed_ = false;
};

// Runs work (a print or a copy) under the hourglass cursor; a failure is
// shown with ShowError once the cursor is back, so it never passes for done.
void RunShowingFailure(const std::function<void()>& work);

// Collects the text; Close puts it on the clipboard, converted from the code
// page, unless nothing was written.
class TClipboardTextSink final : public TStringTextSink {
public:
  void Close() override;
  std::string Name() const override { return "Clipboard"; }
};
