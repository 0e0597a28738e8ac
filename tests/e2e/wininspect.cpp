// wininspect: a console helper that the end-to-end harness runs inside the test prefix to
// look at the windows of the shared desktop and to poke them with messages.
//
//   wininspect list [--all]          top-level windows (visible only unless --all)
//   wininspect children WINDOW       descendants of WINDOW (a handle such as 0x1234, or a title)
//   wininspect send WINDOW MSG WPARAM LPARAM   SendMessageTimeout, prints the result
//   wininspect post WINDOW MSG WPARAM LPARAM   PostMessage
//   wininspect chars WINDOW TEXT     posts TEXT to WINDOW as WM_CHAR messages, in order
//   wininspect foreground WINDOW     brings WINDOW to the front
//   wininspect active                the foreground window's handle
//   wininspect focus WINDOW          the focused and the active window of WINDOW's thread
//   wininspect frames L T W H N MS [X Y]  N captures of a desktop rectangle, MS apart, after
//                                    putting the pointer at X, Y when given; one line each:
//                                    milliseconds since the first, then the RGB bytes in hex
//   wininspect textwidth FONT WEIGHT HEIGHT TEXT...  the width and height of each TEXT in a font
//                                    of this process at its DPI: FONT "menu" is the system's menu
//                                    font (HEIGHT 0 keeps its size), else a face name; Central
//                                    European characters; one "cx cy ink" line per text, ink
//                                    being the width its pixels cover drawn black on white
//   wininspect checks WINDOW         BM_GETCHECK of every descendant: one "hwnd state" line each
//   wininspect hitgrid WINDOW X0 Y0 X1 Y1 STEP   WM_NCHITTEST answers over a grid of desktop
//                                    points: one "x y answer" line each
//   wininspect textwatch SECONDS     every 100 ms asks every top-level window for its text,
//                                    with GetWindowTextA and SendMessageTimeout(WM_GETTEXT),
//                                    as task switchers do; fails when one call blocks 10 s
//
// Output: one line per window, tab-separated. Texts are printed twice: as UTF-8 with
// backslash escapes for tab, CR, LF and backslash, and as the hex of their code page 1250
// bytes, so that callers can compare Czech text either way. Numbers are decimal except
// handles (0x...). Exit code 0 on success, 1 when a window was not found or a call failed,
// 2 on a usage error.
//
// list columns:     hwnd pid tid visible class title title_cp1250_hex
//                   left top right bottom client_w client_h client_x client_y
// children columns: hwnd parent id visible enabled class text text_cp1250_hex
//                   left top width height (relative to the parent's client area)
//                   screen_left screen_top
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string ToCodePage(const std::wstring& text, UINT codePage) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

// Tabs and line breaks would break the one-line-per-window format.
std::string Escaped(const std::wstring& text) {
  std::string utf8 = ToCodePage(text, CP_UTF8);
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::wstring WindowText(HWND hwnd) {
  // SendMessageTimeout so that a hung window cannot hang the inspector.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  if (length > 65536) length = 65536;
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, 2000, &copied))
    return {};
  if (copied > length + 1) copied = length + 1;
  return std::wstring(buffer.data(), static_cast<size_t>(copied));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[257] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::string HandleText(HWND hwnd) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
  return text;
}

void PrintText(const std::wstring& text) {
  std::string line = Escaped(text) + "\t" + Hex(ToCodePage(text, 1250));
  std::fwrite(line.data(), 1, line.size(), stdout);
}

struct ListOptions {
  bool all = false;
};

BOOL CALLBACK ListOne(HWND hwnd, LPARAM param) {
  const auto* options = reinterpret_cast<const ListOptions*>(param);
  bool visible = IsWindowVisible(hwnd) != FALSE;
  if (!visible && !options->all) return TRUE;
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
  RECT rect{}, client{};
  GetWindowRect(hwnd, &rect);
  GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  std::printf("%s\t%lu\t%lu\t%d\t", HandleText(hwnd).c_str(), static_cast<unsigned long>(pid),
              static_cast<unsigned long>(tid), visible ? 1 : 0);
  PrintText(ClassOf(hwnd));
  std::printf("\t");
  PrintText(WindowText(hwnd));
  std::printf("\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\n", rect.left, rect.top, rect.right, rect.bottom,
              client.right - client.left, client.bottom - client.top, origin.x, origin.y);
  return TRUE;
}

