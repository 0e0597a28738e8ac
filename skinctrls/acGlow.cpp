#include "skinctrls/acGlow.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "skin/sCommonData.h"
#include "skin/sGraphUtils.h"
#include "skinctrls/sFade.h"

namespace evesk {

namespace {

const char* const kGlowClass = "TacGlowForm";

// The owner of every glow shown now, by rising id. An id is given once and never again, so an
// owner whose glow went with all the others (a skin applied or removed) holds an id that names
// nothing: freeing it frees nobody else's glow, and the owner sees that it has none.
class TGlowList {
  using TItems = std::vector<std::pair<int, std::unique_ptr<TacGlowEffect>>>;
  template <class Items>
  static auto At(Items& items, int id) {
    return std::find_if(items.begin(), items.end(), [id](const auto& item) { return item.first == id; });
  }

 public:
  int Add(std::unique_ptr<TacGlowEffect> glow) {
    const int id = NewId();
    FItems.emplace_back(id, std::move(glow));
    return id;
  }
  TacGlowEffect* Find(int id) const {
    const auto found = At(FItems, id);
    return found == FItems.end() ? nullptr : found->second.get();
  }
  // Each glow leaves the list before its window goes: messages of the dying window may reach it.
  void Remove(int id) {
    const auto found = At(FItems, id);
    if (found == FItems.end()) return;
    std::unique_ptr<TacGlowEffect> gone = std::move(found->second);
    FItems.erase(found);
  }
  void Clear() {
    TItems gone;
    gone.swap(FItems);
  }
  int Count() const { return static_cast<int>(FItems.size()); }

 private:
  int NewId() {
    // Ids run out only after two thousand million glows; then they start again, past the live ones.
    do FNext = FNext == std::numeric_limits<int>::max() ? 0 : FNext + 1;
    while (At(FItems, FNext) != FItems.end());
    return FNext;
  }

  TItems FItems;
  int FNext = 0;
};

TGlowList& Glows() {
  static TGlowList list;
  return list;
}

// Picks the source column (or row) of a stretched nine-part image for a destination one.
int SourceIndex(int d, int size, int lead, int trail, int sourceSize) {
  if (d < lead) return d;
  if (d >= size - trail) return sourceSize - (size - d);
  const int middle = sourceSize - lead - trail, span = size - lead - trail;
  if (middle <= 0 || span <= 0) return std::clamp(lead, 0, sourceSize - 1);
  return lead + static_cast<int>(static_cast<long long>(d - lead) * middle / span);
}

// Hands the glows to the controls' skin data.
class TGlowProvider : public TacGlowProvider {
 public:
  int Show(TsCommonData& data, HWND form, const RECT& screen, int alpha, int margin, int) override {
    TWinControl* control = data.OwnerControl();
    if (!control || !control->HandleAllocated()) return -1;
    RECT r;
    GetWindowRect(control->Handle(), &r);
    return ShowGlow(r, screen, data.SkinSection(), data.SkinManager(), form, alpha, margin);
  }
  // A title button's glow: its own image around its own rectangle, not the form's.
  int ShowImage(TsSkinManager* manager, HWND form, const RECT& screen, int margin, int maskIndex) override {
    return ShowGlowImage(manager, maskIndex, margin, screen, screen, form, 255);
  }
  void Remove(int handle) override { HideGlow(handle); }
  void RemoveAll() override { ClearGlows(); }
  bool Shown(int handle) override { return GlowShown(handle); }
};

}  // namespace

bool PaintGlowImage(TBitmap& out, const TsSkinTables& tables, int maskIndex, int width, int height, int margin,
                    int alpha) {
  out.SetSize(0, 0, TPixelFormat::pf32bit);
  const TsMaskData* found = tables.MaskAt(maskIndex);
  if (!found) return false;
  const TsMaskData& mask = *found;
  const TBitmap* source = mask.Bmp ? mask.Bmp.get() : tables.MasterBitmap();
  const TacView src = TacView::Of(source);
  if (!src.Valid()) return false;
  const int iw = mask.R.Width() / std::max<int>(mask.ImageCount, 1), ih = mask.R.Height() / (mask.MaskType + 1);
  // The picture must lie inside its source; a skin that says otherwise gets no glow.
  if (iw < 1 || ih < 1 || mask.R.Left < 0 || mask.R.Top < 0 || mask.R.Left + iw > src.Width ||
      mask.R.Top + ih > src.Height)
    return false;
  const int w = width + mask.WL + mask.WR - 2 * margin, h = height + mask.WT + mask.WB - 2 * margin;
  if (w < 1 || h < 1 || w > 8192 || h > 8192) return false;
  if (!out.SetSize(w, h, TPixelFormat::pf32bit)) return false;
  const TacView dst = TacView::Of(&out);
  // Edges wider than the picture leave nothing to stretch; they shrink to fit.
  const int wl = std::min<int>(mask.WL, iw / 2), wr = std::min<int>(mask.WR, iw - wl);
  const int wt = std::min<int>(mask.WT, ih / 2), wb = std::min<int>(mask.WB, ih - wt);
  const int a = std::clamp(alpha, 0, 255);
  for (int y = 0; y < h; ++y) {
    const int sy = mask.R.Top + SourceIndex(y, h, std::min(wt, h / 2), std::min(wb, h - std::min(wt, h / 2)), ih);
    std::uint8_t* d = dst.Row(y);
    for (int x = 0; x < w; ++x, d += 4) {
      const int sx = mask.R.Left + SourceIndex(x, w, std::min(wl, w / 2), std::min(wr, w - std::min(wl, w / 2)), iw);
      const std::uint8_t* s = src.At(sx, sy);
      int pa = src.Bpp == 4 ? s[3] : 255;
      if (src.Bpp == 3 && s[0] == 0xFF && s[1] == 0x00 && s[2] == 0xFF) pa = 0;  // the key colour
      pa = pa * a / 255;
      d[0] = static_cast<std::uint8_t>(s[0] * pa / 255);
      d[1] = static_cast<std::uint8_t>(s[1] * pa / 255);
      d[2] = static_cast<std::uint8_t>(s[2] * pa / 255);
      d[3] = static_cast<std::uint8_t>(pa);
    }
  }
  return true;
}

TacGlowEffect::TacGlowEffect(TsSkinManager* manager, int maskIndex, int margin)
    : FManager(manager), FMaskIndex(maskIndex), FMargin(margin) {}

TacGlowEffect::~TacGlowEffect() {
  FFormLink.Restore();
  FWindow.Reset();
}

LRESULT CALLBACK TacGlowEffect::GlowWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCHITTEST: return HTTRANSPARENT;  // clicks go to whatever lies under the glow
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_NCDESTROY:
      // Gone with its form: the glow must not destroy the handle again later, when it may
      // name another window.
      if (auto* glow = reinterpret_cast<TacGlowEffect*>(GetWindowLongPtrA(wnd, GWLP_USERDATA)))
        if (glow->FWindow.Get() == wnd) (void)glow->FWindow.Release();
      return DefWindowProcA(wnd, msg, wp, lp);
    default: return DefWindowProcA(wnd, msg, wp, lp);
  }
}

