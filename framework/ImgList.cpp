#include "framework/ImgList.h"

#include "framework/Properties.h"

namespace evesk {

const TClassInfo& TCustomImageList::StaticClassInfo() {
  using P = Prop<TCustomImageList>;
  static const TClassInfo info{
      "TCustomImageList", &TComponent::StaticClassInfo(), {},
      {P::Int("Width", &TCustomImageList::SetWidth), P::Int("Height", &TCustomImageList::SetHeight),
       P::Int("AllocBy", &TCustomImageList::SetAllocBy), P::Int("BkColor", &TCustomImageList::SetBkColor),
       P::Int("BlendColor", &TCustomImageList::SetBlendColor),
       P::Enum("DrawingStyle", &TCustomImageList::SetDrawingStyle, {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"}),
       P::Enum("ImageType", &TCustomImageList::SetImageType, {"itImage", "itMask"}),
       P::Bool("Masked", &TCustomImageList::SetMasked), P::Bool("ShareImages", &TCustomImageList::SetShareImages),
       P::Event("OnChange", &TCustomImageList::OnChange)}};
  return info;
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() { SetHandle(nullptr); }

void TCustomImageList::SetWidth(int v) {
  if (v == FWidth || v <= 0) return;
  FWidth = v;
  if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
}

void TCustomImageList::SetHeight(int v) {
  if (v == FHeight || v <= 0) return;
  FHeight = v;
  if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
}

void TCustomImageList::SetBkColor(int v) {
  FBkColor = static_cast<TColor>(v);
  if (FHandle)
    ImageList_SetBkColor(FHandle, FBkColor == clNone ? CLR_NONE
                                  : FBkColor == clDefault ? CLR_DEFAULT : ColorToRGB(FBkColor));
}

void TCustomImageList::CreateHandle() {
  FHandle = ImageList_Create(FWidth, FHeight, ILC_COLOR32 | (FMasked ? ILC_MASK : 0), FAllocBy, FAllocBy);
  if (FHandle) ImageList_SetBkColor(FHandle, CLR_NONE);
}

HIMAGELIST TCustomImageList::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TCustomImageList::SetHandle(HIMAGELIST handle) {
  if (FHandle && FHandle != handle && !FShareImages) ImageList_Destroy(FHandle);
  FHandle = handle;
  Change();
}

int TCustomImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

void TCustomImageList::Clear() {
  if (FHandle) ImageList_Remove(FHandle, -1);
  Change();
}

UINT TCustomImageList::DrawingFlags() const {
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  return styles[FDrawingStyle] | (FImageType == itMask ? ILD_MASK : 0);
}

HICON TCustomImageList::GetIcon(int index) const {
  if (!FHandle || index < 0 || index >= Count()) return nullptr;
  return ImageList_GetIcon(FHandle, index, DrawingFlags());
}

void TCustomImageList::Draw(TCanvas& canvas, int x, int y, int index, bool) {
  if (FHandle && index >= 0 && index < Count()) ImageList_Draw(FHandle, index, canvas.Handle(), x, y, DrawingFlags());
}

void TCustomImageList::Change() {
  if (OnChange) OnChange(this);
}

void RegisterImageListClasses() { TClassRegistry::Register(TCustomImageList::StaticClassInfo()); }

}  // namespace evesk
