#include <gtest/gtest.h>

#include "net/HTTPText.h"

using namespace evesk;

namespace {

TURLParts Split(const std::string& url) {
  TURLParts p;
  EXPECT_TRUE(SplitURL(url, p)) << url;
  return p;
}

bool Refused(const std::string& url) {
  TURLParts p;
  return !SplitURL(url, p);
}

}  // namespace

TEST(SplitURL, HostAndObjectPathWithOrWithoutThePrefixInAnyCase) {
  for (const char* url : {"http://news.example/a/b?x=1", "HTTP://news.example/a/b?x=1", "Http://news.example/a/b?x=1",
                          "news.example/a/b?x=1"}) {
    TURLParts p = Split(url);
    EXPECT_EQ(p.Host, "news.example") << url;
    EXPECT_EQ(p.Object, "/a/b?x=1") << url;
    EXPECT_EQ(p.Port, 80) << url;
    EXPECT_FALSE(p.Secure) << url;
  }
  // Only the prefix is cut; the rest keeps its case and its query unchanged.
  TURLParts p = Split("http://Host.CZ/Vizedu/index.php?check=1700000000&data=1_0_1");
  EXPECT_EQ(p.Host, "Host.CZ");
  EXPECT_EQ(p.Object, "/Vizedu/index.php?check=1700000000&data=1_0_1");
}

TEST(SplitURL, PortsAndAddressesWithoutAPath) {
  TURLParts p = Split("http://127.0.0.1:8080/x");
  EXPECT_EQ(p.Host, "127.0.0.1");
  EXPECT_EQ(p.Port, 8080);
  EXPECT_EQ(p.Object, "/x");
  EXPECT_EQ(Split("host:65535/").Port, 65535);
  EXPECT_EQ(Split("http://host:/x").Port, 80);
  p = Split("http://host");
  EXPECT_EQ(p.Host, "host");
  EXPECT_EQ(p.Object, "/");
  p = Split("http://host:81?q=1");
  EXPECT_EQ(p.Port, 81);
  EXPECT_EQ(p.Object, "/?q=1");
  p = Split("https://secure.example/a");
  EXPECT_TRUE(p.Secure);
  EXPECT_EQ(p.Port, 443);
  EXPECT_EQ(Split("HTTPS://secure.example:8443/a").Port, 8443);
}

TEST(SplitURL, RefusesWhatCannotBeRequested) {
  for (const char* url : {"", "http://", "http:///path", "/path", ":80/x", "http://host:0/", "http://host:65536/",
                          "http://host:8o/", "http://host:123456/", "http://host:-1/", "http://user:pw@host/",
                          "http://ho st/", "http://host\r\nX: y/", "ftp://host/file", "file://c:/x",
                          "http://host/a\r\nInjected: 1", "http://[::1]:80/"})
    EXPECT_TRUE(Refused(url)) << url;
  // A refused address leaves no parts of an earlier one behind.
  TURLParts p;
  ASSERT_TRUE(SplitURL("http://a:81/b", p));
  EXPECT_FALSE(SplitURL("http://", p));
  EXPECT_EQ(p.Host, "");
  EXPECT_EQ(p.Port, 80);
}

TEST(ParseContentLength, DecimalThatFitsOnly) {
  std::int32_t n = -1;
  EXPECT_TRUE(ParseContentLength("0", n));
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(ParseContentLength(" 1025 ", n));
  EXPECT_EQ(n, 1025);
  EXPECT_TRUE(ParseContentLength("2147483647", n));
  EXPECT_EQ(n, INT32_MAX);
  n = 7;
  for (const char* bad : {"", " ", "2147483648", "99999999999999999999", "-1", "+5", "12a", "0x10", "1 2", "1.0"}) {
    EXPECT_FALSE(ParseContentLength(bad, n)) << bad;
    EXPECT_EQ(n, 7) << bad;
  }
}

namespace {
// Where a Location leads from base: "http(s)://host:port/object", or "refused" / "insecure".
std::string Follow(const std::string& base, const std::string& location) {
  TURLParts from, to;
  EXPECT_TRUE(SplitURL(base, from)) << base;
  switch (ResolveRedirect(from, location, to)) {
    case TRedirect::rdRefused: return "refused";
    case TRedirect::rdInsecure: return "insecure";
    case TRedirect::rdFollow: break;
  }
  return std::string(to.Secure ? "https://" : "http://") + to.Host + ":" + std::to_string(to.Port) + to.Object;
}
}  // namespace

TEST(ResolveRedirect, AbsoluteSchemeRelativeAndRelativeLocations) {
  EXPECT_EQ(Follow("http://a:81/d/e?q=1", "http://b/x?y"), "http://b:80/x?y");
  EXPECT_EQ(Follow("http://a:81/d/e?q=1", "HTTPS://b:9/x"), "https://b:9/x");
  EXPECT_EQ(Follow("https://a/d/e", "//c:5/z"), "https://c:5/z");
  EXPECT_EQ(Follow("http://a:81/d/e?q=1", "/root?k#frag"), "http://a:81/root?k");
  EXPECT_EQ(Follow("http://a:81/d/e?q=1", "f/g"), "http://a:81/d/f/g");
  EXPECT_EQ(Follow("http://a:81/d/e?q=1", "?r=2"), "http://a:81/d/e?r=2");
  EXPECT_EQ(Follow("http://a/", "  /self  "), "http://a:80/self");
}

TEST(ResolveRedirect, OtherSchemesEmptyBrokenAndDowngradesAreNotFollowed) {
  for (const char* loc : {"file:///c:/x", "javascript:alert(1)", "ftp://a/x", "mailto:a@b", "", "  ", "#only",
                          "http://", "http://a:99999/", "http://u:p@a/", "/a\r\nX: y", "data:text/plain,x"})
    EXPECT_EQ(Follow("http://a/d", loc), "refused") << loc;
  EXPECT_EQ(Follow("https://a/d", "http://a/d"), "insecure");
  EXPECT_EQ(Follow("https://a/d", "HTTP://b/"), "insecure");
  EXPECT_EQ(Follow("http://a/d", "https://a/d"), "https://a:443/d");
}
