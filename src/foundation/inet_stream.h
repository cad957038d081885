// The download client: a corpus item's source stream filled from an http://
// or ftp:// URL while the corpus readers already read it.
//
// All protocol work, the file appends included, runs on the user-interface
// thread. One worker thread per download looks the host up and connects
// (the look-up on a thread of its own that may be abandoned, the connect
// polled in short slices, both checking Stop Loading URLs), then only waits
// until one of its sockets is readable (or a time-out is due) and hands each
// such moment over to the user-interface thread
// (platform::uiBridge().synchronize). No socket call on the user-interface
// thread blocks: the receives do not wait and the FTP data listener is
// non-blocking. The stream owns
// the worker: stopping it sets a flag, shuts the sockets down to wake the
// wait, lets queued hand-overs run and joins. Sockets are closed only inside
// a hand-over or after the join, so no wait is ever on a closed descriptor.
//
// HTTP: one GET per connection (HTTP/1.1), redirects followed up to ten
// times (relative targets resolved), chunked bodies decoded, a body cut at
// its Content-Length. FTP: active mode, binary, the reply to the transfer
// checked at the end.
//
// The parsers (ParseURL, ResolveURL, the status and reply lines, the
// chunked-body decoder) work on plain bytes and need no socket.
#pragma once

#include "foundation/corpus_list.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A failure of the download client; the message is shown as it stands.
class EInetError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// --- plain-byte pieces -------------------------------------------------------

struct TURLParts {
  uint8_t Protocol = 0;      // 0 HTTP, 1 FTP
  std::string UserName;      // empty when the URL has none
  std::string Password;
  std::string HostName;
  std::string Port;          // decimal text; "80" or "21" when not given
  std::string Path;          // begins with "/"
};

// Splits a URL "scheme://[user[:password]@]host[:port][/path][?query][#fragment]".
// The authority ends at the first "/", "?" or "#"; the path keeps the query
// (with "/" put in front when the path is empty) and loses the fragment;
// the user information ends at the last "@" of the authority. The text is
// trimmed; a byte below 0x21 or 0x7F inside it, a scheme other than http or
// ftp (any case), empty user information before "@", an empty host, or a
// port that is empty, above 65535 or no number (decimal, "$hex", "0xhex")
// make it fail. Nothing is percent-decoded.
bool ParseURL(std::string_view url, TURLParts& parts);
// A redirect target resolved against the URL it came from (RFC 3986 5.2):
// a reference with a scheme stands alone, "//" keeps the scheme, "/" the
// authority, any other path merges with the base's folder; dot segments are
// removed and the fragment is dropped.
std::string ResolveURL(std::string_view base, std::string_view reference);

// RFC 2045 Base64, padded, without line breaks.
std::string EncodeBase64(std::string_view text);
// The RFC 2068 reason phrase, or "Unknown HTTP status: %d".
std::string HttpStatusText(int32_t code);
// The text of a Windows Sockets error code, or "Unknown WinSock error".
std::string WinSockErrorText(int code);
// The socket library's start-up flag: set at the first connect.
void StartWinSock();
void StopWinSock();
bool WinSockStarted();
// Sent as the password of an anonymous FTP login.
extern const char* const AnonymousFtpPassword;

// An HTTP status line: false when it does not come from an HTTP server
// (a status code outside 100 to 599 included).
// phrase is the trimmed reason phrase (empty when there is none).
bool ParseHttpStatusLine(std::string_view line, int32_t& code, std::string& phrase);
// An HTTP header line "Name: value": the name up to the colon and the value
// without the blanks and tabs around it; false without a colon.
bool SplitHeaderLine(std::string_view line, std::string& name, std::string& value);
// A length from a header value: a decimal number of up to 18 digits after
// optional blanks; -1 for anything else.
int64_t ParseHeaderLength(std::string_view value);
// An FTP reply line. False: the line is no reply ("Bad server response").
// skip: a line of a multi-line reply, to be ignored.
bool ParseFtpReplyLine(std::string_view line, int32_t& code, std::string& text, bool& skip);

