// The one text-file writer every report goes through: the concordance,
// collocation, word-list, comparison and distribution reports, the batch
// output and the copy commands. A writer gets a TTextSink and never knows
// whether the text lands in a file, on the printer or on the clipboard.
//
// Text is bytes of the ANSI code page, passed on unchanged; lines end in
// CR LF. Every failure raises; nothing is reported as success that was not
// written.
#pragma once

#include "platform/safe_write.h"

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view LineEnd = "\r\n";

class TTextSink {
public:
  virtual ~TTextSink() = default;

  // Appends the bytes as they are.
  virtual void Write(std::string_view bytes) = 0;
  // The bytes and CR LF.
  void WriteLine(std::string_view bytes = {})
  {
    Write(bytes);
    Write(LineEnd);
  }
  // Finishes the output (the file is complete on disk, the print job sent,
  // the clipboard set); raises when that fails. Nothing may be written after.
  virtual void Close() = 0;
  // What error messages name: the file's path, the printer's name.
  virtual std::string Name() const = 0;
};

// A text file. Create writes the file whole: the text goes to a temporary
// file beside it that Close renames over it, so a failed or abandoned write
// leaves the old file as it was (a device such as /dev/null is written in
// place). Append adds to the end of the file, creating it when missing; an
// abandoned append is cut back to the old length.
//
// Opening raises "Unable to open file: <name>."; a failed write, flush or
// close raises "Unable to write file: <name> (<reason>)." and abandons the
// file; every later call raises the same. Destroying a sink that was not
// closed abandons what it wrote.
class TFileTextSink final : public TTextSink {
public:
  enum class TMode { Create, Append };

  explicit TFileTextSink(std::string fileName, TMode mode = TMode::Create);
  ~TFileTextSink() override;

  void Write(std::string_view bytes) override;
  void Close() override;
  std::string Name() const override { return fileName_; }
  // Drops what was written: the old file stays (Create) or gets back its
  // old length (Append).
  void Abandon() noexcept;

private:
  void Flush();
  [[noreturn]] void Fail(int err);

  std::string fileName_;
  platform::OutputFile file_;
  std::string buffer_;
  bool closed_ = false;
  int failed_ = 0;  // the error that ended the file
};

// Collects the text in memory (the clipboard target and tests use it).
class TStringTextSink : public TTextSink {
public:
  void Write(std::string_view bytes) override { text_.append(bytes); }
  void Close() override { closed_ = true; }
  std::string Name() const override { return "text"; }
  const std::string& Text() const { return text_; }
  bool Closed() const { return closed_; }

protected:
  std::string text_;
  bool closed_ = false;
};
