#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace devsim {

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

std::int64_t monotonicUs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * 1'000'000 + ts.tv_nsec / 1000;
}

}  // namespace

PtyServer::PtyServer(Device& device) : device_(device), startUs_(monotonicUs()) {
  try {
    open();
  } catch (...) {
    closeAll();
    throw;
  }
}

void PtyServer::open() {
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGHUP);
  if (::sigprocmask(SIG_BLOCK, &mask, nullptr) != 0) {
    throwErrno("sigprocmask");
  }
  signals_ = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signals_ < 0) {
    throwErrno("signalfd");
  }

  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    throwErrno("posix_openpt");
  }
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throwErrno("grantpt/unlockpt");
  }
  const char* name = ::ptsname(master_);
  if (name == nullptr) {
    throwErrno("ptsname");
  }
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    throwErrno("open " + slavePath_);
  }
  // Raw mode: no echo (it would send the device's replies back to it as requests), no line
  // editing, no translation of CR and LF, no signal characters. Every byte passes unchanged.
  termios tio{};
  if (::tcgetattr(slave_, &tio) != 0) {
    throwErrno("tcgetattr");
  }
  ::cfmakeraw(&tio);
  if (::tcsetattr(slave_, TCSANOW, &tio) != 0) {
    throwErrno("tcsetattr");
  }
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    throwErrno("fcntl O_NONBLOCK");
  }
}

PtyServer::~PtyServer() {
  closeAll();
}

void PtyServer::closeAll() {
  for (int* fd : {&master_, &slave_, &signals_}) {
    if (*fd >= 0) {
      ::close(*fd);
      *fd = -1;
    }
  }
}

std::int64_t PtyServer::nowUs() const {
  return monotonicUs() - startUs_;
}

int PtyServer::run() {
  while (true) {
    releaseDue(nowUs());
    writeHost();

    timespec timeout{};
    timespec* wait = nullptr;
    if (!scheduled_.empty()) {
      const std::int64_t untilUs = std::max<std::int64_t>(0, scheduled_.front().first - nowUs());
      timeout.tv_sec = static_cast<time_t>(untilUs / 1'000'000);
      timeout.tv_nsec = static_cast<long>(untilUs % 1'000'000) * 1000;
      wait = &timeout;
    }
    pollfd fds[2] = {
        {master_, static_cast<short>(POLLIN | (output_.empty() ? 0 : POLLOUT)), 0},
        {signals_, POLLIN, 0},
    };
    if (::ppoll(fds, 2, wait, nullptr) < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("ppoll");
    }
    if (fds[1].revents & POLLIN) {
      signalfd_siginfo info{};
      if (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        return static_cast<int>(info.ssi_signo);
      }
    }
    if (fds[0].revents & POLLIN) {
      readHost(nowUs());
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      // Cannot happen while our own slave descriptor is open; do not spin if it does.
      errno = EIO;
      throwErrno("pty master");
    }
  }
}

void PtyServer::readHost(std::int64_t nowUs) {
  std::uint8_t buffer[4096];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n < 0) {
    if (errno == EAGAIN || errno == EINTR) {
      return;
    }
    throwErrno("read pty master");
  }
  for (Transmission& t : device_.receive(std::span(buffer, static_cast<std::size_t>(n)), nowUs)) {
    const std::int64_t dueUs = std::max(adapterReleaseUs(nowUs + t.delayUs, adapterLatencyUs_),
                                        scheduled_.empty() ? nowUs : scheduled_.back().first);
    scheduled_.emplace_back(dueUs, std::move(t.bytes));
  }
  logRequests();
}

void PtyServer::releaseDue(std::int64_t nowUs) {
  while (!scheduled_.empty() && scheduled_.front().first <= nowUs) {
    const Bytes& bytes = scheduled_.front().second;
    output_.insert(output_.end(), bytes.begin(), bytes.end());
    scheduled_.pop_front();
  }
}

void PtyServer::writeHost() {
  while (!output_.empty()) {
    const ssize_t n = ::write(master_, output_.data(), output_.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EAGAIN) {
        return;  // the host is not reading; POLLOUT tells when it does
      }
      throwErrno("write pty master");
    }
    output_.erase(output_.begin(), output_.begin() + n);
  }
}

void PtyServer::logRequests() {
  if (log_ != nullptr) {
    for (const RequestRecord& record : device_.requests()) {
      *log_ << formatLogLine(record) << '\n';
    }
    log_->flush();
  }
  // The program keeps no history in memory; a long session would otherwise grow without end.
  device_.clearRequests();
}

}  // namespace devsim
