#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/bytes.h"

namespace vestrim::shell {

// Replaces `target` with `contents` so that a failure never destroys the
// file that was there: the bytes go to a temporary file in the same folder,
// are flushed to the disk, and the temporary file is renamed over the
// target. False when anything fails; the temporary file is then removed.
bool replaceFile(const std::filesystem::path& target, std::string_view contents);

// The whole of a file's bytes, or nothing when it cannot be opened or a read
// fails part way (a pen drive pulled out, a bad sector): a cut copy is never
// taken for the file.
std::optional<Bytes> readWholeFile(const std::filesystem::path& file);

}  // namespace vestrim::shell
