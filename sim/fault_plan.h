#pragma once

#include <cstdint>
#include <vector>

#include "sim/bytes.h"
#include "sim/fault.h"

namespace devsim {

enum class RequestClass : std::uint8_t { Read, Write, Handshake };

// The reply a request gets once the faults that hit it have been applied.
struct ShapedReply {
  Bytes bytes{};
  bool sent = true;
  std::int64_t extraDelayUs = 0;
  std::vector<FaultKind> applied{};
};

// The scripted faults and how many requests each has watched so far.
class FaultPlan {
 public:
  void add(const FaultRule& rule) { entries_.push_back({rule, 0}); }
  void clear() { entries_.clear(); }
  bool empty() const { return entries_.empty(); }

  // Counts the request against every rule that watches its class and applies those that hit
  // it to the device's correct reply.
  ShapedReply shape(RequestClass request, Bytes correctReply);

 private:
  struct Entry {
    FaultRule rule;
    std::uint64_t watched;
  };
  std::vector<Entry> entries_;
};

bool watches(const FaultRule& rule, RequestClass request);

}  // namespace devsim
