// An HTTP reply through the client's byte-level pieces: the status line,
// the header lines, Content-Length, a redirect's Location (resolved and put
// through ParseURL) and a chunked body fed to TChunkDecoder in pieces whose
// sizes come from the input. The decoder gives the payload a reference
// de-chunker gives, whatever the pieces; it ends done or failed, never both,
// takes nothing after its end and never reads past the piece it is given.
// Content-Length values parse to -1 or 0..10^18 - 1.
#include "foundation/inet_stream.h"
#include "fuzz/fuzz_support.h"

#include <string>

namespace {

int hexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

struct TDechunked {
  TChunkDecoder::TResult result;
  std::string payload;
  size_t consumed = 0;
};

// A chunked body read whole, as HTTP/1.1 has it: the reference the decoder
// is held to.
TDechunked dechunk(std::string_view body)
{
  constexpr size_t MaxLine = 1024;
  using R = TChunkDecoder::TResult;
  TDechunked d;
  size_t pos = 0;
  const size_t n = body.size();
  auto more = [&] { d.result = R::More; d.consumed = n; return d; };
  auto bad = [&] { d.result = R::Bad; return d; };
  for (;;) {
    uint64_t size = 0;
    int digits = 0;
    while (pos < n && hexDigit(body[pos]) >= 0) {
      if (++digits > 15)
        return bad();
      size = size * 16 + uint64_t(hexDigit(body[pos++]));
    }
    if (pos == n)
      return more();
    if (digits == 0)
      return bad();
    char c = body[pos];
    bool needLF = false;
    if (c == ';' || c == ' ' || c == '\t') {
      size_t length = size_t(digits);
      for (;;) {
        if (pos == n)
          return more();
        c = body[pos++];
        if (c == '\r') {
          needLF = true;
          break;
        }
        if (c == '\n')
          break;
        if (++length > MaxLine)
          return bad();
      }
    } else if (c == '\r') {
      ++pos;
      needLF = true;
    } else if (c == '\n') {
      ++pos;
    } else {
      return bad();
    }
    if (needLF) {
      if (pos == n)
        return more();
      if (body[pos++] != '\n')
        return bad();
    }
    if (size == 0) {
      for (;;) {
        bool empty = true;
        size_t length = 0;
        for (;;) {
          if (pos == n)
            return more();
          c = body[pos++];
          if (c == '\r') {
            if (pos == n)
              return more();
            if (body[pos++] != '\n')
              return bad();
            break;
          }
          if (c == '\n')
            break;
          empty = false;
          if (++length > MaxLine)
            return bad();
        }
        if (empty) {
          d.result = R::End;
          d.consumed = pos;
          return d;
        }
      }
    }
    if (n - pos <= size) {
      d.payload.append(body.substr(pos));
      return more();
    }
    d.payload.append(body.substr(pos, size_t(size)));
    pos += size_t(size);
    c = body[pos++];
    if (c == '\r') {
      if (pos == n)
        return more();
      if (body[pos++] != '\n')
        return bad();
    } else if (c != '\n') {
      return bad();
    }
  }
}

void checkUrl(const std::string& url)
{
  TURLParts parts;
  if (!ParseURL(url, parts))
    return;
  fuzz::check(!parts.HostName.empty(), "redirect without host");
  for (const std::string* piece : {&parts.HostName, &parts.Path, &parts.UserName, &parts.Password, &parts.Port})
    for (char c : *piece)
      fuzz::check(static_cast<unsigned char>(c) >= 0x21 && c != 0x7F, "control byte reaches the wire: " + url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::TInput in(data, size);
  const uint8_t splitSeed = in.byte();
  const std::string_view all = in.rest();
  size_t headerEnd = all.find("\r\n\r\n");
  size_t bodyStart = headerEnd == std::string_view::npos ? all.size() : headerEnd + 4;
  if (const size_t lf = all.find("\n\n"); lf < headerEnd) {
    headerEnd = lf;
    bodyStart = lf + 2;
  }
  const std::string_view header = all.substr(0, std::min(headerEnd, all.size()));
  const std::string body(all.substr(std::min(bodyStart, all.size())));

  int64_t contentLength = -1;
  size_t lineStart = 0;
  bool first = true;
  while (lineStart <= header.size()) {
    size_t lineEnd = header.find('\n', lineStart);
    if (lineEnd == std::string_view::npos)
      lineEnd = header.size();
    std::string_view line = header.substr(lineStart, lineEnd - lineStart);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    lineStart = lineEnd + 1;
    if (first) {
      first = false;
      int32_t code = -1;
      std::string phrase;
      if (ParseHttpStatusLine(line, code, phrase)) {
        fuzz::check(code >= 0 && code <= 999, "status code " + std::to_string(code));
        fuzz::check(phrase.size() <= line.size(), "phrase longer than its line");
        HttpStatusText(code);
      }
      continue;
    }
    std::string name, value;
    if (!SplitHeaderLine(line, name, value))
      continue;
    fuzz::check(name.size() + value.size() < line.size(), "header pieces outside their line");
    if (name == "Content-Length") {
      contentLength = ParseHeaderLength(value);
      fuzz::check(contentLength >= -1 && contentLength < 1000000000000000000LL, "length " + value);
    } else if (name == "Location") {
      checkUrl(ResolveURL("http://host.test/dir/page?q", value));
      checkUrl(ResolveURL("ftp://user:pw@host.test:2121/a/b/", value));
    }
  }

  // The body through the decoder, in pieces and whole.
  const TDechunked expected = dechunk(body);
  TChunkDecoder pieces;
  std::string payload;
  size_t consumed = 0;
  TChunkDecoder::TResult result = TChunkDecoder::TResult::More;
  uint32_t seed = splitSeed * 2654435761u + 1;
  size_t at = 0;
  while (at < body.size()) {
    seed = seed * 1103515245u + 12345u;
    const size_t count = std::min<size_t>(body.size() - at, 1 + (seed >> 16) % 64);
    std::string piece = body.substr(at, count);
    size_t got = 0, used = 0;
    result = pieces.Decode(piece.data(), piece.size(), got, used);
    fuzz::check(got <= used && used <= count, "decoder ran past its piece");
    payload.append(piece.data(), got);
    consumed += used;
    at += count;
    if (result != TChunkDecoder::TResult::More)
      break;
  }
  fuzz::check(result == expected.result, "decoder and reference end differently");
  if (result == TChunkDecoder::TResult::End) {
    fuzz::check(payload == expected.payload, "payload differs from the reference");
    fuzz::check(consumed == expected.consumed, "consumed differs from the reference");
    // After the end nothing more is taken.
    char extra[4] = {'1', '\r', '\n', 'x'};
    size_t got = 1, used = 1;
    fuzz::check(pieces.Decode(extra, 4, got, used) == TChunkDecoder::TResult::End && got == 0 && used == 0,
                "decoder went on after its end");
  } else if (result == TChunkDecoder::TResult::More) {
    fuzz::check(payload == expected.payload, "partial payload differs from the reference");
  }
  return 0;
}
