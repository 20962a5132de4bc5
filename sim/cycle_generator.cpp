#include "sim/cycle_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

#include "sim/content_random.h"

namespace devsim::content {

namespace {

// Phase codes (151 and above) and event codes (below 151) the board records.
namespace phase {
constexpr std::uint8_t kCycleStart = 151;
constexpr std::uint8_t kDoorLocked = 152;
constexpr std::uint8_t kWaterFill = 153;
constexpr std::uint8_t kWaterFillEnd = 154;
constexpr std::uint8_t kPreheating = 155;
constexpr std::uint8_t kPreheatingEnd = 156;
constexpr std::uint8_t kGeneratorHeating = 157;
constexpr std::uint8_t kGeneratorReady = 158;
constexpr std::uint8_t kSelfTest = 161;
constexpr std::uint8_t kSelfTestEnd = 162;
// Pre-vacuum k (1..3) is 161 + 2k, the steam pulse after it 162 + 2k.
constexpr std::uint8_t kFirstPreVacuum = 163;
constexpr std::uint8_t kHeatUp = 168;
constexpr std::uint8_t kEquilibrationOver = 169;
constexpr std::uint8_t kSterilisationEnd = 170;
constexpr std::uint8_t kExhaust = 171;
constexpr std::uint8_t kDryingStart = 172;
constexpr std::uint8_t kPulsedDryingStart = 173;
constexpr std::uint8_t kPulsedDryingEnd = 174;
constexpr std::uint8_t kDryingEnd = 175;
constexpr std::uint8_t kVenting = 176;
constexpr std::uint8_t kCycleEnd = 177;
constexpr std::uint8_t kTestStart = 178;
constexpr std::uint8_t kTestVacuumReached = 179;
constexpr std::uint8_t kStabilisationEnd = 180;
constexpr std::uint8_t kMeasurementEnd = 181;
constexpr std::uint8_t kTestVenting = 182;
constexpr std::uint8_t kLiquidsHeatUp = 183;
constexpr std::uint8_t kLiquidsCooling = 184;
constexpr std::uint8_t kCoolingEnd = 185;
constexpr std::uint8_t kAborted = 188;
}  // namespace phase

namespace event {
constexpr std::uint8_t kDoorLockOn = 4;
constexpr std::uint8_t kDoorLockOff = 5;
constexpr std::uint8_t kStartKey = 6;
constexpr std::uint8_t kVacuumValveOpen = 10;    // V1+
constexpr std::uint8_t kSteamValveOpen = 11;     // V2+
constexpr std::uint8_t kVacuumValveClosed = 19;  // V1-
constexpr std::uint8_t kSteamValveClosed = 20;   // V2-
constexpr std::uint8_t kPumpOn = 28;
constexpr std::uint8_t kPumpOff = 29;
constexpr std::uint8_t kGeneratorHeaterOn = 30;
constexpr std::uint8_t kGeneratorHeaterOff = 31;
constexpr std::uint8_t kChamberHeaterOn = 32;
constexpr std::uint8_t kChamberHeaterOff = 33;
constexpr std::uint8_t kWaterPumpOn = 34;
constexpr std::uint8_t kWaterPumpOff = 35;
constexpr std::uint8_t kFanOn = 36;
constexpr std::uint8_t kFanOff = 37;
constexpr std::uint8_t kDoorSealOn = 38;
constexpr std::uint8_t kDoorSealOff = 39;
constexpr std::uint8_t kCompressorOn = 40;
constexpr std::uint8_t kCompressorOff = 41;
constexpr std::uint8_t kTemperatureReached = 51;
constexpr std::uint8_t kTemperatureLow = 52;
constexpr std::uint8_t kAlarmRaised = 68;
constexpr std::uint8_t kDelayedStartBegins = 86;
constexpr std::uint8_t kHoldTimerOn = 92;
constexpr std::uint8_t kHoldTimerOff = 93;
constexpr std::uint8_t kDryingTimerOn = 94;
constexpr std::uint8_t kDryingTimerOff = 95;
constexpr std::uint8_t kAirInletOpen = 114;
constexpr std::uint8_t kAirInletClosed = 115;
constexpr std::uint8_t kExhaustOpen = 116;
constexpr std::uint8_t kExhaustClosed = 117;
constexpr std::uint8_t kSelfCheckPassed = 119;
// The periodic sample: the only event whose name reads "120".
constexpr std::uint8_t kSample = 120;
}  // namespace event

enum class Kind : std::uint8_t { PreVacuum, Liquids, VacuumTest };

struct Program {
  const char* text;
  const char* tag;  // characters 3 to 6 of the file code: files of one program count together
  Kind kind;
  double setTemperature;
  int hold;  // minutes; tenths of a minute for the fast cycle
  int preVacuums;
  std::array<int, 4> dryingMinutes;  // by drying mode
  double loadLag;                    // seconds, time constant of the slowest load probe
};

constexpr std::array<int, 4> kDrying{10, 5, 15, 15};
constexpr std::array<int, 4> kFastDrying{4, 3, 6, 6};
constexpr std::array<int, 4> kNoDrying{0, 0, 0, 0};

constexpr std::array<Program, 16> kPrograms{{
    {"134 WRAPPED", "134W", Kind::PreVacuum, 134.0, 4, 3, kDrying, 45},
    {"134 UNWRAPPED", "134U", Kind::PreVacuum, 134.0, 4, 3, kDrying, 25},
    {"134 POROUS", "134P", Kind::PreVacuum, 134.0, 5, 3, kDrying, 70},
    {"134 HOLLOW", "134H", Kind::PreVacuum, 134.0, 5, 3, kDrying, 55},
    {"134 PRION", "134R", Kind::PreVacuum, 134.0, 18, 3, kDrying, 45},
    {"134 TEXTILES", "134T", Kind::PreVacuum, 134.0, 5, 3, kDrying, 80},
    {"121 WRAPPED", "121W", Kind::PreVacuum, 121.0, 20, 3, kDrying, 45},
    {"121 UNWRAPPED", "121U", Kind::PreVacuum, 121.0, 15, 3, kDrying, 25},
    {"121 POROUS", "121P", Kind::PreVacuum, 121.0, 20, 3, kDrying, 70},
    {"121 RUBBER", "121R", Kind::PreVacuum, 121.0, 20, 3, kDrying, 60},
    {"121 LIQUIDS", "121L", Kind::Liquids, 121.0, 20, 0, kNoDrying, 1100},
    {"121 CULTURE MEDIA", "121C", Kind::Liquids, 121.0, 15, 0, kNoDrying, 900},
    {"FAST 134", "134F", Kind::PreVacuum, 134.0, 35, 1, kFastDrying, 20},
    {"VACUUM TEST", "VTST", Kind::VacuumTest, 0.0, 0, 0, kNoDrying, 30},
    {"USER 134", "134X", Kind::PreVacuum, 134.0, 7, 3, kDrying, 45},
    {"USER 121", "121X", Kind::PreVacuum, 121.0, 25, 3, kDrying, 45},
}};

constexpr double kAtmosphereBar = 1.013;
constexpr double kJacketTemperature = 118.0;
// Elapsed times are stored in seconds but shown as minutes below 256.
constexpr int kLongestCycleSeconds = 255 * 60;

// Saturated steam (Antoine's equation for water, two ranges), pressures relative to the
// atmosphere as the board's sensor reads them.
double saturationTemperature(double gaugeBar) {
  const double mmHg = std::max(gaugeBar + kAtmosphereBar, 0.02) * 750.062;
  if (mmHg < 760.0) {
    return 1730.63 / (8.07131 - std::log10(mmHg)) - 233.426;
  }
  return 1810.94 / (8.14019 - std::log10(mmHg)) - 244.485;
}

double saturationPressure(double celsius) {
  const double mmHg = celsius < 100.0 ? std::pow(10.0, 8.07131 - 1730.63 / (233.426 + celsius))
                                      : std::pow(10.0, 8.14019 - 1810.94 / (244.485 + celsius));
  return mmHg / 750.062 - kAtmosphereBar;
}

double fractionPerSecond(double timeConstant) {
  return 1.0 - std::exp(-1.0 / timeConstant);
}

struct Sample {
  int seconds = 0;
  std::uint8_t code = 0;
  std::array<int, 4> probes{};  // tenths of a degree
  int pressure = 100;           // hundredths of a bar + 100
};

// The chamber second by second, writing a record for every phase, event and periodic sample.
class Chamber {
 public:
  Chamber(Rng& rng, int samplePeriod, bool probesThreeAndFour) : rng_(rng) {
    period_ = samplePeriod;
    probesThreeAndFour_ = probesThreeAndFour;
  }

