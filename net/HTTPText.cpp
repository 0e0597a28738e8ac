#include "net/HTTPText.h"

#include <cctype>

namespace evesk {

namespace {

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  std::size_t i = 0;
  for (; prefix[i]; ++i)
    if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

// "name://" at the start, where name is a scheme (letters, digits, "+", "-", ".").
bool HasScheme(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '+' || s[i] == '-' || s[i] == '.'))
    ++i;
  return i > 0 && std::isalpha(static_cast<unsigned char>(s[0])) && s.compare(i, 3, "://") == 0;
}

}  // namespace

bool SplitURL(const std::string& url, TURLParts& parts) {
  parts = TURLParts{};
  std::string rest;
  if (StartsWithNoCase(url, "http://")) {
    rest = url.substr(7);
  } else if (StartsWithNoCase(url, "https://")) {
    rest = url.substr(8);
    parts.Secure = true;
    parts.Port = 443;
  } else if (HasScheme(url)) {
    return false;
  } else {
    rest = url;
  }

  std::size_t end = rest.find_first_of("/?");
  std::string authority = rest.substr(0, end);
  if (end != std::string::npos) {
    // A query right after the host still needs the root path in front of it.
    parts.Object = rest[end] == '/' ? std::string() : std::string(1, '/');
    parts.Object.append(rest, end, std::string::npos);
  }

  if (authority.find('@') != std::string::npos) return false;
  std::size_t colon = authority.rfind(':');
  if (colon != std::string::npos) {
    std::string port = authority.substr(colon + 1);
    authority.resize(colon);
    if (!port.empty()) {  // "host:" means the scheme's own port
      if (port.size() > 5) return false;
      unsigned value = 0;
      for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
      }
      if (value == 0 || value > 65535) return false;
      parts.Port = static_cast<std::uint16_t>(value);
    }
  }
  if (authority.empty()) return false;
  for (char c : authority)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == ':') return false;
  // A line break in the path would end the request line early.
  for (char c : parts.Object)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  parts.Host = authority;
  return true;
}

TRedirect ResolveRedirect(const TURLParts& base, const std::string& location, TURLParts& target) {
  std::size_t begin = 0, end = location.size();
  while (begin < end && (location[begin] == ' ' || location[begin] == '\t')) ++begin;
  while (end > begin && (location[end - 1] == ' ' || location[end - 1] == '\t')) --end;
  std::string loc = location.substr(begin, end - begin);
  loc = loc.substr(0, loc.find('#'));  // a fragment is never sent
  if (loc.empty()) return TRedirect::rdRefused;
  const std::string scheme = base.Secure ? "https://" : "http://";
  std::string absolute;
  // A scheme is letters before a ":" that comes ahead of any "/", "?": "mailto:x", "file:/x".
  const std::size_t colon = loc.find(':');
  if (colon != std::string::npos && colon < loc.find_first_of("/?")) {
    if (!StartsWithNoCase(loc, "http://") && !StartsWithNoCase(loc, "https://")) return TRedirect::rdRefused;
    absolute = loc;
  } else if (loc.compare(0, 2, "//") == 0) {
    absolute = scheme + loc.substr(2);
  } else {
    std::string path = base.Object.substr(0, base.Object.find('?'));
    if (loc[0] == '/') path = loc;
    else if (loc[0] == '?') path += loc;
    else path = path.substr(0, path.rfind('/') + 1) + loc;
    absolute = scheme + base.Host + ":" + std::to_string(base.Port) + path;
  }
  if (!SplitURL(absolute, target)) return TRedirect::rdRefused;
  if (base.Secure && !target.Secure) return TRedirect::rdInsecure;
  return TRedirect::rdFollow;
}

bool ParseContentLength(const std::string& text, std::int32_t& length) {
  std::size_t i = 0, end = text.size();
  while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  if (i == end) return false;
  std::int64_t value = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) return false;
  }
  length = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace evesk
