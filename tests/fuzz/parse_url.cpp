// ParseURL, on the input as a URL and on a redirect target resolved against
// a base: an accepted URL has a host, a port in 0..65535 and no byte below
// 0x21 or 0x7F in any piece that reaches the wire.
#include "foundation/inet_stream.h"
#include "fuzz/fuzz_support.h"

#include <string>

namespace {

void checkPiece(const std::string& piece, const char* what, std::string_view url)
{
  for (char c : piece)
    fuzz::check(static_cast<unsigned char>(c) >= 0x21 && c != 0x7F,
                std::string("control byte in ") + what + " of " + std::string(url));
}

void checkAccepted(std::string_view url)
{
  TURLParts parts;
  if (!ParseURL(url, parts))
    return;
  fuzz::check(parts.Protocol <= 1, "protocol");
  fuzz::check(!parts.HostName.empty(), "no host");
  fuzz::check(!parts.Port.empty() && parts.Port.size() <= 5 &&
                  parts.Port.find_first_not_of("0123456789") == std::string::npos &&
                  std::stoi(parts.Port) <= 65535,
              "port " + parts.Port);
  fuzz::check(!parts.Path.empty() && parts.Path[0] == '/', "path");
  checkPiece(parts.UserName, "user", url);
  checkPiece(parts.Password, "password", url);
  checkPiece(parts.HostName, "host", url);
  checkPiece(parts.Path, "path", url);
  // The credentials sent in the Authorization header.
  checkPiece(EncodeBase64(parts.UserName + ":" + parts.Password), "credentials", url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  checkAccepted(all);
  fuzz::TInput in(data, size);
  const std::string base(in.piece());
  const std::string reference(in.rest());
  checkAccepted(ResolveURL(base, reference));
  return 0;
}
