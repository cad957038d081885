#include "workbench/output/text_sink.h"

#include "foundation/chartables.h"
#include "support/scratch_folder.h"
#include "support/text_checks.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPrinter>
#include <QRegularExpression>
#include <gtest/gtest.h>


using testsupport::ScratchFolder;
using testsupport::errorOf;
using testsupport::readFile;

namespace {

// Prints into a PDF file for the test's lifetime.
class PdfPrinter {
public:
  explicit PdfPrinter(const std::string& path) : printer_(QPrinter::HighResolution)
  {
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(QString::fromStdString(path));
    old_ = SetPrinterLookup([this] { return &printer_; });
  }
  ~PdfPrinter() { SetPrinterLookup(std::move(old_)); }
  QPrinter& printer() { return printer_; }

private:
  QPrinter printer_;
  TPrinterLookup old_;
};

int pdfPageCount(const std::string& pdf)
{
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
  return int(QString::fromLatin1(pdf.data(), qsizetype(pdf.size())).count(page));
}

}  // namespace

TEST(PrinterTextSink, WithoutAPrinterPrintingRaises)
{
  TPrinterLookup old = SetPrinterLookup([] { return nullptr; });
  EXPECT_EQ(errorOf([] { TPrinterTextSink sink("Quillmar - job"); }), NoPrinterText);
  SetPrinterLookup(std::move(old));
}

TEST(PrinterTextSink, LaysLinesDownThePagesOfAPdf)
{
  ScratchFolder dir;
  const std::string path = dir.file("print.pdf");
  PdfPrinter printer(path);
  int pages = 0;
  {
    TPrinterTextSink sink("Quillmar - test");
    EXPECT_EQ(sink.Name(), path);
    EXPECT_EQ(printer.printer().docName(), "Quillmar - test");
    for (int i = 0; i < 300; ++i)
      sink.WriteLine("   1. ... left context [[hit]] right context ...");
    // CR LF, LF and CR each end one line, also when CR LF is split.
    sink.Write("a\r");
    sink.Write("\nb\nc\rd");
    sink.Close();
    EXPECT_EQ(sink.LinesPrinted(), 304);
    pages = sink.PagesPrinted();
  }
  EXPECT_GT(pages, 2);
  const std::string pdf = readFile(path);
  ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
  EXPECT_EQ(pdfPageCount(pdf), pages);
}

TEST(PrinterTextSink, LongLinesGoOnInTheNextLineAndFailuresRaise)
{
  ScratchFolder dir;
  {
    PdfPrinter printer(dir.file("long.pdf"));
    TPrinterTextSink sink;
    sink.WriteLine(std::string(2000, 'x'));
    sink.WriteLine("");
    sink.Close();
    EXPECT_GT(sink.LinesPrinted(), 10);  // nothing is cut off at the margin
  }
  const std::string bad = dir.file("no folder/out.pdf");
  PdfPrinter printer(bad);
  const std::string error = errorOf([] { TPrinterTextSink sink; });
  EXPECT_EQ(error.rfind("Unable to write file: " + bad + " (", 0), 0u) << error;
}

TEST(ClipboardTextSink, SetsTheClipboardOnceFromTheCodePageAndNeverWhenEmpty)
{
  SetTextLanguage(0x409);  // code page 1252
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QStringLiteral("before"));
  {
    TClipboardTextSink sink;
    sink.Close();
  }
  EXPECT_EQ(clipboard->text(), "before");
  {
    TClipboardTextSink sink;
    sink.WriteLine("caf\xE9");
    sink.Write("na\xEFve\tword");
    EXPECT_EQ(clipboard->text(), "before");
    sink.Close();
  }
  EXPECT_EQ(clipboard->text(), QString::fromUtf8("café\r\nnaïve\tword"));
}
