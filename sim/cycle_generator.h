#pragma once

#include <cstdint>
#include <string>

#include "sim/bytes.h"

// Cycle record files as the control board writes them: a 166-byte header record that also holds
// the cycle summary, then one 13-byte sample record per phase, event or periodic sample.
// The cycles come from a small model of the chamber (steam saturation, a vacuum pump, probes
// that lag behind the chamber), so temperatures, pressures and the order of phases and events
// look like those of a real steriliser and stay consistent with the summary.
namespace devsim::content {

// File types of the command list this board describes.
inline constexpr std::uint8_t kCycleFileType = 0x50;
inline constexpr std::uint8_t kTechnicalReportFileType = 0x60;
inline constexpr std::uint8_t kMessagesFileType = 0x30;
inline constexpr std::uint8_t kDataFileType = 0x20;
inline constexpr std::uint8_t kFirmwareFileType = 0x01;

// Cycle codes with a report of their own.
inline constexpr int kFastCycleCode = 12;
inline constexpr int kVacuumTestCode = 13;
inline constexpr int kLiquidsCycleCode = 10;

// The alarms the model can end in: a steam supply that fails during the plateau (any code may
// be asked for, the temperature-low one fits the recorded curve), and a leaking chamber in a
// vacuum test.
inline constexpr std::uint8_t kTemperatureLowAlarm = 10;
inline constexpr std::uint8_t kLeakRateAlarm = 33;

struct Stamp {
  int hour = 0;
  int minute = 0;
  int day = 1;
  int month = 1;
  int year = 0;  // two digits

  bool operator==(const Stamp&) const = default;
};

// The board's identity, repeated in every file it writes.
struct Machine {
  std::string model = "VX22 CLASS B";  // up to 18 characters
  std::string serial = "21041178";     // printed after an "E"
  // Water supply: value 4 set = mains, then value 2 set = with demineraliser.
  std::uint8_t options = 0;
  std::string firmware = "4.12";
};

enum class DryingMode : std::uint8_t { Standard = 0, Short = 1, Long = 2, Extended = 3 };

struct CycleRequest {
  int cycleCode = 0;  // 0..15
  DryingMode drying = DryingMode::Standard;
  int extraDryingMinutes = 0;  // with DryingMode::Extended, 0..60
  bool delayedStart = false;
  bool forcedCooling = false;      // liquids programs: fan instead of natural cooling
  std::uint8_t alarmCode = 0;      // 0: the cycle ends normally; else 1..44
  bool probesThreeAndFour = true;  // false: PT3 and PT4 not connected, they read 0
  bool coldChamber = false;        // the chamber has to be preheated first
  Stamp start{};
  std::uint32_t cycleNumber = 1;  // the board's cycle counter: the file number
  std::uint32_t cyclesSinceService = 1;
  std::uint8_t cycleOfDay = 0;  // 0 for the first cycle of the day
  std::uint64_t seed = 1;
};

struct GeneratedFile {
  // The file as the board stores it, header record first. NextAddress and PrevAddress are left
  // 0: the chain position is decided when the file is appended (layout::appendRecord).
  Bytes bytes{};
  std::string fileCode{};
  std::string program{};
  std::size_t records = 0;
  int durationSeconds = 0;
  Stamp end{};
};

// Throws std::invalid_argument for a request outside the ranges above or a cycle that would
// run past midnight.
GeneratedFile generateCycle(const Machine& machine, const CycleRequest& request);

// The program text the board stores as the file name of a cycle with this code.
std::string programText(int cycleCode);

// Seconds between two periodic samples: 10, 15 for programs with a plateau of 15 minutes or
// more, 3 for liquids programs (their load temperature is followed closely).
int samplePeriodSeconds(int cycleCode);

// Stamp plus whole seconds, within the same day; std::invalid_argument past midnight.
Stamp addSeconds(const Stamp& stamp, int seconds);

}  // namespace devsim::content