  void setStart(double chamber, std::array<double, 3> loads, double wall) {
    chamber_ = chamber;
    loads_ = loads;
    wall_ = wall;
    wallTarget_ = wall;
  }
  void setLoadLags(std::array<double, 3> seconds) {
    for (std::size_t i = 0; i < 3; ++i) {
      loadAlpha_[i] = fractionPerSecond(seconds[i]);
    }
  }

  void mark(std::uint8_t code) { records_.push_back(sampleNow(code)); }

  // Pressure heads for target with the given time constant...
  void approach(double target, double timeConstant) {
    pressureTarget_ = target;
    pressureAlpha_ = fractionPerSecond(timeConstant);
    pressureSlope_ = 0.0;
  }
  // ...or changes steadily (a closed chamber losing or gaining pressure).
  void drift(double barPerSecond) {
    pressureAlpha_ = 0.0;
    pressureSlope_ = barPerSecond;
  }
  // With steam in the chamber PT1 reads the saturation temperature; without, it settles between
  // that and the heated jacket, where condensate evaporates.
  void setSteam(bool steam) { steam_ = steam; }
  void forceChamber(std::optional<double> target, double timeConstant) {
    chamberOverride_ = target;
    overrideAlpha_ = fractionPerSecond(timeConstant);
  }
  void heatWall(double target) { wallTarget_ = target; }

