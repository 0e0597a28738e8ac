// The class library's image list: a component around a common-controls image list handle.
// Alpha image lists derive from it; the tray icon takes its icons from one.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/ComCtl32Api.h"
#include "framework/Graphics.h"
#include "framework/Handles.h"

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

  // The list handle, made on first use, with the images the list was given before (null when
  // the common controls cannot be loaded or the list cannot be made).
  HIMAGELIST Handle();
  // The list is set up: as a handle, or as images kept until something asks for the handle.
  bool HandleAllocated() const { return FHandle != nullptr || FAllocated; }
  // The common controls' handle itself has been made.
  bool ListMade() const { return FHandle != nullptr; }
  // Takes over a handle (releasing the old one unless ShareImages); null releases.
  void SetHandle(HIMAGELIST handle);
  int Count() const;
  void Clear();

  // A new icon of image `index` in the drawing style's flags (or FLAGS); null when there is no
  // such image. The caller destroys it.
  HICON GetIcon(int index) { return GetIcon(index, DrawingFlags()); }
  HICON GetIcon(int index, UINT flags);
  // The ILD_ flags of the drawing style and image type.
  UINT DrawingFlags() const;
  virtual void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true);
  // Draws image `index` as the common controls draw it, with STYLE (ILD_ flags); false when
  // there is no such image or no handle.
  bool DrawImage(HDC dc, int index, int x, int y, UINT style);
  // The background colour of the list itself (CLR_NONE, CLR_DEFAULT or RGB); setting it leaves
  // BkColor as it is.
  COLORREF ListBkColor() const;
  void SetListBkColor(COLORREF colour);

  TNotifyEvent OnChange;
  virtual void Change();

 protected:
  // Sets the list up without its handle. The images added then are kept as the icons given,
  // and icons are made from their pixels, until something needs the handle itself.
  void AllocateList();
  // Frees the handle (unless ShareImages) and the kept images, with no change notification.
  void ReleaseList();
  // Appends ICON, taken over, as the next image; its index, or -1 when it cannot be added.
  int AddIcon(TIconHandle icon);
  // Removes every image, with no change notification.
  void RemoveImages();
  // The image is kept, not yet in a handle, with its alpha.
  bool KeptWithAlpha(int index) const;

  HIMAGELIST FHandle = nullptr;
  std::shared_ptr<const TComCtl32Api> FApi;  // set with the handle, which it frees
  int FWidth = 16, FHeight = 16, FAllocBy = 4;
  TColor FBkColor = clNone, FBlendColor = clNone;
  TDrawingStyle FDrawingStyle = dsNormal;
  TImageType FImageType = itImage;
  bool FMasked = true, FShareImages = false;

 private:
  // An image added before the handle: the icon as given, and the colour pixels the list would
  // hand back (empty when only the list itself can tell).
  struct TKeptImage {
    TIconHandle Icon;
    std::vector<std::uint32_t> Pixels;
  };
  std::vector<TKeptImage> FKept;
  bool FAllocated = false;
  COLORREF FListBk = CLR_NONE;
};

// The pixels of any bitmap as 32-bit top-down rows; empty when they cannot be read.
std::vector<std::uint32_t> ReadPixels32(HBITMAP bitmap, int& width, int& height);

// What a 32-bit masked list of width x height hands back of ICON: its colour pixels unchanged,
// when the icon is of that size, has 32-bit colour with alpha and its mask is clear or already
// what the list makes of the alpha (see IconFromPixels). Empty otherwise.
std::vector<std::uint32_t> ListPixelsOfIcon(HICON icon, int width, int height);
// An icon of 32-bit top-down pixels. With MASK_FROM_ALPHA its mask is set where the alpha is at
// most 25 (a tenth), as the common controls make it for images with alpha: the icon a list hands
// back for such pixels. Without, the mask stays clear and the alpha alone decides.
HICON IconFromPixels(const std::vector<std::uint32_t>& pixels, int width, int height, bool maskFromAlpha);

void RegisterImageListClasses();

}  // namespace evesk
