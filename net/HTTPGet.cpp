#include "net/HTTPGet.h"

#include <windows.h>
#include <wininet.h>
#include <psapi.h>

#include <algorithm>
#include <vector>

#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/Properties.h"
#include "net/HTTPText.h"
#include "net/WinInetApi.h"

namespace evesk {

namespace {

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

// Without explicit limits a server that accepts and then stays silent holds the request (and
// every later check, which is ignored while one runs) for as long as it likes. Set on every
// handle: some WinINet versions take a limit only from the handle it was set on.
void SetTimeouts(const TWinInetApi& api, HINTERNET handle, DWORD timeout) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                       INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    api.InternetSetOptionA(handle, option, &timeout, sizeof timeout);
}

constexpr char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded";

// An exception escaping an event handler is shown by the application; the request goes on.
template <class F>
void RaiseEvent(F&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    HandleEventException(e);
  }
}

}  // namespace

THTTPGetThread::THTTPGetThread(TSettings settings) : FSettings(std::move(settings)) {}

// The handles of every hop, closed in the reverse order of opening (request, connection, ...,
// session) after the outcome has been delivered: closing a reply that was not read to its end
// may read it to its end first (Wine's library does), for as long as the server sends.
struct THTTPGetThread::THandleList {
  const TWinInetApi* Api = nullptr;
  std::vector<HINTERNET> Open;
  HINTERNET Add(HINTERNET handle) {
    if (handle) Open.push_back(handle);
    return handle;
  }
  ~THandleList() {
    for (auto it = Open.rbegin(); it != Open.rend(); ++it) Api->InternetCloseHandle(*it);
  }
};

void THTTPGetThread::Execute() {
  THandleList open;
  bool ok = false;
  try {
    ok = Run(open);
  } catch (...) {
    ok = Fail(THTTPFailure::hfOther);  // out of memory while growing the text: a failed request
  }
  Succeeded = ok;
  Synchronize([this] {
    std::function<void(THTTPGetThread*)> finished = OnFinished;  // a copy: the handler may clear it
    if (finished) finished(this);
  });
}

namespace {

// What a failed send tells: no reply at all (worth another try once the network is up), a
// refused secure connection, or something else. A certificate error is never "no connection".
THTTPFailure SendFailure(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_DISCONNECTED:
    case ERROR_INTERNET_SERVER_UNREACHABLE:
    case ERROR_INTERNET_PROXY_SERVER_UNREACHABLE:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_INTERNET_TIMEOUT:
      return THTTPFailure::hfNoConnection;
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
    case ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR:
    case 12180:  // ERROR_INTERNET_SEC_CERT_WEAK_SIGNATURE, newer than these headers
      return THTTPFailure::hfSecurity;
    default:
      return THTTPFailure::hfOther;
  }
}

}  // namespace

bool THTTPGetThread::Fail(THTTPFailure kind, unsigned long code) {
  FFailure = kind;
  FErrorCode = code;
  return false;
}