  void tick() {
    pressure_ += (pressureTarget_ - pressure_) * pressureAlpha_ + pressureSlope_;
    pressure_ = std::clamp(pressure_, -0.99, 3.5);
    wall_ += (wallTarget_ - wall_) * fractionPerSecond(90.0);
    const double saturated = saturationTemperature(pressure_);
    double target = 0.0;
    double alpha = 0.0;
    if (chamberOverride_) {
      target = *chamberOverride_;
      alpha = overrideAlpha_;
    } else if (steam_) {
      target = saturated + 0.3;
      alpha = fractionPerSecond(6.0);
    } else {
      target = saturated < wall_ ? saturated + 0.5 * (wall_ - saturated) : wall_;
      alpha = fractionPerSecond(30.0);
    }
    chamber_ += (target - chamber_) * alpha;
    for (std::size_t i = 0; i < 3; ++i) {
      loads_[i] += (chamber_ - loads_[i]) * loadAlpha_[i];
    }
    ++seconds_;
    if (seconds_ % period_ == 0) {
      mark(event::kSample);
    }
  }

  void runFor(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      tick();
    }
  }
  template <class Done>
  void runUntil(Done done, int limitSeconds) {
    for (int i = 0; i < limitSeconds && !done(); ++i) {
      tick();
    }
  }

  // Holds the pressure in a band with the steam valve: the board opens it at the bottom of the
  // band and closes it at the top, recording both.
  void regulate(double low, double high) {
    steam_ = true;
    if (valveOpen_ && pressure_ >= high) {
      mark(event::kSteamValveClosed);
      valveOpen_ = false;
    } else if (!valveOpen_ && pressure_ <= low) {
      mark(event::kSteamValveOpen);
      valveOpen_ = true;
    }
    drift(valveOpen_ ? fillRate_ : -lossRate_);
  }
  void setSteamValve(bool open) {
    if (open != valveOpen_) {
      mark(open ? event::kSteamValveOpen : event::kSteamValveClosed);
      valveOpen_ = open;
    }
  }
  bool steamValveOpen() const { return valveOpen_; }
  void setRegulationRates(double fill, double loss) {
    fillRate_ = fill;
    lossRate_ = loss;
  }

  double pressure() const { return pressure_; }
  double chamber() const { return chamber_; }
  // The coldest connected probe.
  double coldest() const {
    double coldest = std::min(chamber_, loads_[0]);
    if (probesThreeAndFour_) {
      coldest = std::min({coldest, loads_[1], loads_[2]});
    }
    return coldest;
  }
  double warmestLoad() const {
    return probesThreeAndFour_ ? std::max({loads_[0], loads_[1], loads_[2]}) : loads_[0];
  }
  int seconds() const { return seconds_; }
  const std::vector<Sample>& records() const { return records_; }

 private:
  int tenths(double celsius) {
    const int noise = rng_.between(0, 9) < 2 ? -1 : (rng_.between(0, 7) < 2 ? 1 : 0);
    return std::clamp(static_cast<int>(std::lround(celsius * 10.0)) + noise, 0, 32767);
  }

  Sample sampleNow(std::uint8_t code) {
    Sample s;
    s.seconds = seconds_;
    s.code = code;
    s.probes[0] = tenths(chamber_);
    s.probes[1] = tenths(loads_[0]);
    s.probes[2] = probesThreeAndFour_ ? tenths(loads_[1]) : 0;
    s.probes[3] = probesThreeAndFour_ ? tenths(loads_[2]) : 0;
    const int noise = rng_.between(0, 19) < 3 ? -1 : (rng_.between(0, 16) < 3 ? 1 : 0);
    s.pressure =
        std::clamp(static_cast<int>(std::lround(pressure_ * 100.0)) + 100 + noise, 0, 32767);
    return s;
  }