BOOL CALLBACK ChildOne(HWND hwnd, LPARAM) {
  HWND parent = GetParent(hwnd);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  RECT local = rect;
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&local), 2);
  std::printf("%s\t%s\t%ld\t%d\t%d\t", HandleText(hwnd).c_str(), HandleText(parent).c_str(),
              static_cast<long>(GetDlgCtrlID(hwnd)), IsWindowVisible(hwnd) ? 1 : 0,
              IsWindowEnabled(hwnd) ? 1 : 0);
  PrintText(ClassOf(hwnd));
  std::printf("\t");
  PrintText(WindowText(hwnd));
  std::printf("\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\n", local.left, local.top, local.right - local.left,
              local.bottom - local.top, rect.left, rect.top);
  return TRUE;
}

struct TitleSearch {
  std::wstring title;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TitleSearch*>(param);
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (WindowText(hwnd) == search->title) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

bool ParseNumber(const wchar_t* text, unsigned long long& value) {
  if (!text || !*text) return false;
  wchar_t* end = nullptr;
  bool negative = text[0] == L'-';
  value = std::wcstoull(negative ? text + 1 : text, &end, 0);
  if (!end || *end != L'\0') return false;
  if (negative) value = 0 - value;
  return true;
}

// A window given as a handle (0x...) must exist; otherwise the argument is a visible
// top-level window's exact title.
HWND ResolveWindow(const wchar_t* arg) {
  unsigned long long value = 0;
  if ((arg[0] == L'0' && (arg[1] == L'x' || arg[1] == L'X')) && ParseNumber(arg, value)) {
    HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
    return IsWindow(hwnd) ? hwnd : nullptr;
  }
  TitleSearch search{arg};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Usage();

// The watch: a worker makes the blocking calls, the main thread notices one that hangs.
struct TextWatch {
  volatile LONG calls = 0;
  volatile LONG timeouts = 0;
  volatile DWORD callStart = 0;  // 0 while no call is under way
  volatile HWND current = nullptr;
  volatile bool stop = false;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

DWORD WINAPI TextWatchThread(void* param) {
  auto* watch = static_cast<TextWatch*>(param);
  while (!watch->stop) {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND hwnd : windows) {
      char text[512];
      watch->current = hwnd;
      watch->callStart = GetTickCount() | 1;
      GetWindowTextA(hwnd, text, sizeof text);
      DWORD_PTR copied = 0;
      if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                               &copied) &&
          IsWindow(hwnd))
        InterlockedIncrement(&watch->timeouts);
      watch->callStart = 0;
      InterlockedIncrement(&watch->calls);
    }
    Sleep(100);
  }
  return 0;
}

int WatchTexts(int argc, wchar_t** argv) {
  unsigned long long seconds = 0;
  if (argc != 3 || !ParseNumber(argv[2], seconds)) return Usage();
  static TextWatch watch;
  HANDLE thread = CreateThread(nullptr, 0, TextWatchThread, &watch, 0, nullptr);
  if (!thread) return 1;
  const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    Sleep(50);
    DWORD start = watch.callStart;
    if (start && static_cast<LONG>(GetTickCount() - start) > 10000) {
      HWND hwnd = watch.current;
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      std::printf("hung\t%s\t%lu\t", HandleText(hwnd).c_str(), static_cast<unsigned long>(pid));
      PrintText(ClassOf(hwnd));
      std::printf("\n");
      std::fflush(stdout);
      ExitProcess(1);  // the worker is stuck inside the call
    }
  }
  watch.stop = true;
  WaitForSingleObject(thread, 30000);
  std::printf("calls\t%ld\ttimeouts\t%ld\n", watch.calls, watch.timeouts);
  return watch.timeouts ? 1 : 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: wininspect list [--all]\n"
               "       wininspect children WINDOW\n"
               "       wininspect frames LEFT TOP WIDTH HEIGHT COUNT MS [X Y]\n"
               "       wininspect send|post WINDOW MSG WPARAM LPARAM\n"
               "       wininspect chars WINDOW TEXT\n"
               "       wininspect foreground WINDOW\n"
               "       wininspect region WINDOW\n"
               "       wininspect hittest WINDOW Y X0 X1 STEP\n"
               "       wininspect active\n"
               "       wininspect textwatch SECONDS\n");
  return 2;
}

