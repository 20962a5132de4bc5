#pragma once

#include <optional>
#include <string>
#include <string_view>

// PINs are never stored: only a salted, slow hash of each (PBKDF2-HMAC-SHA256
// through OpenSSL's libcrypto; the system's own on Windows), written as
// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>".
namespace vestrim::shell {

inline constexpr int kPinIterations = 310000;

// The stored form of `pin` with a new random salt; nothing when the system
// gives no random bytes or no hash.
std::optional<std::string> hashPin(std::string_view pin, int iterations = kPinIterations);

// Whether `pin` is the one `stored` was made from (false for a stored form
// that cannot be read).
bool pinMatches(std::string_view pin, const std::string& stored);

}  // namespace vestrim::shell
