#include "reports/cycle_chart_data.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace vestrim::reports {
namespace {

// The board records the moment it raises an alarm as this event ("ALR").
constexpr std::uint8_t kAlarmRaisedEvent = 68;
// The periodic sample: an event whose name reads so carries only the values.
constexpr const char* kPeriodicSample = "120";

constexpr std::size_t kCycleNumberLabel = 324;
constexpr std::size_t kCycleStartLabel = 339;
constexpr int kFewestDivisions = 4;
constexpr int kMostDivisions = 10;
constexpr int kTimeDivisions = 10;
// Spans the vertical axes show at least, so that the probes' and the
// sensor's last digit does not fill the plot with noise (a vacuum test
// holds its temperatures within a degree).
constexpr double kLeastTemperatureSpan = 20;
constexpr double kLeastPressureSpan = 0.5;
// Ends within this share of a step of a tick count as on it.
constexpr double kTolerance = 1e-9;

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text;
}

// 1, 2, 5, 10, 20, ... times 10^k: the first such step not below `atLeast`.
double stepNotBelow(double atLeast) {
  double step = std::pow(10.0, std::floor(std::log10(atLeast)));
  for (;;) {
    for (const double factor : {1.0, 2.0, 5.0}) {
      if (step * factor >= atLeast * (1 - kTolerance)) {
        return step * factor;
      }
    }
    step *= 10;
  }
}

// The next 1-2-5 step after `step`.
double nextStep(double step) {
  return stepNotBelow(step * 1.01);
}

// `low` to `high` widened about its middle to `span`, not below zero when
// it did not go below.
std::pair<double, double> atLeast(double span, double low, double high) {
  if (high - low >= span) {
    return {low, high};
  }
  const double middle = (low + high) / 2;
  const double shift = low >= 0 ? std::max(0.0, span / 2 - middle) : 0;
  return {middle - span / 2 + shift, middle + span / 2 + shift};
}

std::pair<double, double> widened(double low, double high) {
  if (high - low < kTolerance) {
    return {low - 0.5, high + 0.5};
  }
  return {low, high};
}

std::string titleOf(const CycleRecord& record, const ReportLanguage& language) {
  const CycleSummary& s = record.summary;
  return trimmed(language.messages[50 + static_cast<std::size_t>(s.CycleCode)]) + "   " +
         trimmed(language.texts[kCycleNumberLabel]) + " " + fiveDigits(record.header.secondNumber) +
         "/" + fiveDigits(record.header.FileNumber) + "   " +
         trimmed(language.texts[kCycleStartLabel]) + " " + twoDigits(s.start.day) + "/" +
         twoDigits(s.start.month) + "/" + yearText(s.start.year) + " " + twoDigits(s.start.hour) +
         ":" + twoDigits(s.start.minute);
}

// The temperature and pressure scales with a common number of divisions
// (so that they share the grid lines) that leave the least of the plot's
// height empty: the product of the shares the data fill on each axis.
std::pair<ChartScale, ChartScale> sharedScales(double low, double high, double lowPressure,
                                               double highPressure) {
  std::pair<ChartScale, ChartScale> best;
  double bestFill = -1;
  const double range = std::max(high - low, kTolerance);
  const double pressureRange = std::max(highPressure - lowPressure, kTolerance);
  for (int divisions = kFewestDivisions; divisions <= kMostDivisions; ++divisions) {
    const ChartScale temperature = scaleWithDivisions(low, high, divisions);
    const ChartScale pressure = scaleWithDivisions(lowPressure, highPressure, divisions);
    const double fill = range / (temperature.maximum - temperature.minimum) * pressureRange /
                        (pressure.maximum - pressure.minimum);
    if (fill > bestFill + kTolerance) {
      best = {temperature, pressure};
      bestFill = fill;
    }
  }
  return best;
}

}  // namespace

int ChartScale::divisions() const {
  return static_cast<int>(std::lround((maximum - minimum) / step));
}

std::vector<double> ChartScale::ticks() const {
  std::vector<double> ticks;
  for (int i = 0; i <= divisions(); ++i) {
    ticks.push_back(minimum + i * step);
  }
  return ticks;
}

ChartScale niceScale(double low, double high, int maximumDivisions) {
  std::tie(low, high) = widened(low, high);
  for (double step = stepNotBelow((high - low) / maximumDivisions);; step = nextStep(step)) {
    const double minimum = std::floor(low / step + kTolerance) * step;
    const double maximum = std::ceil(high / step - kTolerance) * step;
    if (std::lround((maximum - minimum) / step) <= maximumDivisions) {
      return {minimum, maximum, step};
    }
  }
}

