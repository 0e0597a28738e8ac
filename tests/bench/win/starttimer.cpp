// starttimer: whole-process start-up timing from inside the Wine prefix. Launches each program
// in turn, polls every 2 ms for a visible window of the given class owned by it, ends it, and
// prints each time and the medians. Taking both programs in one run puts them under the same
// load, so their ratio means more than either figure.
//
//   starttimer RUNS PROGRAM_A CLASS_A PROGRAM_B CLASS_B
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD pid;
  const char* cls;
  bool found = false;
};

BOOL CALLBACK Match(HWND wnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  char cls[256] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  if (pid == search->pid && IsWindowVisible(wnd) && std::string(cls) == search->cls) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds from CreateProcess to the window, or -1.
double TimeStart(const std::string& program, const char* cls) {
  LARGE_INTEGER frequency, began, now;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string command = "\"" + program + "\"";
  QueryPerformanceCounter(&began);
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  double ms = -1;
  for (;;) {
    Search search{pi.dwProcessId, cls};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    QueryPerformanceCounter(&now);
    const double elapsed = 1000.0 * static_cast<double>(now.QuadPart - began.QuadPart) / static_cast<double>(frequency.QuadPart);
    if (search.found) {
      ms = elapsed;
      break;
    }
    if (elapsed > 60000 || WaitForSingleObject(pi.hProcess, 2) == WAIT_OBJECT_0) break;
  }
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  Sleep(300);  // the tray's icon and the shell settle before the next start
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: starttimer RUNS PROGRAM_A CLASS_A PROGRAM_B CLASS_B\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  std::vector<double> a, b;
  TimeStart(argv[2], argv[3]);  // warms the prefix and the file cache
  TimeStart(argv[4], argv[5]);
  for (int i = 0; i < runs; ++i) {
    const double ta = TimeStart(argv[2], argv[3]);
    const double tb = TimeStart(argv[4], argv[5]);
    if (ta < 0 || tb < 0) {
      std::fprintf(stderr, "starttimer: run %d: a window never showed\n", i + 1);
      return 1;
    }
    a.push_back(ta);
    b.push_back(tb);
    std::printf("run %d\t%.1f ms\t%.1f ms\n", i + 1, ta, tb);
  }
  std::printf("median\t%.1f ms\t%.1f ms\tratio %.2f\n", Median(a), Median(b), Median(a) / Median(b));
  return 0;
}
