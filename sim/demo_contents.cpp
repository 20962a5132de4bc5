#include "sim/demo_contents.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "sim/content_random.h"
#include "sim/memory_layout.h"
#include "sim/technical_report.h"

namespace devsim::content {

namespace {

// Command-list slots of this board. Byte 2 carries the type's flags: value 0x40 allows the PC
// to send files of that type.
constexpr int kMessagesSlot = 2;
constexpr int kDataSlot = 3;
constexpr std::uint8_t kReadOnlyFlags = 0xAA;
constexpr std::uint8_t kDownloadableFlags = 0xEA;

const std::array<const char*, 4> kModels{"VX22 CLASS B", "VX18 CLASS B", "AQ24 PLUS",
                                         "TS-23 CLASS B"};
const std::array<const char*, 4> kCustomers{"Riverside Dental Practice", "Hill Street Surgery",
                                            "Northgate Veterinary Clinic", "Elm Park Podiatry"};
const std::array<const char*, 4> kEngineers{"A. Fenwick", "M. Okafor", "L. Brandt", "S. Varga"};
// Water supply: internal tank, mains, mains with demineraliser.
constexpr std::array<std::uint8_t, 3> kWaterOptions{0x00, 0x04, 0x06};

int daysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// 0 = Sunday.
int weekday(int year, int month, int day) {
  static constexpr std::array<int, 12> kOffsets{0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) {
    year -= 1;
  }
  return (year + year / 4 - year / 100 + year / 400 +
          kOffsets[static_cast<std::size_t>(month - 1)] + day) %
         7;
}

struct WorkingDay {
  int day = 1;
  int week = 0;
};

std::vector<WorkingDay> workingDays(int year, int month) {
  std::vector<WorkingDay> days;
  int week = 0;
  for (int d = 1; d <= daysInMonth(year, month); ++d) {
    const int w = weekday(year, month, d);
    if (w == 0 || w == 6) {
      continue;
    }
    if (!days.empty() && (w == 1 || d - days.back().day > 3)) {
      ++week;
    }
    days.push_back({d, week});
  }
  return days;
}

struct PlannedCycle {
  int cycleCode = 0;
  DryingMode drying = DryingMode::Standard;
  int extraDryingMinutes = 0;
  bool delayedStart = false;
  bool forcedCooling = false;
  std::uint8_t alarmCode = 0;
  bool probesThreeAndFour = true;
  std::string note{};
};

struct PlannedReport {
  ServiceVisit visit = ServiceVisit::Maintenance;
};

struct DayPlan {
  std::vector<PlannedReport> reports;
  std::vector<PlannedCycle> tests;
  std::vector<PlannedCycle> cycles;
};

// An ordinary cycle of the clinic's daily work: mostly wrapped and hollow instruments at 134,
// some at 121 for rubber and plastics.
PlannedCycle ordinaryCycle(Rng& rng) {
  struct Choice {
    int code;
    int weight;
    DryingMode drying;
  };
  static constexpr std::array<Choice, 9> kChoices{{{0, 30, DryingMode::Standard},
                                                   {1, 14, DryingMode::Short},
                                                   {2, 8, DryingMode::Long},
                                                   {3, 10, DryingMode::Standard},
                                                   {5, 5, DryingMode::Long},
                                                   {6, 12, DryingMode::Standard},
                                                   {7, 6, DryingMode::Short},
                                                   {8, 5, DryingMode::Long},
                                                   {9, 10, DryingMode::Standard}}};
  int total = 0;
  for (const Choice& c : kChoices) {
    total += c.weight;
  }
  int pick = rng.between(0, total - 1);
  for (const Choice& c : kChoices) {
    if (pick < c.weight) {
      PlannedCycle cycle{.cycleCode = c.code, .drying = c.drying};
      if (c.drying == DryingMode::Standard && rng.chance(0.1)) {
        cycle.drying = DryingMode::Long;
      }
      return cycle;
    }
    pick -= c.weight;
  }
  return {};
}

std::string twoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

Stamp stampAt(int day, int month, int year, int minutes) {
  return {
      .hour = minutes / 60, .minute = minutes % 60, .day = day, .month = month, .year = year % 100};
}

// Files the PC sent with its own header (the messages and parameter files).
Bytes sentFile(const std::string& name, std::uint8_t type, const Bytes& payload) {
  Bytes file(76, 0xFF);
  for (std::size_t i = 0; i < 8; ++i) {
    file[32 + i] = static_cast<std::uint8_t>(name[i]);
    file[40 + i] = ' ';
  }
  file[48] = type;
  file[58] = 0x00;
  file.insert(file.end(), payload.begin(), payload.end());
  return file;
}

// The display texts of the board in one language, 24 characters each, as the messages loader
// leaves them: the data, one skipped byte, then the two letters of the language and filler.
Bytes messagesPayload() {
  static constexpr std::array<const char*, 40> kTexts{
      "READY",         "CLOSE THE DOOR",  "DOOR LOCKED",      "SELF TEST",       "PREHEATING",
      "WATER FILLING", "GENERATOR HEAT",  "PRE-VACUUM 1",     "STEAM PULSE 1",   "PRE-VACUUM 2",
      "STEAM PULSE 2", "PRE-VACUUM 3",    "HEATING UP",       "STERILISATION",   "EXHAUST",
      "DRYING",        "PULSED DRYING",   "VENTING",          "CYCLE END",       "CYCLE OK",
      "CYCLE FAILED",  "VACUUM TEST",     "STABILISATION",    "MEASUREMENT",     "TEST PASSED",
      "TEST FAILED",   "FILL WATER TANK", "EMPTY WASTE TANK", "REMOVE LOAD",     "OPEN THE DOOR",
      "ALARM",         "CALL SERVICE",    "SAVE RECORDS",     "MEMORY FULL",     "PRINTING",
      "PAPER OUT",     "PEN DRIVE COPY",  "DELAYED START",    "MAINTENANCE DUE", "SET DATE/TIME"};
  Bytes payload;
  for (const char* text : kTexts) {
    std::string line(text);
    line.resize(24, ' ');
    payload.insert(payload.end(), line.begin(), line.end());
  }
  payload.push_back(0xFF);
  payload.push_back('E');
  payload.push_back('N');
  payload.insert(payload.end(), 62, 0x91);
  return payload;
}

// The board's parameters as (number, value) pairs, low byte first.
Bytes parameterPayload(Rng& rng) {
  const std::array<int, 24> values{1340,
                                   1210,
                                   40,
                                   200,
                                   35,
                                   100,
                                   150,
                                   50,
                                   -85,
                                   100,
                                   210,
                                   110,
                                   13,
                                   300,
                                   600,
                                   120,
                                   500,
                                   180,
                                   90,
                                   30,
                                   0,
                                   1,
                                   rng.between(1, 9),
                                   rng.between(10, 99)};
  Bytes payload;
  for (std::size_t i = 0; i < values.size(); ++i) {
    payload.push_back(static_cast<std::uint8_t>(i + 1));
    payload.push_back(static_cast<std::uint8_t>(values[i] & 0xFF));
    payload.push_back(static_cast<std::uint8_t>((values[i] >> 8) & 0xFF));
  }
  payload.resize(128, 0xFF);
  return payload;
}

void checkOptions(const DemoOptions& options) {
  const auto fail = [](const std::string& what) { throw std::invalid_argument(what); };
  if (options.month < 1 || options.month > 12) {
    fail("month " + std::to_string(options.month) + " outside 1..12");
  }
  if (options.year < 2000 || options.year > 2099) {
    fail("year " + std::to_string(options.year) + " outside 2000..2099");
  }
  if (options.cycles < 1 || options.cycles > 200) {
    fail(std::to_string(options.cycles) + " cycles: choose 1..200");
  }
  if (options.technicalReports < 0 || options.technicalReports > 10) {
    fail(std::to_string(options.technicalReports) + " technical reports: choose 0..10");
  }
}

class MonthPlanner {
 public:
  MonthPlanner(const DemoOptions& options, Rng rng)
      : options_(options), rng_(rng), days_(workingDays(options.year, options.month)) {
    plans_.resize(days_.size());
  }

