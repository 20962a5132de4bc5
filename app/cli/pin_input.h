#pragma once

#include <optional>
#include <string>

namespace vestrim::cli {

// A PIN from the terminal, not echoed, after `prompt` on stderr; or one line
// of standard input when that is not a terminal. Nothing at the input's end.
std::optional<std::string> readPin(const std::string& prompt);

// Whether standard input is a terminal (a new PIN is then asked twice).
bool inputIsTerminal();

}  // namespace vestrim::cli
