#include "framework/Thread.h"

#include <process.h>

#include <deque>

namespace evesk {

namespace {

// Static initialisers run on the thread that loads the program: that is the GUI thread.
const DWORD g_mainThreadId = GetCurrentThreadId();

constexpr UINT WM_SYNCHRONIZE = WM_USER + 1;
constexpr char kWindowClass[] = "EveskSyncWindow";

// One synchronised call, owned by the waiting worker's stack frame.
struct SyncCall {
  const std::function<void()>* Method;
  std::exception_ptr Error;
  HANDLE Done;
};

LRESULT CALLBACK SyncWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SYNCHRONIZE) {
    CheckSynchronize(0);
    return 0;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

// The queue of waiting calls and the hidden window that wakes the GUI thread's message loop.
// Never destroyed: a worker whose request ends while the program runs its exit code may still
// queue a call, and the queue must outlive every worker. Nothing runs such a late call; the
// worker waits until the process ends it.
class SyncState {
 public:
  SyncState() {
    InitializeCriticalSection(&FLock);
    FEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }

  // Called on the GUI thread before the first worker starts.
  void EnsureWindow() {
    if (GetCurrentThreadId() != g_mainThreadId || FWindowTried) return;
    FWindowTried = true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = SyncWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // fails harmlessly when the class exists already
    HWND wnd = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
    EnterCriticalSection(&FLock);
    FWindow = wnd;
    LeaveCriticalSection(&FLock);
  }

  // Queues a call and returns the window to wake (none before it exists).
  HWND Push(SyncCall* call) {
    EnterCriticalSection(&FLock);
    FQueue.push_back(call);
    HWND wnd = FWindow;
    LeaveCriticalSection(&FLock);
    SetEvent(FEvent);
    return wnd;
  }
  SyncCall* Pop() {
    EnterCriticalSection(&FLock);
    SyncCall* call = nullptr;
    if (!FQueue.empty()) {
      call = FQueue.front();
      FQueue.pop_front();
    }
    LeaveCriticalSection(&FLock);
    return call;
  }
  bool Queued(SyncCall* call) {
    EnterCriticalSection(&FLock);
    bool found = false;
    for (SyncCall* c : FQueue) found = found || c == call;
    LeaveCriticalSection(&FLock);
    return found;
  }
  HANDLE Event() const { return FEvent; }

 private:
  CRITICAL_SECTION FLock;
  HANDLE FEvent = nullptr;
  HWND FWindow = nullptr;
  bool FWindowTried = false;
  std::deque<SyncCall*> FQueue;
};

SyncState& State() {
  static SyncState* const state = new SyncState;
  return *state;
}

// Creates the state while the program starts, before any worker can ask for it.
const bool g_stateReady = (State(), true);

}  // namespace

DWORD MainThreadID() { return g_mainThreadId; }

HANDLE SyncEvent() { return State().Event(); }

bool CheckSynchronize(DWORD timeoutMs) {
  if (GetCurrentThreadId() != g_mainThreadId) return false;
  SyncState& state = State();
  state.EnsureWindow();
  if (timeoutMs > 0) {
    // Other threads' and programs' sent messages (a window-text query, say) must get through
    // while this thread waits, or they would wait as long as it does.
    const DWORD start = GetTickCount();
    HANDLE event = state.Event();
    for (DWORD waited = 0; waited < timeoutMs; waited = GetTickCount() - start) {
      if (MsgWaitForMultipleObjects(1, &event, FALSE, timeoutMs - waited, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1)
        break;
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
  bool ran = false;
  // One at a time: a call that pumps messages may run the rest from a nested loop.
  while (SyncCall* call = state.Pop()) {
    try {
      (*call->Method)();
    } catch (...) {
      call->Error = std::current_exception();
    }
    SetEvent(call->Done);
    ran = true;
  }
  return ran;
}

void TThread::Synchronize(const std::function<void()>& method) {
  if (GetCurrentThreadId() == g_mainThreadId) {
    method();
    return;
  }
  TKernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!done) throw EThread("Cannot create a synchronisation event");
  SyncCall call{&method, nullptr, done.Get()};
  SyncState& state = State();
  HWND wnd = state.Push(&call);
  bool posted = wnd && PostMessageA(wnd, WM_SYNCHRONIZE, 0, 0);
  // A full message queue refuses the post: knock again until the call has been taken.
  while (WaitForSingleObject(done.Get(), posted ? INFINITE : 20) == WAIT_TIMEOUT)
    if (wnd && state.Queued(&call)) posted = PostMessageA(wnd, WM_SYNCHRONIZE, 0, 0);
  if (call.Error) std::rethrow_exception(call.Error);
}

TThread::TThread() { State().EnsureWindow(); }

TThread::~TThread() {
  if (FHandle && GetCurrentThreadId() != FThreadID) StopAndWait();
}

void TThread::Start() {
  if (FHandle) return;
  State().EnsureWindow();
  unsigned id = 0;
  // The CRT's own thread start, so that its per-thread data is set up and released.
  auto h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id));
  if (!h) throw EThread("Cannot create a thread");
  FHandle = TKernelHandle(h);
  FThreadID = id;
  ResumeThread(h);
}

void TThread::StopAndWait() {
  if (!FHandle || FFinished) return;
  Terminate();
  WaitFor();
}

int TThread::WaitFor() {
  if (!FHandle || GetCurrentThreadId() == FThreadID) return ReturnValue;
  if (GetCurrentThreadId() != g_mainThreadId) {
    WaitForSingleObject(FHandle.Get(), INFINITE);
    return ReturnValue;
  }
  // The thread may be waiting for a synchronised call of ours; sent messages must get through
  // as well, since other threads' SendMessage to our windows would block otherwise.
  HANDLE handles[2] = {FHandle.Get(), SyncEvent()};
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
    if (r == WAIT_OBJECT_0 + 1) {
      CheckSynchronize(0);
    } else {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
  return ReturnValue;
}

unsigned __stdcall TThread::ThreadProc(void* param) {
  auto* self = static_cast<TThread*>(param);
  try {
    self->Execute();
  } catch (...) {
    self->FFatal = std::current_exception();
  }
  // OnTerminate is read on the GUI thread, where its owner may clear it at any moment.
  try {
    Synchronize([self] {
      TNotifyEvent handler = self->OnTerminate;  // a copy: the handler may clear the field
      if (handler) handler(self);
    });
  } catch (...) {
    if (!self->FFatal) self->FFatal = std::current_exception();
  }
  int result = self->ReturnValue;
  bool freeIt = self->FreeOnTerminate;
  self->FFinished = true;
  if (freeIt) delete self;
  return static_cast<unsigned>(result);
}

}  // namespace evesk
