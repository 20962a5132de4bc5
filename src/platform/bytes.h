#pragma once

#include <cstdint>
#include <vector>

namespace vestrim {

// Raw bytes as they cross the serial line or sit in device memory.
using Bytes = std::vector<std::uint8_t>;

}  // namespace vestrim
