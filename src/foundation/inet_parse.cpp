// The download client's parsers and fixed texts: URLs, redirect targets,
// status and reply lines, header values, chunked bodies, Base64.
#include "foundation/inet_stream.h"

#include "foundation/utils.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>

const char* const AnonymousFtpPassword = "quillmar@localhost.localdomain";

namespace {

std::atomic<bool> winSockStarted{false};

bool isDigit(char c)
{
  return c >= '0' && c <= '9';
}

int hexValue(char c)
{
  if (isDigit(c))
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool allDigits(std::string_view s)
{
  return !s.empty() && std::all_of(s.begin(), s.end(), isDigit);
}

std::string_view trimBlanks(std::string_view s)
{
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

std::string_view trimControls(std::string_view s)
{
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20)
    s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20)
    s.remove_suffix(1);
  return s;
}

std::string upperCase(std::string_view s)
{
  std::string out(s);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// --- reference resolution --------------------------------------------------

struct TUrlPieces {
  std::string Scheme;
  bool HasAuthority = false;
  std::string Authority;
  std::string Path;
  bool HasQuery = false;
  std::string Query;

  std::string Compose() const
  {
    std::string out = Scheme + ":";
    if (HasAuthority)
      out += "//" + Authority;
    out += Path;
    if (HasQuery)
      out += "?" + Query;
    return out;
  }
};

// The length of the scheme before its ":", or npos when there is none.
size_t schemeLength(std::string_view s)
{
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0])))
    return std::string_view::npos;
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == ':')
      return i;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
      return std::string_view::npos;
  }
  return std::string_view::npos;
}

TUrlPieces splitUrl(std::string_view s)
{
  TUrlPieces u;
  s = s.substr(0, s.find('#'));
  if (const size_t n = schemeLength(s); n != std::string_view::npos) {
    u.Scheme = std::string(s.substr(0, n));
    s.remove_prefix(n + 1);
  }
  if (s.substr(0, 2) == "//") {
    s.remove_prefix(2);
    const size_t end = s.find_first_of("/?");
    u.HasAuthority = true;
    u.Authority = std::string(s.substr(0, end));
    s = end == std::string_view::npos ? std::string_view() : s.substr(end);
  }
  const size_t q = s.find('?');
  u.Path = std::string(s.substr(0, q));
  if (q != std::string_view::npos) {
    u.HasQuery = true;
    u.Query = std::string(s.substr(q + 1));
  }
  return u;
}

void dropLastSegment(std::string& out)
{
  const size_t slash = out.rfind('/');
  out.erase(slash == std::string::npos ? 0 : slash);
}

std::string removeDotSegments(std::string in)
{
  std::string out;
  while (!in.empty()) {
    if (in.rfind("../", 0) == 0) {
      in.erase(0, 3);
    } else if (in.rfind("./", 0) == 0) {
      in.erase(0, 2);
    } else if (in.rfind("/./", 0) == 0) {
      in.erase(0, 2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.rfind("/../", 0) == 0) {
      in.erase(0, 3);
      dropLastSegment(out);
    } else if (in == "/..") {
      in = "/";
      dropLastSegment(out);
    } else if (in == "." || in == "..") {
      in.clear();
    } else {
      const size_t end = in.find('/', in[0] == '/' ? 1 : 0);
      out += in.substr(0, end);
      in.erase(0, end);
    }
  }
  return out;
}

}  // namespace

// --- URLs ------------------------------------------------------------------

