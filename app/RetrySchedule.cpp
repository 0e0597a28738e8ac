#include "app/RetrySchedule.h"

namespace evesk {

TRetrySchedule NetworkWaitSchedule() { return {{15000, 30000, 60000}, 5 * 60 * 1000}; }

std::optional<unsigned> NextRetryWait(const TRetrySchedule& schedule, unsigned failures, unsigned long long elapsed) {
  if (failures == 0 || schedule.Waits.empty()) return std::nullopt;
  const std::size_t i = failures - 1 < schedule.Waits.size() ? failures - 1 : schedule.Waits.size() - 1;
  const unsigned wait = schedule.Waits[i];
  if (elapsed > schedule.Limit || wait > schedule.Limit - elapsed) return std::nullopt;
  return wait;
}

}  // namespace evesk
