#include "app/CategoryMask.h"

namespace evesk {

std::string ComposeMask(const TCategorySelection& checked) {
  std::string mask;
  mask.reserve(MaskLength);
  for (int i = 0; i < CategoryCount; ++i) {
    if (i > 0) mask += '_';
    mask += checked[i] ? '1' : '0';
  }
  return mask;
}

const std::string& AllZeroMask() {
  static const std::string zero = ComposeMask(TCategorySelection{});
  return zero;
}

std::optional<TCategorySelection> RestoreMask(const std::string& stored) {
  if (stored.size() != MaskLength || stored == AllZeroMask()) return std::nullopt;
  TCategorySelection checked{};
  for (int i = 0; i < CategoryCount; ++i) checked[i] = stored[2 * i] == '1';
  return checked;
}

std::string AutostartCommand(const std::string& exePath) { return "\"" + exePath + "\" -auto"; }

}  // namespace evesk
