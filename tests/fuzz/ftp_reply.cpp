// The control-channel replies of an FTP exchange, line by line as the client
// reads them: single and multi-line replies ("123-" ... "123 "), lines of
// any length and bytes. Reply lines are read within their bounds: the code is
// the line's three digits, the text a trimmed part of the line.
#include "foundation/inet_stream.h"
#include "fuzz/fuzz_support.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
      end = all.size();
    const std::string_view line = all.substr(start, end - start);
    start = end + 1;
    if (end + 1 < all.size() && all[end] == '\r' && all[end + 1] == '\n')
      ++start;
    int32_t code = -1;
    std::string text;
    bool skip = false;
    if (!ParseFtpReplyLine(line, code, text, skip))
      continue;
    if (line.empty() || line[0] == '-') {
      fuzz::check(skip, "a continuation line was taken as a reply");
      continue;
    }
    fuzz::check(line.size() >= 3 && code == (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'),
                "code not the line's digits");
    fuzz::check(code >= 0 && code <= 999, "code " + std::to_string(code));
    fuzz::check(text.size() + 3 <= line.size() && line.find(text) != std::string_view::npos,
                "reply text outside its line");
  }
  return 0;
}
