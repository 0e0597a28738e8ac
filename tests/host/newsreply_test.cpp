#include <gtest/gtest.h>

#include "app/NewsReply.h"

using namespace evesk;

namespace {
const std::string S = "K dispozici jsou aktu\xE1ln\xED informace VESK ve Va\x9A" "em oboru";  // code page 1250
}

TEST(NewsReply, TheFormatGivesHintAndStamp) {
  TNewsReply r = ParseNewsReply("!" + S + "#1700000000", S);
  EXPECT_TRUE(r.News);
  EXPECT_EQ(r.Hint, S);
  EXPECT_EQ(r.Stamp, "1700000000");
  r = ParseNewsReply("lead text !" + S + ": 3 nov\xE9#1765000000", S);
  EXPECT_TRUE(r.News);
  EXPECT_EQ(r.Hint, S + ": 3 nov\xE9");
}

TEST(NewsReply, TrailingBytesKeepTheStampButShiftTheHint) {
  TNewsReply r = ParseNewsReply("!" + S + "#1700000000\n", S);
  EXPECT_TRUE(r.News);
  EXPECT_EQ(r.Stamp, "1700000000");
  EXPECT_EQ(r.Hint, S + "#");
  r = ParseNewsReply("!" + S + "#1700000000\r\n", S);
  EXPECT_EQ(r.Hint, S + "#1");
}

TEST(NewsReply, SentenceBeforeTheBangIsNewsWhoseHintLacksIt) {
  TNewsReply r = ParseNewsReply(S + " !nic#1700000000", S);
  EXPECT_TRUE(r.News);
  EXPECT_EQ(r.Hint, "nic");
  EXPECT_EQ(r.Hint.find(S), std::string::npos);
}

TEST(NewsReply, NoSentenceOrNoFormatIsNoNews) {
  for (const std::string& reply : {
           std::string("ok"), std::string(""), "!" + std::string("jin\xE1 zpr\xE1va") + "#1700000000",
           S,                                  // no "!" and no "#"
           "!" + S,                            // no "#"
           S + "#1700000000",                  // no "!"
           "#1700000000!" + S,                 // "!" after "#"
           "!" + S + "#17000",                 // stamp too short
           "!" + S + "#17000000x0",            // not digits
           "!" + S + "#-170000000",            // a sign is not a digit
           "!" + S + "#" + "#1700000000",      // the first "#" is followed by "#"
       }) {
    TNewsReply r = ParseNewsReply(reply, S);
    EXPECT_FALSE(r.News) << reply;
    EXPECT_TRUE(r.Stamp.empty()) << reply;
  }
  // The sentence matches byte for byte: the same words in another encoding are no news.
  EXPECT_FALSE(ParseNewsReply("!K dispozici jsou aktuální informace VESK ve Vašem oboru#1700000000", S).News);
}