  std::vector<DayPlan> plan() {
    planVacuumTests();
    planCycles();
    planReports();
    return plans_;
  }

 private:
  // The first working day of every week, and in about half of the weeks one more day.
  void planVacuumTests() {
    struct TestDay {
      std::size_t day;
      bool extra;
    };
    std::vector<TestDay> tests;
    for (std::size_t i = 0; i < days_.size(); ++i) {
      const bool firstOfWeek = i == 0 || days_[i].week != days_[i - 1].week;
      if (firstOfWeek) {
        tests.push_back({i, false});
        const bool longWeek = i + 3 < days_.size() && days_[i + 3].week == days_[i].week;
        if (longWeek && rng_.chance(0.5)) {
          tests.push_back({i + static_cast<std::size_t>(rng_.between(2, 3)), true});
        }
      }
    }
    const std::size_t limit =
        options_.cycles >= 3 ? static_cast<std::size_t>(std::max(1, options_.cycles / 5)) : 0;
    while (tests.size() > limit) {
      const auto extra =
          std::find_if(tests.rbegin(), tests.rend(), [](const TestDay& t) { return t.extra; });
      tests.erase(extra != tests.rend() ? std::next(extra).base() : std::prev(tests.end()));
    }
    const bool oneFails = tests.size() >= 2 && options_.cycles >= 10;
    for (std::size_t i = 0; i < tests.size(); ++i) {
      DayPlan& day = plans_[tests[i].day];
      PlannedCycle test{.cycleCode = kVacuumTestCode, .note = "vacuum test"};
      if (oneFails && i == tests.size() / 2) {
        PlannedCycle failed = test;
        failed.alarmCode = kLeakRateAlarm;
        failed.note = "vacuum test, leak alarm";
        day.tests.push_back(failed);
        test.note = "vacuum test, repeated";
      }
      day.tests.push_back(test);
    }
    for (const DayPlan& day : plans_) {
      testFiles_ += static_cast<int>(day.tests.size());
    }
  }

