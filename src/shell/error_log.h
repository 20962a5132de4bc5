#pragma once

#include <filesystem>
#include <string_view>

namespace vestrim::shell {

inline constexpr const char* kErrorLogFileName = "Vestrim_Errors.log";

// The error log of the program folder: routines that meet an unexpected
// error leave one line in it and end without a message.
class ErrorLog {
 public:
  explicit ErrorLog(std::filesystem::path programFolder)
      : file_(std::move(programFolder) / kErrorLogFileName) {}

  // Appends "Form: " + window + " ; Sub: " + routine and CR LF; creates the
  // file when it is missing. A failure to log is ignored: the line is lost.
  void LogError(std::string_view window, std::string_view routine) const noexcept;

  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
};

}  // namespace vestrim::shell
