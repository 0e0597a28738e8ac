// When to try again after a check found no network: a list of waits, the last one repeating,
// within a bound counted from the first try. Portable.
#pragma once
#include <optional>
#include <vector>

namespace evesk {

struct TRetrySchedule {
  std::vector<unsigned> Waits;  // milliseconds before the second, third, ... try
  unsigned Limit = 0;           // no try starts later than this after the first, in milliseconds
};

// 15 s, 30 s, 60 s, then every 60 s, all within 5 minutes: long enough for a wireless network
// that joins after the desktop appears, short enough not to linger on a machine that is offline.
TRetrySchedule NetworkWaitSchedule();

// The wait before the next try after `failures` failed tries (1 after the first), when the
// first try began `elapsed` milliseconds ago; none when the next try would pass the limit.
std::optional<unsigned> NextRetryWait(const TRetrySchedule& schedule, unsigned failures, unsigned long long elapsed);

}  // namespace evesk