  Rng& rng_;
  int period_ = 10;
  bool probesThreeAndFour_ = true;
  int seconds_ = 0;
  double pressure_ = 0.0;
  double pressureTarget_ = 0.0;
  double pressureAlpha_ = 0.0;
  double pressureSlope_ = 0.0;
  double chamber_ = 20.0;
  std::array<double, 3> loads_{};
  std::array<double, 3> loadAlpha_{};
  double wall_ = kJacketTemperature;
  double wallTarget_ = kJacketTemperature;
  bool steam_ = false;
  std::optional<double> chamberOverride_;
  double overrideAlpha_ = 0.0;
  bool valveOpen_ = false;
  double fillRate_ = 0.010;
  double lossRate_ = 0.0015;
  std::vector<Sample> records_;
};

// The records whose probes count for the maximum and minimum of the summary: the plateau, from
// the end of equilibration to the end of sterilisation (or to the abort); the whole test for a
// vacuum test.
struct Plateau {
  std::size_t first = 0;
  std::size_t last = 0;  // included
};

struct RunResult {
  Plateau plateau{};
};

class CycleBuilder {
 public:
  CycleBuilder(const Program& program, const CycleRequest& request, Rng& rng)
      : program_(program),
        request_(request),
        rng_(rng),
        chamber_(rng, samplePeriodSeconds(request.cycleCode), request.probesThreeAndFour) {}

  RunResult run() {
    switch (program_.kind) {
      case Kind::VacuumTest:
        return runVacuumTest();
      case Kind::Liquids:
        return runLiquids();
      case Kind::PreVacuum:
        break;
    }
    return runPreVacuum();
  }

  const std::vector<Sample>& records() const { return chamber_.records(); }
  int seconds() const { return chamber_.seconds(); }

 private:
  Chamber& c() { return chamber_; }

  void startChamber(double chamberStart, double wall) {
    const double load = chamberStart - rng_.uniform(4.0, 12.0);
    c().setStart(chamberStart, {load, load - rng_.uniform(0.0, 3.0), load - rng_.uniform(0.0, 4.0)},
                 wall);
    const double lag = program_.loadLag;
    c().setLoadLags({lag * rng_.uniform(0.45, 0.6), lag * rng_.uniform(0.7, 0.85),
                     lag * rng_.uniform(0.95, 1.05)});
  }

  // Door, self-test, generator: the steps before air removal (not shown in the compact report).
  void preparation(bool steamGenerator) {
    c().mark(phase::kCycleStart);
    c().mark(request_.delayedStart ? event::kDelayedStartBegins : event::kStartKey);
    c().runFor(rng_.between(2, 3));
    c().mark(event::kDoorLockOn);
    c().mark(phase::kDoorLocked);
    c().runFor(1);
    c().mark(event::kDoorSealOn);
    c().runFor(rng_.between(2, 4));
    c().mark(phase::kSelfTest);
    c().runFor(rng_.between(6, 9));
    c().mark(event::kSelfCheckPassed);
    c().mark(phase::kSelfTestEnd);
    if (!steamGenerator) {
      return;
    }
    if (request_.coldChamber) {
      c().mark(phase::kPreheating);
      c().mark(event::kChamberHeaterOn);
      c().heatWall(kJacketTemperature);
      c().runFor(rng_.between(150, 240));
      c().mark(event::kChamberHeaterOff);
      c().mark(phase::kPreheatingEnd);
    }
    c().mark(phase::kWaterFill);
    c().mark(event::kWaterPumpOn);
    c().runFor(rng_.between(14, 24));
    c().mark(event::kWaterPumpOff);
    c().mark(phase::kWaterFillEnd);
    c().mark(phase::kGeneratorHeating);
    c().mark(event::kGeneratorHeaterOn);
    c().runFor(rng_.between(35, 80));
    c().mark(phase::kGeneratorReady);
  }

  void pumpDown(double reach) {
    c().setSteam(false);
    c().approach(-0.95, rng_.uniform(36.0, 44.0));
    c().runUntil([&] { return c().pressure() <= reach; }, 420);
  }

  void exhaustTo(double level) {
    c().mark(event::kExhaustOpen);
    c().setSteam(true);
    c().approach(-0.02, rng_.uniform(10.0, 14.0));
    c().runUntil([&] { return c().pressure() <= level; }, 240);
    c().mark(event::kExhaustClosed);
  }

  // Pressure band of the plateau: saturated steam 1.1 to 2.2 degrees above the set point.
  std::pair<double, double> band() const {
    const double set = program_.setTemperature;
    return {saturationPressure(set + 1.1), saturationPressure(set + 2.2)};
  }

