#include "virtual_scheduler.h"

#include <algorithm>

namespace vestrim::testing {

class VirtualTimer final : public platform::Timer {
 public:
  VirtualTimer(VirtualScheduler& scheduler, std::string name, std::function<void()> onTimeout)
      : scheduler_(&scheduler), name_(std::move(name)), onTimeout_(std::move(onTimeout)) {
    scheduler_->timers_.push_back(this);
  }
  ~VirtualTimer() override {
    if (scheduler_ != nullptr) {
      std::erase(scheduler_->timers_, this);
    }
  }

  void start() override {
    if (scheduler_ == nullptr) {
      return;
    }
    active_ = true;
    due_ = scheduler_->now_ + interval_;
    sequence_ = scheduler_->sequence_++;
  }
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }
  void setInterval(int milliseconds) override { interval_ = milliseconds; }
  int interval() const override { return interval_; }
  const std::string& name() const override { return name_; }

  void fire() {
    active_ = false;
    // A copy, so that a callback that restarts or replaces this timer's
    // state cannot pull its own code from under it.
    auto callback = onTimeout_;
    if (callback) {
      callback();
    }
  }
  void detach() { scheduler_ = nullptr; }
  // When it fires, and its place among timers due at the same time.
  std::int64_t due_ = 0;
  std::uint64_t sequence_ = 0;

 private:
  VirtualScheduler* scheduler_;
  std::string name_;
  std::function<void()> onTimeout_;
  int interval_ = 0;
  bool active_ = false;
};

VirtualScheduler::~VirtualScheduler() {
  for (VirtualTimer* timer : timers_) {
    timer->detach();
  }
}

std::unique_ptr<platform::Timer> VirtualScheduler::createTimer(std::string name,
                                                               std::function<void()> onTimeout) {
  return std::make_unique<VirtualTimer>(*this, std::move(name), std::move(onTimeout));
}

VirtualTimer* VirtualScheduler::earliest() const {
  VirtualTimer* best = nullptr;
  for (VirtualTimer* timer : timers_) {
    if (!timer->isActive()) {
      continue;
    }
    if (best == nullptr || timer->due_ < best->due_ ||
        (timer->due_ == best->due_ && timer->sequence_ < best->sequence_)) {
      best = timer;
    }
  }
  return best;
}

bool VirtualScheduler::runNext() {
  VirtualTimer* timer = earliest();
  if (timer == nullptr) {
    return false;
  }
  now_ = std::max(now_, timer->due_);
  timer->fire();
  return true;
}

void VirtualScheduler::advance(std::int64_t milliseconds) {
  runUntil([] { return false; }, milliseconds);
}

bool VirtualScheduler::runUntil(const std::function<bool()>& done, std::int64_t limitMilliseconds) {
  const std::int64_t limit = now_ + limitMilliseconds;
  while (!done()) {
    const VirtualTimer* timer = earliest();
    if (timer == nullptr || timer->due_ > limit) {
      now_ = std::max(now_, limit);
      return done();
    }
    runNext();
  }
  return true;
}

void VirtualScheduler::runUntilIdle(std::int64_t limitMilliseconds) {
  runUntil([this] { return idle(); }, limitMilliseconds);
}

}  // namespace vestrim::testing