namespace {

// The platform's progress reports, on the worker's own thread (the requests are synchronous).
void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  auto* thread = reinterpret_cast<THTTPGetThread*>(context);
  if (!thread) return;
  if (status == INTERNET_STATUS_REQUEST_SENT) thread->Sent = true;
  if (status == INTERNET_STATUS_RESPONSE_RECEIVED && info && length >= sizeof(DWORD))
    thread->Received += *static_cast<const DWORD*>(info);
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

// The request from start to end, redirects followed here under the getter's own rules (at most
// kMaxRedirects, only to http and https, never from https to plain http) rather than by the
// platform, which follows loops and downgrades. Every handle opened goes into open; false is a
// failed request, and FFailure says why.
bool THTTPGetThread::Run(THandleList& open) {
  using F = THTTPFailure;
  const TSettings& s = FSettings;
  TURLParts url;
  if (!SplitURL(s.URL, url)) return Fail(F::hfOther);
  if (Terminated()) return Fail(F::hfCancelled);
  // The library could not be loaded: the request fails as one whose session cannot be opened.
  if (!s.Api) return Fail(F::hfOther, s.ApiError);
  const TWinInetApi& api = *s.Api;
  open.Api = &api;
  const DWORD_PTR context = reinterpret_cast<DWORD_PTR>(this);

  HINTERNET session = open.Add(api.InternetOpenA(OrNull(s.Agent),
                                                 s.Proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                                                 OrNull(s.Proxy), s.Proxy.empty() ? nullptr : OrNull(s.ProxyBypass), 0));
  if (!session) return Fail(F::hfOther, GetLastError());
  SetTimeouts(api, session, s.Timeout);
  api.InternetSetStatusCallbackA(session, StatusCallback);
  const TURLParts origin = url;
  bool post = !s.PostData.empty();
  for (int hop = 0;; ++hop) {
    // Credentials go to the address they were given for, never to where a redirect points.
    const bool home = url.Host == origin.Host && url.Port == origin.Port && url.Secure == origin.Secure;
    HINTERNET connection =
        open.Add(api.InternetConnectA(session, url.Host.c_str(), url.Port, home ? OrNull(s.UserName) : nullptr,
                                      home ? OrNull(s.Password) : nullptr, INTERNET_SERVICE_HTTP, 0, context));
    if (!connection) return Fail(F::hfOther, GetLastError());
    SetTimeouts(api, connection, s.Timeout);
    const char* accept[] = {s.AcceptTypes.empty() ? nullptr : s.AcceptTypes.c_str(), nullptr};
    DWORD flags = (s.UseCache ? 0 : INTERNET_FLAG_RELOAD) | INTERNET_FLAG_NO_AUTO_REDIRECT;
    // A secure request gets the platform's full certificate checks: no flag here may relax them.
    if (url.Secure) flags |= INTERNET_FLAG_SECURE;
    HINTERNET request = open.Add(api.HttpOpenRequestA(connection, post ? "POST" : "GET", url.Object.c_str(),
                                                      "HTTP/1.0", OrNull(s.Referer), accept, flags, context));
    if (!request) return Fail(F::hfOther, GetLastError());
    SetTimeouts(api, request, s.Timeout);
    InSend = true;
    BOOL sent = post ? api.HttpSendRequestA(request, kFormHeader, sizeof kFormHeader - 1,
                                            const_cast<char*>(s.PostData.data()), static_cast<DWORD>(s.PostData.size()))
                     : api.HttpSendRequestA(request, nullptr, 0, nullptr, 0);
    const DWORD sendError = sent ? 0 : GetLastError();
    InSend = false;
    if (Terminated()) return Fail(F::hfCancelled);
    // No reply at all (no network, unknown host, refused connection) is a failure in every mode,
    // including a file request, which would otherwise "succeed" with an empty file.
    if (!sent) return Fail(SendFailure(sendError), sendError);
    Sent = true;

    DWORD status = 0, size = sizeof status, index = 0;
    if (!api.HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index) ||
        !IsRedirect(status))
      return ReceiveReply(request);
    char location[2048];
    size = sizeof location - 1;
    index = 0;
    if (!api.HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, &index)) {
      // A redirect without a target is a reply like any other; one too long for any address is not.
      if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) return Fail(F::hfReply);
      return ReceiveReply(request);
    }
    if (hop == kMaxRedirects) return Fail(F::hfReply);  // a loop, or a chain no server needs
    TURLParts next;
    switch (ResolveRedirect(url, std::string(location, size), next)) {
      case TRedirect::rdRefused: return Fail(F::hfReply);
      case TRedirect::rdInsecure: return Fail(F::hfSecurity, ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
      case TRedirect::rdFollow: break;
    }
    // As browsers do: the form is sent again only where the server asks to keep the method.
    if (status != 307 && status != 308) post = false;
    url = next;
    if (Terminated()) return Fail(F::hfCancelled);
  }
}

