#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// SHA-256 digests (OpenSSL's libcrypto; the system's own on Windows), written as
// 64 lower-case hex digits.
namespace vestrim::shell {

std::string sha256Hex(std::string_view bytes);

// The digest of a whole file; nothing when it cannot be read whole.
std::optional<std::string> sha256OfFile(const std::filesystem::path& file);

}  // namespace vestrim::shell
