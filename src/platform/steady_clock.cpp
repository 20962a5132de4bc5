#include <chrono>

#include "platform/clock.h"

namespace vestrim::platform {

std::int64_t SteadyClock::monotonicMilliseconds() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace vestrim::platform
