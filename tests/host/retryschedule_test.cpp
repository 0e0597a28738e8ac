#include <gtest/gtest.h>

#include "app/RetrySchedule.h"

using namespace evesk;

TEST(RetrySchedule, TheNetworkWaitGrowsThenRepeatsWithinFiveMinutes) {
  const TRetrySchedule s = NetworkWaitSchedule();
  // Tries that fail at once: 15, 30, 60, then 60 s apart, the last starting by 5 minutes.
  std::vector<unsigned> waits;
  unsigned long long at = 0;
  for (unsigned failures = 1; failures < 100; ++failures) {
    auto wait = NextRetryWait(s, failures, at);
    if (!wait) break;
    waits.push_back(*wait);
    at += *wait;
  }
  EXPECT_EQ(waits, (std::vector<unsigned>{15000, 30000, 60000, 60000, 60000, 60000}));
  EXPECT_LE(at, 300000u);
  // Tries that each take their full time-out leave fewer waits within the same bound.
  EXPECT_EQ(NextRetryWait(s, 2, 240000), 30000u);
  EXPECT_FALSE(NextRetryWait(s, 2, 270001));
  EXPECT_FALSE(NextRetryWait(s, 4, 300000));
}

TEST(RetrySchedule, DegenerateSchedulesNeverWait) {
  EXPECT_FALSE(NextRetryWait({}, 1, 0));
  EXPECT_FALSE(NextRetryWait({{10}, 5}, 1, 0));
  EXPECT_FALSE(NextRetryWait({{10}, 100}, 0, 0));  // nothing failed yet
  EXPECT_EQ(NextRetryWait({{10}, 100}, 1000000, 90), 10u);
  // An elapsed time near the top of its range does not wrap into a small one.
  EXPECT_FALSE(NextRetryWait({{10}, 100}, 1, ~0ull));
}
