#pragma once

#include <cstddef>
#include <string>

#include "sim/cycle_generator.h"

// A generated cycle's device file stretched to `records` samples 3 s apart
// (5,000 records: 249 minutes, within what a record can hold), its phases
// and events repeating: the largest cycle the reports and windows meet.
namespace vestrim::bench {

inline devsim::Bytes longCycleFile(int records) {
  constexpr std::size_t kHeader = 76;
  constexpr std::size_t kSummary = 90;
  constexpr std::size_t kSample = 13;
  devsim::content::CycleRequest request;
  request.seed = 4;
  const devsim::Bytes device = devsim::content::generateCycle({}, request).bytes;
  const std::size_t samples = (device.size() - kHeader - kSummary) / kSample;
  devsim::Bytes file(device.begin(), device.begin() + kHeader + kSummary);
  for (int i = 0; i < records; ++i) {
    const auto from =
        device.begin() + static_cast<std::ptrdiff_t>(
                             kHeader + kSummary + static_cast<std::size_t>(i) % samples * kSample);
    const std::size_t at = file.size();
    file.insert(file.end(), from, from + kSample);
    file[at] = static_cast<std::uint8_t>((i * 3) & 0xFF);
    file[at + 1] = static_cast<std::uint8_t>((i * 3) >> 8);
  }
  return file;
}

}  // namespace vestrim::bench
