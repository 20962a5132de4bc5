#pragma once

#include <cstdint>

namespace vestrim::platform {

// A monotonic clock: unaffected by changes of the time of day.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t monotonicMilliseconds() const = 0;
};

// The system's steady clock.
class SteadyClock final : public Clock {
 public:
  std::int64_t monotonicMilliseconds() const override;
};

}  // namespace vestrim::platform
