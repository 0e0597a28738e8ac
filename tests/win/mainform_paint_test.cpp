// Showing the main window paints each of its windows once: no frame, background or client area
// drawn twice before the program first waits for input.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/Registry.h"

using namespace evesk;

namespace {

struct TPaints {
  int NcPaint = 0, Erase = 0, Paint = 0;
};
std::map<HWND, TPaints> gPaints;

void Count(HWND wnd, UINT msg) {
  if (msg == WM_NCPAINT) ++gPaints[wnd].NcPaint;
  else if (msg == WM_ERASEBKGND) ++gPaints[wnd].Erase;
  else if (msg == WM_PAINT) ++gPaints[wnd].Paint;
}

// Sent messages (a synchronous repaint among them) and those the queue hands out.
LRESULT CALLBACK SentHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) Count(reinterpret_cast<CWPSTRUCT*>(lp)->hwnd, reinterpret_cast<CWPSTRUCT*>(lp)->message);
  return CallNextHookEx(nullptr, code, wp, lp);
}
LRESULT CALLBACK QueueHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) Count(reinterpret_cast<MSG*>(lp)->hwnd, reinterpret_cast<MSG*>(lp)->message);
  return CallNextHookEx(nullptr, code, wp, lp);
}

BOOL CALLBACK Collect(HWND wnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
  return TRUE;
}

std::string Describe(HWND wnd) {
  char cls[64] = {}, text[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  GetWindowTextA(wnd, text, sizeof text);
  return std::string(cls) + " '" + text + "'";
}

// Some part of the window can be seen in its parent's client area.
bool InView(HWND wnd) {
  HWND parent = GetParent(wnd);
  if (!parent) return true;
  RECT r, client, both;
  GetWindowRect(wnd, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  GetClientRect(parent, &client);
  return IntersectRect(&both, &r, &client) != FALSE;
}

}  // namespace

TEST(MainFormPaint, ShowingTheMainWindowPaintsEachWindowOnceBeforeTheFirstIdle) {
  LocaliseDialogs();
  RegisterProgramClasses();
  {
    TRegistry reg;
    reg.OpenKey("\\software\\dorlen\\evesk", true);
    reg.WriteString("data", "1_0_0_0_0_0_1_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_0_1");
    reg.WriteString("verze", "1600000000");
    reg.WriteString("server", "127.0.0.1:9");
  }
  TApplication app;
  app.SetTitle("Dorlen e-VESK vizedu");
  HHOOK sent = SetWindowsHookExA(WH_CALLWNDPROC, SentHook, nullptr, GetCurrentThreadId());
  HHOOK queued = SetWindowsHookExA(WH_GETMESSAGE, QueueHook, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(sent && queued);
  TMainForm* form = app.CreateForm<TMainForm>();
  form->Show();
  // Up to the first idle: the queue is empty once nothing is left to paint.
  MSG msg;
  for (int n = 0; n < 100000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  UnhookWindowsHookEx(sent);
  UnhookWindowsHookEx(queued);

  std::vector<HWND> windows{form->Handle()};
  EnumChildWindows(form->Handle(), Collect, reinterpret_cast<LPARAM>(&windows));
  int shown = 0;
  for (HWND wnd : windows) {
    const TPaints p = gPaints[wnd];
    EXPECT_LE(p.NcPaint, 1) << Describe(wnd);
    EXPECT_LE(p.Erase, 1) << Describe(wnd);
    EXPECT_LE(p.Paint, 1) << Describe(wnd);
    if (IsWindowVisible(wnd) && InView(wnd)) {
      EXPECT_EQ(p.Paint, 1) << Describe(wnd) << " is shown but was not painted";
      ++shown;
    }
  }
  EXPECT_GE(shown, 28);  // the form, the OK button, the panel and the 25 check boxes
}
