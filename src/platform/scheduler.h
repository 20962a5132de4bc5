#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vestrim::platform {

// A named single-shot timer: once started it fires once, after its interval,
// unless it is stopped or restarted first. A stopped timer never fires late.
// A timer's own callback must not destroy it; restarting it is fine.
class Timer {
 public:
  virtual ~Timer() = default;

  // Starts the timer with its current interval; a running timer restarts.
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
  // Takes effect at the next start.
  virtual void setInterval(int milliseconds) = 0;
  virtual int interval() const = 0;
  virtual const std::string& name() const = 0;

  void start(int milliseconds) {
    setInterval(milliseconds);
    start();
  }
};

// Makes timers. Every timed wait of the system is a timer or a delayed
// continuation, never a sleep or a nested event loop.
class Scheduler {
 public:
  virtual ~Scheduler() = default;

  virtual std::unique_ptr<Timer> createTimer(std::string name, std::function<void()> onTimeout) = 0;

  // Runs `continuation` once after `milliseconds`. Destroying the returned
  // timer cancels it, so an owner that goes away takes its continuation along.
  std::unique_ptr<Timer> callAfter(std::string name, int milliseconds,
                                   std::function<void()> continuation) {
    auto timer = createTimer(std::move(name), std::move(continuation));
    timer->start(milliseconds);
    return timer;
  }
};

}  // namespace vestrim::platform