bool ParseURL(std::string_view url, TURLParts& parts)
{
  std::string_view s = trimControls(url);
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x21 || c == 0x7F)
      return false;
  const size_t sep = s.find("://");
  if (sep == std::string_view::npos)
    return false;
  TURLParts p;
  const std::string scheme = upperCase(s.substr(0, sep));
  if (scheme == "HTTP")
    p.Protocol = 0;
  else if (scheme == "FTP")
    p.Protocol = 1;
  else
    return false;
  std::string_view rest = s.substr(sep + 3);
  // The authority ends at the first "/", "?" or "#" (RFC 3986 3.2); a query
  // goes with the path and the fragment is the client's own.
  if (const size_t end = rest.find_first_of("/?#"); end != std::string_view::npos) {
    std::string_view tail = rest.substr(end);
    tail = tail.substr(0, tail.find('#'));
    p.Path = tail.empty() || tail[0] == '/' ? std::string(tail) : "/" + std::string(tail);
    rest = rest.substr(0, end);
  }
  if (p.Path.empty())
    p.Path = "/";
  if (const size_t at = rest.rfind('@'); at != std::string_view::npos) {
    const std::string_view user = rest.substr(0, at);
    if (user.empty())
      return false;
    const size_t colon = user.find(':');
    p.UserName = std::string(user.substr(0, colon));
    if (colon != std::string_view::npos)
      p.Password = std::string(user.substr(colon + 1));
    rest = rest.substr(at + 1);
  }
  if (const size_t colon = rest.find(':'); colon != std::string_view::npos) {
    int32_t port = -1;
    if (!TryStrToInt(rest.substr(colon + 1), port) || port < 0 || port > 65535)
      return false;
    p.Port = std::to_string(port);
    rest = rest.substr(0, colon);
  } else {
    p.Port = p.Protocol == 0 ? "80" : "21";
  }
  if (rest.empty())
    return false;
  p.HostName = std::string(rest);
  parts = std::move(p);
  return true;
}

std::string ResolveURL(std::string_view base, std::string_view reference)
{
  const TUrlPieces b = splitUrl(base);
  const TUrlPieces r = splitUrl(reference);
  TUrlPieces t;
  if (!r.Scheme.empty()) {
    t = r;
    t.Path = removeDotSegments(r.Path);
    return t.Compose();
  }
  t.Scheme = b.Scheme;
  if (r.HasAuthority) {
    t.HasAuthority = true;
    t.Authority = r.Authority;
    t.Path = removeDotSegments(r.Path);
    t.HasQuery = r.HasQuery;
    t.Query = r.Query;
    return t.Compose();
  }
  t.HasAuthority = b.HasAuthority;
  t.Authority = b.Authority;
  if (r.Path.empty()) {
    t.Path = b.Path;
    t.HasQuery = r.HasQuery || b.HasQuery;
    t.Query = r.HasQuery ? r.Query : b.Query;
    return t.Compose();
  }
  if (r.Path[0] == '/') {
    t.Path = removeDotSegments(r.Path);
  } else if (b.HasAuthority && b.Path.empty()) {
    t.Path = removeDotSegments("/" + r.Path);
  } else {
    const size_t slash = b.Path.rfind('/');
    t.Path = removeDotSegments((slash == std::string::npos ? std::string() : b.Path.substr(0, slash + 1)) + r.Path);
  }
  t.HasQuery = r.HasQuery;
  t.Query = r.Query;
  return t.Compose();
}

// --- fixed texts -------------------------------------------------------------

