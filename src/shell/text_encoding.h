#pragma once

#include <string>
#include <string_view>

namespace vestrim::shell {

// The system keeps its texts as single bytes in Windows-1252, as the device
// and the language files have them; front ends convert at the edge.
std::string windows1252ToUtf8(std::string_view text);

}  // namespace vestrim::shell
