#include "platform/qt/qt_scheduler.h"

#include <QTimer>

namespace vestrim::platform {
namespace {

class QtTimer final : public Timer {
 public:
  QtTimer(std::string name, std::function<void()> onTimeout)
      : name_(std::move(name)), onTimeout_(std::move(onTimeout)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (onTimeout_) {
        onTimeout_();
      }
    });
  }

  void start() override { timer_.start(); }
  void stop() override { timer_.stop(); }
  bool isActive() const override { return timer_.isActive(); }
  void setInterval(int milliseconds) override { timer_.setInterval(milliseconds); }
  int interval() const override { return timer_.interval(); }
  const std::string& name() const override { return name_; }

 private:
  std::string name_;
  std::function<void()> onTimeout_;
  QTimer timer_;
};

}  // namespace

std::unique_ptr<Timer> QtScheduler::createTimer(std::string name, std::function<void()> onTimeout) {
  return std::make_unique<QtTimer>(std::move(name), std::move(onTimeout));
}

}  // namespace vestrim::platform