ChartScale scaleWithDivisions(double low, double high, int divisions) {
  std::tie(low, high) = widened(low, high);
  for (double step = stepNotBelow((high - low) / divisions);; step = nextStep(step)) {
    const double minimum = std::floor(low / step + kTolerance) * step;
    if (minimum + divisions * step >= high - step * kTolerance) {
      return {minimum, minimum + divisions * step, step};
    }
  }
}

CycleChart cycleChart(const CycleRecord& record, const ReportLanguage& language) {
  CycleChart chart;
  chart.title = titleOf(record, language);
  chart.decimalSeparator = language.decimalSeparator;
  const std::vector<SampleRecord>& samples = record.samples;

  bool inUse[4] = {false, false, false, false};
  for (const SampleRecord& sample : samples) {
    for (std::size_t probe = 0; probe < 4; ++probe) {
      inUse[probe] = inUse[probe] || sample.pt[probe] != 0;
    }
  }
  // A record whose probes all read zero still shows its first one.
  inUse[0] = inUse[0] || std::none_of(inUse, inUse + 4, [](bool used) { return used; });

  double lastMinute = 0;
  double lowest = 0;
  double highest = 0;
  bool anyTemperature = false;
  double lowestPressure = 0;  // the axis always shows the atmosphere's zero
  double highestPressure = 0;
  for (std::size_t probe = 0; probe < 4; ++probe) {
    if (!inUse[probe]) {
      continue;
    }
    ChartCurve curve{"PT" + std::to_string(probe + 1), {}};
    curve.points.reserve(samples.size());
    for (const SampleRecord& sample : samples) {
      const double value = sample.pt[probe] / 10.0;
      curve.points.push_back({sample.elapsedSeconds / 60.0, value});
      lowest = anyTemperature ? std::min(lowest, value) : value;
      highest = anyTemperature ? std::max(highest, value) : value;
      anyTemperature = true;
    }
    chart.temperatures.push_back(std::move(curve));
  }
  chart.pressure.name = "P";
  chart.pressure.points.reserve(samples.size());
  // The last band runs until the next phase record; a band that would end
  // where it starts (two phases in the same second) is left out.
  bool phaseOpen = false;
  const auto closePhase = [&](double minutes) {
    if (phaseOpen && minutes > chart.phases.back().from) {
      chart.phases.back().to = minutes;
    } else if (phaseOpen) {
      chart.phases.pop_back();
    }
    phaseOpen = false;
  };
  for (const SampleRecord& sample : samples) {
    const double minutes = sample.elapsedSeconds / 60.0;
    const double bar = sample.pressure / 100.0;
    chart.pressure.points.push_back({minutes, bar});
    lowestPressure = std::min(lowestPressure, bar);
    highestPressure = std::max(highestPressure, bar);
    lastMinute = std::max(lastMinute, minutes);
    if (sample.isPhase()) {
      closePhase(minutes);
      phaseOpen = true;
      chart.phases.push_back({minutes, minutes, trimmed(language.messages[200 + sample.code])});
      continue;
    }
    const std::string& name = language.messages[401 + static_cast<std::size_t>(sample.code)];
    if (name != kPeriodicSample) {
      chart.events.push_back({minutes, trimmed(name)});
    }
    if (record.summary.alarmCode != 0 && !chart.alarm && sample.code == kAlarmRaisedEvent) {
      chart.alarm = ChartMarker{minutes, {}};
    }
  }
  closePhase(lastMinute);
  if (record.summary.alarmCode != 0) {
    // Without its event the alarm stands where the record ends.
    if (!chart.alarm) {
      chart.alarm = ChartMarker{lastMinute, {}};
    }
    chart.alarm->label =
        trimmed(language.messages[100 + static_cast<std::size_t>(record.summary.alarmCode)]);
  }

  chart.time = niceScale(0, lastMinute, kTimeDivisions);
  std::tie(lowest, highest) = atLeast(kLeastTemperatureSpan, lowest, highest);
  std::tie(lowestPressure, highestPressure) =
      atLeast(kLeastPressureSpan, lowestPressure, highestPressure);
  std::tie(chart.temperature, chart.pressureScale) =
      sharedScales(lowest, highest, lowestPressure, highestPressure);
  return chart;
}

}  // namespace vestrim::reports
