#include "sim/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace devsim {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'V', 'S', 'T', 'D', 'E', 'V', 'S', 'M'};
constexpr std::size_t kFixedHeader = 24;
constexpr std::size_t kHashSize = 4;
// Larger flash sizes than this are a damaged header, not a device.
constexpr std::uint32_t kMaxFlashSize = 1u << 30;

void put32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

std::uint32_t get32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint32_t fnv1a(std::span<const std::uint8_t> bytes) {
  std::uint32_t hash = 2166136261u;
  for (const std::uint8_t b : bytes) {
    hash = (hash ^ b) * 16777619u;
  }
  return hash;
}

}  // namespace

Bytes encodeState(const Memory& memory) {
  Bytes out(kMagic.begin(), kMagic.end());
  put32(out, kStateVersion);
  put32(out, memory.flashSize());
  put32(out, static_cast<std::uint32_t>(memory.size(Area::Register)));
  put32(out, static_cast<std::uint32_t>(memory.size(Area::Eeprom)));
  for (const Area area : {Area::Register, Area::Eeprom, Area::Flash}) {
    const auto bytes = memory.raw(area);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  put32(out, fnv1a(out));
  return out;
}

DecodedState decodeState(std::span<const std::uint8_t> bytes) {
  const auto fail = [](std::string message) { return DecodedState{std::nullopt, message}; };
  if (bytes.size() < kFixedHeader + kHashSize ||
      !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
    return fail("not a device state file");
  }
  const std::uint32_t version = get32(bytes, 8);
  if (version != kStateVersion) {
    return fail("state file version " + std::to_string(version) + " is not supported (expected " +
                std::to_string(kStateVersion) + ")");
  }
  const std::uint32_t flashSize = get32(bytes, 12);
  const std::uint32_t registerSize = get32(bytes, 16);
  const std::uint32_t eepromSize = get32(bytes, 20);
  if (registerSize != Memory::kRegisterSize || eepromSize != Memory::kEepromSize ||
      flashSize == 0 || flashSize > kMaxFlashSize) {
    return fail("state file has implausible area sizes");
  }
  const std::size_t expected =
      kFixedHeader + std::size_t{registerSize} + eepromSize + flashSize + kHashSize;
  if (bytes.size() != expected) {
    return fail("state file is " + std::to_string(bytes.size()) + " bytes long, expected " +
                std::to_string(expected) + " (truncated?)");
  }
  const std::size_t hashAt = bytes.size() - kHashSize;
  if (get32(bytes, hashAt) != fnv1a(bytes.first(hashAt))) {
    return fail("state file is damaged (hash mismatch)");
  }
  Memory memory(flashSize);
  std::size_t at = kFixedHeader;
  for (const Area area : {Area::Register, Area::Eeprom, Area::Flash}) {
    const auto target = memory.raw(area);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), target.size(), target.begin());
    at += target.size();
  }
  return {std::move(memory), {}};
}

StateLoad loadState(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) {
      return {StateLoadStatus::Missing, std::nullopt, {}};
    }
    return {StateLoadStatus::Failed, std::nullopt,
            "cannot open state file " + path.string() + ": " + std::strerror(errno)};
  }
  const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    return {StateLoadStatus::Failed, std::nullopt, "cannot read state file " + path.string()};
  }
  DecodedState decoded = decodeState(bytes);
  if (!decoded.memory) {
    return {StateLoadStatus::Failed, std::nullopt, path.string() + ": " + decoded.error};
  }
  return {StateLoadStatus::Loaded, std::move(decoded.memory), {}};
}

std::optional<std::string> saveState(const Memory& memory, const std::filesystem::path& path) {
  const Bytes bytes = encodeState(memory);
  const std::string temporary =
      path.string() + ".tmp." + std::to_string(static_cast<long>(::getpid()));
  const auto failWith = [&](const std::string& what) {
    const std::string message = what + " " + temporary + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return message;
  };
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return "cannot create " + temporary + ": " + std::strerror(errno);
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      ::close(fd);
      return failWith("cannot write");
    }
    written += static_cast<std::size_t>(n);
  }
  // The rename must not be able to publish a file whose contents are still only in the cache.
  if (::fsync(fd) != 0) {
    ::close(fd);
    return failWith("cannot flush");
  }
  if (::close(fd) != 0) {
    return failWith("cannot close");
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    return failWith("cannot rename onto " + path.string() + " from");
  }
  return std::nullopt;
}

}  // namespace devsim
