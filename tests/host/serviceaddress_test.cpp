#include <gtest/gtest.h>

#include "app/ServiceAddress.h"

using namespace evesk;

namespace {

std::string Root(const std::string& text) {
  TServiceAddress a;
  return ParseServiceAddress(text, a) ? a.Root() : "refused";
}

}  // namespace

TEST(ServiceAddress, SchemeHostAndPortMakeTheRootOfEveryAddress) {
  EXPECT_EQ(Root("news.example"), "http://news.example");
  EXPECT_EQ(Root("127.0.0.1:8080"), "http://127.0.0.1:8080");
  EXPECT_EQ(Root("http://news.example:81"), "http://news.example:81");
  EXPECT_EQ(Root("https://news.example"), "https://news.example");
  EXPECT_EQ(Root("HTTPS://News.Example:8443/"), "https://News.Example:8443");
  EXPECT_EQ(Root("Http://news.example/"), "http://news.example");
  TServiceAddress a;
  ASSERT_TRUE(ParseServiceAddress("https://h:444", a));
  EXPECT_TRUE(a.Secure);
  EXPECT_EQ(a.Host, "h:444");
}

TEST(ServiceAddress, RefusesWhatWouldBreakTheAddresses) {
  for (const char* bad : {"", "http://", "https://", "https:///", "ftp://host", "https//host", "http:/host",
                          "https://host:0", "https://host:65536", "https://host:", "https://:443", "http://host//",
                          "http://host/vizedu", "https://host?x=1", "https://user@host", "https://ho st",
                          "https://host#x", "http://http://host", "https://[::1]:443", "https://host:44a"})
    EXPECT_EQ(Root(bad), "refused") << bad;
  // A refused value leaves the earlier address as it was.
  TServiceAddress a;
  ASSERT_TRUE(ParseServiceAddress("https://kept:1", a));
  EXPECT_FALSE(ParseServiceAddress("ftp://x", a));
  EXPECT_EQ(a.Root(), "https://kept:1");
}
