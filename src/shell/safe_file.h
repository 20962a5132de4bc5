#pragma once

#include <filesystem>
#include <string_view>

namespace vestrim::shell {

// Replaces `target` with `contents` so that a failure never destroys the
// file that was there: the bytes go to a temporary file in the same folder,
// are flushed to the disk, and the temporary file is renamed over the
// target. False when anything fails; the temporary file is then removed.
bool replaceFile(const std::filesystem::path& target, std::string_view contents);

}  // namespace vestrim::shell