// Decodes a chunked HTTP body in place, fed in pieces of any size.
class TChunkDecoder {
public:
  enum class TResult { More, End, Bad };
  // Decodes data[0, count): the payload bytes among them move to the front
  // of data and payload tells how many. consumed is the input used: all of
  // it, except at End, where the bytes behind the last chunk's trailers are
  // left. After End or Bad every call gives the same result and nothing.
  TResult Decode(char* data, size_t count, size_t& payload, size_t& consumed);

private:
  enum class TState { Size, Extension, SizeLF, Data, DataCR, DataLF, Trailer, TrailerLF, End, Bad };
  TState state_ = TState::Size;
  uint64_t left_ = 0;        // payload bytes still due in the current chunk
  int digits_ = 0;
  size_t lineLength_ = 0;    // bounds size and trailer lines
  bool trailerEmpty_ = true;
};

// How long the client waits; tests shorten them.
struct TInetTimeouts {
  std::chrono::milliseconds Connect{30000};         // the connect
  // The reply header, in the constructor; while the FTP data connection is
  // awaited, DataConnection alone bounds the wait.
  std::chrono::milliseconds Header{60000};
  std::chrono::milliseconds DataConnection{60000};  // the FTP server's data connection
  std::chrono::milliseconds Idle{60000};            // no byte in the body or before the transfer reply
  std::chrono::milliseconds WaitPosition{2000};     // WaitForPosition
};
extern TInetTimeouts InetTimeouts;

// --- the stream ----------------------------------------------------------------

class TInetSynchroStream : public TDownloadStream {
public:
  // Creates the download file ("IST" in the temp folder), connects and
  // returns once the reply header has arrived. Throws EInetError with the
  // message to show, or EAbort when the user stopped the downloads.
  explicit TInetSynchroStream(const std::string& url);
  // Stops the download and deletes the download file.
  ~TInetSynchroStream() override;

  std::string URL() const override;
  bool Done() const override { return ended_.load(); }
  bool SizeKnown() const override { return ContentLength.load() >= 0; }
  bool Complete() const override { return Complete_.load(); }
  // The size the server gave (FTP: announced, rising with what arrived);
  // 2147483647 while none is known; after the end, the bytes received.
  int32_t GetSize() override;
  // Waits (at most 2000 ms, letting events run on the user-interface thread)
  // until the bytes before pos have arrived or the download has ended.
  bool WaitForPosition(int32_t pos) override;
  // What has arrived, below GetSize() while the body is still arriving.
  int32_t ReadableSize() override;

  // The error that ended the download, empty when none.
  std::string ErrorMessage() const;
  int64_t ReceivedBytes() const { return Received.load(); }
  // Hand-overs run so far (for measurements).
  int64_t ReadSteps() const { return readSteps_.load(); }

private:
  friend void StopAllDownloads();

  // Steps, as in the exchange: 0 connect, 1 send, 2 read header, 3 read
  // body, 4 disconnect.
  void SetState(uint8_t step);
  void OpenConnection();
  void SendRequest();
  void ParseResponseLine(const std::string& line);
  void OpenDataListener();
  [[noreturn]] void RaiseHttpError(int32_t code, const std::string& text);
  [[noreturn]] void RaiseFtpError(int32_t code, const std::string& text);
  [[noreturn]] void RaiseNotHttpServer();
  // A receive failed (a reset, say): the download ends with its text.
  [[noreturn]] void raiseSocketError(int code);
  [[noreturn]] void raise(const std::string& text);
  static std::string protocolErrorText(const char* protocol, int32_t code, const std::string& text);
  void Disconnect(bool quiet = false);