  // Heats up to the band, then regulates until every probe has reached the set point.
  void heatAndEquilibrate(double heatTimeConstant, int equilibrationLimit) {
    const auto [low, high] = band();
    c().setSteam(true);
    c().setSteamValve(true);
    c().approach(high + 0.2, heatTimeConstant);
    bool reached = false;
    c().runUntil(
        [&] {
          if (!reached && c().chamber() >= program_.setTemperature) {
            c().mark(event::kTemperatureReached);
            reached = true;
          }
          return c().pressure() >= low;
        },
        3600);
    const double set = program_.setTemperature;
    for (int i = 0; i < equilibrationLimit && c().coldest() < set + 0.15; ++i) {
      c().regulate(low, high);
      c().tick();
      if (!reached && c().chamber() >= set) {
        c().mark(event::kTemperatureReached);
        reached = true;
      }
    }
  }

  // The plateau; returns false when the steam supply failed and the cycle was aborted.
  bool plateau(Plateau& window, int holdSeconds) {
    const auto [low, high] = band();
    c().mark(phase::kEquilibrationOver);
    window.first = c().records().size() - 1;
    c().mark(event::kHoldTimerOn);
    const bool fails = request_.alarmCode != 0;
    const int failAt = fails ? holdSeconds * rng_.between(35, 65) / 100 : holdSeconds + 1;
    for (int i = 0; i < holdSeconds; ++i) {
      if (i == failAt) {
        return failSteamSupply(window);
      }
      c().regulate(low, high);
      c().tick();
    }
    c().mark(phase::kSterilisationEnd);
    window.last = c().records().size() - 1;
    c().mark(event::kHoldTimerOff);
    c().setSteamValve(false);
    return true;
  }

  // The valve stays open but no steam comes: pressure and temperature sink below the band, the
  // board notes the low temperature, raises the alarm and aborts.
  bool failSteamSupply(Plateau& window) {
    c().setSteamValve(true);
    c().drift(-rng_.uniform(0.004, 0.007));
    const double set = program_.setTemperature;
    c().runUntil([&] { return c().chamber() < set - 0.4; }, 600);
    c().mark(event::kTemperatureLow);
    c().runFor(rng_.between(15, 30));
    c().mark(event::kAlarmRaised);
    c().mark(phase::kAborted);
    window.last = c().records().size() - 1;
    c().mark(event::kHoldTimerOff);
    c().setSteamValve(false);
    c().mark(event::kGeneratorHeaterOff);
    return false;
  }

  void venting() {
    c().mark(phase::kVenting);
    c().mark(event::kAirInletOpen);
    c().setSteam(false);
    c().approach(0.01, rng_.uniform(10.0, 14.0));
    c().runUntil([&] { return c().pressure() >= -0.02; }, 240);
    c().mark(event::kAirInletClosed);
    c().runFor(rng_.between(3, 6));
    c().mark(event::kDoorSealOff);
    c().mark(event::kDoorLockOff);
    c().mark(phase::kCycleEnd);
  }

  RunResult runPreVacuum() {
    RunResult result;
    startChamber(request_.coldChamber ? rng_.uniform(42.0, 58.0) : rng_.uniform(86.0, 101.0),
                 request_.coldChamber ? rng_.uniform(45.0, 60.0) : kJacketTemperature);
    c().setRegulationRates(rng_.uniform(0.008, 0.012), rng_.uniform(0.0011, 0.0017));
    preparation(true);

    c().mark(event::kPumpOn);
    for (int k = 1; k <= program_.preVacuums; ++k) {
      c().mark(static_cast<std::uint8_t>(phase::kFirstPreVacuum + 2 * (k - 1)));
      if (k > 1) {
        exhaustTo(rng_.uniform(0.08, 0.15));
      }
      c().mark(event::kVacuumValveOpen);
      pumpDown(rng_.uniform(-0.87, -0.83));
      c().mark(event::kVacuumValveClosed);
      if (k < program_.preVacuums) {
        c().mark(static_cast<std::uint8_t>(phase::kFirstPreVacuum + 2 * (k - 1) + 1));
        c().setSteam(true);
        c().setSteamValve(true);
        c().approach(1.6, rng_.uniform(30.0, 40.0));
        const double peak = rng_.uniform(0.95, 1.1);
        c().runUntil([&] { return c().pressure() >= peak; }, 300);
        c().setSteamValve(false);
      }
    }
    c().mark(event::kPumpOff);
    c().mark(phase::kHeatUp);
    heatAndEquilibrate(rng_.uniform(50.0, 65.0), 900);

    const int holdSeconds =
        request_.cycleCode == kFastCycleCode ? program_.hold * 6 : program_.hold * 60;
    const bool completed = plateau(result.plateau, holdSeconds);

    c().mark(phase::kExhaust);
    exhaustTo(rng_.uniform(0.03, 0.06));
    if (completed) {
      drying();
      c().mark(event::kGeneratorHeaterOff);
    }
    venting();
    return result;
  }

