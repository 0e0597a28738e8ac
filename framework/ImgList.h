// The class library's image list: a component around a common-controls image list handle.
// Alpha image lists derive from it; the tray icon takes its icons from one.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "framework/Classes.h"
#include "framework/Graphics.h"

namespace evesk {

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };
constexpr TColor clDefault = 0x20000000;

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetWidth(int v);
  void SetHeight(int v);
  int AllocBy() const { return FAllocBy; }
  void SetAllocBy(int v) { FAllocBy = v; }
  TColor BkColor() const { return FBkColor; }
  void SetBkColor(int v);
  TColor BlendColor() const { return FBlendColor; }
  void SetBlendColor(int v) { FBlendColor = static_cast<TColor>(v); }
  TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
  void SetDrawingStyle(int v) { FDrawingStyle = static_cast<TDrawingStyle>(v); Change(); }
  TImageType ImageType() const { return FImageType; }
  void SetImageType(int v) { FImageType = static_cast<TImageType>(v); Change(); }
  bool Masked() const { return FMasked; }
  void SetMasked(bool v) { FMasked = v; }
  bool ShareImages() const { return FShareImages; }
  void SetShareImages(bool v) { FShareImages = v; }

  // The list handle, created on first use.
  HIMAGELIST Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Takes over a handle (releasing the old one unless ShareImages); null releases.
  void SetHandle(HIMAGELIST handle);
  int Count() const;
  void Clear();

  // A new icon of image `index` in the drawing style's flags; null when there is no such image.
  // The caller destroys it.
  HICON GetIcon(int index) const;
  // The ILD_ flags of the drawing style and image type.
  UINT DrawingFlags() const;
  virtual void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true);

  TNotifyEvent OnChange;
  virtual void Change();

 protected:
  virtual void CreateHandle();

  HIMAGELIST FHandle = nullptr;
  int FWidth = 16, FHeight = 16, FAllocBy = 4;
  TColor FBkColor = clNone, FBlendColor = clNone;
  TDrawingStyle FDrawingStyle = dsNormal;
  TImageType FImageType = itImage;
  bool FMasked = true, FShareImages = false;
};

void RegisterImageListClasses();

}  // namespace evesk
