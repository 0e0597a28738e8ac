#include "framework/Icon.h"

#include <cstdlib>

#include "framework/Exception.h"
#include "framework/Properties.h"

namespace evesk {

namespace {
std::uint32_t Get16(const std::vector<std::uint8_t>& d, std::size_t at) { return d[at] | (d[at + 1] << 8); }
std::uint32_t Get32(const std::vector<std::uint8_t>& d, std::size_t at) {
  return Get16(d, at) | (Get16(d, at + 2) << 16);
}
}  // namespace

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
  // Icon file: 6-byte header (0, type 1, count), then 16-byte entries naming each image.
  if (data.size() < 6 || Get16(data, 0) != 0 || Get16(data, 2) != 1 || Get16(data, 4) == 0)
    throw EReadError("Invalid icon data");
  const std::size_t count = Get16(data, 4);
  if (data.size() < 6 + 16 * count) throw EReadError("Invalid icon data");
  const int want = GetSystemMetrics(SM_CXSMICON);
  std::size_t best = count;
  int bestScore = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t e = 6 + 16 * i;
    const int width = data[e] ? data[e] : 256;
    const std::uint32_t bits = Get16(data, e + 6);
    const std::uint32_t size = Get32(data, e + 8), offset = Get32(data, e + 12);
    if (size < 40 || offset > data.size() || size > data.size() - offset) continue;
    // Nearest size first, then the deepest colour.
    const int score = std::abs(width - want) * 64 - static_cast<int>(bits > 32 ? 0 : bits);
    if (best == count || score < bestScore) {
      best = i;
      bestScore = score;
    }
  }
  if (best == count) throw EReadError("Invalid icon data");
  const std::size_t e = 6 + 16 * best;
  const std::uint32_t size = Get32(data, e + 8), offset = Get32(data, e + 12);
  std::vector<BYTE> image(data.begin() + offset, data.begin() + offset + size);
  const int width = data[e] ? data[e] : 256, height = data[e + 1] ? data[e + 1] : 256;
  HICON icon = CreateIconFromResourceEx(image.data(), size, TRUE, 0x00030000, width, height, LR_DEFAULTCOLOR);
  if (!icon) throw EReadError("Invalid icon data");
  SetHandle(icon);
}

}  // namespace evesk
