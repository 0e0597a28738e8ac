// THTTPGet: fetches one HTTP resource on a worker thread and reports the outcome on the GUI
// thread, as text (OnDoneString), as a file (OnDoneFile) or as a failure (OnError).
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/Classes.h"
#include "framework/Thread.h"
#include "tray/SimpleTimer.h"

namespace evesk {

using TOnProgressEvent = std::function<void(TObject* sender, int totalSize, int readed)>;
using TOnDoneFileEvent = std::function<void(TObject* sender, const std::string& fileName, int fileSize)>;
using TOnDoneStringEvent = std::function<void(TObject* sender, const std::string& result)>;

// The most a text request holds in memory; a longer body is a failure.
constexpr std::int32_t kMaxTextBody = 16 * 1024 * 1024;

class THTTPGet;
class TWinInetApi;

// Why a request failed, for the OnError handler: a caller may wait for a network that is not
// up yet, but must not take a server's bad answer for one.
enum class THTTPFailure {
  hfNone,          // the request succeeded
  hfNoConnection,  // no reply at all: no network, unknown host, refused, unreachable, timed out
  hfReply,         // the server answered, but not acceptably (no length, empty, cut off)
  hfSecurity,      // the secure connection failed: an untrusted or unfitting certificate
  hfCancelled,     // CancelRequest or the component's end
  hfOther          // nothing was sent (a bad address, no thread) or a local file failed
};

// Connect, send and receive limits of a request, in milliseconds: long enough for a slow
// dial-up line, short enough that a stalled server ends the check as a failure.
constexpr unsigned kDefaultTimeout = 30000;

// The limits of one whole request, whatever the server does. The platform's own limits are per
// operation: a handshake that stalls, a trickle of one byte a second or a flood of header lines
// never trips them.
// - Deadline: connect, handshake, redirects, headers and body together, in milliseconds.
constexpr unsigned kDefaultDeadline = 120000;
// - Redirects followed (the request makes at most one more than this).
constexpr int kMaxRedirects = 5;
// - Bytes received, headers of every hop included, that the platform reports (text requests).
constexpr std::int64_t kReplyBudget = kMaxTextBody + 256 * 1024;
// - Growth of the program's private memory while the platform reads a reply's headers. Wine's
//   library reports no bytes until the headers are complete and keeps every line it reads, so
//   an endless header is seen only as memory.
constexpr std::size_t kHeaderMemoryBudget = 12 * 1024 * 1024;

// One request: created by THTTPGet with copies of its properties, runs once and frees itself.
class THTTPGetThread final : public TThread {
 public:
  struct TSettings {
    std::string AcceptTypes, Agent, URL, FileName, UserName, Password, PostData, Referer, Proxy, ProxyBypass;
    bool BinaryData = false, UseCache = false, ToFile = false;
    unsigned Timeout = kDefaultTimeout;
    std::int64_t Budget = kReplyBudget;
    // The platform's HTTP library, loaded by the first request; null with ApiError when it
    // could not be.
    std::shared_ptr<const TWinInetApi> Api;
    unsigned long ApiError = 0;
  };
  explicit THTTPGetThread(TSettings settings);

  // Written by the worker; read on the GUI thread once the body has ended.
  const std::string& ResultText() const { return FResultText; }
  std::int32_t ContentLength() const { return FContentLength; }
  std::int32_t BytesTotal() const { return FBytesTotal; }
  const TSettings& Settings() const { return FSettings; }
  std::atomic<bool> Succeeded{false};
  // Why the body failed and the platform's error code, when it had one; read after the body.
  THTTPFailure Failure() const { return FFailure; }
  unsigned long ErrorCode() const { return FErrorCode; }
  // Runs on the GUI thread after each chunk; read there only, so it may be cleared any time.
  TOnProgressEvent OnProgress;
  // What the component's watchdog reads while the worker may be blocked in the platform,
  // written by the worker and by the platform's status reports on its thread.
  std::atomic<bool> InSend{false};         // inside the send: the platform reads the headers
  std::atomic<bool> Sent{false};           // the request has reached the server
  std::atomic<std::int64_t> Received{0};   // bytes the platform reported received

 protected:
  void Execute() override;

 private:
  friend class THTTPGet;
  struct THandleList;
  bool Run(THandleList& open);
  bool ReceiveReply(void* request);                  // request: the WinINet request handle
  bool ReceiveBody(void* request, bool haveLength);
  bool Fail(THTTPFailure kind, unsigned long code = 0);

  // Runs on the GUI thread with the outcome, before the handles are closed; cleared there when
  // the component gives up on the request.
  std::function<void(THTTPGetThread*)> OnFinished;

