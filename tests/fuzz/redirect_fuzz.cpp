// libFuzzer target: a server's Location header against a base address, the base made from the
// first line of the input and the Location from the rest. A followed target must be an address
// a request can be made of, and https may never lead to plain http.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/HTTPText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  evesk::TURLParts base, target;
  if (cut == std::string::npos || !evesk::SplitURL(input.substr(0, cut), base)) return 0;
  if (evesk::ResolveRedirect(base, input.substr(cut + 1), target) != evesk::TRedirect::rdFollow) return 0;
  if (target.Host.empty() || target.Object.empty() || target.Object[0] != '/' || target.Port == 0) __builtin_trap();
  for (char c : target.Object)
    if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
  if (base.Secure && !target.Secure) __builtin_trap();
  return 0;
}
