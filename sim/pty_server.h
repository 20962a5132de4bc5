#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <utility>

#include "sim/bytes.h"
#include "sim/device.h"
#include "sim/line_timing.h"

namespace devsim {

// Serves a Device on the master side of a pseudo-terminal until SIGINT, SIGTERM or SIGHUP.
//
// The server keeps a slave descriptor of its own open for its whole life and never reads it:
// as long as one slave descriptor is open the pty does not hang up, so a host can close the
// port and open it again, as it does on every reconnect.
class PtyServer {
 public:
  // Opens the pty and blocks the termination signals so that they arrive through a descriptor.
  // Throws std::system_error.
  explicit PtyServer(Device& device);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  const std::string& slavePath() const { return slavePath_; }

  // One line per request goes here, flushed at once so that a script can follow it.
  void setRequestLog(std::ostream* log) { log_ = log; }

  // Emulates a USB-serial adapter between device and host: each reply is held until the next
  // tick of the adapter's latency timer, counted from the server's start. 0 = no adapter.
  void setAdapterLatencyUs(std::int64_t latencyUs) { adapterLatencyUs_ = latencyUs; }

  // Returns the signal that ended the service. Throws std::system_error on a failing descriptor.
  int run();

 private:
  void open();
  void closeAll();
  std::int64_t nowUs() const;
  void readHost(std::int64_t nowUs);
  void releaseDue(std::int64_t nowUs);
  void writeHost();
  void logRequests();

  Device& device_;
  std::ostream* log_ = nullptr;
  int master_ = -1;
  int slave_ = -1;
  int signals_ = -1;
  std::string slavePath_;
  std::int64_t startUs_ = 0;
  std::int64_t adapterLatencyUs_ = 0;
  // Replies waiting for their time, due times never decreasing so replies keep their order.
  std::deque<std::pair<std::int64_t, Bytes>> scheduled_;
  Bytes output_;
};

}  // namespace devsim