  void destroy();
  void takeParts(const TURLParts& parts);
  void status(const std::string& text);
  void resetReply();
  void sendText(const std::string& text);
  void ProcessReceived();
  void endOfHttpHeader();
  void httpHeaderLine(const std::string& line);
  void ftpReply(int32_t code, const std::string& text, const std::string& line);
  void openTransfer(const std::string& line);
  void acceptData();
  void transferReply(int32_t code, const std::string& text);
  void enterBody();
  void deliver(char* data, size_t count);
  void append(const char* data, size_t count);
  void finishComplete();
  // The FTP transfer has ended with its reply and its data connection closed.
  void finishTransfer();
  void fail(const std::string& text);
  void end();

  // Hand-overs, run on the user-interface thread.
  void readStep();
  void receiveControl();
  void controlClosed();
  void receiveBody(int fd);
  void dataConnectionClosed();
  void timeoutStep();
  void userStopStep();

  void workerLoop();
  void workerConnect();
  void connectedStep();
  void connectFailedStep(const std::string& text);
  void statusStep(const std::string& text);
  // Runs one hand-over body with no events allowed; an error it raises ends
  // the download with that error's text.
  template <class Body>
  void handOver(Body&& body);
  void stopWorker();
  void touch();
  int64_t sizeForDisplay() const;

  // The Part's fields.
  std::string url_;
  std::string UserName, Password, HostName, Port, Path;
  uint8_t Protocol = 0;
  std::thread Thread;
  int ControlSocket = -1;
  int PolledSocket = -1;
  std::mutex SocketLock;     // guards the descriptors the worker waits on
  int DataSocket = -1;
  uint32_t LocalAddress = 0;
  int32_t DataPort = 0;
  uint8_t State = 0;
  uint8_t Phase = 0;
  char Buffer[1025] = {};
  int32_t BufferFill = 0;
  int32_t ReadPos = 0;
  bool PendingLF = false;
  bool StatusSeen = false;
  bool Redirect = false;
  std::string Location;
  uint8_t FtpStep = 0;
  int32_t ReplyCode = 0;
  std::string ReplyText;
  std::atomic<bool> Complete_{false};  // the whole body arrived
  bool Closed = false;
  std::atomic<bool> Failed{false};
  std::string ErrorText;
  std::atomic<int64_t> ContentLength{-1};  // -1: not known
  std::atomic<int64_t> Received{0};
  std::atomic<bool> HeaderReceived{false};
  std::string TempFileName;
  bool Announced = false;

  // Our own state.
  std::atomic<bool> ended_{false};        // no more bytes will arrive
  std::atomic<bool> stop_{false};         // the worker is to end
  std::atomic<bool> workerDone_{true};
  std::atomic<int64_t> readSteps_{0};
  std::atomic<int64_t> lastActivity_{0};  // steady clock, ms
  std::atomic<int> timeoutKind_{0};       // 0 none, 1 data connection, 2 idle
  std::atomic<bool> connectWanted_{false};  // the worker is to look up and connect
  std::string connectHost_;               // what it connects to, set before
  uint16_t connectPort_ = 0;
  int connecting_ = -1;                   // the socket being connected (SocketLock)
  mutable std::mutex textMutex_;       // URL and error text, read by any thread
  std::mutex arrivalMutex_;
  std::condition_variable arrived_;
  bool inStep_ = false;                   // inside a hand-over: no events may run
  bool interim_ = false;                  // a 1xx header block is being skipped
  bool chunked_ = false;
  bool bodyless_ = false;                 // 204, 205
  int redirects_ = 0;
  unsigned connection_ = 0;               // counts connects
  TChunkDecoder chunks_;
  std::vector<char> block_;               // body receive block
  uint32_t controlPeer_ = 0;              // FTP: the server's address
  bool dataOpen_ = false;                 // FTP: the data connection is accepted
  bool dataClosed_ = false;
  bool transferReplied_ = false;
};

// Stops every running download and waits for its worker. The application
// calls it before the frame and the toolkit go.
void StopAllDownloads();
// Makes the corpus list download URLs with this client.
void InstallDownloadClient();
