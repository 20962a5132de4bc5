// Writes the fuzz target's seed corpus: a handful of stored files made from
// the simulator's cycles and a technical report, each sealed as saving
// seals it, kept to a few KB. Usage: report_fuzz_seeds FOLDER (fuzz/corpus/report)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "record/sealed_record.h"
#include "sim/cycle_generator.h"
#include "sim/technical_report.h"

namespace {

using devsim::content::CycleRequest;
using devsim::content::DryingMode;

constexpr std::size_t kHeaderRecord = 166;
constexpr std::size_t kSampleRecord = 13;

// A stored file: the device's bytes, cut to `records` samples when there
// are more, sealed with a fixed time.
vestrim::Bytes stored(vestrim::Bytes device, std::size_t records) {
  if (device.size() > kHeaderRecord + records * kSampleRecord) {
    device.resize(kHeaderRecord + records * kSampleRecord);
  }
  const vestrim::shell::LocalTime when{2025, 3, 14, 10, 15, 30};
  return vestrim::record::sealContents(vestrim::record::dateSeal(when), device);
}

CycleRequest cycle(int code, std::uint64_t seed) {
  CycleRequest request;
  request.cycleCode = code;
  request.seed = seed;
  request.start = {9, 5, 14, 3, 25};
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: report_fuzz_seeds FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::filesystem::create_directories(folder);
  const auto write = [&](const std::string& name, const vestrim::Bytes& bytes) {
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  };
  const devsim::content::Machine machine;

  CycleRequest ordinary = cycle(0, 11);
  write("cycle_wrapped", stored(generateCycle(machine, ordinary).bytes, 220));
  CycleRequest alarm = cycle(3, 12);
  alarm.alarmCode = devsim::content::kTemperatureLowAlarm;
  write("cycle_alarm", stored(generateCycle(machine, alarm).bytes, 220));
  write("cycle_fast", stored(generateCycle(machine, cycle(12, 13)).bytes, 220));
  CycleRequest bare = cycle(1, 14);
  bare.probesThreeAndFour = false;
  bare.drying = DryingMode::Extended;
  bare.extraDryingMinutes = 5;
  write("cycle_no_pt3_pt4", stored(generateCycle(machine, bare).bytes, 220));
  CycleRequest liquids = cycle(10, 15);
  liquids.forcedCooling = true;
  liquids.delayedStart = true;
  write("cycle_liquids_start", stored(generateCycle(machine, liquids).bytes, 150));
  write("vacuum_test", stored(generateCycle(machine, cycle(13, 16)).bytes, 220));
  CycleRequest leak = cycle(13, 17);
  leak.alarmCode = devsim::content::kLeakRateAlarm;
  write("vacuum_test_alarm", stored(generateCycle(machine, leak).bytes, 220));

  devsim::content::TechnicalReportRequest visit;
  visit.visit = devsim::content::ServiceVisit::Repair;
  visit.when = {11, 30, 14, 3, 25};
  visit.alarmCode = devsim::content::kTemperatureLowAlarm;
  visit.seed = 18;
  write("technical_report",
        stored(devsim::content::generateTechnicalReport(machine, visit).bytes, 10000));
  return 0;
}
