#pragma once

// What the tests of generated contents read them with: the PC's own decoder of cycle records
// and a walk of the chain from the memory's bytes. Both are written apart from the generator,
// so a field that one side misplaces shows.

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "reports/cycle_record.h"
#include "sim/memory.h"

namespace devsim::contenttest {

inline std::string text(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A cycle file, header record first, as the PC decodes it.
inline vestrim::reports::CycleRecord decoded(std::span<const std::uint8_t> file) {
  std::string error;
  auto record =
      vestrim::reports::decodeCycleRecord(text(file.first(76)), text(file.subspan(76)), &error);
  EXPECT_TRUE(record) << error;
  return record.value_or(vestrim::reports::CycleRecord{});
}

inline std::uint32_t bigEndian(const Memory& memory, Area area, std::uint32_t address) {
  const auto b = memory.read(area, address, 4);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
         b[3];
}

struct ChainFile {
  std::uint32_t address = 0;
  std::uint32_t next = 0;
  std::uint32_t previous = 0;
  std::vector<std::uint8_t> bytes;
};

// The catalogue walk: from 2152, following NextAddress until a header whose byte 50 is erased.
inline std::vector<ChainFile> walkChain(const Memory& memory) {
  std::vector<ChainFile> files;
  for (std::uint32_t address = 2152; memory.at(Area::Flash, address + 50) != 0xFF;) {
    ChainFile f{address,
                bigEndian(memory, Area::Flash, address + 50),
                bigEndian(memory, Area::Flash, address + 54),
                {}};
    if (f.next <= address || f.next > memory.flashSize()) {
      break;
    }
    f.bytes = memory.read(Area::Flash, address, f.next - address);
    files.push_back(std::move(f));
    address = files.back().next;
  }
  return files;
}

}  // namespace devsim::contenttest
