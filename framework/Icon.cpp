#include "framework/Icon.h"

#include "framework/Exception.h"
#include "framework/Properties.h"
#include "framework/IcoFile.h"

namespace evesk {

const TClassInfo& TIcon::StaticClassInfo() {
  TPropInfo data;
  data.Name = "Data";
  data.Set = [](TPersistent& o, const TValue& v) {
    if (v.ValueKind != TValue::Kind::Binary) throw EPropertyError(std::string("expected binary data, found ") + v.KindName());
    try {
      static_cast<TIcon&>(o).LoadFromBytes(v.Bytes);
    } catch (const EReadError& e) {
      throw EPropertyError(e.Message());
    }
  };
  static const TClassInfo info{"TIcon", nullptr, {}, {data}};
  return info;
}

void TIcon::Changed() {
  if (OnChange) OnChange();
}

void TIcon::SetHandle(HICON handle) {
  if (handle == FHandle.Get()) return;
  FHandle.Reset(handle);
  Changed();
}

HICON TIcon::ReleaseHandle() {
  HICON h = FHandle.Release();
  if (h) Changed();
  return h;
}

void TIcon::Assign(const TIcon& source) {
  if (&source == this) return;
  SetHandle(source.FHandle ? CopyIcon(source.FHandle.Get()) : nullptr);
}

void TIcon::LoadFromBytes(const std::vector<std::uint8_t>& data) {
  // The same directory reader as the image lists: nearest to the small icon size, then the
  // most colours; entries pointing outside the data are passed over.
  TIcoImage image;
  try {
    const int want = GetSystemMetrics(SM_CXSMICON);
    image = SelectIcoImage(data.data(), data.size(), want, GetSystemMetrics(SM_CYSMICON));
  } catch (const Exception&) {
    throw EReadError("Invalid icon data");
  }
  std::vector<BYTE> bytes(data.begin() + static_cast<std::ptrdiff_t>(image.Offset),
                          data.begin() + static_cast<std::ptrdiff_t>(image.Offset + image.Size));
  HICON icon = CreateIconFromResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), TRUE, 0x00030000, image.Width,
                                        image.Height, LR_DEFAULTCOLOR);
  if (!icon) throw EReadError("Invalid icon data");
  SetHandle(icon);
}

}  // namespace evesk