// The length header and the body of the final reply.
bool THTTPGetThread::ReceiveReply(void* request) {
  using F = THTTPFailure;
  const TSettings& s = FSettings;
  // From here on the server has answered: whatever goes wrong is its reply's fault.
  char header[1024];
  DWORD headerSize = sizeof header;
  DWORD index = 0;
  const bool haveLength = s.Api->HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, header, &headerSize, &index);
  if (Terminated()) return Fail(F::hfCancelled);
  if (!haveLength && s.BinaryData) return Fail(F::hfReply);
  if (haveLength) {
    std::int32_t length = 0;
    if (!ParseContentLength(std::string(header, headerSize), length)) return Fail(F::hfReply);
    FContentLength = length;
    if (!s.ToFile && length > kMaxTextBody) return Fail(F::hfReply);
  }
  return ReceiveBody(request, haveLength);
}

// Reads the body of an answered request into the file or the text, chunk by chunk.
bool THTTPGetThread::ReceiveBody(void* request, bool haveLength) {
  using F = THTTPFailure;
  const TSettings& s = FSettings;
  TKernelHandle file;
  if (s.ToFile) {
    file = TKernelHandle(CreateFileA(s.FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Fail(F::hfOther, GetLastError());
  } else {
    FResultText.clear();
    FResultText.reserve(static_cast<std::size_t>(FContentLength));
  }

  char chunk[1025];
  for (;;) {
    if (Terminated()) return Fail(F::hfCancelled);
    DWORD read = 0;
    // A read that fails part-way (the connection dropped) must not pass for a whole body.
    if (!FSettings.Api->InternetReadFile(request, chunk, sizeof chunk, &read)) return Fail(F::hfReply, GetLastError());
    if (read == 0) break;
    if (static_cast<std::int64_t>(FBytesTotal) + read > (s.ToFile ? INT32_MAX : kMaxTextBody))
      return Fail(F::hfReply);
    if (s.ToFile) {
      DWORD written = 0;
      if (!WriteFile(file.Get(), chunk, read, &written, nullptr) || written != read)
        return Fail(F::hfOther, GetLastError());
    } else {
      // Grown at most to the bound, not doubled past it, when no length said how much comes.
      const std::size_t need = FResultText.size() + read;
      if (need > FResultText.capacity())
        FResultText.reserve(std::min<std::size_t>(std::max(need, FResultText.capacity() * 2), kMaxTextBody));
      FResultText.append(chunk, read);  // NUL bytes included: the body is kept whole
    }
    FBytesTotal += static_cast<std::int32_t>(read);
    if (FHasProgress)
      Synchronize([this] {
        TOnProgressEvent handler = OnProgress;
        if (handler) RaiseEvent([&] { handler(this, FContentLength, FBytesTotal); });
      });
  }

  // Without a length header the announced length is 0, so only an empty body is whole.
  if (s.ToFile) return FBytesTotal == FContentLength || Fail(F::hfReply);
  // A text body shorter than its length header was cut off on the way.
  if (FBytesTotal != 0 && !(haveLength && FBytesTotal < FContentLength)) return true;
  return Fail(F::hfReply);
}

const TClassInfo& THTTPGet::StaticClassInfo() {
  using P = Prop<THTTPGet>;
  static const TClassInfo info{
      "THTTPGet",
      &TComponent::StaticClassInfo(),
      [](TComponent* owner) { return new THTTPGet(owner); },
      {P::String("AcceptTypes", &THTTPGet::SetAcceptTypes), P::String("Agent", &THTTPGet::SetAgent),
       P::Bool("BinaryData", &THTTPGet::SetBinaryData), P::String("URL", &THTTPGet::SetURL),
       P::Bool("UseCache", &THTTPGet::SetUseCache), P::String("FileName", &THTTPGet::SetFileName),
       P::String("UserName", &THTTPGet::SetUserName), P::String("Password", &THTTPGet::SetPassword),
       P::String("PostQuery", &THTTPGet::SetPostQuery), P::String("Referer", &THTTPGet::SetReferer),
       P::Bool("WaitThread", &THTTPGet::SetWaitThread), P::String("Proxy", &THTTPGet::SetProxy),
       P::String("ProxyBypass", &THTTPGet::SetProxyBypass), P::Int("Timeout", &THTTPGet::SetTimeout), P::Int("Deadline", &THTTPGet::SetDeadline), P::Event("OnProgress", &THTTPGet::OnProgress),
       P::Event("OnDoneFile", &THTTPGet::OnDoneFile), P::Event("OnDoneString", &THTTPGet::OnDoneString),
       P::Event("OnError", &THTTPGet::OnError)}};
  return info;
}

void RegisterHTTPGet() { TClassRegistry::Register(THTTPGet::StaticClassInfo()); }

namespace {

// The program's private committed memory, or 0 where the system cannot tell.
std::size_t PrivateMemory() {
  using TGetInfo = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
  static const TGetInfo getInfo = [] {
    TGetInfo f = nullptr;
    // In kernel32 from Windows 7 on; before that only in psapi, which the program does not import.
    if (!FindProc(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo", f))
      if (HMODULE psapi = LoadLibraryA("psapi.dll")) FindProc(psapi, "GetProcessMemoryInfo", f);
    return f;
  }();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!getInfo || !getInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PagefileUsage;
}

// How often the watchdog looks: an endless header grows Wine's memory by tens of megabytes a
// second, so a look every 50 ms keeps the overshoot to a few.
constexpr unsigned kWatchInterval = 50;

}  // namespace

THTTPGet::THTTPGet(TComponent* owner) : TComponent(owner) {}

THTTPGet::~THTTPGet() {
  *FAlive = false;
  if (FThread) {
    // The worker runs on to its next checkpoint and frees itself; nothing of it reaches us.
    CancelRequest();
    Detach();
  }
}

void THTTPGet::RequestString() { Request(false); }

void THTTPGet::RequestFile() { Request(true); }

void THTTPGet::Request(bool toFile) {
  if (FThread) return;
  THTTPGetThread::TSettings s;
  s.AcceptTypes = FAcceptTypes;
  s.Agent = FAgent;
  s.URL = FURL;
  s.FileName = FFileName;
  s.UserName = FUserName;
  s.Password = FPassword;
  s.PostData = FPostQuery;
  s.Referer = FReferer;
  s.Proxy = FProxy;
  s.ProxyBypass = FProxyBypass;
  s.BinaryData = FBinaryData;
  s.UseCache = FUseCache;
  s.ToFile = toFile;
  s.Timeout = FTimeout;
  // Loaded here, on the GUI thread, at the first request; a failure is reported by the worker
  // like any other failed request.
  s.Api = TWinInetApi::Load(s.ApiError);
  if (toFile) s.Budget = INT64_MAX;  // a file is as long as its length header says
  auto* thread = new THTTPGetThread(std::move(s));
  thread->OnProgress = OnProgress;
  thread->FHasProgress = static_cast<bool>(OnProgress);
  thread->FreeOnTerminate = true;
  thread->OnFinished = [this](THTTPGetThread* t) { RequestDone(t); };
  FThread = thread;
  FStarted = GetTickCount();
  FMemoryBase = PrivateMemory();
  if (!FWatchdog) FWatchdog = std::make_unique<TSimpleTimer>(kWatchInterval, [this](TObject* t) { Watch(t); });
  FWatchdog->Start();
  try {
    thread->Start();
  } catch (const EThread&) {
    // No thread could be made: still exactly one outcome for this start.
    FThread = nullptr;
    FWatchdog->SetEnabled(false);
    delete thread;
    FSucceeded = false;
    FFailure = THTTPFailure::hfOther;
    FErrorCode = 0;
    TNotifyEvent handler = OnError;
    if (handler) handler(this);
    return;
  }
  if (FWaitThread) WaitForRequest(thread);
}

// Runs the GUI thread's messages until the request has reported. Dispatching lets the
// worker's synchronised calls in; between messages the wait sleeps instead of spinning.
void THTTPGet::WaitForRequest(THTTPGetThread* thread) {
  std::shared_ptr<bool> alive = FAlive;
  auto waiting = [&] { return *alive && FThread == thread; };
  bool quit = false;
  WPARAM quitCode = 0;
  HANDLE syncEvent = SyncEvent();
  while (waiting()) {
    MSG msg;
    while (waiting() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {  // kept for the application's own loop
        quit = true;
        quitCode = msg.wParam;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!waiting() || CheckSynchronize(0)) continue;
    MsgWaitForMultipleObjects(1, &syncEvent, FALSE, INFINITE, QS_ALLINPUT);
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

void THTTPGet::CancelRequest() {
  if (!FThread) return;
  FThread->Terminate();
  FThread->Succeeded = false;
}

void THTTPGet::RequestDone(THTTPGetThread* thread) {
  if (FThread != thread) return;
  // A cancelled request fails even when its body arrived before the worker looked.
  const bool ok = thread->Succeeded && !thread->Terminated();
  Deliver(thread, ok, ok ? THTTPFailure::hfNone : thread->Terminated() ? THTTPFailure::hfCancelled : thread->Failure(),
          ok ? 0 : thread->ErrorCode());
}

void THTTPGet::Deliver(THTTPGetThread* thread, bool ok, THTTPFailure failure, unsigned long code) {
  std::shared_ptr<bool> alive = FAlive;
  if (FWatchdog) FWatchdog->SetEnabled(false);
  FSucceeded = ok;
  FFailure = failure;
  FErrorCode = code;
  // The running worker is forgotten only after the event, so a start from inside the handler
  // is ignored; a handler may also free this component, which the token tells.
  struct Forget {
    THTTPGet* self;
    THTTPGetThread* thread;
    const std::shared_ptr<bool>& alive;
    ~Forget() {
      if (*alive && self->FThread == thread) self->FThread = nullptr;
    }
  } forget{this, thread, alive};
  if (ok && thread->Settings().ToFile) {
    TOnDoneFileEvent handler = OnDoneFile;
    if (handler) RaiseEvent([&] { handler(this, thread->Settings().FileName, thread->ContentLength()); });
  } else if (ok) {
    TOnDoneStringEvent handler = OnDoneString;
    if (handler) RaiseEvent([&] { handler(this, thread->ResultText()); });
  } else {
    TNotifyEvent handler = OnError;
    if (handler) RaiseEvent([&] { handler(this); });
  }
}

void THTTPGet::Detach() {
  if (FWatchdog) FWatchdog->SetEnabled(false);
  if (!FThread) return;
  FThread->Terminate();
  FThread->OnFinished = nullptr;
  FThread->OnProgress = nullptr;
  FThread->FHasProgress = false;
  FThread = nullptr;
}

// A worker blocked in the platform cannot look at the clock or count what the platform buffers,
// and closing its handles from another thread while it reads crashes Wine's library. So the
// component gives up on it here: the request fails at once, and the worker ends by itself when
// its call returns (a program that ends on a failed check does not wait for it).
void THTTPGet::Watch(TObject*) {
  THTTPGetThread* thread = FThread;
  if (!thread) return;
  THTTPFailure verdict = THTTPFailure::hfNone;
  if (thread->Terminated()) {
    verdict = THTTPFailure::hfCancelled;  // a worker blocked in the platform would report it only later
  } else if (GetTickCount() - FStarted >= FDeadline) {
    // A request that never reached the server (a stalled connection or handshake) is no
    // connection, worth another try later; a reply that does not end is the server's fault.
    verdict = thread->Sent ? THTTPFailure::hfReply : THTTPFailure::hfNoConnection;
  } else if (thread->Received > thread->Settings().Budget) {
    verdict = THTTPFailure::hfReply;
  } else if (thread->InSend && FMemoryBase) {
    const std::size_t now = PrivateMemory();
    if (now > FMemoryBase && now - FMemoryBase > kHeaderMemoryBudget) verdict = THTTPFailure::hfReply;
  }
  if (verdict == THTTPFailure::hfNone) return;
  std::shared_ptr<bool> alive = FAlive;
  Detach();
  FSucceeded = false;
  FFailure = verdict;
  FErrorCode = 0;
  // Nothing is running now: a start from inside the handler is a new request.
  TNotifyEvent handler = OnError;
  if (handler) RaiseEvent([&] { handler(this); });
}

}  // namespace evesk
