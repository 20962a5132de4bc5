#include "shell/sha256.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

#include <array>
#include <cstdint>
#include <stdexcept>

#include "shell/safe_file.h"

namespace vestrim::shell {
namespace {

using Digest = std::array<unsigned char, 32>;

#ifdef _WIN32

// The system's own SHA-256 (Windows Cryptography API: Next Generation).
bool digestOf(std::string_view bytes, Digest& digest) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool done = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  // The data in pieces a ULONG can count.
  for (std::string_view rest = bytes; done && !rest.empty();) {
    const std::string_view piece = rest.substr(0, 1u << 30);
    done = BCRYPT_SUCCESS(
        ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(piece.data())),
                         static_cast<ULONG>(piece.size()), 0));
    rest.remove_prefix(piece.size());
  }
  done = done && BCRYPT_SUCCESS(
                     ::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  if (hash != nullptr) {
    ::BCryptDestroyHash(hash);
  }
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  return done;
}

#else

// OpenSSL's libcrypto.
bool digestOf(std::string_view bytes, Digest& digest) {
  unsigned int length = 0;
  return EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) ==
             1 &&
         length == digest.size();
}

#endif

}  // namespace

std::string sha256Hex(std::string_view bytes) {
  Digest digest{};
  if (!digestOf(bytes, digest)) {
    throw std::runtime_error("SHA-256 is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0x0F];
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
