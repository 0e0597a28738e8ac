// An icon object: owns one icon handle and tells its owner when the image changes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Classes.h"
#include "framework/Handles.h"

namespace evesk {

class TIcon : public TPersistent {
 public:
  TIcon() = default;
  ~TIcon() override = default;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  HICON Handle() const { return FHandle.Get(); }
  bool Empty() const { return !FHandle; }
  // Takes over an icon handle (the one held before is destroyed); null empties the icon.
  void SetHandle(HICON handle);
  // Gives the handle to the caller, who destroys it; the icon becomes empty.
  HICON ReleaseHandle();
  // A copy of the other icon's image (empty when it is empty).
  void Assign(const TIcon& source);
  // The bytes of an icon file; takes its image nearest to the small icon size. Raises
  // EReadError when the bytes are no icon file or the image cannot be made.
  void LoadFromBytes(const std::vector<std::uint8_t>& data);

  std::function<void()> OnChange;

 private:
  void Changed();
  TIconHandle FHandle;
};

}  // namespace evesk
