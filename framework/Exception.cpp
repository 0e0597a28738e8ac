#include "framework/Exception.h"

namespace evesk {

std::string FormatText(const std::string& pattern, std::initializer_list<std::string> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  auto arg = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace evesk
