#pragma once
// Archives sealed as a save seals them, for the archive's tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/journal.h"
#include "sim/cycle_generator.h"
#include "transfer/seal.h"

namespace vestrim::archive {

struct Cycle {
  std::uint32_t number;
  int code = 0;
  std::uint8_t alarm = 0;
  devsim::content::Stamp start{8, 10, 7, 3, 25};
};

// Seals a generated cycle into its month folder of `program`.
inline std::filesystem::path seal(const std::filesystem::path& program, const Cycle& cycle) {
  devsim::content::CycleRequest request;
  request.cycleNumber = cycle.number;
  request.cycleCode = cycle.code;
  request.alarmCode = cycle.alarm;
  request.start = cycle.start;
  request.seed = cycle.number;
  char month[16];
  std::snprintf(month, sizeof month, "20%02d/%02d", cycle.start.year, cycle.start.month);
  const std::filesystem::path folder = program / month;
  std::filesystem::create_directories(folder);
  const transfer::SealResult sealed = transfer::ProtectDataLogger(
      program, folder, devsim::content::generateCycle({}, request).bytes, {});
  EXPECT_TRUE(sealed.error.empty()) << sealed.error;
  return sealed.file;
}

// A stored file's path as the journal names it.
inline std::string below(const std::filesystem::path& program, const std::filesystem::path& file) {
  return file.lexically_relative(program).generic_string();
}

// The journal of `program`, line by line.
inline std::vector<std::string> journalLines(const std::filesystem::path& program) {
  std::ifstream in(program / kJournalFileName);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// A copy that does not keep file times: they become another time altogether.
inline void loseTime(const std::filesystem::path& file) {
  std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) +
                                             std::chrono::hours(5) + std::chrono::seconds(17));
}

}  // namespace vestrim::archive
