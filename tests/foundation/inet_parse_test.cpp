// The download client's plain-byte parts: URLs, redirect targets, lines,
// chunked bodies and the fixed texts.
#include "foundation/inet_stream.h"
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <random>

namespace {

struct UrlCase {
  const char* url;
  bool ok;
  const char* parts;  // "protocol|user|password|host|port|path"
};

std::string joined(const TURLParts& p)
{
  return std::to_string(p.Protocol) + "|" + p.UserName + "|" + p.Password + "|" + p.HostName + "|" + p.Port + "|" +
         p.Path;
}

class ParseUrlTest : public testing::TestWithParam<UrlCase> {};

TEST_P(ParseUrlTest, SplitsOrRefuses)
{
  TURLParts parts;
  ASSERT_EQ(ParseURL(GetParam().url, parts), GetParam().ok);
  if (GetParam().ok) {
    EXPECT_EQ(joined(parts), GetParam().parts);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ParseUrlTest,
    testing::Values(UrlCase{"http://host", true, "0|||host|80|/"},
                    UrlCase{"ftp://host/dir/f.txt", true, "1|||host|21|/dir/f.txt"},
                    UrlCase{"  HtTp://h:8080/a:b  ", true, "0|||h|8080|/a:b"},
                    UrlCase{"http://u:p@w@h/", true, "0|u|p@w|h|80|/"},
                    UrlCase{"http://:pw@h/", true, "0||pw|h|80|/"}, UrlCase{"http://user@h", true, "0|user||h|80|/"},
                    UrlCase{"http://h:$50/", true, "0|||h|80|/"}, UrlCase{"http://h:0x1F90/", true, "0|||h|8080|/"},
                    UrlCase{"http://h:0/", true, "0|||h|0|/"}, UrlCase{"http://h:/", false, ""},
                    UrlCase{"http://h:65536/", false, ""}, UrlCase{"http://h:8o/", false, ""},
                    UrlCase{"http://@h/", false, ""}, UrlCase{"http:///path", false, ""},
                    UrlCase{"https://h/", false, ""}, UrlCase{"h/path", false, ""},
                    UrlCase{"http://h/a b", false, ""}, UrlCase{"http://h/a\tb", false, ""},
                    UrlCase{"http://h/a\x7f", false, ""}, UrlCase{"http://h/\r\nX: y", false, ""},
                    // The authority ends at "/", "?" or "#"; "@" behind them is path.
                    UrlCase{"http://h?page=2", true, "0|||h|80|/?page=2"},
                    UrlCase{"http://a?x@b/", true, "0|||a|80|/?x@b/"},
                    UrlCase{"http://a#x@b/", true, "0|||a|80|/"},
                    UrlCase{"http://u@a:81/p?q=@z#f@g", true, "0|u||a|81|/p?q=@z"},
                    UrlCase{"ftp://a/f#x?y", true, "1|||a|21|/f"}, UrlCase{"http://?x", false, ""}));

TEST(ResolveUrlTest, FollowsTheReferenceResolutionRules)
{
  const std::string base = "http://a/b/c/d;p?q";
  const std::pair<const char*, const char*> cases[] = {
      {"g", "http://a/b/c/g"},           {"./g", "http://a/b/c/g"},     {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},              {"//g", "http://g"},           {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},       {"#s", "http://a/b/c/d;p?q"},  {"g#s", "http://a/b/c/g"},
      {"", "http://a/b/c/d;p?q"},        {".", "http://a/b/c/"},        {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},          {"../../../g", "http://a/g"},  {"/./g", "http://a/g"},
      {"g/../h", "http://a/b/c/h"},      {"ftp://x/y/../z", "ftp://x/z"}, {"mailto:q", "mailto:q"},
  };
  for (const auto& [ref, want] : cases)
    EXPECT_EQ(ResolveURL(base, ref), want) << ref;
  EXPECT_EQ(ResolveURL("http://u:p@h:81", "dir/"), "http://u:p@h:81/dir/");
}

TEST(ParseLinesTest, StatusLines)
{
  const std::tuple<const char*, bool, int, const char*> cases[] = {
      {"HTTP/1.0 200 OK", true, 200, "OK"},  {"HTTP/1.1 404", true, 404, ""},
      {"HTTP/1.1 301  Moved  ", true, 301, "Moved"}, {"SSH-2.0-OpenSSH", false, 0, ""},
      {"HTTP/1 200 OK", false, 0, ""},       {"HTTP/1.x 200 OK", false, 0, ""},
      {"HTTP/1.1 2x0 OK", false, 0, ""},     {"HTTP/1.1 20", false, 0, ""},
      {"XHTTP 302 Found", true, 302, "Found"}, {"HTTP/1.1 000 Zero", false, 0, ""},
      {"HTTP/1.1 099 Low", false, 0, ""},    {"HTTP/1.1 600 High", false, 0, ""},
      {"HTTP/1.1 100 Continue", true, 100, "Continue"}, {"HTTP/1.1 599 x", true, 599, "x"},
  };
  for (const auto& [line, ok, code, phrase] : cases) {
    int32_t c = 0;
    std::string p;
    ASSERT_EQ(ParseHttpStatusLine(line, c, p), ok) << line;
    if (ok) {
      EXPECT_EQ(std::make_pair(c, p), std::make_pair(int32_t(code), std::string(phrase))) << line;
    }
  }
  std::string name, value;
  ASSERT_TRUE(SplitHeaderLine("content-LENGTH:\t 12 \t", name, value));
  EXPECT_EQ(name + "=" + value, "content-LENGTH=12");
  EXPECT_FALSE(SplitHeaderLine("no colon", name, value));
  EXPECT_EQ(ParseHeaderLength(" 2147483648 "), 2147483648LL);
  for (const char* bad : {"-1", "", "12a", "0x10", "1 2", "9999999999999999999"})
    EXPECT_EQ(ParseHeaderLength(bad), -1) << bad;
}

TEST(ParseLinesTest, FtpReplies)
{
  const std::tuple<const char*, bool, bool, int, const char*> cases[] = {
      {"220 Ready", true, false, 220, "Ready"}, {"220-Welcome", true, true, 0, ""},
      {"- more", true, true, 0, ""},          {"  continued", false, false, 0, ""},
      {"22", false, false, 0, ""},            {"150 Opening (10 bytes)", true, false, 150, "Opening (10 bytes)"},
  };
  for (const auto& [line, ok, skip, code, text] : cases) {
    int32_t c = 0;
    std::string t;
    bool s = false;
    ASSERT_EQ(ParseFtpReplyLine(line, c, t, s), ok) << line;
    EXPECT_EQ(s, skip) << line;
    if (ok && !skip) {
      EXPECT_EQ(std::make_pair(c, t), std::make_pair(int32_t(code), std::string(text))) << line;
    }
  }
}

// A chunked encoding of payload with chunks of random sizes, extensions
// and trailers, for the decoder to undo.
std::string chunked(const std::string& payload, std::mt19937& rng)
{
  std::string out;
  size_t at = 0;
  char size[32];
  while (at < payload.size()) {
    const size_t n = std::min<size_t>(payload.size() - at, 1 + rng() % 300);
    std::snprintf(size, sizeof size, rng() % 2 ? "%zx" : "%zX", n);
    out += size;
    out += rng() % 3 == 0 ? ";name=\"v\"\r\n" : "\r\n";
    out += payload.substr(at, n) + "\r\n";
    at += n;
  }
  out += rng() % 2 ? "0\r\n\r\n" : "000;x\r\nExpires: never\r\n\r\n";
  return out;
}

TEST(ChunkDecoderTest, DecodesEverySplitAndLeavesWhatFollows)
{
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::string payload(rng() % 2000, '\0');
    for (char& c : payload)
      c = char(rng());
    const std::string wire = chunked(payload, rng) + "NEXT";
    TChunkDecoder decoder;
    std::string got, input = wire;
    size_t at = 0;
    TChunkDecoder::TResult result = TChunkDecoder::TResult::More;
    while (at < input.size() && result == TChunkDecoder::TResult::More) {
      const size_t n = std::min<size_t>(input.size() - at, 1 + rng() % 40);
      size_t payloadBytes = 0, consumed = 0;
      result = decoder.Decode(input.data() + at, n, payloadBytes, consumed);
      got.append(input.data() + at, payloadBytes);
      at += consumed;
    }
    ASSERT_EQ(result, TChunkDecoder::TResult::End);
    EXPECT_EQ(got, payload);
    EXPECT_EQ(wire.substr(at), "NEXT");
  }
}

TEST(ChunkDecoderTest, RefusesBrokenFraming)
{
  for (const char* bad : {"x\r\n", "\r\n", "5\r\nabcdeX\r\n", "5\r\nabcde\rX", "1\r\na\r\n0\r\n\rX",
                          "10000000000000000\r\n"}) {
    std::string input = bad;
    size_t payload = 0, consumed = 0;
    EXPECT_EQ(TChunkDecoder().Decode(input.data(), input.size(), payload, consumed), TChunkDecoder::TResult::Bad)
        << bad;
  }
  std::string longExtension = "1;" + std::string(2000, 'e') + "\r\n";
  size_t payload = 0, consumed = 0;
  EXPECT_EQ(TChunkDecoder().Decode(longExtension.data(), longExtension.size(), payload, consumed),
            TChunkDecoder::TResult::Bad);
}

TEST(FixedTextsTest, Base64AndErrorTexts)
{
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"}, {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="}, {"\xff\xfe", "//4="}};
  for (const auto& [in, out] : vectors)
    EXPECT_EQ(EncodeBase64(in), out);
  EXPECT_EQ(HttpStatusText(408), "Request Time-out");
  EXPECT_EQ(HttpStatusText(299), "Unknown HTTP status: 299");
  // Linux numbers differ from the BSD ones behind the codes: mapped by name.
  EXPECT_EQ(WinSockErrorText(platform::wsaErrorOfErrno(ECONNREFUSED)), "Connection refused");
  EXPECT_EQ(WinSockErrorText(platform::wsaErrorOfErrno(ETIMEDOUT)), "Connection timed out");
  EXPECT_EQ(WinSockErrorText(platform::wsaErrorOfErrno(EPIPE)), "Connection reset by peer");
  EXPECT_EQ(WinSockErrorText(platform::wsaErrorOfErrno(ENOENT)), "Unknown WinSock error");
  EXPECT_EQ(WinSockErrorText(platform::wsaErrorOfLookup(EAI_NONAME, 0)), "Host not found");
}

}  // namespace
