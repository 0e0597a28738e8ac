// The glow a skin may put around a hovered control: the section's glow image stretched around
// the control into a borderless layered tool window with per-pixel alpha, which lets every
// click through to what lies under it. And the cover window of animated transitions.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "framework/Bitmap.h"
#include "framework/Controls.h"
#include "framework/Handles.h"
#include "framework/Messages.h"
#include "skin/sSkinManager.h"

namespace evesk {

class TacGlowEffect {
 public:
  TacGlowEffect(TsSkinManager* manager, int maskIndex, int margin);
  ~TacGlowEffect();
  TacGlowEffect(const TacGlowEffect&) = delete;
  TacGlowEffect& operator=(const TacGlowEffect&) = delete;

  // Shows the glow around the control's screen rectangle, cropped to what lies around the
  // visible part; false when the image cannot be drawn or the window not made.
  bool Show(const RECT& control, const RECT& visible, HWND form, int alpha);
  // Null once the window is gone, also when it went with its form.
  HWND Window() const { return FWindow.Get(); }

  // The window's own: its handle (owned by the form, which may destroy it first).
  struct TWindowTraits {
    using Type = HWND;
    static constexpr Type Null() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { DestroyWindow(h); }
  };

 private:
  bool CreateGlowWindow(const RECT& at, HWND form);
  void FollowForm(HWND form);
  bool Push(const TBitmap& image, const RECT& at);
  static LRESULT CALLBACK GlowWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  static void EnsureGlowClass();

  TsSkinManager* FManager;
  int FMaskIndex;
  int FMargin;
  THandle<TWindowTraits> FWindow;
  TWndProcLink FFormLink;  // hides the glow when its form hides or moves
};

// The glow image around a control of width × height: corners kept, edges and middle stretched,
// alpha premultiplied, as UpdateLayeredWindow wants it. Empty when the mask has no usable
// picture. (Kept free of windows for the measurements.)
bool PaintGlowImage(TBitmap& out, const TsSkinTables& tables, int maskIndex, int width, int height, int margin,
                    int alpha);

// The process-wide glows, owned by one list (a glow is never freed but through it). A glow is
// known by its id (-1 for none): ids are never given twice, so a freed glow's id stays dead and
// freeing it touches no other owner's glow.
// The image is the section's "<image>0" (or "<image>"); -1 without one.
int ShowGlow(const RECT& control, const RECT& visible, const std::string& section, TsSkinManager* manager, HWND form,
             int alpha, int margin, const std::string& image = "GLOW");
// The same for a skin image given by its mask index around any screen rectangle (title buttons).
int ShowGlowImage(TsSkinManager* manager, int maskIndex, int margin, const RECT& control, const RECT& visible,
                  HWND form, int alpha);
void HideGlow(int id);  // that glow only; nothing for a dead or unknown id
void ClearGlows();      // every glow, as when a skin is applied or removed
bool GlowShown(int id);
HWND GlowWindow(int id);  // null for a freed or unknown id
int GlowListSize();       // glows alive

// Connects the glows to the controls' skin data; done once by the first skinned button.
void InstallGlowEffects();

// A plain cover window over a control during an animated transition: it shows a snapshot of
// the control's screen area and paints neither background nor frame.
class TOutputWindow : public TWinControl {
 public:
  explicit TOutputWindow(TComponent* owner);
  ~TOutputWindow() override;
  // Takes a snapshot of the control's screen area and covers it: as a sibling right after it
  // when it has a parent, else as a popup just above it.
  void Cover(TWinControl& control);
  const TBitmap& Snapshot() const { return FSnapshot; }

 protected:
  void CreateParams(TCreateParams& params) override;
  HWND ParentWindow() override { return FPopup ? FPopupOwner : TWinControl::ParentWindow(); }
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  TBitmap FSnapshot;
  bool FPopup = false;
  HWND FPopupOwner = nullptr;
  bool FTopmost = false;
};

}  // namespace evesk
