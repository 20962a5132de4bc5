#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reports/cycle_record.h"
#include "reports/report_lines.h"

// The cycle chart without the drawing: the curves it shows, the scales of
// its three axes, the phase bands, the event and alarm markers and the
// title line, all taken from a decoded cycle record. A painter only maps
// them onto its paint device.
namespace vestrim::reports {

// An axis from `minimum` to `maximum` with a tick every `step`; both ends
// are ticks.
struct ChartScale {
  double minimum = 0;
  double maximum = 1;
  double step = 1;

  int divisions() const;
  std::vector<double> ticks() const;
};

// The smallest scale whose step is 1, 2 or 5 times a power of ten, whose
// ends are multiples of the step and which covers `low` to `high` in at
// most `maximumDivisions` steps.
ChartScale niceScale(double low, double high, int maximumDivisions);
// A scale of exactly `divisions` steps covering `low` to `high`, with the
// smallest such 1-2-5 step: the temperature and pressure axes have the same
// number of divisions, so that both share the grid lines.
ChartScale scaleWithDivisions(double low, double high, int divisions);

struct ChartPoint {
  double minutes = 0;
  double value = 0;
};

struct ChartCurve {
  std::string name;  // "PT1" to "PT4", "P"
  std::vector<ChartPoint> points;
};

// A phase from its record to the next phase record (or the last record).
struct ChartBand {
  double from = 0;  // minutes
  double to = 0;
  std::string label;  // the phase's name, single-byte text
};

struct ChartMarker {
  double minutes = 0;
  std::string label;  // single-byte text
};

struct CycleChart {
  std::string title;                     // cycle name, cycle number and start, single-byte text
  std::vector<ChartCurve> temperatures;  // the probes in use, degrees Celsius
  ChartCurve pressure;                   // bar
  ChartScale time;                       // minutes from the cycle start
  ChartScale temperature;                // degrees Celsius, left axis
  ChartScale pressureScale;              // bar, right axis
  std::vector<ChartBand> phases;
  std::vector<ChartMarker> events;   // every event but the periodic sample
  std::optional<ChartMarker> alarm;  // where the cycle raised its alarm
  char decimalSeparator = '.';       // the numbers' separator, as the reports write them
};

// The chart of a decoded cycle. Probes that read zero in every record are
// left out, as the reports drop their columns; words come from the
// language's messages (phase and event names, the cycle name, the alarm)
// and texts (the labels of the title line).
CycleChart cycleChart(const CycleRecord& record, const ReportLanguage& language);

}  // namespace vestrim::reports