  void planCycles() {
    const int count = options_.cycles - testFiles_;
    const int days = static_cast<int>(days_.size());
    std::vector<int> perDay(days_.size(), count / days);
    std::vector<std::size_t> order(days_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      order[i] = i;
    }
    shuffle(order);
    for (int i = 0; i < count % days; ++i) {
      ++perDay[order[static_cast<std::size_t>(i)]];
    }
    for (std::size_t d = 0; d < days_.size(); ++d) {
      for (int k = 0; k < perDay[d]; ++k) {
        slotDay_.push_back(d);
        slotFirstOfDay_.push_back(k == 0);
      }
    }
    slots_.assign(slotDay_.size(), {});
    used_.assign(slotDay_.size(), false);
    for (PlannedCycle& cycle : slots_) {
      cycle = ordinaryCycle(rng_);
    }

    const auto size = static_cast<int>(slots_.size());
    if (size >= 2) {
      // Mid-month, the day's last cycle (the steriliser is out of order until the repair) and
      // not on the last working day, so the engineer can come the next morning.
      const auto alarm = take([&](std::size_t i) {
        const auto at = static_cast<int>(i);
        const bool lastOfDay = i + 1 == slotDay_.size() || slotDay_[i + 1] != slotDay_[i];
        return at >= size * 3 / 10 && at <= size * 7 / 10 && lastOfDay &&
               slotDay_[i] + 1 < days_.size();
      });
      if (alarm) {
        slots_[*alarm] = {.cycleCode = rng_.chance(0.5) ? 0 : 3,
                          .alarmCode = kTemperatureLowAlarm,
                          .note = "alarm: steam supply failed on the plateau"};
        alarmDay_ = slotDay_[*alarm];
      }
    }
    if (size >= 3) {
      if (const auto slot = take(any())) {
        slots_[*slot] = {.cycleCode = rng_.chance(0.5) ? 0 : 1,
                         .drying = DryingMode::Standard,
                         .probesThreeAndFour = false,
                         .note = "PT3 and PT4 not connected"};
      }
    }
    if (size >= 4) {
      if (const auto slot = take(any())) {
        slots_[*slot] = {.cycleCode = kLiquidsCycleCode,
                         .forcedCooling = true,
                         .note = "long cycle: liquids, fine sampling"};
      }
    }
    const int fast = size >= 6 ? std::max(1, size / 12) : 0;
    for (int i = 0; i < fast; ++i) {
      if (const auto slot = take(any())) {
        slots_[*slot] = {.cycleCode = kFastCycleCode, .drying = DryingMode::Short, .note = "fast"};
      }
    }
    if (size >= 8) {
      if (const auto slot = take([&](std::size_t i) { return slotFirstOfDay_[i]; })) {
        slots_[*slot].delayedStart = true;
        slots_[*slot].note = "delayed start";
      }
      if (const auto slot = take(any())) {
        slots_[*slot] = {.cycleCode = 5,
                         .drying = DryingMode::Extended,
                         .extraDryingMinutes = 5,
                         .note = "extended drying +5"};
      }
    }
    if (size >= 15) {
      if (const auto slot = take(any())) {
        slots_[*slot] = {.cycleCode = 4, .note = "prion"};
      }
    }
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      plans_[slotDay_[i]].cycles.push_back(slots_[i]);
    }
  }

