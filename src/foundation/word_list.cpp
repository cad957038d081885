#include "foundation/word_list.h"

#include "foundation/chartables.h"
#include "platform/read_file.h"
#include "platform/safe_write.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

// ---------------------------------------------------------------------------
// The word-list file.

std::vector<std::string> ReadWordListFile(const std::string& fileName)
{
  const auto failure = [&fileName](int err) {
    return std::runtime_error("Unable to open file: " + fileName + " (" + std::strerror(err) + ").");
  };
  std::string data;
  if (const int err = platform::readRegularFile(fileName, data))
    throw failure(err);

  std::vector<std::string> words;
  size_t start = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\r' && data[i] != '\n')
      continue;
    words.emplace_back(data, start, i - start);
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < data.size())
    words.emplace_back(data, start);
  return words;
}

void WriteWordListFile(const std::string& fileName, const std::vector<std::string>& words)
{
  std::string data;
  for (const auto& word : words) {
    data += word;
    data += "\r\n";
  }
  platform::writeFileAtomically(fileName, data);
}

std::string FolderOfPath(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOfPath(const std::string& path)
{
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
