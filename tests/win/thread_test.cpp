#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Thread.h"
#include "tests/win/MessagePump.h"

using namespace evesk;
using evesk::winpump::PumpFor;
using evesk::winpump::PumpUntil;

namespace {

// A worker whose body is a lambda.
class TLambdaThread : public TThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : FBody(std::move(body)) {}
  ~TLambdaThread() override {
    StopAndWait();
    ++Destroyed;
  }
  static std::atomic<int> Destroyed;
  using TThread::Terminated;

 protected:
  void Execute() override { FBody(*this); }

 private:
  std::function<void(TLambdaThread&)> FBody;
};
std::atomic<int> TLambdaThread::Destroyed{0};

}  // namespace

TEST(Thread, SynchronisedCallsRunOnTheGuiThreadWhileTheWorkerWaits) {
  std::vector<std::string> log;  // touched by the GUI thread only
  std::atomic<bool> ended{false};
  DWORD guiThread = GetCurrentThreadId();
  TLambdaThread thread([&](TLambdaThread&) {
    for (int i = 0; i < 3; ++i) {
      int seen = -1;
      TThread::Synchronize([&] {
        log.push_back(GetCurrentThreadId() == guiThread ? "gui " + std::to_string(i) : "wrong thread");
        seen = i;
      });
      // The call has finished before Synchronize returns.
      if (seen != i) TThread::Synchronize([&] { log.push_back("returned early"); });
    }
    ended = true;
  });
  EXPECT_EQ(MainThreadID(), guiThread);
  thread.Start();
  ASSERT_TRUE(PumpUntil([&] { return ended.load(); }));
  EXPECT_EQ(log, (std::vector<std::string>{"gui 0", "gui 1", "gui 2"}));
  EXPECT_EQ(thread.WaitFor(), 0);
}

TEST(Thread, SynchronisedCallsGetThroughAMessageBoxModalLoop) {
  std::atomic<bool> ranInsideBox{false};
  bool inBox = false;
  TLambdaThread thread([&](TLambdaThread&) {
    // Wait for the box, have a call run inside its loop, then close it.
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i, Sleep(10)) box = FindWindowA(nullptr, "Synchronise test");
    TThread::Synchronize([&] { ranInsideBox = inBox; });
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  thread.Start();
  inBox = true;
  MessageBoxA(nullptr, "waiting", "Synchronise test", MB_OK);
  inBox = false;
  thread.WaitFor();
  EXPECT_TRUE(ranInsideBox);
}

TEST(Thread, WaitForOnTheGuiThreadRunsTheCallsItWouldOtherwiseDeadlockOn) {
  int calls = 0;
  TLambdaThread thread([&](TLambdaThread& self) {
    for (int i = 0; i < 50; ++i) TThread::Synchronize([&] { ++calls; });
    self.ReturnValue = 7;
  });
  thread.Start();
  EXPECT_EQ(thread.WaitFor(), 7);  // no pumping here: WaitFor alone must carry the calls
  EXPECT_EQ(calls, 50);
  EXPECT_TRUE(thread.Finished());
  // Synchronize on the GUI thread itself runs at once.
  TThread::Synchronize([&] { ++calls; });
  EXPECT_EQ(calls, 51);
}

TEST(Thread, FreeOnTerminateRunsOnTerminateOnTheGuiThreadThenFreesItself) {
  int before = TLambdaThread::Destroyed;
  DWORD terminateThread = 0;
  TObject* sender = nullptr;
  auto* thread = new TLambdaThread([](TLambdaThread&) { Sleep(20); });
  thread->FreeOnTerminate = true;
  thread->OnTerminate = [&](TObject* s) {
    terminateThread = GetCurrentThreadId();
    sender = s;
  };
  thread->Start();
  ASSERT_TRUE(PumpUntil([&] { return TLambdaThread::Destroyed == before + 1; }));
  EXPECT_EQ(terminateThread, GetCurrentThreadId());
  EXPECT_EQ(sender, static_cast<TObject*>(thread));
}

TEST(Thread, ExceptionsReachTheWorkerOrEndItQuietly) {
  std::string caught;
  TLambdaThread thread([&](TLambdaThread&) {
    try {
      TThread::Synchronize([] { throw std::runtime_error("from the GUI thread"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    throw Exception("escaped Execute");
  });
  thread.Start();
  thread.WaitFor();
  EXPECT_EQ(caught, "from the GUI thread");
  ASSERT_TRUE(thread.FatalException());
  try {
    std::rethrow_exception(thread.FatalException());
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "escaped Execute");
  }
}

TEST(Thread, DestroyingARunningThreadTerminatesAndWaits) {
  int before = TLambdaThread::Destroyed;
  std::atomic<bool> sawTerminate{false};
  {
    TLambdaThread thread([&](TLambdaThread& self) {
      while (!self.Terminated()) {
        TThread::Synchronize([] {});
        Sleep(1);
      }
      sawTerminate = true;
    });
    thread.Start();
    Sleep(30);
    EXPECT_FALSE(thread.Finished());
  }
  EXPECT_TRUE(sawTerminate);
  EXPECT_EQ(TLambdaThread::Destroyed, before + 1);
  // A thread never started is simply freed.
  { TLambdaThread idle([](TLambdaThread&) { ADD_FAILURE() << "never started"; }); }
}
