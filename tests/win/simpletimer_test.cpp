#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "tray/SimpleTimer.h"
#include "tests/win/MessagePump.h"

using namespace evesk;
using evesk::winpump::PumpFor;
using evesk::winpump::PumpUntil;

namespace {

// Whether a WM_TIMER of TIMER is due on the shared window (left in the queue).
bool TickDue(const TSimpleTimer& timer) {
  MSG msg;
  return PeekMessageA(&msg, TSimpleTimer::SharedWindow(), WM_TIMER, WM_TIMER, PM_NOREMOVE) &&
         msg.wParam == timer.Id();
}

}  // namespace

TEST(SimpleTimer, SharedWindowComesWithTheFirstTimerAndGoesWithTheLast) {
  ASSERT_EQ(TSimpleTimer::SharedWindow(), nullptr);
  auto a = std::make_unique<TSimpleTimer>();
  HWND first = TSimpleTimer::SharedWindow();
  ASSERT_TRUE(IsWindow(first));
  auto b = std::make_unique<TSimpleTimer>(50, nullptr);
  EXPECT_EQ(TSimpleTimer::SharedWindow(), first);
  EXPECT_NE(a->Id(), b->Id());
  a.reset();
  EXPECT_TRUE(IsWindow(first));
  b.reset();
  EXPECT_EQ(TSimpleTimer::SharedWindow(), nullptr);
  EXPECT_FALSE(IsWindow(first));
  TSimpleTimer c;
  EXPECT_TRUE(IsWindow(TSimpleTimer::SharedWindow()));
  EXPECT_EQ(c.Interval(), 1000u);
  EXPECT_FALSE(c.Enabled());
}

TEST(SimpleTimer, RepeatsUntilStoppedAndOneShotFiresOnce) {
  int repeats = 0, shots = 0;
  TSimpleTimer repeating(10, [&](TObject* sender) {
    EXPECT_NE(dynamic_cast<TSimpleTimer*>(sender), nullptr);
    ++repeats;
  });
  TSimpleTimer oneShot(10, [&](TObject*) { ++shots; });
  oneShot.SetOneShot(true);
  ASSERT_TRUE(repeating.Start());
  ASSERT_TRUE(oneShot.Start());
  ASSERT_TRUE(PumpUntil([&] { return repeats >= 3; }));
  EXPECT_EQ(shots, 1);
  EXPECT_FALSE(oneShot.Enabled());
  repeating.SetEnabled(false);
  PumpFor(60);
  const int stopped = repeats;
  PumpFor(100);
  EXPECT_EQ(repeats, stopped);
}

TEST(SimpleTimer, IntervalZeroAndAnEmptyHandlerGiveNoTicks) {
  int ticks = 0;
  TSimpleTimer timer(0, [&](TObject*) { ++ticks; });
  EXPECT_FALSE(timer.Start());
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.Enabled());

  // Interval 0 on a running timer pauses it; a new interval starts it again.
  timer.SetInterval(10);
  ASSERT_TRUE(timer.Start());
  timer.SetInterval(0);
  EXPECT_TRUE(timer.Enabled());
  PumpFor(30);
  ticks = 0;
  PumpFor(100);
  EXPECT_EQ(ticks, 0);
  timer.SetInterval(10);
  EXPECT_TRUE(PumpUntil([&] { return ticks > 0; }));

  // Taking the handler away pauses the timer too.
  timer.SetOnTimer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  Sleep(50);
  EXPECT_FALSE(TickDue(timer));
}

TEST(SimpleTimer, SameIntervalKeepsThePeriodANewOneRestartsIt) {
  // Generous margins: the timer is due at 1000 ms unless restarted at 700 ms (then 1700 ms).
  TSimpleTimer same(1000, [](TObject*) {});
  TSimpleTimer changed(900, [](TObject*) {});
  ASSERT_TRUE(same.Start());
  ASSERT_TRUE(changed.Start());
  Sleep(700);
  same.SetInterval(1000);
  changed.SetInterval(1000);
  Sleep(600);
  MSG msg;
  bool sameDue = false, changedDue = false;
  while (PeekMessageA(&msg, TSimpleTimer::SharedWindow(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
    sameDue |= msg.wParam == same.Id();
    changedDue |= msg.wParam == changed.Id();
  }
  EXPECT_TRUE(sameDue);
  EXPECT_FALSE(changedDue);
}

TEST(SimpleTimer, TicksOfDestroyedTimersAreIgnored) {
  TSimpleTimer keeper;  // keeps the shared window
  int calls = 0;
  auto gone = std::make_unique<TSimpleTimer>(10, [&](TObject*) { ++calls; });
  const UINT_PTR id = gone->Id();
  gone.reset();
  PostMessageA(TSimpleTimer::SharedWindow(), WM_TIMER, id, 0);
  PumpFor(30);
  EXPECT_EQ(calls, 0);

  // A handler may free its own timer.
  TSimpleTimer* self = nullptr;
  self = new TSimpleTimer(10, [&](TObject*) {
    ++calls;
    delete self;
  });
  ASSERT_TRUE(self->Start());
  ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
  PumpFor(50);
  EXPECT_EQ(calls, 1);
}
