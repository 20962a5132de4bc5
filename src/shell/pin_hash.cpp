#include "shell/pin_hash.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#include <openssl/rand.h>
#endif

#include <charconv>
#include <cstdint>
#include <vector>

namespace vestrim::shell {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
// Far below a slow hash is no protection; far above it a PIN check hangs.
constexpr int kFewestIterations = 1000;
constexpr int kMostIterations = 10000000;

#ifdef _WIN32

bool randomBytes(Bytes& bytes) {
  return BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool derive(std::string_view pin, const Bytes& salt, int iterations, Bytes& hash) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr,
                                                    BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
    return false;
  }
  const bool done = BCRYPT_SUCCESS(
      ::BCryptDeriveKeyPBKDF2(algorithm, reinterpret_cast<PUCHAR>(const_cast<char*>(pin.data())),
                              static_cast<ULONG>(pin.size()), const_cast<PUCHAR>(salt.data()),
                              static_cast<ULONG>(salt.size()), static_cast<ULONGLONG>(iterations),
                              hash.data(), static_cast<ULONG>(hash.size()), 0));
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  return done;
}

#else

bool randomBytes(Bytes& bytes) {
  return RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) == 1;
}

bool derive(std::string_view pin, const Bytes& salt, int iterations, Bytes& hash) {
  return PKCS5_PBKDF2_HMAC(pin.data(), static_cast<int>(pin.size()), salt.data(),
                           static_cast<int>(salt.size()), iterations, EVP_sha256(),
                           static_cast<int>(hash.size()), hash.data()) == 1;
}

#endif

std::string hex(const Bytes& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const unsigned char byte : bytes) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

std::optional<Bytes> fromHex(std::string_view text) {
  if (text.size() % 2 != 0) {
    return std::nullopt;
  }
  Bytes bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto [end, error] =
        std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, bytes[i], 16);
    if (error != std::errc() || end != text.data() + 2 * i + 2) {
      return std::nullopt;
    }
  }
  return bytes;
}

// The next field of "a$b$c", taken off `text`.
std::string_view nextField(std::string_view& text) {
  const std::size_t dollar = text.find('$');
  const std::string_view field = text.substr(0, dollar);
  text = dollar == std::string_view::npos ? std::string_view() : text.substr(dollar + 1);
  return field;
}

}  // namespace

std::optional<std::string> hashPin(std::string_view pin, int iterations) {
  Bytes salt(kSaltBytes);
  Bytes hash(kHashBytes);
  if (iterations < kFewestIterations || iterations > kMostIterations || !randomBytes(salt) ||
      !derive(pin, salt, iterations, hash)) {
    return std::nullopt;
  }
  return std::string(kScheme) + "$" + std::to_string(iterations) + "$" + hex(salt) + "$" +
         hex(hash);
}

bool pinMatches(std::string_view pin, const std::string& stored) {
  std::string_view rest = stored;
  if (nextField(rest) != kScheme) {
    return false;
  }
  const std::string_view count = nextField(rest);
  int iterations = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), iterations);
  const std::optional<Bytes> salt = fromHex(nextField(rest));
  const std::optional<Bytes> expected = fromHex(nextField(rest));
  if (error != std::errc() || end != count.data() + count.size() ||
      iterations < kFewestIterations || iterations > kMostIterations || !salt || salt->empty() ||
      !expected || expected->size() != kHashBytes || !rest.empty()) {
    return false;
  }
  Bytes hash(kHashBytes);
  if (!derive(pin, *salt, iterations, hash)) {
    return false;
  }
  // Every byte compared, so the time taken does not tell how much matched.
  unsigned char differ = 0;
  for (std::size_t i = 0; i < kHashBytes; ++i) {
    differ |= static_cast<unsigned char>(hash[i] ^ (*expected)[i]);
  }
  return differ == 0;
}

}  // namespace vestrim::shell
