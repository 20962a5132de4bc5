#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/cycle_generator.h"
#include "sim/memory.h"

// Realistic device contents: a month of a small clinic's steriliser, deterministic from a seed.
// The month opens with the messages and parameter files a service engineer sent after clearing
// the memory; then, on working days, a morning vacuum test once or twice a week, the day's
// sterilisation cycles and now and then a service visit's technical report.
namespace devsim::content {

struct DemoOptions {
  std::uint64_t seed = 1;
  int month = 3;             // 1..12
  int year = 2025;           // 2000..2099
  int cycles = 34;           // cycle files, vacuum tests included: 1..200
  int technicalReports = 3;  // 0..10

  bool operator==(const DemoOptions&) const = default;
};

// About 150 KB: saving it at 57600 baud takes about a minute.
DemoOptions demoOptions();
// A busy month of about 350 KB, for measuring transfers.
DemoOptions benchOptions();

// "demo" or "bench", optionally followed by ":key=value" settings, e.g. demo:seed=7:cycles=40
// (keys seed, month, year, cycles, reports).
struct ContentsChoice {
  std::optional<DemoOptions> options;
  std::string error{};  // set when options is empty
};
ContentsChoice parseContentsName(const std::string& text);
std::string contentsNameHelp();

// One file of the generated chain, for listings and tests.
struct ManifestEntry {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
  std::uint8_t fileType = 0;
  std::string fileCode{};
  std::string program{};
  int cycleCode = -1;            // -1 for a file that is not a cycle
  std::optional<Stamp> start{};  // cycles: start; technical reports: the visit
  int durationSeconds = 0;
  std::size_t records = 0;
  std::uint8_t alarmCode = 0;
  std::string note{};
};

// Formats memory as a fresh device, then writes the command list, the chain, the first free
// location and the download counters. Throws std::length_error when the flash is too small and
// std::invalid_argument for options out of range.
std::vector<ManifestEntry> fillDemoContents(Memory& memory, const DemoOptions& options);

// One line per file: address, size, code, type, date, program and what is special about it.
std::string describeContents(const std::vector<ManifestEntry>& files);

}  // namespace devsim::content