  void drying() {
    const auto mode = static_cast<std::size_t>(request_.drying);
    int total = program_.dryingMinutes[mode] * 60;
    if (request_.drying == DryingMode::Extended) {
      total += request_.extraDryingMinutes * 60;
    }
    const int start = c().seconds();
    const auto elapsed = [&] { return c().seconds() - start; };
    c().mark(phase::kDryingStart);
    c().mark(event::kPumpOn);
    c().mark(event::kVacuumValveOpen);
    c().mark(event::kDryingTimerOn);
    c().setSteam(false);
    c().approach(-0.95, rng_.uniform(36.0, 44.0));
    // Short drying is a plain vacuum; longer drying breaks it with air pulses in its middle part.
    if (total >= 8 * 60) {
      c().runUntil([&] { return elapsed() >= total * 35 / 100; }, total);
      c().mark(phase::kPulsedDryingStart);
      while (elapsed() < total * 80 / 100) {
        c().mark(event::kAirInletOpen);
        c().approach(-0.4, 4.0);
        c().runFor(rng_.between(6, 9));
        c().mark(event::kAirInletClosed);
        c().approach(-0.95, rng_.uniform(36.0, 44.0));
        c().runFor(rng_.between(55, 80));
      }
      c().mark(phase::kPulsedDryingEnd);
    }
    c().runUntil([&] { return elapsed() >= total; }, total);
    c().mark(phase::kDryingEnd);
    c().mark(event::kDryingTimerOff);
    c().mark(event::kVacuumValveClosed);
    c().mark(event::kPumpOff);
  }

  // Bottles heat slowly and must not boil over: no vacuum, a long equilibration, then cooling
  // under air pressure until the load is below 80 degrees.
  RunResult runLiquids() {
    RunResult result;
    startChamber(request_.coldChamber ? rng_.uniform(42.0, 58.0) : rng_.uniform(80.0, 95.0),
                 request_.coldChamber ? rng_.uniform(45.0, 60.0) : kJacketTemperature);
    // The bottles start near room temperature whatever the chamber holds.
    c().setStart(c().chamber(),
                 {rng_.uniform(22.0, 27.0), rng_.uniform(21.0, 26.0), rng_.uniform(21.0, 26.0)},
                 request_.coldChamber ? 50.0 : kJacketTemperature);
    c().setRegulationRates(rng_.uniform(0.008, 0.011), rng_.uniform(0.0010, 0.0014));
    preparation(true);

    c().mark(phase::kLiquidsHeatUp);
    c().mark(event::kExhaustOpen);  // air leaves while the first steam comes in
    c().setSteam(true);
    c().setSteamValve(true);
    c().approach(0.4, 60.0);
    c().runUntil([&] { return c().pressure() >= 0.3; }, 900);
    c().mark(event::kExhaustClosed);
    heatAndEquilibrate(rng_.uniform(330.0, 420.0), 120 * 60);

    const bool completed = plateau(result.plateau, program_.hold * 60);
    if (completed) {
      c().mark(phase::kLiquidsCooling);
      c().mark(event::kGeneratorHeaterOff);
      c().mark(event::kCompressorOn);
      if (request_.forcedCooling) {
        c().mark(event::kFanOn);
      }
      c().setSteam(false);
      c().approach(rng_.uniform(0.95, 1.05), 120.0);
      c().forceChamber(request_.forcedCooling ? 50.0 : 68.0,
                       request_.forcedCooling ? 240.0 : 420.0);
      c().runUntil([&] { return c().warmestLoad() < 80.0; }, 50 * 60);
      c().mark(phase::kCoolingEnd);
      if (request_.forcedCooling) {
        c().mark(event::kFanOff);
      }
      c().mark(event::kCompressorOff);
    }
    c().mark(phase::kExhaust);
    exhaustTo(rng_.uniform(0.03, 0.06));
    venting();
    return result;
  }

