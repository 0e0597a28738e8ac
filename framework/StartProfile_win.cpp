#include "framework/StartProfile.h"

#ifdef EVESK_PROFILE_START
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace evesk {

namespace {

struct TWindowCount {
  std::string Class, Text;
  int NcPaint[2] = {}, Erase[2] = {}, Paint[2] = {};  // [0] while hidden, [1] while visible
  int Sent = 0, PosChanged = 0;
};

struct TProfile {
  bool Started = false, Done = false;
  LARGE_INTEGER Frequency{}, Origin{};
  double BeforeMain = 0;  // ms from the process's creation to the first mark
  std::vector<std::pair<std::string, LARGE_INTEGER>> Marks;
  std::map<HWND, TWindowCount> Windows;
  std::map<std::string, int[4]> ByPhase;  // ncpaint, erase, paint, all messages after each mark
  long Messages = 0;
  std::vector<std::string> Trace;  // every message from the last mark before showing to the idle
  HHOOK Sent = nullptr, Got = nullptr;
};

TProfile& Profile() {
  static TProfile p;
  return p;
}

TWindowCount& CountFor(HWND wnd) {
  TWindowCount& c = Profile().Windows[wnd];
  if (c.Class.empty()) {
    char text[128] = {};
    GetClassNameA(wnd, text, sizeof text);
    c.Class = text;
  }
  return c;
}

void Count(HWND wnd, UINT msg) {
  ++Profile().Messages;
  TWindowCount& c = CountFor(wnd);
  const int shown = IsWindowVisible(wnd) ? 1 : 0;
  int* phase = Profile().ByPhase[Profile().Marks.back().first];
  ++phase[3];
  if (std::getenv("EVESK_PROFILE_TRACE") && Profile().Marks.size() >= 2 &&
      Profile().Marks[Profile().Marks.size() - 1].first != "form window")
    Profile().Trace.push_back(Profile().Marks.back().first + "\t" + c.Class + "\t" + std::to_string(msg));
  switch (msg) {
    case WM_NCPAINT: ++c.NcPaint[shown]; ++phase[0]; break;
    case WM_ERASEBKGND: ++c.Erase[shown]; ++phase[1]; break;
    case WM_PAINT: ++c.Paint[shown]; ++phase[2]; break;
    case WM_WINDOWPOSCHANGED: ++c.PosChanged; break;
  }
}

LRESULT CALLBACK SentHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
    Count(m->hwnd, m->message);
    ++CountFor(m->hwnd).Sent;
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK GotHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) {
    const auto* m = reinterpret_cast<const MSG*>(lp);
    if (m->hwnd) Count(m->hwnd, m->message);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

double FileTimeMs(const FILETIME& t) {
  return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
}

// Milliseconds since the process was created, on the system clock.
double SinceCreation() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  using Precise = void(WINAPI*)(FILETIME*);
  static auto precise = reinterpret_cast<Precise>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  if (precise) precise(&now);
  else GetSystemTimeAsFileTime(&now);
  return FileTimeMs(now) - FileTimeMs(created);
}

void Write() {
  TProfile& p = Profile();
  const char* path = std::getenv("EVESK_PROFILE_FILE");
  if (!path || !*path) return;
  FILE* f = std::fopen(path, "w");
  if (!f) return;
  auto ms = [&](const LARGE_INTEGER& t) {
    return 1000.0 * static_cast<double>(t.QuadPart - p.Origin.QuadPart) / static_cast<double>(p.Frequency.QuadPart);
  };
  std::fprintf(f, "mark\tprocess created\t%.3f\n", -p.BeforeMain);
  for (const auto& [what, t] : p.Marks) std::fprintf(f, "mark\t%s\t%.3f\n", what.c_str(), ms(t));
  std::fprintf(f, "messages\t%ld\n", p.Messages);
  for (const auto& [what, n] : p.ByPhase)
    std::fprintf(f, "phase\t%s\tncpaint %d\terase %d\tpaint %d\tmessages %d\n", what.c_str(), n[0], n[1], n[2], n[3]);
  for (const std::string& t : p.Trace) std::fprintf(f, "trace\t%s\n", t.c_str());
  for (auto& [wnd, c] : p.Windows) {
    char text[64] = {};
    if (IsWindow(wnd)) GetWindowTextA(wnd, text, sizeof text);
    std::fprintf(f, "window\t%p\t%s\t%s\tncpaint %d+%d\terase %d+%d\tpaint %d+%d\tposchanged %d\tsent %d\n",
                 static_cast<void*>(wnd), c.Class.c_str(), text, c.NcPaint[0], c.NcPaint[1], c.Erase[0], c.Erase[1],
                 c.Paint[0], c.Paint[1], c.PosChanged, c.Sent);
  }
  std::fclose(f);
}

}  // namespace

void StartMark(const char* what) {
  TProfile& p = Profile();
  if (p.Done) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  if (!p.Started) {
    p.Started = true;
    p.BeforeMain = SinceCreation();
    QueryPerformanceFrequency(&p.Frequency);
    p.Origin = now;
    // The hooks that count messages cost time of their own (each hooked message is more work
    // for the window server under Wine): timing the phases alone goes without them.
    if (!std::getenv("EVESK_PROFILE_MARKS_ONLY")) {
      p.Sent = SetWindowsHookExA(WH_CALLWNDPROC, &SentHook, nullptr, GetCurrentThreadId());
      p.Got = SetWindowsHookExA(WH_GETMESSAGE, &GotHook, nullptr, GetCurrentThreadId());
    }
  }
  p.Marks.emplace_back(what, now);
}

void StartIdle() {
  TProfile& p = Profile();
  if (!p.Started || p.Done) return;
  StartMark("first idle");
  p.Done = true;
  if (p.Sent) UnhookWindowsHookEx(p.Sent);
  if (p.Got) UnhookWindowsHookEx(p.Got);
  Write();
}

}  // namespace evesk
#endif
