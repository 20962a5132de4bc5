#pragma once

#include "platform/scheduler.h"

namespace vestrim::platform {

// Timers on QTimer, in the thread that creates them. Precise timers, so
// that the 30 ms pacing of the link is kept to the millisecond.
class QtScheduler final : public Scheduler {
 public:
  std::unique_ptr<Timer> createTimer(std::string name, std::function<void()> onTimeout) override;
};

}  // namespace vestrim::platform
