#include "net/HTTPGet.h"

#include <windows.h>
#include <wininet.h>

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

void THTTPGetThread::Execute() {
  bool ok = false;
  try {
    ok = Run();
  } catch (...) {
    ok = Fail(THTTPFailure::hfOther);  // out of memory while growing the text: a failed request
  }
  Succeeded = ok;
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

// The request from start to end. Every way out closes what it opened (request, connection,
// session, file: in that order, by their destructors); false is a failed request, and
// FFailure says why.
bool THTTPGetThread::Run() {
  using F = THTTPFailure;
  const TSettings& s = FSettings;
  TURLParts url;
  if (!SplitURL(s.URL, url)) return Fail(F::hfOther);
  if (Terminated()) return Fail(F::hfCancelled);
  // The library could not be loaded: the request fails as one whose session cannot be opened.
  if (!s.Api) return Fail(F::hfOther, s.ApiError);
  const TWinInetApi& api = *s.Api;

  TInternetHandle session(api, api.InternetOpenA(OrNull(s.Agent),
                                                 s.Proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                                                 OrNull(s.Proxy), s.Proxy.empty() ? nullptr : OrNull(s.ProxyBypass), 0));
  if (!session.Get()) return Fail(F::hfOther, GetLastError());
  SetTimeouts(api, session.Get(), s.Timeout);
  TInternetHandle connection(api, api.InternetConnectA(session.Get(), url.Host.c_str(), url.Port, OrNull(s.UserName),
                                                       OrNull(s.Password), INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection.Get()) return Fail(F::hfOther, GetLastError());
  SetTimeouts(api, connection.Get(), s.Timeout);
  const bool post = !s.PostData.empty();
  const char* accept[] = {s.AcceptTypes.empty() ? nullptr : s.AcceptTypes.c_str(), nullptr};
  DWORD flags = s.UseCache ? 0 : INTERNET_FLAG_RELOAD;
  // A secure request gets the platform's full certificate checks: no flag here may relax them.
  if (url.Secure) flags |= INTERNET_FLAG_SECURE;
  TInternetHandle request(api, api.HttpOpenRequestA(connection.Get(), post ? "POST" : "GET", url.Object.c_str(),
                                                    "HTTP/1.0", OrNull(s.Referer), accept, flags, 0));
  if (!request.Get()) return Fail(F::hfOther, GetLastError());
  SetTimeouts(api, request.Get(), s.Timeout);
  BOOL sent = post ? api.HttpSendRequestA(request.Get(), kFormHeader, sizeof kFormHeader - 1,
                                          const_cast<char*>(s.PostData.data()), static_cast<DWORD>(s.PostData.size()))
                   : api.HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0);
  const DWORD sendError = sent ? 0 : GetLastError();
  if (Terminated()) return Fail(F::hfCancelled);
  // No reply at all (no network, unknown host, refused connection) is a failure in every mode,
  // including a file request, which would otherwise "succeed" with an empty file.
  if (!sent) return Fail(SendFailure(sendError), sendError);

  // From here on the server has answered: whatever goes wrong is its reply's fault.
  char header[1024];
  DWORD headerSize = sizeof header;
  DWORD index = 0;
  const bool haveLength = api.HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH, header, &headerSize, &index);
  if (Terminated()) return Fail(F::hfCancelled);
  if (!haveLength && s.BinaryData) return Fail(F::hfReply);
  if (haveLength) {
    std::int32_t length = 0;
    if (!ParseContentLength(std::string(header, headerSize), length)) return Fail(F::hfReply);
    FContentLength = length;
    if (!s.ToFile && length > kMaxTextBody) return Fail(F::hfReply);
  }

  return ReceiveBody(request.Get(), haveLength);
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
       P::String("ProxyBypass", &THTTPGet::SetProxyBypass), P::Int("Timeout", &THTTPGet::SetTimeout), P::Event("OnProgress", &THTTPGet::OnProgress),
       P::Event("OnDoneFile", &THTTPGet::OnDoneFile), P::Event("OnDoneString", &THTTPGet::OnDoneString),
       P::Event("OnError", &THTTPGet::OnError)}};
  return info;
}

void RegisterHTTPGet() { TClassRegistry::Register(THTTPGet::StaticClassInfo()); }

THTTPGet::THTTPGet(TComponent* owner) : TComponent(owner) {}

THTTPGet::~THTTPGet() {
  *FAlive = false;
  if (FThread) {
    // The worker runs on to its next checkpoint and frees itself; nothing of it reaches us.
    CancelRequest();
    FThread->OnTerminate = nullptr;
    FThread->OnProgress = nullptr;
    FThread->FHasProgress = false;
    FThread = nullptr;
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
  auto* thread = new THTTPGetThread(std::move(s));
  thread->OnProgress = OnProgress;
  thread->FHasProgress = static_cast<bool>(OnProgress);
  thread->FreeOnTerminate = true;
  thread->OnTerminate = [this, thread](TObject*) { RequestDone(thread); };
  FThread = thread;
  try {
    thread->Start();
  } catch (const EThread&) {
    // No thread could be made: still exactly one outcome for this start.
    FThread = nullptr;
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
  std::shared_ptr<bool> alive = FAlive;
  // A cancelled request fails even when its body arrived before the worker looked.
  const bool ok = thread->Succeeded && !thread->Terminated();
  FSucceeded = ok;
  FFailure = ok ? THTTPFailure::hfNone : thread->Terminated() ? THTTPFailure::hfCancelled : thread->Failure();
  FErrorCode = ok ? 0 : thread->ErrorCode();
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

}  // namespace evesk