  // Maintenance early in the month, the repair the morning after the alarm, a calibration check
  // later on; further visits spread over the month.
  void planReports() {
    const std::size_t last = days_.size() - 1;
    for (int k = 0; k < options_.technicalReports; ++k) {
      PlannedReport report;
      std::size_t day = 0;
      if (k == 0) {
        day = std::min<std::size_t>(1, last);
      } else if (k == 1 && alarmDay_) {
        report.visit = ServiceVisit::Repair;
        day = *alarmDay_ + 1;
      } else {
        report.visit = k % 2 == 0 ? ServiceVisit::Calibration : ServiceVisit::Maintenance;
        day = std::min(last, days_.size() * static_cast<std::size_t>(3 + 2 * k) /
                                 static_cast<std::size_t>(4 + 2 * k));
      }
      plans_[day].reports.push_back(report);
    }
  }

  static std::function<bool(std::size_t)> any() {
    return [](std::size_t) { return true; };
  }

  std::optional<std::size_t> take(const std::function<bool(std::size_t)>& fits) {
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      if (!used_[i] && fits(i)) {
        candidates.push_back(i);
      }
    }
    if (candidates.empty()) {
      return std::nullopt;
    }
    const std::size_t pick = candidates[static_cast<std::size_t>(
        rng_.between(0, static_cast<int>(candidates.size()) - 1))];
    used_[pick] = true;
    return pick;
  }

  void shuffle(std::vector<std::size_t>& items) {
    for (std::size_t i = items.size(); i > 1; --i) {
      std::swap(items[i - 1],
                items[static_cast<std::size_t>(rng_.between(0, static_cast<int>(i) - 1))]);
    }
  }

  const DemoOptions& options_;
  Rng rng_;
  std::vector<WorkingDay> days_;
  std::vector<DayPlan> plans_;
  int testFiles_ = 0;
  std::vector<std::size_t> slotDay_;
  std::vector<bool> slotFirstOfDay_;
  std::vector<PlannedCycle> slots_;
  std::vector<bool> used_;
  std::optional<std::size_t> alarmDay_;
};

}  // namespace

DemoOptions demoOptions() {
  return {};
}

DemoOptions benchOptions() {
  DemoOptions options;
  options.cycles = 90;
  options.technicalReports = 4;
  return options;
}

std::string contentsNameHelp() {
  return "Contents names, optionally followed by :key=value settings (demo:seed=7:cycles=40):\n"
         "  demo   a month of a small clinic: 34 cycles, 3 technical reports, about 150 KB\n"
         "  bench  a busy month: 90 cycles, 4 technical reports, about 340 KB\n"
         "  keys: seed, month (1-12), year (2000-2099), cycles (1-200), reports (0-10)\n";
}

ContentsChoice parseContentsName(const std::string& text) {
  ContentsChoice choice;
  const std::size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  DemoOptions options;
  if (name == "demo") {
    options = demoOptions();
  } else if (name == "bench") {
    options = benchOptions();
  } else {
    choice.error = "unknown contents \"" + name + "\" (demo or bench)";
    return choice;
  }
  std::size_t at = colon;
  while (at != std::string::npos) {
    const std::size_t next = text.find(':', at + 1);
    const std::string setting =
        text.substr(at + 1, next == std::string::npos ? next : next - at - 1);
    at = next;
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos) {
      choice.error = "setting \"" + setting + "\" is not key=value";
      return choice;
    }
    const std::string key = setting.substr(0, equals);
    const std::string value = setting.substr(equals + 1);
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size() || value.empty()) {
      choice.error = "value of " + key + " is not a number: \"" + value + "\"";
      return choice;
    }
    const auto small = static_cast<int>(std::min<std::uint64_t>(number, 1'000'000));
    if (key == "seed") {
      options.seed = number;
    } else if (key == "month") {
      options.month = small;
    } else if (key == "year") {
      options.year = small;
    } else if (key == "cycles") {
      options.cycles = small;
    } else if (key == "reports") {
      options.technicalReports = small;
    } else {
      choice.error = "unknown setting \"" + key + "\" (seed, month, year, cycles, reports)";
      return choice;
    }
  }
  try {
    checkOptions(options);
  } catch (const std::invalid_argument& error) {
    choice.error = error.what();
    return choice;
  }
  choice.options = options;
  return choice;
}