  // A leak test of the empty chamber: pump down, close everything, let it settle, then measure
  // how fast the pressure rises.
  RunResult runVacuumTest() {
    RunResult result;
    const double wall = rng_.uniform(44.0, 58.0);
    // The probes lie in the empty chamber.
    c().setStart(wall - rng_.uniform(0.5, 2.0),
                 {wall - rng_.uniform(1.0, 3.0), wall - rng_.uniform(1.0, 3.0),
                  wall - rng_.uniform(1.0, 3.0)},
                 wall);
    c().setLoadLags({rng_.uniform(20.0, 30.0), rng_.uniform(20.0, 30.0), rng_.uniform(20.0, 30.0)});
    preparation(false);
    c().forceChamber(wall - rng_.uniform(1.0, 2.5), 90.0);

    c().mark(phase::kTestStart);
    c().mark(event::kPumpOn);
    c().mark(event::kVacuumValveOpen);
    c().setSteam(false);
    c().approach(-0.94, rng_.uniform(40.0, 50.0));
    const double reach = rng_.uniform(-0.885, -0.87);
    c().runUntil([&] { return c().pressure() <= reach; }, 600);
    c().mark(phase::kTestVacuumReached);
    c().mark(event::kVacuumValveClosed);
    c().mark(event::kPumpOff);
    c().drift(rng_.uniform(0.00003, 0.00006));  // vapour from the walls while it settles
    c().runFor(300);
    c().mark(phase::kStabilisationEnd);
    const bool leaks = request_.alarmCode != 0;
    c().drift(leaks ? rng_.uniform(0.00007, 0.00010) : rng_.uniform(0.000008, 0.000018));
    c().runFor(600);
    c().mark(phase::kMeasurementEnd);
    if (leaks) {
      c().mark(event::kAlarmRaised);
    }
    c().mark(phase::kTestVenting);
    c().mark(event::kAirInletOpen);
    c().approach(0.01, rng_.uniform(8.0, 12.0));
    c().runUntil([&] { return c().pressure() >= -0.02; }, 240);
    c().mark(event::kAirInletClosed);
    c().runFor(rng_.between(3, 6));
    c().mark(event::kDoorSealOff);
    c().mark(event::kDoorLockOff);
    c().mark(phase::kCycleEnd);
    result.plateau = {0, c().records().size() - 1};
    return result;
  }

  const Program& program_;
  const CycleRequest& request_;
  Rng& rng_;
  Chamber chamber_;
};

// Offsets in the header record. The first 76 bytes are the board's file header, the next 90 the
// cycle summary.
constexpr std::size_t kModelOffset = 76;
constexpr std::size_t kSerialOffset = 117;
constexpr std::size_t kEndStampOffset = 145;
constexpr std::size_t kAlarmOffset = 150;
constexpr std::size_t kCycleOfDayOffset = 151;
constexpr std::size_t kCycleTypeOffset = 152;
constexpr std::size_t kMaximumOffset = 153;
constexpr std::size_t kMinimumOffset = 157;
constexpr std::size_t kSterilisationTimeOffset = 161;
constexpr std::size_t kResultOffset = 162;
constexpr std::size_t kExtraDryingOffset = 163;
constexpr std::size_t kHeaderSize = 166;

void putText(Bytes& bytes, std::size_t offset, const std::string& text, std::size_t width,
             std::uint8_t pad) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : pad;
  }
}

