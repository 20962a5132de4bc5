#pragma once

// A small reader of generated device contents for the tests, written from the PC's side: the
// device header and the cycle data are addressed by 1-based positions as the reports use them,
// 16-bit values are read the way the reports read them, and the chain is walked from the
// memory's bytes. It deliberately shares nothing with the generator.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/memory.h"

namespace devsim::contenttest {

inline constexpr std::uint32_t kChainStart = 2152;
inline constexpr int kPeriodicSample = 120;

// A 16-bit value as high byte * 256 + low byte in a signed 16-bit integer: nothing when the
// high byte is 128 or more (the reports' error path).
inline std::optional<int> reportValue(std::uint8_t low, std::uint8_t high) {
  if (high >= 128) {
    return std::nullopt;
  }
  return high * 256 + low;
}

struct Record {
  int seconds = 0;
  int code = 0;
  std::array<int, 4> probes{};  // tenths of a degree
  int pressure = 0;             // stored: hundredths of a bar + 100
  bool readable = true;         // every 16-bit value passes reportValue
};

struct CycleFile {
  std::string fileCode;
  int fileType = 0;
  int fileNumber = 0;          // device header positions 60..62
  int secondNumber = 0;        // positions 63..65
  int options = 0;             // position 66
  std::string text1;           // cycle data 1..20
  std::string program;         // 21..40
  std::string text3;           // 42..61
  std::array<int, 5> start{};  // hour, minute, day, month, year
  std::array<int, 5> end{};
  int alarm = 0;
  int counter = 0;
  int typeByte = 0;
  int cycleCode = 0;
  int mode = 0;
  int maximum = 0;
  int maximumAt = 0;
  int minimum = 0;
  int minimumAt = 0;
  int sterilisationTime = 0;
  int result = 0;
  int position88 = 0;
  std::uint8_t position19 = 0;
  std::vector<Record> records;
  std::size_t trailingBytes = 0;
  bool summaryReadable = true;
};

inline std::string text(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

inline CycleFile readCycle(std::span<const std::uint8_t> file) {
  const auto header = file.subspan(0, 76);
  const auto data = file.subspan(76);
  const auto h = [&](int position) { return header[static_cast<std::size_t>(position - 1)]; };
  const auto c = [&](int position) { return data[static_cast<std::size_t>(position - 1)]; };
  CycleFile out;
  for (std::size_t i = 32; i < 48 && file[i] != 0x00 && file[i] != 0xFF; ++i) {
    out.fileCode += static_cast<char>(file[i]);
  }
  out.fileType = file[48];
  out.fileNumber = h(62) * 65536 + h(61) * 256 + h(60);
  out.secondNumber = h(65) * 65536 + h(64) * 256 + h(63);
  out.options = h(66);
  out.text1 = text(data.subspan(0, 20));
  out.program = text(data.subspan(20, 20));
  out.text3 = text(data.subspan(41, 20));
  out.position19 = c(19);
  for (int k = 0; k < 5; ++k) {
    out.start[static_cast<std::size_t>(k)] = c(65 + k);
    out.end[static_cast<std::size_t>(k)] = c(70 + k);
  }
  out.alarm = c(75);
  out.counter = c(76);
  out.typeByte = c(77);
  out.cycleCode = out.typeByte & 0x0F;
  out.mode = (out.typeByte >> 4) & 0x03;
  const auto value = [&](int position, int& target) {
    const auto v = reportValue(c(position), c(position + 1));
    out.summaryReadable = out.summaryReadable && v.has_value();
    target = v.value_or(-1);
  };
  value(78, out.maximum);
  value(80, out.maximumAt);
  value(82, out.minimum);
  value(84, out.minimumAt);
  out.sterilisationTime = c(86);
  out.result = c(87);
  out.position88 = c(88);
  std::size_t at = 90;
  for (; at + 13 <= data.size(); at += 13) {
    Record r;
    const auto field = [&](std::size_t offset, int& target) {
      const auto v = reportValue(data[at + offset], data[at + offset + 1]);
      r.readable = r.readable && v.has_value();
      target = v.value_or(-1);
    };
    field(0, r.seconds);
    r.code = data[at + 2];
    for (std::size_t p = 0; p < 4; ++p) {
      field(3 + 2 * p, r.probes[p]);
    }
    field(11, r.pressure);
    out.records.push_back(r);
  }
  out.trailingBytes = data.size() - at;
  return out;
}

struct ChainFile {
  std::uint32_t address = 0;
  std::uint32_t next = 0;
  std::uint32_t previous = 0;
  std::vector<std::uint8_t> bytes;
};

inline std::uint32_t bigEndian(const Memory& memory, Area area, std::uint32_t address) {
  const auto b = memory.read(area, address, 4);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
         b[3];
}

// The catalogue walk: from 2152, following NextAddress until a header whose byte 50 is erased.
inline std::vector<ChainFile> walkChain(const Memory& memory) {
  std::vector<ChainFile> files;
  std::uint32_t address = kChainStart;
  while (memory.at(Area::Flash, address + 50) != 0xFF && files.size() < 2000) {
    ChainFile f;
    f.address = address;
    f.next = bigEndian(memory, Area::Flash, address + 50);
    f.previous = bigEndian(memory, Area::Flash, address + 54);
    if (f.next <= address || f.next > memory.flashSize()) {
      break;
    }
    f.bytes = memory.read(Area::Flash, address, f.next - address);
    files.push_back(std::move(f));
    address = files.back().next;
  }
  return files;
}

// A technical report's text as the report window shows it: from file byte 139 on, each byte
// less 100; stored 92 is the degree sign (Latin-1 0xB0).
inline std::string reportText(std::span<const std::uint8_t> file) {
  std::string out;
  for (std::size_t i = 139; i < file.size(); ++i) {
    const int b = file[i];
    out += b == 92 ? '\xB0' : static_cast<char>((b - 100 + 256) % 256);
  }
  return out;
}

}  // namespace devsim::contenttest
