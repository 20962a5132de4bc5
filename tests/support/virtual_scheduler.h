#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/scheduler.h"

namespace vestrim::testing {

class VirtualTimer;

// Timers and a clock in virtual time: nothing happens until the test moves
// the clock, and then every timer due fires in order of its due time, with
// the clock standing at that time. A 2000 ms timeout costs no real time.
class VirtualScheduler final : public platform::Scheduler, public platform::Clock {
 public:
  VirtualScheduler() = default;
  ~VirtualScheduler() override;

  std::unique_ptr<platform::Timer> createTimer(std::string name,
                                               std::function<void()> onTimeout) override;
  std::int64_t monotonicMilliseconds() const override { return now_; }
  std::int64_t now() const { return now_; }

  // Fires every timer due within the next `milliseconds`, then leaves the
  // clock at the end of that span.
  void advance(std::int64_t milliseconds);
  // Moves the clock to the earliest due timer and fires it. False when no
  // timer is running.
  bool runNext();
  // Fires timers until `done` holds or `limitMilliseconds` have passed.
  // Returns whether `done` holds.
  bool runUntil(const std::function<bool()>& done, std::int64_t limitMilliseconds);
  // Fires timers until none is running or the limit has passed.
  void runUntilIdle(std::int64_t limitMilliseconds);

  // Whether no timer is running.
  bool idle() const { return earliest() == nullptr; }

 private:
  friend class VirtualTimer;
  VirtualTimer* earliest() const;

  std::int64_t now_ = 0;
  std::uint64_t sequence_ = 0;
  std::vector<VirtualTimer*> timers_;
};

}  // namespace vestrim::testing
