#pragma once

#include <cstdint>
#include <vector>

namespace devsim {

using Bytes = std::vector<std::uint8_t>;

}  // namespace devsim
