// Worker threads with a synchronise call: a worker hands a method to the GUI thread and waits
// until it has run there. The GUI thread runs such calls whenever its message loop dispatches
// (any loop: the application's, a modal dialog's, a message box's) and while it waits for a
// worker in WaitFor or CheckSynchronize.
#pragma once
#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

#include "framework/Classes.h"
#include "framework/Exception.h"
#include "framework/Handles.h"

namespace evesk {

EVESK_EXCEPTION(EThread, Exception);

class TThread : public TObject {
 public:
  // The platform thread is created by Start, so that Execute never runs before the derived
  // object is complete. Create and start threads from the GUI thread.
  TThread();
  // Terminates and waits for a thread that is still running. A derived class whose Execute
  // uses its own members must do that in its own destructor (StopAndWait), since they are
  // gone by the time this one runs.
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Creates and runs the thread; raises EThread when the platform refuses.
  void Start();
  // Asks the thread to stop; Execute reads Terminated() at its own checkpoints.
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  bool Finished() const { return FFinished; }
  // Waits for the end of the thread, running its synchronised calls meanwhile when called on
  // the GUI thread. Returns ReturnValue.
  // Not for threads that free themselves.
  int WaitFor();

  HANDLE Handle() const { return FHandle.Get(); }
  DWORD ThreadID() const { return FThreadID; }

  // Set before Start: the object deletes itself (on its own thread) after OnTerminate.
  bool FreeOnTerminate = false;
  // Runs on the GUI thread after Execute has ended. Read there only, so the GUI thread may
  // clear it at any time.
  TNotifyEvent OnTerminate;
  std::atomic<int> ReturnValue{0};
  // An exception that escaped Execute (the thread then ends normally).
  std::exception_ptr FatalException() const { return FFatal; }

  // Runs method on the GUI thread and waits for it; an exception it raises is raised again
  // here. Called on the GUI thread itself, it just runs the method.
  static void Synchronize(const std::function<void()>& method);

 protected:
  virtual void Execute() = 0;
  void StopAndWait();

 private:
  static unsigned __stdcall ThreadProc(void* param);

  TKernelHandle FHandle;
  DWORD FThreadID = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::exception_ptr FFatal;
};

// The GUI thread: the one that loaded the module.
DWORD MainThreadID();

// Runs the synchronised calls that are waiting, on the GUI thread; with timeoutMs > 0 first
// waits that long for one to arrive. Returns whether any ran. Does nothing on other threads.
bool CheckSynchronize(DWORD timeoutMs = 0);

// Signalled whenever a worker queues a synchronised call: a GUI thread that waits for
// something else can include it in its wait and then call CheckSynchronize.
HANDLE SyncEvent();

}  // namespace evesk