int Message(bool send, int argc, wchar_t** argv) {
  if (argc != 6) return Usage();
  HWND hwnd = ResolveWindow(argv[2]);
  unsigned long long msg = 0, wparam = 0, lparam = 0;
  if (!ParseNumber(argv[3], msg) || !ParseNumber(argv[4], wparam) || !ParseNumber(argv[5], lparam))
    return Usage();
  if (!hwnd) {
    std::fprintf(stderr, "wininspect: no such window\n");
    return 1;
  }
  if (send) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wparam),
                             static_cast<LPARAM>(lparam), SMTO_NORMAL, 30000, &result)) {
      std::fprintf(stderr, "wininspect: send failed or timed out (error %lu)\n",
                   static_cast<unsigned long>(GetLastError()));
      return 1;
    }
    std::printf("%ld\n", static_cast<long>(result));
    return 0;
  }
  if (!PostMessageW(hwnd, static_cast<UINT>(msg), static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam))) {
    std::fprintf(stderr, "wininspect: post failed (error %lu)\n", static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::printf("posted\n");
  return 0;
}

// Captures of a desktop rectangle in quick succession, to watch an animation.
int Frames(int argc, wchar_t** argv) {
  if (argc != 8 && argc != 10) return Usage();
  int v[8] = {};
  for (int i = 2; i < argc; ++i) v[i - 2] = static_cast<int>(std::wcstol(argv[i], nullptr, 10));
  const int left = v[0], top = v[1], w = v[2], h = v[3], count = v[4], interval = v[5];
  if (w <= 0 || h <= 0 || w > 2000 || h > 2000 || count <= 0 || count > 1000 || interval < 0) return Usage();
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) return 1;
  HGDIOBJ old = SelectObject(mem, dib);
  const int stride = (w * 3 + 3) & ~3;
  if (argc == 10) SetCursorPos(v[6], v[7]);
  const DWORD start = GetTickCount();
  std::string line;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && interval > 0) Sleep(static_cast<DWORD>(interval));
    BitBlt(mem, 0, 0, w, h, screen, left, top, SRCCOPY);
    GdiFlush();
    line = std::to_string(GetTickCount() - start) + " ";
    static const char hex[] = "0123456789abcdef";
    for (int y = 0; y < h; ++y) {
      const auto* row = static_cast<const unsigned char*>(bits) + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < w; ++x)
        for (int c = 2; c >= 0; --c) {
          const unsigned char b = row[x * 3 + c];
          line += hex[b >> 4];
          line += hex[b & 15];
        }
    }
    std::printf("%s\n", line.c_str());
  }
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return 0;
}

// The extent of a text in a font made as the program makes its own, in this process, which runs
// in the same prefix and at the same DPI as the program.
int TextWidth(int argc, wchar_t** argv) {
  if (argc < 6) return Usage();
  LOGFONTW lf{};
  if (std::wstring(argv[2]) == L"menu") {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return 1;
    lf = metrics.lfMenuFont;
  } else {
    lstrcpynW(lf.lfFaceName, argv[2], LF_FACESIZE);
  }
  lf.lfWeight = static_cast<LONG>(std::wcstol(argv[3], nullptr, 10));
  if (const long height = std::wcstol(argv[4], nullptr, 10)) lf.lfHeight = height;
  lf.lfCharSet = EASTEUROPE_CHARSET;
  HFONT font = CreateFontIndirectW(&lf);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, font);
  bool ok = true;
  for (int i = 5; i < argc; ++i) {
    const int length = static_cast<int>(std::wcslen(argv[i]));
    SIZE size{};
    ok = GetTextExtentPoint32W(dc, argv[i], length, &size) && ok;
    // The text drawn black on white, as a screenshot shows it: the width its ink covers.
    const int w = size.cx + 2 * size.cy, h = size.cy;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    long first = -1, last = -1, dark = 0;
    if (dib && bits && w > 0 && h > 0) {
      HGDIOBJ oldBitmap = SelectObject(dc, dib);
      RECT all{0, 0, w, h};
      FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkMode(dc, TRANSPARENT);
      TextOutW(dc, size.cy, 0, argv[i], length);
      GdiFlush();
      const auto* px = static_cast<const DWORD*>(bits);
      for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
          if ((px[y * w + x] & 0xFF) < 110) {
            if (first < 0) first = x;
            last = x;
            ++dark;
          }
      SelectObject(dc, oldBitmap);
    }
    if (dib) DeleteObject(dib);
    // Then the dark pixels of the ink, and the weight and face the system gave for the request.
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    std::printf("%ld %ld %ld %ld %ld %s\n", static_cast<long>(size.cx), static_cast<long>(size.cy),
                first < 0 ? 0 : last - first + 1, dark, static_cast<long>(tm.tmWeight), ToCodePage(face, CP_UTF8).c_str());
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  return ok ? 0 : 1;
}

BOOL CALLBACK CheckOne(HWND hwnd, LPARAM) {
  DWORD_PTR state = 0;
  if (!SendMessageTimeoutW(hwnd, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state)) state = static_cast<DWORD_PTR>(-1);
  std::printf("%s %ld\n", HandleText(hwnd).c_str(), static_cast<long>(state));
  return TRUE;
}

int HitGrid(HWND hwnd, int argc, wchar_t** argv) {
  if (argc != 8) return Usage();
  long v[5];
  for (int i = 0; i < 5; ++i) v[i] = std::wcstol(argv[3 + i], nullptr, 0);
  if (v[4] <= 0) return Usage();
  for (long y = v[1]; y <= v[3]; y += v[4])
    for (long x = v[0]; x <= v[2]; x += v[4]) {
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 5000, &answer);
      std::printf("%ld %ld %ld\n", x, y, static_cast<long>(answer));
    }
  return 0;
}