std::string EncodeBase64(std::string_view text)
{
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((text.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= text.size(); i += 3) {
    const uint32_t v = uint32_t(uint8_t(text[i])) << 16 | uint32_t(uint8_t(text[i + 1])) << 8 | uint8_t(text[i + 2]);
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += alphabet[v & 63];
  }
  if (const size_t left = text.size() - i; left > 0) {
    uint32_t v = uint32_t(uint8_t(text[i])) << 16;
    if (left == 2)
      v |= uint32_t(uint8_t(text[i + 1])) << 8;
    out += alphabet[v >> 18];
    out += alphabet[(v >> 12) & 63];
    out += left == 2 ? alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string HttpStatusText(int32_t code)
{
  switch (code) {
  case 100: return "Continue";
  case 101: return "Switching Protocols";
  case 200: return "OK";
  case 201: return "Created";
  case 202: return "Accepted";
  case 203: return "Non-Authoritative Information";
  case 204: return "No Content";
  case 205: return "Reset Content";
  case 206: return "Partial Content";
  case 300: return "Multiple Choices";
  case 301: return "Moved Permanently";
  case 302: return "Moved Temporarily";
  case 303: return "See Other";
  case 304: return "Not Modified";
  case 305: return "Use Proxy";
  case 400: return "Bad Request";
  case 401: return "Unauthorized";
  case 402: return "Payment Required";
  case 403: return "Forbidden";
  case 404: return "Not Found";
  case 405: return "Method Not Allowed";
  case 406: return "Not Acceptable";
  case 407: return "Proxy Authentication Required";
  case 408: return "Request Time-out";
  case 409: return "Conflict";
  case 410: return "Gone";
  case 411: return "Length Required";
  case 412: return "Precondition Failed";
  case 413: return "Request Entity Too Large";
  case 414: return "Request-URI Too Large";
  case 415: return "Unsupported Media Type";
  case 500: return "Internal Server Error";
  case 501: return "Not Implemented";
  case 502: return "Bad Gateway";
  case 503: return "Service Unavailable";
  case 504: return "Gateway Time-out";
  case 505: return "HTTP Version not supported";
  default: return "Unknown HTTP status: " + std::to_string(code);
  }
}

std::string WinSockErrorText(int code)
{
  switch (code) {
  case 10004: return "Interrupted system call";
  case 10009: return "Bad file number";
  case 10013: return "Permission denied";
  case 10014: return "Bad address";
  case 10022: return "Invalid argument";
  case 10024: return "Too many open files";
  case 10035: return "Operation would block";
  case 10036: return "Operation now in progress";
  case 10037: return "Operation already in progress";
  case 10038: return "Socket operation on non-socket";
  case 10039: return "Destination address required";
  case 10040: return "Message too long";
  case 10041: return "Protocol wrong type for socket";
  case 10042: return "Protocol not available";
  case 10043: return "Protocol not supported";
  case 10044: return "Socket type not supported";
  case 10045: return "Operation not supported on socket";
  case 10046: return "Protocol family not supported";
  case 10047: return "Address family not supported by protocol family";
  case 10048: return "Address already in use";
  case 10049: return "Address not available";
  case 10050: return "Network is down";
  case 10051: return "Network is unreachable";
  case 10052: return "Network dropped connection on reset";
  case 10053: return "Connection aborted";
  case 10054: return "Connection reset by peer";
  case 10055: return "No buffer space available";
  case 10056: return "Socket is already connected";
  case 10057: return "Socket is not connected";
  case 10058: return "Can't send after socket shutdown";
  case 10059: return "Too many references: can't splice";
  case 10060: return "Connection timed out";
  case 10061: return "Connection refused";
  case 10062: return "Too many levels of symbolic links";
  case 10063: return "File name too long";
  case 10064: return "Host is down";
  case 10065: return "No route to host";
  case 10066: return "Directory not empty";
  case 10067: return "Too many processes";
  case 10068: return "Too many users";
  case 10069: return "Disc quota exceeded";
  case 10070: return "Stale NFS file handle";
  case 10071: return "Too many levels of remote in path";
  case 10091: return "Network sub-system is unusable";
  case 10092: return "WinSock DLL cannot support this application";
  case 10093: return "WinSock not initialized";
  case 11001: return "Host not found";
  case 11002: return "Non-authoritative host not found";
  case 11003: return "Non-recoverable error";
  case 11004: return "No Data";
  default: return "Unknown WinSock error";
  }
}

void StartWinSock()
{
  winSockStarted = true;
}

void StopWinSock()
{
  winSockStarted = false;
}

bool WinSockStarted()
{
  return winSockStarted;
}

// --- lines -------------------------------------------------------------------

bool ParseHttpStatusLine(std::string_view line, int32_t& code, std::string& phrase)
{
  if (line.find("HTTP") == std::string_view::npos)
    return false;
  if (line.substr(0, 5) == "HTTP/") {
    const std::string_view version = line.substr(5);
    const size_t dot = version.find('.');
    if (dot == std::string_view::npos || !allDigits(version.substr(0, dot)))
      return false;
    const size_t blank = version.find(' ', dot);
    if (blank != std::string_view::npos && !allDigits(version.substr(dot + 1, blank - dot - 1)))
      return false;
  }
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos || line.size() < blank + 4)
    return false;
  const std::string_view digits = line.substr(blank + 1, 3);
  if (!allDigits(digits))
    return false;
  code = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
  if (code < 100 || code > 599)
    return false;  // no HTTP status
  phrase = line.size() > blank + 5 ? std::string(trimBlanks(line.substr(blank + 5))) : std::string();
  return true;
}

bool SplitHeaderLine(std::string_view line, std::string& name, std::string& value)
{
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos)
    return false;
  name = std::string(line.substr(0, colon));
  value = std::string(trimBlanks(line.substr(colon + 1)));
  return true;
}

int64_t ParseHeaderLength(std::string_view value)
{
  value = trimBlanks(value);
  if (!allDigits(value) || value.size() > 18)
    return -1;
  int64_t n = 0;
  for (char c : value)
    n = n * 10 + (c - '0');
  return n;
}

bool ParseFtpReplyLine(std::string_view line, int32_t& code, std::string& text, bool& skip)
{
  skip = false;
  if (!line.empty() && line[0] == '-') {
    skip = true;
    return true;
  }
  if (line.size() < 3 || !allDigits(line.substr(0, 3)))
    return false;
  code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  text = std::string(trimBlanks(line.substr(3)));
  skip = !text.empty() && text[0] == '-';
  return true;
}

// --- chunked bodies ----------------------------------------------------------

TChunkDecoder::TResult TChunkDecoder::Decode(char* data, size_t count, size_t& payload, size_t& consumed)
{
  constexpr size_t kMaxLine = 1024;
  size_t in = 0, out = 0;
  auto sizeLineDone = [this] {
    state_ = left_ == 0 ? TState::Trailer : TState::Data;
    digits_ = 0;
    lineLength_ = 0;
    trailerEmpty_ = true;
  };
  auto trailerLineDone = [this] {
    if (trailerEmpty_) {
      state_ = TState::End;
    } else {
      state_ = TState::Trailer;
      trailerEmpty_ = true;
      lineLength_ = 0;
    }
  };
  while (in < count && state_ != TState::End && state_ != TState::Bad) {
    const char c = data[in];
    switch (state_) {
    case TState::Size:
      if (const int digit = hexValue(c); digit >= 0) {
        if (++digits_ > 15) {
          state_ = TState::Bad;
          break;
        }
        left_ = left_ * 16 + uint64_t(digit);
        ++in;
      } else if (digits_ == 0) {
        state_ = TState::Bad;
      } else if (c == ';' || c == ' ' || c == '\t') {
        state_ = TState::Extension;
        lineLength_ = size_t(digits_);
      } else if (c == '\r') {
        state_ = TState::SizeLF;
        ++in;
      } else if (c == '\n') {
        ++in;
        sizeLineDone();
      } else {
        state_ = TState::Bad;
      }
      break;
    case TState::Extension:
      ++in;
      if (c == '\r')
        state_ = TState::SizeLF;
      else if (c == '\n')
        sizeLineDone();
      else if (++lineLength_ > kMaxLine)
        state_ = TState::Bad;
      break;
    case TState::SizeLF:
      if (c != '\n') {
        state_ = TState::Bad;
        break;
      }
      ++in;
      sizeLineDone();
      break;
    case TState::Data: {
      const size_t n = size_t(std::min<uint64_t>(count - in, left_));
      std::memmove(data + out, data + in, n);
      out += n;
      in += n;
      left_ -= n;
      if (left_ == 0)
        state_ = TState::DataCR;
      break;
    }
    case TState::DataCR:
      if (c == '\r') {
        state_ = TState::DataLF;
        ++in;
      } else if (c == '\n') {
        state_ = TState::Size;
        ++in;
      } else {
        state_ = TState::Bad;
      }
      break;
    case TState::DataLF:
      if (c != '\n') {
        state_ = TState::Bad;
        break;
      }
      state_ = TState::Size;
      ++in;
      break;
    case TState::Trailer:
      ++in;
      if (c == '\r') {
        state_ = TState::TrailerLF;
      } else if (c == '\n') {
        trailerLineDone();
      } else {
        trailerEmpty_ = false;
        if (++lineLength_ > kMaxLine)
          state_ = TState::Bad;
      }
      break;
    case TState::TrailerLF:
      if (c != '\n') {
        state_ = TState::Bad;
        break;
      }
      ++in;
      trailerLineDone();
      break;
    case TState::End:
    case TState::Bad:
      break;
    }
  }
  payload = out;
  consumed = in;
  if (state_ == TState::End)
    return TResult::End;
  return state_ == TState::Bad ? TResult::Bad : TResult::More;
}
