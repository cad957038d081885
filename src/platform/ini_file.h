// Profile (INI) files with Windows profile semantics over raw bytes.
//
// Sections and keys compare without regard to ASCII case; the first match
// wins. Keys and values are trimmed of blanks and tabs; everything after the
// first '=' is the value, byte for byte, quotes included. CR LF, LF and CR
// are read; CR LF is written. The whole file lives in memory; flush() writes
// it to a temporary file in the same folder and renames it over the old one.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

class IniFile {
public:
  // Loads the file; a missing or unreadable file gives an empty image.
  explicit IniFile(std::string path);
  // Starts from an empty image (the file is replaced on flush).
  static IniFile empty(std::string path);

  const std::string& path() const { return path_; }

  std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
  // Optional sign, decimal or $/0x hexadecimal; anything else gives def.
  int readInteger(std::string_view section, std::string_view key, int def) const;
  bool readBool(std::string_view section, std::string_view key, bool def) const;
  bool valueExists(std::string_view section, std::string_view key) const;
  bool sectionExists(std::string_view section) const;
  std::vector<std::string> readSection(std::string_view section) const;  // key names in order

  // CR and LF inside a value are written as blanks.
  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, int value);
  void writeBool(std::string_view section, std::string_view key, bool value);  // "1"/"0"
  void deleteKey(std::string_view section, std::string_view key);
  void eraseSection(std::string_view section);

  bool dirty() const { return dirty_; }
  // Writes the image; throws std::runtime_error and keeps the old file on failure.
  void flush();

private:
  // One section: its header line and the lines up to the next header, with a
  // lazily built index from the lower-cased key to its first line.
  struct Section {
    std::string header;
    std::vector<std::string> lines;
    mutable std::unordered_map<std::string, size_t> keys;
    mutable bool indexed = false;
  };

  IniFile() = default;
  const Section* findSection(std::string_view name) const;
  Section* findSection(std::string_view name);
  static const std::string* findValueLine(const Section& sec, std::string_view key, size_t* at = nullptr);
  void reindexSections();

  std::string path_;
  std::vector<std::string> preamble_;  // lines before the first section, kept as they are
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> sectionIndex_;  // lower-cased name -> first section
  bool dirty_ = false;
};

}  // namespace platform