  // Whether OnProgress was assigned: spares a trip to the GUI thread per chunk when not.
  std::atomic<bool> FHasProgress{false};
  const TSettings FSettings;
  std::string FResultText;
  std::int32_t FContentLength = 0;
  std::int32_t FBytesTotal = 0;
  THTTPFailure FFailure = THTTPFailure::hfOther;
  unsigned long FErrorCode = 0;
};

class THTTPGet : public TComponent {
 public:
  explicit THTTPGet(TComponent* owner);
  ~THTTPGet() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Start a request unless one is running (a start meanwhile is ignored and reports nothing).
  void RequestString();
  void RequestFile();
  // The running request stops at its next checkpoint and reports OnError.
  void CancelRequest();
  bool Running() const { return FThread != nullptr; }
  // Outcome of the last completed request.
  bool Succeeded() const { return FSucceeded; }
  // Why the last completed request failed (hfNone after a success), and the platform's error
  // code when there was one; set before OnError is raised.
  THTTPFailure Failure() const { return FFailure; }
  unsigned long ErrorCode() const { return FErrorCode; }

  const std::string& AcceptTypes() const { return FAcceptTypes; }
  void SetAcceptTypes(const std::string& v) { FAcceptTypes = v; }
  const std::string& Agent() const { return FAgent; }
  void SetAgent(const std::string& v) { FAgent = v; }
  bool BinaryData() const { return FBinaryData; }
  void SetBinaryData(bool v) { FBinaryData = v; }
  const std::string& URL() const { return FURL; }
  void SetURL(const std::string& v) { FURL = v; }
  bool UseCache() const { return FUseCache; }
  void SetUseCache(bool v) { FUseCache = v; }
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& v) { FFileName = v; }
  const std::string& UserName() const { return FUserName; }
  void SetUserName(const std::string& v) { FUserName = v; }
  const std::string& Password() const { return FPassword; }
  void SetPassword(const std::string& v) { FPassword = v; }
  const std::string& PostQuery() const { return FPostQuery; }
  void SetPostQuery(const std::string& v) { FPostQuery = v; }
  const std::string& Referer() const { return FReferer; }
  void SetReferer(const std::string& v) { FReferer = v; }
  bool WaitThread() const { return FWaitThread; }
  void SetWaitThread(bool v) { FWaitThread = v; }
  // "host:port" of a proxy to use instead of the system's settings; empty: the system's.
  const std::string& Proxy() const { return FProxy; }
  void SetProxy(const std::string& v) { FProxy = v; }
  // The limit of a whole request, in milliseconds (at least 1); kDefaultDeadline.
  unsigned Deadline() const { return FDeadline; }
  void SetDeadline(int v) { FDeadline = v < 1 ? 1u : static_cast<unsigned>(v); }
  // Each of the connect, send and receive limits, in milliseconds (at least 1).
  unsigned Timeout() const { return FTimeout; }
  void SetTimeout(int v) { FTimeout = v < 1 ? 1u : static_cast<unsigned>(v); }
  const std::string& ProxyBypass() const { return FProxyBypass; }
  void SetProxyBypass(const std::string& v) { FProxyBypass = v; }

  TOnProgressEvent OnProgress;
  TOnDoneFileEvent OnDoneFile;
  TOnDoneStringEvent OnDoneString;
  TNotifyEvent OnError;

 private:
  void Request(bool toFile);
  void RequestDone(THTTPGetThread* thread);
  void WaitForRequest(THTTPGetThread* thread);
  // Raises the outcome of the running request and then forgets it.
  void Deliver(THTTPGetThread* thread, bool ok, THTTPFailure failure, unsigned long code);
  // The running request is left to end by itself; nothing of it reaches this component again.
  void Detach();
  void Watch(TObject*);

  // Checks the running request's deadline and budgets while it may be blocked in the platform.
  std::unique_ptr<TSimpleTimer> FWatchdog;
  DWORD FStarted = 0;
  std::size_t FMemoryBase = 0;

  std::string FAcceptTypes = "*/*";
  std::string FAgent = "Pelmarin HTTPGet";
  bool FBinaryData = false;
  std::string FURL;
  bool FUseCache = false;
  std::string FFileName, FUserName, FPassword, FPostQuery, FReferer, FProxy, FProxyBypass;
  bool FWaitThread = false;
  unsigned FTimeout = kDefaultTimeout;
  unsigned FDeadline = kDefaultDeadline;

  THTTPGetThread* FThread = nullptr;
  bool FSucceeded = false;
  THTTPFailure FFailure = THTTPFailure::hfNone;
  unsigned long FErrorCode = 0;
  // Cleared by the destructor: a handler or a wait loop that outlives the component sees it.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// Makes THTTPGet known to the form-description reader; call once at start-up.
void RegisterHTTPGet();

}  // namespace evesk