std::vector<ManifestEntry> fillDemoContents(Memory& memory, const DemoOptions& options) {
  checkOptions(options);
  const Rng root(options.seed);
  Rng machineRng = root.fork(1);
  Machine machine;
  machine.model = kModels[static_cast<std::size_t>(machineRng.between(0, 3))];
  machine.serial = "2" + std::to_string(machineRng.between(0, 9)) +
                   std::to_string(machineRng.between(100000, 999999));
  machine.options = kWaterOptions[static_cast<std::size_t>(machineRng.between(0, 2))];
  machine.firmware = "4.1" + std::to_string(machineRng.between(0, 9));
  const std::string customer = kCustomers[static_cast<std::size_t>(machineRng.between(0, 3))];
  const std::string engineer = kEngineers[static_cast<std::size_t>(machineRng.between(0, 3))];
  std::uint32_t cycleNumber = static_cast<std::uint32_t>(machineRng.between(1200, 2600));
  std::uint32_t sinceService = static_cast<std::uint32_t>(machineRng.between(150, 420));

  const std::vector<WorkingDay> days = workingDays(options.year, options.month);
  const std::vector<DayPlan> plans = MonthPlanner(options, root.fork(2)).plan();
  Rng timeRng = root.fork(3);

  layout::formatFreshDevice(memory);
  layout::writeCommandSlot(memory, 1,
                           {.fileType = kTechnicalReportFileType,
                            .parameters = {0xFF, kReadOnlyFlags, 0xFF, 0xFF, 0xFF},
                            .label = "Technical Report"});
  layout::writeCommandSlot(memory, kMessagesSlot,
                           {.fileType = kMessagesFileType,
                            .parameters = {0xFF, kDownloadableFlags, 0xFF, 0xFF, 0xFF},
                            .label = "Messages"});
  layout::writeCommandSlot(memory, kDataSlot,
                           {.fileType = kDataFileType,
                            .parameters = {0xFF, kDownloadableFlags, 0xFF, 0xFF, 0xFF},
                            .label = "Data"});
  layout::writeCommandSlot(memory, 4,
                           {.fileType = kFirmwareFileType,
                            .parameters = {0xFF, kDownloadableFlags, 0xFF, 0xFF, 0xFF},
                            .label = "Firmware"});

  std::vector<ManifestEntry> manifest;
  const auto append = [&](const Bytes& file, ManifestEntry entry) {
    entry.address = layout::appendRecord(memory, file);
    entry.size = static_cast<std::uint32_t>(file.size());
    entry.fileType = file[48];
    manifest.push_back(std::move(entry));
  };

  // The engineer cleared the memory at the start of the month and sent these two; the board
  // counted each download.
  append(sentFile("MS0369AA", kMessagesFileType, messagesPayload()),
         {.fileCode = "MS0369AA", .note = "messages file sent by the PC"});
  layout::setDownloadCounter(memory, kMessagesSlot, 1);
  Rng parameterRng = root.fork(4);
  append(sentFile("DT0369AA", kDataFileType, parameterPayload(parameterRng)),
         {.fileCode = "DT0369AA", .note = "parameter file sent by the PC"});
  layout::setDownloadCounter(memory, kDataSlot, 1);

  std::uint64_t fileIndex = 0;
  std::uint32_t reportNumber = 0;
  std::optional<Stamp> lastAlarm;
  std::uint32_t lastAlarmCycle = 0;
  std::uint8_t lastAlarmCode = 0;
  for (std::size_t d = 0; d < days.size(); ++d) {
    const DayPlan& plan = plans[d];
    const int day = days[d].day;
    int minutes = plan.reports.empty() ? timeRng.between(7 * 60 + 40, 8 * 60 + 10)
                                       : timeRng.between(7 * 60 + 15, 7 * 60 + 35);
    for (const PlannedReport& visit : plan.reports) {
      ++reportNumber;
      TechnicalReportRequest request{.visit = visit.visit,
                                     .when = stampAt(day, options.month, options.year, minutes),
                                     .century = options.year / 100,
                                     .cycleNumber = cycleNumber - 1,
                                     .cyclesSinceService = sinceService,
                                     .reportNumber = reportNumber,
                                     .engineer = engineer,
                                     .customer = customer,
                                     .alarmCode = lastAlarmCode,
                                     .alarmTime = lastAlarm.value_or(Stamp{}),
                                     .alarmCycle = lastAlarmCycle,
                                     .seed = root.fork(1000 + reportNumber).next()};
      if (visit.visit == ServiceVisit::Repair && !lastAlarm) {
        request.visit = ServiceVisit::Calibration;
      }
      const GeneratedReport report = generateTechnicalReport(machine, request);
      static constexpr std::array<const char*, 3> kVisits{"maintenance", "calibration check",
                                                          "repair"};
      append(report.bytes, {.fileCode = report.fileCode,
                            .program = "SERVICE",
                            .start = request.when,
                            .note = std::string("technical report: ") +
                                    kVisits[static_cast<std::size_t>(request.visit)]});
      if (request.visit == ServiceVisit::Maintenance) {
        sinceService = 0;
      }
      minutes += timeRng.between(40, 75);
    }
    if (!plan.reports.empty()) {
      minutes += timeRng.between(5, 15);
    }

    std::uint8_t cycleOfDay = 0;
    bool chamberWarm = false;
    const auto total = static_cast<int>(plan.tests.size() + plan.cycles.size());
    int done = 0;
    const auto run = [&](const PlannedCycle& planned) {
      if (minutes >= 23 * 60) {
        throw std::invalid_argument("too many cycles for the working days of one month");
      }
      const bool test = planned.cycleCode == kVacuumTestCode;
      CycleRequest request{.cycleCode = planned.cycleCode,
                           .drying = planned.drying,
                           .extraDryingMinutes = planned.extraDryingMinutes,
                           .delayedStart = planned.delayedStart,
                           .forcedCooling = planned.forcedCooling,
                           .alarmCode = planned.alarmCode,
                           .probesThreeAndFour = planned.probesThreeAndFour,
                           .coldChamber = !chamberWarm,
                           .start = stampAt(day, options.month, options.year, minutes),
                           .cycleNumber = cycleNumber,
                           .cyclesSinceService = sinceService + 1,
                           .cycleOfDay = cycleOfDay,
                           .seed = root.fork(2000 + fileIndex).next()};
      const GeneratedFile file = generateCycle(machine, request);
      append(file.bytes, {.fileCode = file.fileCode,
                          .program = file.program,
                          .cycleCode = planned.cycleCode,
                          .start = request.start,
                          .durationSeconds = file.durationSeconds,
                          .records = file.records,
                          .alarmCode = planned.alarmCode,
                          .note = planned.note});
      if (planned.alarmCode != 0 && !test) {
        lastAlarm = request.start;
        lastAlarmCycle = cycleNumber;
        lastAlarmCode = planned.alarmCode;
      }
      ++fileIndex;
      ++cycleNumber;
      ++sinceService;
      ++cycleOfDay;
      ++done;
      chamberWarm = chamberWarm || !test;
      minutes += (file.durationSeconds + 59) / 60;
      // The next load is ready after a while; the evening is kept free when the day is full.
      const int left = total - done;
      int gap = test ? timeRng.between(5, 15) : timeRng.between(10, 60);
      if (left > 0 && minutes + left * (45 + gap) > 19 * 60) {
        gap = std::max(3, (19 * 60 - minutes) / left - 45);
      }
      minutes += gap;
      if (minutes >= 12 * 60 + 30 && minutes < 13 * 60 + 30 && left > 0 && left < 4 &&
          timeRng.chance(0.6)) {
        minutes = 13 * 60 + 30 + timeRng.between(0, 20);  // lunch break
      }
    };
    for (const PlannedCycle& test : plan.tests) {
      run(test);
    }
    for (const PlannedCycle& cycle : plan.cycles) {
      run(cycle);
    }
  }
  return manifest;
}

std::string describeContents(const std::vector<ManifestEntry>& files) {
  std::string out;
  std::uint32_t end = 0;
  for (const ManifestEntry& f : files) {
    char line[200];
    std::string when = "--/--/-- --:--";
    if (f.start) {
      const Stamp& s = *f.start;
      when = twoDigits(s.day) + "/" + twoDigits(s.month) + "/" + twoDigits(s.year) + " " +
             twoDigits(s.hour) + ":" + twoDigits(s.minute);
    }
    const std::string code = f.cycleCode >= 0 ? std::to_string(f.cycleCode) : "-";
    std::snprintf(line, sizeof line, "%7u %6u  0x%02X %-12s %s  %-17s %4s %5zu rec %4d min  %s\n",
                  f.address, f.size, f.fileType, f.fileCode.c_str(), when.c_str(),
                  f.program.c_str(), code.c_str(), f.records, (f.durationSeconds + 59) / 60,
                  f.note.c_str());
    out += line;
    end = f.address + f.size;
  }
  out += std::to_string(files.size()) + " files, first free location " + std::to_string(end) + "\n";
  return out;
}

}  // namespace devsim::content