// The window's region: its kind (0 none, 1 empty, 2 one rectangle, 3 more) and the number of
// its rectangles, then one line per rectangle (left, top, right, bottom in window coordinates).
int Region(HWND hwnd) {
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  const int kind = GetWindowRgn(hwnd, rgn);
  const DWORD size = GetRegionData(rgn, 0, nullptr);
  std::string data;
  unsigned long count = 0;
  if (kind > 1 && size) {
    data.assign(size, '\0');
    if (GetRegionData(rgn, size, reinterpret_cast<RGNDATA*>(data.data())))
      count = reinterpret_cast<RGNDATA*>(data.data())->rdh.nCount;
  }
  DeleteObject(rgn);
  std::printf("%d\t%lu\n", kind, count);
  const RECT* rects = count ? reinterpret_cast<const RECT*>(reinterpret_cast<RGNDATA*>(data.data())->Buffer) : nullptr;
  for (unsigned long i = 0; i < count; ++i)
    std::printf("%ld\t%ld\t%ld\t%ld\n", rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
  return 0;
}

// WM_NCHITTEST answers along one row of desktop points: hittest HWND Y X0 X1 STEP.
int HitRow(HWND hwnd, int argc, wchar_t** argv) {
  if (argc != 7) return Usage();
  const long y = std::wcstol(argv[3], nullptr, 0), x1 = std::wcstol(argv[5], nullptr, 0);
  const long step = std::wcstol(argv[6], nullptr, 0);
  for (long x = std::wcstol(argv[4], nullptr, 0); x <= x1 && step > 0; x += step) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 5000, &answer);
    std::printf("%ld\t%ld\n", x, static_cast<long>(answer));
  }
  return 0;
}

// The commands that act on one window, named by the second argument.
int OnWindow(const std::wstring& command, int argc, wchar_t** argv) {
  if (argc < 3) return Usage();
  HWND hwnd = ResolveWindow(argv[2]);
  if (!hwnd) {
    std::fprintf(stderr, "wininspect: no such window\n");
    return 1;
  }
  if (command == L"children") {
    if (argc != 3) return Usage();
    EnumChildWindows(hwnd, ChildOne, 0);
    return 0;
  }
  if (command == L"checks") {
    EnumChildWindows(hwnd, CheckOne, 0);
    return 0;
  }
  if (command == L"hitgrid") return HitGrid(hwnd, argc, argv);
  if (command == L"hittest") return HitRow(hwnd, argc, argv);
  if (command == L"region") return argc == 3 ? Region(hwnd) : Usage();
  if (command == L"foreground") return argc == 3 ? (SetForegroundWindow(hwnd) ? 0 : 1) : Usage();
  if (command == L"focus") {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (argc != 3 || !GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info)) return argc != 3 ? Usage() : 1;
    std::printf("%s\t%s\n", HandleText(info.hwndFocus).c_str(), HandleText(info.hwndActive).c_str());
    return 0;
  }
  // chars: posted, not sent, so they queue behind earlier input like typed characters do.
  if (argc != 4) return Usage();
  for (const wchar_t* c = argv[3]; *c; ++c) {
    if (!PostMessageW(hwnd, WM_CHAR, static_cast<WPARAM>(*c), 1)) {
      std::fprintf(stderr, "wininspect: post failed (error %lu)\n", static_cast<unsigned long>(GetLastError()));
      return 1;
    }
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Plain LF line ends and untouched UTF-8 bytes for the reader on the other side of the pipe.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  int rc = 0;
  if (command == L"list") {
    ListOptions options;
    for (int i = 2; i < argc; ++i) {
      if (std::wstring(argv[i]) == L"--all") options.all = true;
      else return Usage();
    }
    EnumWindows(ListOne, reinterpret_cast<LPARAM>(&options));
  } else if (command == L"send" || command == L"post") {
    rc = Message(command == L"send", argc, argv);
  } else if (command == L"active") {
    std::printf("%s\n", HandleText(GetForegroundWindow()).c_str());
  } else if (command == L"frames") {
    rc = Frames(argc, argv);
  } else if (command == L"textwidth") {
    rc = TextWidth(argc, argv);
  } else if (command == L"textwatch") {
    rc = WatchTexts(argc, argv);
  } else if (command == L"children" || command == L"chars" || command == L"checks" || command == L"hitgrid" ||
             command == L"hittest" || command == L"region" || command == L"foreground" || command == L"focus") {
    rc = OnWindow(command, argc, argv);
  } else {
    return Usage();
  }
  std::fflush(stdout);
  return rc;
}