void TacGlowEffect::EnsureGlowClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = GlowWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kGlowClass;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  registered = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool TacGlowEffect::Show(const RECT& control, const RECT& visible, HWND form, int alpha) {
  if (!FManager) return false;
  const TsSkinTables& tables = FManager->Tables();
  TBitmap image;
  if (!PaintGlowImage(image, tables, FMaskIndex, control.right - control.left, control.bottom - control.top, FMargin,
                      alpha))
    return false;
  const TsMaskData& mask = *tables.MaskAt(FMaskIndex);  // PaintGlowImage found it
  // The whole glow on screen, then only the part around what is visible of the control.
  RECT glow{control.left + FMargin - mask.WL, control.top + FMargin - mask.WT, 0, 0};
  glow.right = glow.left + image.Width();
  glow.bottom = glow.top + image.Height();
  RECT around{visible.left - (mask.WL - FMargin), visible.top - (mask.WT - FMargin), visible.right + (mask.WR - FMargin),
              visible.bottom + (mask.WB - FMargin)};
  RECT shown;
  if (!IntersectRect(&shown, &glow, &around)) return false;
  TBitmap cropped;
  const TBitmap* push = &image;
  if (!EqualRect(&shown, &glow)) {
    if (!cropped.SetSize(shown.right - shown.left, shown.bottom - shown.top, TPixelFormat::pf32bit)) return false;
    for (int y = 0; y < cropped.Height(); ++y)
      std::copy_n(image.ScanLine(y + shown.top - glow.top) + 4 * (shown.left - glow.left), 4 * cropped.Width(),
                  cropped.ScanLine(y));
    push = &cropped;
  }
  if (!FWindow && !CreateGlowWindow(shown, form)) return false;
  return Push(*push, shown);
}

