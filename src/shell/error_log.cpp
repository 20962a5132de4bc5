#include "shell/error_log.h"

#include <string>

#include "shell/safe_file.h"

namespace vestrim::shell {

void ErrorLog::LogError(std::string_view window, std::string_view routine) const noexcept {
  try {
    std::string line = "Form: ";
    line.append(window).append(" ; Sub: ").append(routine).append("\r\n");
    // One write in append mode, so that a line is never split by another
    // writer and the earlier lines are never touched.
    appendToFile(file_, line);
  } catch (...) {
    // Logging must never add a failure of its own.
  }
}

}  // namespace vestrim::shell