void putLittle16(Bytes& bytes, std::size_t offset, int value) {
  bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void putLittle24(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 3; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

void putStamp(Bytes& bytes, std::size_t offset, const Stamp& stamp) {
  const int values[] = {stamp.hour, stamp.minute, stamp.day, stamp.month, stamp.year};
  for (std::size_t i = 0; i < 5; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(values[i]);
  }
}

std::string fiveDigits(std::uint32_t value) {
  std::string text = std::to_string(value % 100000);
  return std::string(5 - text.size(), '0') + text;
}

void checkRequest(const CycleRequest& request) {
  const auto fail = [](const std::string& what) { throw std::invalid_argument(what); };
  if (request.cycleCode < 0 || request.cycleCode > 15) {
    fail("cycle code " + std::to_string(request.cycleCode) + " outside 0..15");
  }
  if (request.alarmCode > 44) {
    fail("alarm code " + std::to_string(request.alarmCode) + " has no text; use 1..44");
  }
  if (request.extraDryingMinutes < 0 || request.extraDryingMinutes > 60) {
    fail("extra drying of " + std::to_string(request.extraDryingMinutes) + " minutes");
  }
  const Stamp& s = request.start;
  if (s.hour < 0 || s.hour > 23 || s.minute < 0 || s.minute > 59 || s.day < 1 || s.day > 31 ||
      s.month < 1 || s.month > 12 || s.year < 0 || s.year > 99) {
    fail("start time is not a valid date and time");
  }
  if (request.cycleNumber > 0xFFFFFF || request.cyclesSinceService > 0xFFFFFF) {
    fail("cycle counters take 24 bits");
  }
}

}  // namespace

std::string programText(int cycleCode) {
  return kPrograms.at(static_cast<std::size_t>(cycleCode)).text;
}

int samplePeriodSeconds(int cycleCode) {
  const Program& program = kPrograms.at(static_cast<std::size_t>(cycleCode));
  if (program.kind == Kind::Liquids) {
    return 3;
  }
  // Long plateaus are logged more sparsely, so that the full report of the cycle stays within
  // the 500 lines the report window can hold.
  return cycleCode != kFastCycleCode && program.hold >= 15 ? 15 : 10;
}

Stamp addSeconds(const Stamp& stamp, int seconds) {
  const int minutes = stamp.hour * 60 + stamp.minute + seconds / 60;
  if (minutes >= 24 * 60) {
    throw std::invalid_argument("a cycle may not run past midnight");
  }
  Stamp out = stamp;
  out.hour = minutes / 60;
  out.minute = minutes % 60;
  return out;
}

GeneratedFile generateCycle(const Machine& machine, const CycleRequest& request) {
  checkRequest(request);
  const Program& program = kPrograms[static_cast<std::size_t>(request.cycleCode)];
  Rng rng(request.seed);
  CycleBuilder builder(program, request, rng);
  const RunResult run = builder.run();
  const std::vector<Sample>& records = builder.records();
  if (builder.seconds() >= kLongestCycleSeconds) {
    throw std::logic_error("the cycle model ran for " + std::to_string(builder.seconds()) +
                           " s, longer than a record can hold");
  }

  GeneratedFile out;
  out.fileCode = "DL" + std::string(program.tag) + fiveDigits(request.cycleNumber);
  out.program = program.text;
  out.records = records.size();
  out.durationSeconds = records.back().seconds;
  out.end = addSeconds(request.start, out.durationSeconds);

  Bytes& file = out.bytes;
  file.assign(kHeaderSize, 0x00);
  // The board leaves the first 32 bytes erased, as the PC does in the files it sends.
  std::fill(file.begin(), file.begin() + 32, std::uint8_t{0xFF});
  putText(file, 32, out.fileCode, 16, 0x00);
  file[48] = kCycleFileType;
  putLittle24(file, 59, request.cycleNumber);
  putLittle24(file, 62, request.cyclesSinceService);
  file[65] = machine.options;
  // Blank padding keeps the 19th character of the machine text non-zero: the report reads it
  // as "passed" for a cycle without alarm.
  putText(file, kModelOffset, machine.model.substr(0, 18), 20, ' ');
  putText(file, 96, out.program, 20, ' ');
  putText(file, kSerialOffset, machine.serial.substr(0, 20), 20, ' ');
  putStamp(file, 140, request.start);
  putStamp(file, kEndStampOffset, out.end);
  file[kAlarmOffset] = request.alarmCode;
  file[kCycleOfDayOffset] = request.cycleOfDay;
  int cycleType = request.cycleCode | (static_cast<int>(request.drying) << 4);
  if (request.forcedCooling) {
    cycleType |= 0x40;
  }
  if (request.delayedStart) {
    cycleType |= 0x80;
  }
  file[kCycleTypeOffset] = static_cast<std::uint8_t>(cycleType);

  // Maximum and minimum of the chamber probe PT1 (the one the board regulates on) over the
  // plateau, each at its first occurrence.
  int maximum = -1;
  int minimum = 32768;
  int maximumAt = 0;
  int minimumAt = 0;
  for (std::size_t r = run.plateau.first; r <= run.plateau.last; ++r) {
    const int value = records[r].probes[0];
    if (value > maximum) {
      maximum = value;
      maximumAt = records[r].seconds;
    }
    if (value < minimum) {
      minimum = value;
      minimumAt = records[r].seconds;
    }
  }
  putLittle16(file, kMaximumOffset, maximum);
  putLittle16(file, kMaximumOffset + 2, maximumAt);
  putLittle16(file, kMinimumOffset, minimum);
  putLittle16(file, kMinimumOffset + 2, minimumAt);
  file[kSterilisationTimeOffset] = static_cast<std::uint8_t>(program.hold);
  file[kResultOffset] = request.alarmCode == 0 ? 0 : 1;
  file[kExtraDryingOffset] = request.drying == DryingMode::Extended
                                 ? static_cast<std::uint8_t>(request.extraDryingMinutes)
                                 : 0;

  file.reserve(kHeaderSize + 13 * records.size());
  for (const Sample& s : records) {
    const std::size_t at = file.size();
    file.resize(at + 13);
    putLittle16(file, at, s.seconds);
    file[at + 2] = s.code;
    for (std::size_t p = 0; p < 4; ++p) {
      putLittle16(file, at + 3 + 2 * p, s.probes[p]);
    }
    putLittle16(file, at + 11, s.pressure);
  }
  return out;
}

}  // namespace devsim::content
