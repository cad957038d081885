#include "foundation/inet_stream.h"

#include "foundation/abort.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/utils.h"
#include "platform/file_ops.h"
#include "platform/frame_sink.h"
#include "platform/sockets.h"
#include "platform/ui_bridge.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <unistd.h>

TInetTimeouts InetTimeouts;

namespace {

constexpr int64_t kMaxBody = 2147483647;       // a body must stay below 2 GiB
constexpr int32_t kSizeNotGiven = 2147483647;
constexpr int32_t kLineBuffer = 1024;
constexpr size_t kBodyBlock = 256 * 1024;
constexpr size_t kStepCap = 4 * 1024 * 1024;   // bytes one hand-over takes at most
constexpr int kMaxRedirects = 10;
constexpr int kWorkerSliceMs = 20;             // the worker's wait between flag checks
constexpr int kConnectSliceMs = 20;            // look-up and connect waits between flag checks
const char* const kCutShort = "Connection closed before the end of the document.";

// The running streams. Never destroyed: corpus items may go at program end,
// after other statics.
std::mutex& registryMutex = *new std::mutex;
std::set<TInetSynchroStream*>& registry = *new std::set<TInetSynchroStream*>;

int64_t nowMs()
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool sameText(std::string_view a, std::string_view b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string tooLargeText(const std::string& url)
{
  return "File is too large (2 GB or more): " + url + ".";
}

bool writeAt(int fd, const char* data, size_t count, int64_t offset)
{
  while (count > 0) {
    const ssize_t n = platform::fileops::pwrite(fd, data, count, off_t(offset));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    count -= size_t(n);
    offset += n;
  }
  return true;
}

}  // namespace

// --- construction and destruction -----------------------------------------------

TInetSynchroStream::TInetSynchroStream(const std::string& url)
    : TDownloadStream(MakeTempFileName("IST"), KeptCopyMode)
{
  TempFileName = FileName;
  TempCopy = true;
  {
    std::lock_guard lock(registryMutex);
    registry.insert(this);
  }
  try {
    url_ = url;
    TURLParts parts;
    if (!ParseURL(url, parts))
      throw EInetError("Bad or incomplete URL: " + url + ".");
    takeParts(parts);
    SetState(0);
    workerDone_ = false;
    Thread = std::thread([this] { workerLoop(); });

    // While the FTP server's data connection is awaited, that wait's own
    // limit ends the download with its own message; the header's limit,
    // begun before the exchange, would otherwise always end first.
    platform::UiBridge& bridge = platform::uiBridge();
    const int64_t until = nowMs() + InetTimeouts.Header.count();
    auto awaitingData = [this] { return timeoutKind_.load() == 1 && !workerDone_.load(); };
    while (!HeaderReceived && !Complete_ && !Failed && !ended_ && (nowMs() < until || awaitingData())) {
      bridge.processMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (Failed)
      throw EInetError(ErrorMessage());
    if (StopLoadingURLs)
      throw EAbort();
    if (!HeaderReceived)
      throw EInetError("Connection timeout.");
    if (ContentLength.load() == 0)
      throw EInetError("\"" + url + "\" is a document with zero length.");

    Announced = true;
    ++PendingURLCount;
    platform::frameSink().urlStart(url_, sizeForDisplay());
    if (ended_) {
      // It all arrived while the header was awaited.
      Announced = false;
      --PendingURLCount;
      platform::frameSink().urlDone(url_);
    }
  } catch (...) {
    destroy();
    throw;
  }
}

TInetSynchroStream::~TInetSynchroStream()
{
  destroy();
}

void TInetSynchroStream::destroy()
{
  stopWorker();
  {
    std::lock_guard lock(SocketLock);
    platform::closeSocket(connecting_);
    connecting_ = -1;
  }
  if (!ended_) {
    ended_ = true;
    arrived_.notify_all();
  }
  Disconnect(true);
  {
    std::lock_guard lock(registryMutex);
    registry.erase(this);
  }
  platform::fileops::unlink(TempFileName);
}

void TInetSynchroStream::takeParts(const TURLParts& parts)
{
  Protocol = parts.Protocol;
  UserName = parts.UserName;
  Password = parts.Password;
  HostName = parts.HostName;
  Port = parts.Port;
  Path = parts.Path;
}

std::string TInetSynchroStream::URL() const
{
  std::lock_guard lock(textMutex_);
  return url_;
}

std::string TInetSynchroStream::ErrorMessage() const
{
  std::lock_guard lock(textMutex_);
  return Failed ? ErrorText : std::string();
}

int32_t TInetSynchroStream::GetSize()
{
  const int64_t n = ContentLength.load();
  return n < 0 ? kSizeNotGiven : int32_t(std::min<int64_t>(n, kSizeNotGiven));
}

int32_t TInetSynchroStream::ReadableSize()
{
  return std::min(GetSize(), int32_t(std::min<int64_t>(Received.load(), kSizeNotGiven)));
}

int64_t TInetSynchroStream::sizeForDisplay() const
{
  return ContentLength.load();
}

bool TInetSynchroStream::WaitForPosition(int32_t pos)
{
  auto ready = [&] { return ended_.load() || pos <= Received.load(); };
  if (ready())
    return true;
  platform::UiBridge& bridge = platform::uiBridge();
  const auto until = std::chrono::steady_clock::now() + InetTimeouts.WaitPosition;
  if (bridge.isUiThread()) {
    while (!ready() && std::chrono::steady_clock::now() < until) {
      bridge.processMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  } else {
    std::unique_lock lock(arrivalMutex_);
    arrived_.wait_until(lock, until, ready);
  }
  return ready();
}

// --- steps -----------------------------------------------------------------------

void TInetSynchroStream::raise(const std::string& text)
{
  {
    std::lock_guard lock(textMutex_);
    ErrorText = text;
  }
  Failed = true;
  throw EInetError(text);
}

// "HTTP error 404: "Not Found"", or without the number when it is below 1.
std::string TInetSynchroStream::protocolErrorText(const char* protocol, int32_t code, const std::string& text)
{
  const std::string number = code >= 1 ? " " + std::to_string(code) : std::string();
  return std::string(protocol) + " error" + number + ": \"" + text + "\"";
}

void TInetSynchroStream::RaiseHttpError(int32_t code, const std::string& text)
{
  raise(protocolErrorText("HTTP", code, text));
}

void TInetSynchroStream::RaiseFtpError(int32_t code, const std::string& text)
{
  raise(protocolErrorText("FTP", code, text));
}

void TInetSynchroStream::raiseSocketError(int code)
{
  if (Protocol == 1)
    RaiseFtpError(0, WinSockErrorText(code));
  RaiseHttpError(0, WinSockErrorText(code));
}

void TInetSynchroStream::RaiseNotHttpServer()
{
  raise("Connection established but this is not a HTTP server.");
}

void TInetSynchroStream::status(const std::string& text)
{
  // Inside a hand-over no events may run: they could destroy this stream.
  if (inStep_)
    platform::frameSink().statusText(text);
  else
    SetStatusText(text);
}

void TInetSynchroStream::SetState(uint8_t step)
{
  switch (step) {
  case 0:
    if (Phase != 0)
      raise("Already connected.");
    State = 0;
    resetReply();
    OpenConnection();
    break;
  case 1:
    State = 1;
    SendRequest();
    Phase = 2;
    SetState(2);
    break;
  case 2:
    if (Phase != 2)
      raise("Header not sent.");
    State = 2;
    break;
  case 3:
    if (Phase != 3)
      raise("Header not received.");
    State = 3;
    HeaderReceived = true;
    status(std::string());
    break;
  case 4:
    if (Phase == 0)
      raise("Already disconnected.");
    State = 4;
    Disconnect();
    break;
  default:
    break;
  }
}

void TInetSynchroStream::resetReply()
{
  BufferFill = ReadPos = 0;
  Buffer[0] = 0;
  PendingLF = StatusSeen = Redirect = false;
  Location.clear();
  ReplyText.clear();
  FtpStep = 0;
  ReplyCode = 0;
  ContentLength = -1;
  Complete_ = false;
  Failed = false;
  HeaderReceived = false;
  interim_ = chunked_ = bodyless_ = false;
  chunks_ = TChunkDecoder();
  dataOpen_ = dataClosed_ = transferReplied_ = false;
  ++connection_;
}

// Asks the worker to look the host up and connect; connectedStep or
// connectFailedStep goes on from there on this thread.
void TInetSynchroStream::OpenConnection()
{
  StartWinSock();
  status("Resolving host: " + HostName);
  connectHost_ = HostName;
  connectPort_ = uint16_t(std::stoul(Port));
  connectWanted_ = true;
}

void TInetSynchroStream::sendText(const std::string& text)
{
  // As with a blocking send, the outcome shows in the reply (or its absence).
  (void)platform::sendAll(ControlSocket, text.data(), text.size());
}

void TInetSynchroStream::SendRequest()
{
  if (Protocol == 0) {
    std::string request = "GET " + Path + " HTTP/1.1\r\n";
    request += "Host: " + HostName + "\r\n";
    request += "Agent: Quillmar Pro " + VersionText + "\r\n";
    request += "Accept: *.*, */*\r\n";
    if (!UserName.empty())
      request += "Authorization: Basic " + EncodeBase64(UserName + ":" + Password) + "\r\n";
    request += "\r\n";
    sendText(request);
    return;
  }
  std::string command;
  switch (FtpStep) {
  case 1:
    command = "USER " + (UserName.empty() ? std::string("anonymous") : UserName);
    break;
  case 2:
    command = "PASS " + (UserName.empty() && Password.empty() ? std::string(AnonymousFtpPassword) : Password);
    break;
  case 3: command = "REST 100"; break;
  case 4: command = "REST 0"; break;
  case 5: command = "TYPE I"; break;
  case 6: {
    const auto* b = reinterpret_cast<const unsigned char*>(&LocalAddress);
    command = "PORT " + std::to_string(b[0]) + "," + std::to_string(b[1]) + "," + std::to_string(b[2]) + "," +
              std::to_string(b[3]) + "," + std::to_string(DataPort / 256) + "," + std::to_string(DataPort % 256);
    break;
  }
  case 7: command = "RETR " + Path; break;
  default: break;
  }
  ++FtpStep;
  if (!command.empty())
    sendText(command + "\r\n");
}

void TInetSynchroStream::OpenDataListener()
{
  // Non-blocking, so that taking the server's connection never waits.
  const int fd = platform::createStreamSocket(true);
  if (fd < 0)
    raise("Unable to create FTP data socket.");
  platform::SocketAddress local;
  if (!platform::socketName(ControlSocket, local) || !platform::bindSocket(fd, {local.Address, 0})) {
    platform::closeSocket(fd);
    raise("Unable to bind FTP data socket.");
  }
  platform::SocketAddress bound;
  if (!platform::listenSocket(fd, 50) || !platform::socketName(fd, bound)) {
    platform::closeSocket(fd);
    raise("FTP data socket is unable to listen.");
  }
  LocalAddress = local.Address;
  DataPort = bound.Port;
  std::lock_guard lock(SocketLock);
  DataSocket = fd;
}

void TInetSynchroStream::Disconnect(bool quiet)
{
  if (Phase == 0)
    return;
  Phase = 0;
  ContentLength = Received.load();
  {
    std::lock_guard lock(SocketLock);
    platform::closeSocket(ControlSocket);
    platform::closeSocket(DataSocket);
    ControlSocket = DataSocket = PolledSocket = -1;
  }
  if (!quiet) {
    if (inStep_) {
      platform::frameSink().corpusInfo();
      platform::frameSink().statusText(std::string());
    } else {
      RefreshCorpusInfo();
      SetStatusText(std::string());
    }
  }
  if (Announced) {
    Announced = false;
    --PendingURLCount;
    platform::frameSink().urlDone(URL());
  }
}

// --- replies -------------------------------------------------------------------

void TInetSynchroStream::ProcessReceived()
{
  const unsigned connection = connection_;
  auto takingLines = [&] {
    if (ended_ || connection != connection_)
      return false;
    return State == 2 || (Protocol == 1 && State == 3);
  };
  while (takingLines()) {
    if (Protocol == 1) {
      while (ReadPos < BufferFill && (Buffer[ReadPos] == '\r' || Buffer[ReadPos] == '\n'))
        ++ReadPos;
    } else if (PendingLF && ReadPos < BufferFill) {
      if (Buffer[ReadPos] == '\n')
        ++ReadPos;
      PendingLF = false;
    }
    const void* cr = std::memchr(Buffer + ReadPos, '\r', size_t(BufferFill - ReadPos));
    if (!cr)
      break;
    const int32_t end = int32_t(static_cast<const char*>(cr) - Buffer);
    const std::string line(Buffer + ReadPos, size_t(end - ReadPos));
    int32_t next = end + 1;
    if (Protocol == 1) {
      while (next < BufferFill && (Buffer[next] == '\r' || Buffer[next] == '\n'))
        ++next;
    } else if (next < BufferFill) {
      if (Buffer[next] == '\n')
        ++next;
    } else {
      PendingLF = true;
    }
    ReadPos = next;
    if (Protocol == 0 && line.empty())
      endOfHttpHeader();
    else
      ParseResponseLine(line);
  }
}

void TInetSynchroStream::ParseResponseLine(const std::string& line)
{
  if (Protocol == 0) {
    if (!StatusSeen) {
      int32_t code = 0;
      std::string phrase;
      if (!ParseHttpStatusLine(line, code, phrase))
        RaiseNotHttpServer();
      if (phrase.empty())
        phrase = HttpStatusText(code);
      ReplyCode = code;
      ReplyText = phrase;
      StatusSeen = true;
      if (code >= 400 || code == 101)  // no upgrade was asked for
        RaiseHttpError(code, phrase);
      Redirect = code >= 300;
      interim_ = code >= 100 && code < 200 && code != 101;
      bodyless_ = code == 204 || code == 205;
      return;
    }
    if (!interim_)
      httpHeaderLine(line);
    return;
  }
  int32_t code = 0;
  std::string text;
  bool skip = false;
  if (!ParseFtpReplyLine(line, code, text, skip))
    raise("Bad server response: \"" + line + "\".");
  if (skip)
    return;
  ReplyCode = code;
  ReplyText = text;
  ftpReply(code, text, line);
}

void TInetSynchroStream::httpHeaderLine(const std::string& line)
{
  std::string name, value;
  if (!SplitHeaderLine(line, name, value))
    return;
  auto length = [&](const std::string& text) {
    const int64_t n = ParseHeaderLength(text);
    if (n < 0)
      RaiseHttpError(0, "Bad Content-Length: " + text + ".");
    if (n > kMaxBody)
      raise(tooLargeText(url_));
    ContentLength = n;
  };
  if (sameText(name, "Content-Encoding")) {
    RaiseHttpError(0, "Unsupported encoding: " + value + ".");
  } else if (sameText(name, "Transfer-Encoding")) {
    if (!sameText(value, "chunked"))
      RaiseHttpError(0, "Unsupported encoding: " + value + ".");
    chunked_ = true;
  } else if (sameText(name, "Location")) {
    Location = value;
  } else if (sameText(name, "Content-Length")) {
    length(value);
  } else if (sameText(name, "Content-Range")) {
    const size_t slash = value.find('/');
    if (slash != std::string::npos) {
      std::string total = value.substr(slash + 1);
      total.erase(0, total.find_first_not_of(" \t"));
      total.erase(total.find_last_not_of(" \t") + 1);
      length(total);
    }
  }
}

void TInetSynchroStream::endOfHttpHeader()
{
  if (interim_) {
    // An interim reply: its status line and header go; the real one follows.
    interim_ = false;
    StatusSeen = Redirect = false;
    return;
  }
  if (Redirect) {
    if (Location.empty())
      RaiseHttpError(0, "Redirection required but redirect URL was not specified.");
    if (++redirects_ > kMaxRedirects)
      RaiseHttpError(0, "Too many redirects.");
    const std::string target = ResolveURL(url_, Location);
    TURLParts parts;
    if (!ParseURL(target, parts))
      raise("Bad or incomplete URL: " + Location + ".");
    SetState(4);
    {
      std::lock_guard lock(textMutex_);
      url_ = target;
    }
    takeParts(parts);
    SetState(0);
    return;
  }
  Phase = 3;
  if (chunked_)
    ContentLength = -1;
  else if (bodyless_)
    ContentLength = 0;
  enterBody();
  if (!chunked_ && ContentLength.load() == 0) {
    finishComplete();
    return;
  }
  const int32_t left = BufferFill - ReadPos;
  char* rest = Buffer + ReadPos;
  ReadPos = BufferFill;
  deliver(rest, size_t(left));
}

void TInetSynchroStream::enterBody()
{
  SetState(3);
  timeoutKind_ = 2;
  touch();
}

void TInetSynchroStream::ftpReply(int32_t code, const std::string& text, const std::string& line)
{
  switch (FtpStep) {
  case 1:
    if (code == 120)
      return;  // the server is not ready yet; 220 follows
    if (code == 220)
      return SetState(1);
    break;
  case 2:
    if (code == 230) {
      FtpStep = 3;  // logged in without a password
      return SetState(1);
    }
    if (code == 331)
      return SetState(1);
    break;
  case 3:
    if (code == 230)
      return SetState(1);
    break;
  case 4:
  case 5:
    return SetState(1);
  case 6:
    if (code == 200) {
      OpenDataListener();
      return SetState(1);
    }
    break;
  case 7:
    if (code == 200)
      return SetState(1);
    break;
  case 8:
    if (code == 150 || code == 125)
      return openTransfer(line);
    break;
  default:
    return transferReply(code, text);
  }
  RaiseFtpError(code, text);
}

void TInetSynchroStream::openTransfer(const std::string& line)
{
  const size_t open = line.find('(');
  if (open != std::string::npos) {
    size_t end = open + 1;
    while (end < line.size() && end - open <= 18 && line[end] >= '0' && line[end] <= '9')
      ++end;
    if (end > open + 1) {
      const int64_t size = std::stoll(line.substr(open + 1, end - open - 1));
      if (size > kMaxBody)
        raise(tooLargeText(url_));
      ContentLength = size;
    }
  }
  FtpStep = 9;
  {
    std::lock_guard lock(SocketLock);
    PolledSocket = DataSocket;
  }
  timeoutKind_ = 1;
  touch();
  acceptData();
}

void TInetSynchroStream::acceptData()
{
  while (!dataOpen_ && DataSocket >= 0 && FtpStep >= 9) {
    platform::SocketAddress peer;
    const int conn = platform::acceptSocket(DataSocket, &peer);
    if (conn < 0)
      return;  // none yet
    if (peer.Address != controlPeer_) {
      platform::closeSocket(conn);  // not from our server
      continue;
    }
    {
      std::lock_guard lock(SocketLock);
      platform::closeSocket(DataSocket);
      DataSocket = conn;
      PolledSocket = conn;
    }
    dataOpen_ = true;
    Phase = 3;
    enterBody();
  }
}

void TInetSynchroStream::transferReply(int32_t code, const std::string& text)
{
  if (code >= 100 && code < 200)
    return;
  if (code != 226 && code != 250)
    RaiseFtpError(code, text);
  transferReplied_ = true;
  touch();
  if (dataClosed_)
    finishTransfer();
}

// --- body ------------------------------------------------------------------------

void TInetSynchroStream::deliver(char* data, size_t count)
{
  if (PendingLF && count > 0) {
    PendingLF = false;
    if (*data == '\n') {
      ++data;
      --count;
    }
  }
  if (Protocol == 1) {
    append(data, count);
    if (ContentLength.load() < Received.load())
      ContentLength = Received.load();
    return;
  }
  if (chunked_) {
    size_t payload = 0, consumed = 0;
    const auto result = chunks_.Decode(data, count, payload, consumed);
    append(data, payload);
    if (result == TChunkDecoder::TResult::Bad)
      RaiseHttpError(0, "Bad chunked encoding.");
    if (result == TChunkDecoder::TResult::End)
      finishComplete();
    return;
  }
  const int64_t length = ContentLength.load();
  if (length >= 0) {
    append(data, size_t(std::min<int64_t>(int64_t(count), length - Received.load())));
    if (Received.load() >= length)
      finishComplete();
    return;
  }
  append(data, count);
}

void TInetSynchroStream::append(const char* data, size_t count)
{
  if (count == 0)
    return;
  const int64_t at = Received.load();
  if (at + int64_t(count) > kMaxBody)
    raise(tooLargeText(url_));
  {
    std::lock_guard lock(Mutex());
    if (!writeAt(Handle, data, count, at))
      raise("Unable to write file: " + TempFileName + ".");
    Received = at + int64_t(count);
  }
  {
    std::lock_guard lock(arrivalMutex_);
  }
  arrived_.notify_all();
}

void TInetSynchroStream::finishComplete()
{
  Complete_ = true;
  end();
}

void TInetSynchroStream::finishTransfer()
{
  // A transfer that ends short of the size its opening reply announced was
  // cut off, whatever the server replies.
  if (Received.load() < ContentLength.load())
    RaiseFtpError(0, kCutShort);
  finishComplete();
}

void TInetSynchroStream::end()
{
  if (ended_)
    return;
  timeoutKind_ = 0;
  {
    std::lock_guard lock(arrivalMutex_);
    ended_ = true;
  }
  arrived_.notify_all();
  Disconnect();
}

void TInetSynchroStream::fail(const std::string& text)
{
  if (ended_)
    return;
  const bool shown = Announced;
  {
    std::lock_guard lock(textMutex_);
    ErrorText = text;
  }
  Failed = true;
  end();
  if (shown)
    platform::uiBridge().post([text] { ShowError(text); });
}

// --- hand-overs ------------------------------------------------------------------

template <class Body>
void TInetSynchroStream::handOver(Body&& body)
{
  inStep_ = true;
  try {
    body();
  } catch (const std::exception& e) {
    fail(e.what());
  }
  inStep_ = false;
}

void TInetSynchroStream::readStep()
{
  if (stop_ || ended_)
    return;
  ++readSteps_;
  const int64_t before = Received.load();
  handOver([this] {
    if (Protocol == 1 && FtpStep >= 9) {
      acceptData();
      if (dataOpen_ && !dataClosed_)
        receiveBody(DataSocket);
      if (!ended_ && ControlSocket >= 0)
        receiveControl();
    } else if (State == 3) {
      receiveBody(ControlSocket);
    } else {
      receiveControl();
    }
  });
  if (!ended_ && Announced && Received.load() != before)
    platform::frameSink().urlProgress(URL(), Received.load());
}

void TInetSynchroStream::receiveControl()
{
  if (ReadPos > 0) {
    std::memmove(Buffer, Buffer + ReadPos, size_t(BufferFill - ReadPos));
    BufferFill -= ReadPos;
    ReadPos = 0;
  }
  const unsigned connection = connection_;
  long n = 0;
  if (BufferFill < kLineBuffer) {
    n = platform::receiveSome(ControlSocket, Buffer + BufferFill, size_t(kLineBuffer - BufferFill), true);
    if (n < 0 && platform::lastSocketError() == 10035)
      return;  // woken by the other socket
    if (n < 0 && !(Protocol == 1 && transferReplied_))
      raiseSocketError(platform::lastSocketError());
    if (n > 0) {
      BufferFill += int32_t(n);
      touch();
    }
  }
  Buffer[BufferFill] = 0;
  if (BufferFill > 0)
    ProcessReceived();
  if (ended_ || connection != connection_)
    return;
  // A full buffer without a line end counts as a closed connection.
  if (n <= 0 || (ReadPos == 0 && BufferFill >= kLineBuffer))
    controlClosed();
}

void TInetSynchroStream::controlClosed()
{
  Closed = true;
  if (Protocol == 1 && FtpStep >= 9) {
    if (!transferReplied_)
      RaiseFtpError(0, kCutShort);
    if (dataClosed_) {
      finishTransfer();
      return;
    }
    // The reply came; the data goes on.
    std::lock_guard lock(SocketLock);
    platform::closeSocket(ControlSocket);
    ControlSocket = -1;
    return;
  }
  end();  // before the header: the constructor reports it
}

void TInetSynchroStream::receiveBody(int fd)
{
  if (block_.empty())
    block_.resize(kBodyBlock);
  size_t total = 0;
  while (!ended_ && total < kStepCap) {
    const long n = platform::receiveSome(fd, block_.data(), block_.size(), true);
    if (n > 0) {
      total += size_t(n);
      touch();
      deliver(block_.data(), size_t(n));
      continue;
    }
    if (n < 0 && platform::lastSocketError() == 10035)
      return;
    if (n < 0)
      raiseSocketError(platform::lastSocketError());  // a reset is no end
    Closed = true;
    if (Protocol == 1) {
      dataConnectionClosed();
      return;
    }
    if (chunked_ || (ContentLength.load() >= 0 && Received.load() < ContentLength.load()))
      RaiseHttpError(0, kCutShort);
    finishComplete();  // a reply without a length ends with the connection
    return;
  }
}

void TInetSynchroStream::dataConnectionClosed()
{
  {
    std::lock_guard lock(SocketLock);
    platform::closeSocket(DataSocket);
    DataSocket = -1;
    PolledSocket = ControlSocket;
  }
  dataClosed_ = true;
  if (transferReplied_) {
    finishTransfer();
    return;
  }
  if (ControlSocket < 0)
    RaiseFtpError(0, kCutShort);
  touch();  // the transfer reply is awaited
}

void TInetSynchroStream::timeoutStep()
{
  if (stop_ || ended_)
    return;
  handOver([this] {
    const int64_t idle = nowMs() - lastActivity_.load();
    if (timeoutKind_ == 1 && !dataOpen_ && idle >= InetTimeouts.DataConnection.count())
      raise("No response from FTP server to our data connection.");
    if (timeoutKind_ == 2 && idle >= InetTimeouts.Idle.count())
      raise("Connection timeout.");
  });
}

void TInetSynchroStream::userStopStep()
{
  if (ended_)
    return;
  handOver([this] { end(); });
}

void TInetSynchroStream::touch()
{
  lastActivity_ = nowMs();
}

// --- the worker ------------------------------------------------------------------

void TInetSynchroStream::workerLoop()
{
  platform::UiBridge& bridge = platform::uiBridge();
  auto handOver = [&](void (TInetSynchroStream::*step)()) {
    bridge.synchronize([this, step] {
      if (!stop_)
        (this->*step)();
    });
  };
  while (!stop_ && !ended_) {
    if (StopLoadingURLs) {
      handOver(&TInetSynchroStream::userStopStep);
      break;
    }
    if (connectWanted_.exchange(false)) {
      workerConnect();
      continue;
    }
    int fds[2];
    size_t count = 0;
    {
      std::lock_guard lock(SocketLock);
      if (PolledSocket >= 0)
        fds[count++] = PolledSocket;
      if (ControlSocket >= 0 && ControlSocket != PolledSocket)
        fds[count++] = ControlSocket;
    }
    if (count == 0)
      break;
    const int ready = platform::pollReadable(fds, count, kWorkerSliceMs);
    if (stop_ || StopLoadingURLs)
      continue;
    if (ready > 0) {
      handOver(&TInetSynchroStream::readStep);
    } else if (ready == 0) {
      const int kind = timeoutKind_.load();
      const int64_t limit = kind == 1 ? InetTimeouts.DataConnection.count() : InetTimeouts.Idle.count();
      if (kind != 0 && nowMs() - lastActivity_.load() >= limit)
        handOver(&TInetSynchroStream::timeoutStep);
    } else {
      handOver(&TInetSynchroStream::userStopStep);
      break;
    }
  }
  workerDone_ = true;
}

// On the worker: the look-up and the connect, each waited for in short
// slices so that a stop ends them at once. What follows runs on the
// user-interface thread. A stop leaves the loop to act on it.
void TInetSynchroStream::workerConnect()
{
  platform::UiBridge& bridge = platform::uiBridge();
  const std::string host = connectHost_;
  auto stopped = [this] { return stop_.load() || StopLoadingURLs.load(); };
  auto failWith = [&](const std::string& text) {
    bridge.synchronize([this, text] {
      if (!stop_)
        connectFailedStep(text);
    });
  };

  int64_t until = nowMs() + InetTimeouts.Connect.count();
  platform::NameLookup lookup(host);
  while (!lookup.Wait(kConnectSliceMs)) {
    if (stopped())
      return;  // the look-up ends alone
    if (nowMs() >= until)
      return failWith("Invalid or uknown host: " + host);
  }
  uint32_t address = 0;
  int error = 0;
  if (!lookup.Result(address, error))
    return failWith("Invalid or uknown host: " + host);
  bridge.synchronize([this, host] {
    if (!stop_)
      statusStep("Contacting host: " + host);
  });

  const int fd = platform::createStreamSocket();
  if (fd < 0)
    return failWith("Unable to create client socket.");
  {
    std::lock_guard lock(SocketLock);
    connecting_ = fd;
  }
  until = nowMs() + InetTimeouts.Connect.count();
  int rc = platform::beginConnect(fd, {address, connectPort_});
  int code = rc < 0 ? platform::lastSocketError() : 0;
  while (rc == 0 && !stopped()) {
    const int64_t left = until - nowMs();
    if (left <= 0) {
      rc = -1;
      code = 10060;  // timed out
      break;
    }
    rc = platform::finishConnect(fd, int(std::min<int64_t>(left, kConnectSliceMs)));
    if (rc < 0)
      code = platform::lastSocketError();
  }
  if (rc == 1) {
    bridge.synchronize([this] {
      if (!stop_)
        connectedStep();
    });
    return;
  }
  {
    std::lock_guard lock(SocketLock);
    platform::closeSocket(connecting_);
    connecting_ = -1;
  }
  if (rc < 0)
    failWith("Unable to connect to: " + host + ".\r\nWinSock error: " + WinSockErrorText(code) + ".");
}

void TInetSynchroStream::connectedStep()
{
  if (ended_)
    return;
  handOver([this] {
    int fd;
    {
      std::lock_guard lock(SocketLock);
      fd = connecting_;
      connecting_ = -1;
      ControlSocket = fd;
      PolledSocket = fd;
    }
    status("Host: " + HostName + " contacted, waiting for reply");
    platform::SocketAddress peer;
    controlPeer_ = platform::peerName(fd, peer) ? peer.Address : 0;
    Phase = 1;
    touch();
    SetState(1);
  });
}

void TInetSynchroStream::connectFailedStep(const std::string& text)
{
  if (ended_)
    return;
  handOver([this, &text] { fail(text); });
}

void TInetSynchroStream::statusStep(const std::string& text)
{
  if (ended_)
    return;
  handOver([this, &text] { status(text); });
}

void TInetSynchroStream::stopWorker()
{
  if (!Thread.joinable())
    return;
  stop_ = true;
  {
    std::lock_guard lock(SocketLock);
    platform::shutdownSocket(ControlSocket);
    platform::shutdownSocket(DataSocket);
  }
  // The worker may wait for a hand-over: let it run (it does nothing now).
  platform::UiBridge& bridge = platform::uiBridge();
  while (!workerDone_) {
    if (bridge.isUiThread())
      bridge.processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  Thread.join();
}

void StopAllDownloads()
{
  std::vector<TInetSynchroStream*> streams;
  {
    std::lock_guard lock(registryMutex);
    streams.assign(registry.begin(), registry.end());
  }
  for (TInetSynchroStream* s : streams) {
    {
      std::lock_guard lock(registryMutex);
      if (!registry.count(s))
        continue;  // destroyed while events ran
    }
    s->stopWorker();
    if (!s->ended_) {
      s->ended_ = true;
      s->arrived_.notify_all();
    }
    s->Disconnect(true);
  }
}

void InstallDownloadClient()
{
  SetDownloadFactory([](const std::string& url) -> std::unique_ptr<TDownloadStream> {
    return std::make_unique<TInetSynchroStream>(url);
  });
}
