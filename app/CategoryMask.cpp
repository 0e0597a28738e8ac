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

bool AutostartStarts(const std::string& command, const std::string& exePath) {
  if (exePath.empty()) return false;
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  auto samePath = [&](std::size_t at) {
    if (command.size() - at < exePath.size()) return false;
    for (std::size_t i = 0; i < exePath.size(); ++i)
      if (fold(command[at + i]) != fold(exePath[i])) return false;
    return true;
  };
  std::size_t at = command.find_first_not_of(' ');
  if (at == std::string::npos) return false;
  const bool quoted = command[at] == '"';
  if (quoted) ++at;
  if (!samePath(at)) return false;
  std::size_t end = at + exePath.size();
  if (quoted) {
    if (end >= command.size() || command[end] != '"') return false;
    ++end;
  }
  return end == command.size() || command[end] == ' ';
}

}  // namespace evesk
