// starttimer: whole-process start-up timing from inside the Wine prefix.
//
//   starttimer time RUNS PROGRAM_A CLASS_A PROGRAM_B CLASS_B
//     Times each start from CreateProcess to the program's first idle: the moment its GUI
//     thread finds no message left, painting included (WaitForInputIdle). A start counts only if
//     a visible window of the given class is there by then. Each round starts A, B and A once
//     more, in an order that changes from round to round, so that both programs meet the same
//     load and A timed against itself shows what difference a run can resolve.
//
//   starttimer hold PROGRAM CLASS SECONDS MARKER
//     Starts the program, waits for its first idle and SECONDS more, writes its process id to
//     the file MARKER and keeps it running until MARKER is deleted (at most 60 s): the caller
//     measures the process meanwhile.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

bool HasVisibleWindow(DWORD pid, const char* cls) {
  Search search{pid, cls};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class TStarted {
 public:
  // Starts the program and waits, without polling, for its first idle; Ms() is -1 when it
  // failed to start, ended, never idled within a minute or had no visible window by then.
  TStarted(const std::string& program, const char* cls) {
    LARGE_INTEGER frequency, began, now;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string command = "\"" + program + "\"";
    QueryPerformanceCounter(&began);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &FInfo)) return;
    FStarted = true;
    const DWORD idle = WaitForInputIdle(FInfo.hProcess, 60000);
    QueryPerformanceCounter(&now);
    const bool alive = WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT;
    if (idle == 0 && alive && HasVisibleWindow(FInfo.dwProcessId, cls))
      FMs = 1000.0 * static_cast<double>(now.QuadPart - began.QuadPart) / static_cast<double>(frequency.QuadPart);
  }
  ~TStarted() {
    if (!FStarted) return;
    TerminateProcess(FInfo.hProcess, 0);
    WaitForSingleObject(FInfo.hProcess, 10000);
    CloseHandle(FInfo.hThread);
    CloseHandle(FInfo.hProcess);
    Sleep(300);  // the tray's icon and the shell settle before the next start
  }
  TStarted(const TStarted&) = delete;
  TStarted& operator=(const TStarted&) = delete;
  double Ms() const { return FMs; }
  DWORD Pid() const { return FInfo.dwProcessId; }

 private:
  PROCESS_INFORMATION FInfo{};
  bool FStarted = false;
  double FMs = -1;
};

double TimeStart(const std::string& program, const char* cls) { return TStarted(program, cls).Ms(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

int Time(int runs, const char* a, const char* aClass, const char* b, const char* bClass) {
  TimeStart(a, aClass);  // warms the prefix and the file cache
  TimeStart(b, bClass);
  // Slots: 0 = A, 1 = B, 2 = A again. All six orders in turn put each in every position and
  // after every other equally often: a start right after the same program finds more in the
  // caches, and A against itself must not gain from that.
  static const int kOrders[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {0, 2, 1}, {2, 1, 0}, {1, 0, 2}};
  std::vector<double> a1, b1, a2, self;
  for (int i = 0; i < runs; ++i) {
    double t[3] = {};
    for (int slot : kOrders[i % 6]) {
      t[slot] = slot == 1 ? TimeStart(b, bClass) : TimeStart(a, aClass);
      if (t[slot] < 0) {
        std::fprintf(stderr, "starttimer: run %d: %s did not reach an idle visible window\n", i + 1, slot == 1 ? b : a);
        return 1;
      }
    }
    a1.push_back(t[0]);
    b1.push_back(t[1]);
    a2.push_back(t[2]);
    self.push_back(t[0] / t[2]);
    std::printf("run %d\t%.1f ms\t%.1f ms\t(A again %.1f ms)\n", i + 1, t[0], t[1], t[2]);
  }
  std::printf("median\t%.1f ms\t%.1f ms\tratio %.2f\n", Median(a1), Median(b1), Median(a1) / Median(b1));
  std::printf("A vs A\tratio of medians %.2f; single pairs %.2f to %.2f, middle half %.2f to %.2f\n",
              Median(a1) / Median(a2), Quantile(self, 0), Quantile(self, 1), Quantile(self, 0.25),
              Quantile(self, 0.75));
  return 0;
}

int Hold(const char* program, const char* cls, int seconds, const char* marker) {
  TStarted started(program, cls);
  if (started.Ms() < 0) {
    std::fprintf(stderr, "starttimer: %s did not reach an idle visible window\n", program);
    return 1;
  }
  Sleep(static_cast<DWORD>(seconds) * 1000);
  FILE* f = std::fopen(marker, "w");
  if (!f) return 1;
  std::fprintf(f, "%lu\n", static_cast<unsigned long>(started.Pid()));
  std::fclose(f);
  // The caller reads the process's memory now; not timed, so a slow poll is enough.
  for (int i = 0; i < 600 && GetFileAttributesA(marker) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "time" && argc == 7) return Time(std::max(1, std::atoi(argv[2])), argv[3], argv[4], argv[5], argv[6]);
  if (mode == "hold" && argc == 6) return Hold(argv[2], argv[3], std::max(0, std::atoi(argv[4])), argv[5]);
  std::fprintf(stderr,
               "usage: starttimer time RUNS PROGRAM_A CLASS_A PROGRAM_B CLASS_B\n"
               "       starttimer hold PROGRAM CLASS SECONDS MARKER\n");
  return 2;
}
