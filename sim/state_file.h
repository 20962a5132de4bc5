#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "sim/bytes.h"
#include "sim/memory.h"

// The device's memory kept between runs. Layout, integers little-endian:
//   0   8 bytes  magic "VSTDEVSM"
//   8   4        format version (1)
//   12  4        flash size F
//   16  4        register area size R (256)
//   20  4        EEPROM size E (4096)
//   24  R        register bytes
//   ..  E        EEPROM bytes
//   ..  F        flash bytes
//   ..  4        FNV-1a hash of everything before it, so a damaged file is refused
namespace devsim {

inline constexpr std::uint32_t kStateVersion = 1;

Bytes encodeState(const Memory& memory);

struct DecodedState {
  std::optional<Memory> memory;
  std::string error;  // set when memory is empty
};
DecodedState decodeState(std::span<const std::uint8_t> bytes);

enum class StateLoadStatus : std::uint8_t { Loaded, Missing, Failed };

struct StateLoad {
  StateLoadStatus status = StateLoadStatus::Failed;
  std::optional<Memory> memory;
  std::string error;
};
StateLoad loadState(const std::filesystem::path& path);

// Writes to a temporary file beside `path` and renames it over the old one, so a failed save
// leaves the previous state intact. Returns an error text, or nothing on success.
std::optional<std::string> saveState(const Memory& memory, const std::filesystem::path& path);

}  // namespace devsim
