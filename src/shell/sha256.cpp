#include "shell/sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "shell/safe_file.h"

namespace vestrim::shell {

std::string sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0F];
  }
  return hex;
}

std::optional<std::string> sha256OfFile(const std::filesystem::path& file) {
  const std::optional<Bytes> bytes = readWholeFile(file);
  if (!bytes) {
    return std::nullopt;
  }
  return sha256Hex({reinterpret_cast<const char*>(bytes->data()), bytes->size()});
}

}  // namespace vestrim::shell