bool TacGlowEffect::CreateGlowWindow(const RECT& at, HWND form) {
  EnsureGlowClass();
  DWORD ex = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT;
  if (form && (GetWindowLongA(form, GWL_EXSTYLE) & WS_EX_TOPMOST)) ex |= WS_EX_TOPMOST;
  FWindow.Reset(CreateWindowExA(ex, kGlowClass, "", WS_POPUP, at.left, at.top, at.right - at.left, at.bottom - at.top,
                                form, nullptr, GetModuleHandleA(nullptr), nullptr));
  if (!FWindow) return false;
  SetWindowLongPtrA(FWindow.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (form) FollowForm(form);
  return true;
}

// The glow is the form's ornament: it must not stay behind when the form hides or moves.
void TacGlowEffect::FollowForm(HWND form) {
  FFormLink = SubclassWindow(form, [this](TMessage& m, const TWndMethod& inherited) {
    inherited(m);
    bool hide = m.Msg == WM_SHOWWINDOW && !m.WParam;
    if (m.Msg == WM_WINDOWPOSCHANGED && m.LParam) {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(m.LParam);
      hide = (pos->flags & SWP_HIDEWINDOW) || !(pos->flags & SWP_NOMOVE);
    }
    if (hide && FWindow && IsWindowVisible(FWindow.Get())) ShowWindow(FWindow.Get(), SW_HIDE);
  });
}

bool TacGlowEffect::Push(const TBitmap& image, const RECT& at) {
  HWND wnd = FWindow.Get();
  SetWindowPos(wnd, nullptr, at.left, at.top, image.Width(), image.Height(), SWP_NOACTIVATE | SWP_NOZORDER);
  if (!UpdateLayeredImage(wnd, image, POINT{at.left, at.top}, 255)) return false;
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
  return true;
}

int ShowGlow(const RECT& control, const RECT& visible, const std::string& section, TsSkinManager* manager, HWND form,
             int alpha, int margin, const std::string& image) {
  if (!manager || !manager->SkinData().Active) return -1;
  const TsSkinTables& tables = manager->Tables();
  const int sectionIndex = tables.GetSectionIndex(section);
  if (sectionIndex < 0) return -1;
  int mask = tables.GetMaskIndex(sectionIndex, section, image + "0");
  if (!manager->IsValidImgIndex(mask)) mask = tables.GetMaskIndex(sectionIndex, section, image);
  if (!manager->IsValidImgIndex(mask)) return -1;
  return ShowGlowImage(manager, mask, margin, control, visible, form, alpha);
}

int ShowGlowImage(TsSkinManager* manager, int maskIndex, int margin, const RECT& control, const RECT& visible,
                  HWND form, int alpha) {
  if (!manager || !manager->SkinData().Active || !manager->IsValidImgIndex(maskIndex)) return -1;
  auto glow = std::make_unique<TacGlowEffect>(manager, maskIndex, margin);
  if (!glow->Show(control, visible, form, alpha)) return -1;
  return Glows().Add(std::move(glow));
}

void HideGlow(int id) { Glows().Remove(id); }

void ClearGlows() { Glows().Clear(); }

bool GlowShown(int id) { return Glows().Find(id) != nullptr; }

HWND GlowWindow(int id) {
  const TacGlowEffect* glow = Glows().Find(id);
  return glow ? glow->Window() : nullptr;
}

int GlowListSize() { return Glows().Count(); }

void InstallGlowEffects() {
  static TGlowProvider provider;
  SetGlowProvider(&provider);
}

// ---- cover window ----

TOutputWindow::TOutputWindow(TComponent* owner) : TWinControl(owner) {
  FCaption = "acOutputWindow";
  FColor = 0x800080;
  FParentColor = false;
  FVisible = false;
}

TOutputWindow::~TOutputWindow() { DestroyHandle(); }

void TOutputWindow::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = "TOutputWindow";
  params.OwnClass = true;
  if (FPopup) {
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | (FTopmost ? WS_EX_TOPMOST : 0);
  }
}

LRESULT TOutputWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_NCPAINT: return 0;
    case WM_PAINT:
      if (wp) {
        BlitBitmap(reinterpret_cast<HDC>(wp), 0, 0, FSnapshot);
      } else {
        TPaintDC dc(FHandle);
        BlitBitmap(dc.Get(), 0, 0, FSnapshot);
      }
      return 0;
    default: return TWinControl::WndProc(msg, wp, lp);
  }
}

void TOutputWindow::Cover(TWinControl& control) {
  if (!control.HandleAllocated()) return;
  HWND target = control.Handle();
  RECT r;
  GetWindowRect(target, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0 || !FSnapshot.SetSize(w, h, TPixelFormat::pf24bit)) return;
  {
    TWindowDC screen(nullptr);
    TMemoryDC mem(CreateCompatibleDC(screen.Get()));
    TSelectObject select(mem.Get(), static_cast<HBITMAP>(FSnapshot.Handle()));
    BitBlt(mem.Get(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY);
  }
  DestroyHandle();
  if (TWinControl* parent = control.Parent()) {
    FPopup = false;
    SetParent(parent);
    SetBounds(control.Left(), control.Top(), w, h);
    Handle();
    SetWindowPos(FHandle, target, control.Left(), control.Top(), w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  } else {
    FPopup = true;
    FTopmost = (GetWindowLongA(target, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    FPopupOwner = GetWindow(target, GW_OWNER);
    SetParent(nullptr);
    SetBounds(r.left, r.top, w, h);
    Handle();
    // Just above the control: behind whatever window lay above it.
    HWND above = GetWindow(target, GW_HWNDPREV);
    SetWindowPos(FHandle, above ? above : HWND_TOP, r.left, r.top, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  FVisible = true;
}

}  // namespace evesk
