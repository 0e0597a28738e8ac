// Owners of operating-system handles: one move-only template with a traits class per kind of
// handle, and scoped helpers for device contexts (GetDC/ReleaseDC, SaveDC/RestoreDC, objects
// selected into a DC). Every handle the class library holds goes through these.
#pragma once
#include <windows.h>

#include <utility>

#include "framework/Bitmap.h"

namespace evesk {

// Traits: Type, Null() for "no handle", IsValid(h) for what a creating call returns, Close(h).
template <class Traits>
class THandle {
 public:
  using Type = typename Traits::Type;

  THandle() noexcept = default;
  // Takes over H; a failure value of the creating call (null, INVALID_HANDLE_VALUE) stays empty.
  explicit THandle(Type h) noexcept : FHandle(Traits::IsValid(h) ? h : Traits::Null()) {}
  ~THandle() { Reset(); }
  THandle(THandle&& other) noexcept : FHandle(other.Release()) {}
  THandle& operator=(THandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;

  Type Get() const noexcept { return FHandle; }
  explicit operator bool() const noexcept { return FHandle != Traits::Null(); }
  // Gives the handle to the caller, who closes it.
  [[nodiscard]] Type Release() noexcept { return std::exchange(FHandle, Traits::Null()); }
  void Reset(Type h = Traits::Null()) noexcept {
    Type old = std::exchange(FHandle, Traits::IsValid(h) ? h : Traits::Null());
    if (old != Traits::Null()) Traits::Close(old);
  }

 private:
  Type FHandle = Traits::Null();
};

template <class T>
struct TNullHandleTraits {
  using Type = T;
  static constexpr Type Null() noexcept { return nullptr; }
  static bool IsValid(Type h) noexcept { return h != nullptr; }
};

struct TKernelTraits : TNullHandleTraits<HANDLE> {
  // Files and snapshots report failure with INVALID_HANDLE_VALUE, most others with null.
  static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { CloseHandle(h); }
};
template <class T>
struct TGdiTraits : TNullHandleTraits<T> {
  static void Close(T h) noexcept { DeleteObject(h); }
};
struct TRegKeyTraits : TNullHandleTraits<HKEY> {
  static void Close(HKEY h) noexcept { RegCloseKey(h); }
};
struct TModuleTraits : TNullHandleTraits<HMODULE> {
  static void Close(HMODULE h) noexcept { FreeLibrary(h); }
};
struct TIconTraits : TNullHandleTraits<HICON> {
  static void Close(HICON h) noexcept { DestroyIcon(h); }
};
struct TMemoryDCTraits : TNullHandleTraits<HDC> {
  static void Close(HDC h) noexcept { DeleteDC(h); }
};
struct TMenuTraits : TNullHandleTraits<HMENU> {
  static void Close(HMENU h) noexcept { DestroyMenu(h); }
};

using TKernelHandle = THandle<TKernelTraits>;
using TGdiObject = THandle<TGdiTraits<HGDIOBJ>>;
using TBitmapHandle = THandle<TGdiTraits<HBITMAP>>;
using TBrushHandle = THandle<TGdiTraits<HBRUSH>>;
using TPenHandle = THandle<TGdiTraits<HPEN>>;
using TFontHandle = THandle<TGdiTraits<HFONT>>;
using TRegionHandle = THandle<TGdiTraits<HRGN>>;
using TRegKeyHandle = THandle<TRegKeyTraits>;
using TModuleHandle = THandle<TModuleTraits>;
using TIconHandle = THandle<TIconTraits>;
using TMemoryDC = THandle<TMemoryDCTraits>;
using TMenuHandle = THandle<TMenuTraits>;

// Looks up a function of a library loaded at run time into FUNCTION; false when it is missing.
template <class F>
bool FindProc(HMODULE module, const char* name, F& function) {
  function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

// A device context to measure text in, or to read a bitmap's pixels with: a memory context
// compatible with the screen, one per thread and kept. Taking and giving back the screen's own
// context is a round trip to the window server each time under Wine. Whoever selects into it
// puts back what was there (TSelectObject, TCanvas).
inline HDC MeasuringDC() {
  struct TKept {
    HDC DC = CreateCompatibleDC(nullptr);
    ~TKept() {
      if (DC) DeleteDC(DC);
    }
  };
  thread_local TKept kept;
  return kept.DC;
}

// The DC of a window (or of the screen for null), released on leaving the scope.
class TWindowDC {
 public:
  // Whole: the DC of the whole window, frame included, for painting the non-client part.
  enum TArea { Client, Whole };
  explicit TWindowDC(HWND wnd = nullptr) noexcept : FWnd(wnd), FDC(GetDC(wnd)) {}
  TWindowDC(HWND wnd, TArea area) noexcept : FWnd(wnd), FDC(area == Whole ? GetWindowDC(wnd) : GetDC(wnd)) {}
  ~TWindowDC() {
    if (FDC) ReleaseDC(FWnd, FDC);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  HDC Get() const noexcept { return FDC; }
  explicit operator bool() const noexcept { return FDC != nullptr; }

 private:
  HWND FWnd;
  HDC FDC;
};

// A memory DC with a bitmap's DIB section selected while it lives, for drawing into the bitmap
// or copying out of it. A bitmap without a handle (nothing allocated) is not selected.
class TBitmapDC {
 public:
  explicit TBitmapDC(TBitmap& bitmap) noexcept : FDC(CreateCompatibleDC(nullptr)) {
    if (FDC && bitmap.Handle()) FOld = SelectObject(FDC.Get(), static_cast<HBITMAP>(bitmap.Handle()));
  }
  // The bitmap is selected out before the DC goes, so it may be selected elsewhere afterwards.
  ~TBitmapDC() {
    if (FOld && FOld != HGDI_ERROR) SelectObject(FDC.Get(), FOld);
  }
  TBitmapDC(const TBitmapDC&) = delete;
  TBitmapDC& operator=(const TBitmapDC&) = delete;
  HDC Handle() const noexcept { return FDC.Get(); }
  explicit operator bool() const noexcept { return static_cast<bool>(FDC); }

 private:
  TMemoryDC FDC;
  HGDIOBJ FOld = nullptr;
};

// BeginPaint/EndPaint for one WM_PAINT.
class TPaintDC {
 public:
  explicit TPaintDC(HWND wnd) noexcept : FWnd(wnd), FDC(BeginPaint(wnd, &FPaint)) {}
  ~TPaintDC() { EndPaint(FWnd, &FPaint); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  HDC Get() const noexcept { return FDC; }
  const RECT& UpdateRect() const noexcept { return FPaint.rcPaint; }

 private:
  HWND FWnd;
  PAINTSTRUCT FPaint{};
  HDC FDC;
};

// Everything a drawing routine changes in a DC (clipping, objects, colours, modes) comes back
// when the scope ends.
class TSavedDC {
 public:
  explicit TSavedDC(HDC dc) noexcept : FDC(dc), FId(dc ? SaveDC(dc) : 0) {}
  ~TSavedDC() {
    if (FId) RestoreDC(FDC, FId);
  }
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;

 private:
  HDC FDC;
  int FId;
};

// Selects an object into a DC and selects the previous one back on leaving the scope, so an
// object is never deleted while selected.
class TSelectObject {
 public:
  TSelectObject(HDC dc, HGDIOBJ object) noexcept : FDC(dc), FOld(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~TSelectObject() {
    if (FOld && FOld != HGDI_ERROR) SelectObject(FDC, FOld);
  }
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FOld;
};

// Paints the non-client part of a window from an image of the whole window (its top-left corner
// at the window's): the client rectangle, in window coordinates, is left as it is. The DC's
// clipping comes back afterwards.
inline void PaintNonClient(HDC dc, HBITMAP image, SIZE size, const RECT& client) noexcept {
  if (!dc || !image) return;
  TSavedDC saved(dc);
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  TMemoryDC source(CreateCompatibleDC(dc));
  TSelectObject selected(source.Get(), image);
  BitBlt(dc, 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
}

}  // namespace evesk
