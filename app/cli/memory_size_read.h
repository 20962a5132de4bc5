#pragma once

#include <cstdint>
#include <functional>

#include "link/link_engine.h"
#include "link/operation.h"

namespace vestrim::cli {

// Reads the device's memory size with one long frame, without the speed
// handshake: a quick check that the device answers on a port already at
// 57600 baud.
class MemorySizeRead final : public link::Operation {
 public:
  MemorySizeRead(link::LinkEngine& engine, std::function<void(std::uint32_t)> done);
  void start();
  void onReadReply() override;

 private:
  link::LinkEngine& engine_;
  std::function<void(std::uint32_t)> done_;
};

}  // namespace vestrim::cli
