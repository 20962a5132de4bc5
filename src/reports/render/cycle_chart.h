#pragma once

#include <QImage>
#include <QLineF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <filesystem>
#include <vector>

#include "reports/cycle_chart_data.h"

class QPainter;
class QPaintDevice;

namespace vestrim::reports::render {

// A text of the chart and the box it takes: its advance wide, a line high.
struct ChartText {
  QRectF box;
  QString words;
};

// Where the parts of a cycle chart go in an area of a paint device: the title
// and legend lines, the plot, the names and numbers around it and the events'
// ticks. Names and numbers are thinned, and event names staggered over two
// rows, by the room they have: no two boxes intersect, none reaches into the
// plot, and no tick runs through a box.
struct CycleChartLayout {
  QRectF title;
  QRectF legend;           // as wide as the plot
  QRectF temperatureUnit;  // left of the legend, right-aligned
  QRectF pressureUnit;     // right of the legend
  QRectF strip;            // the phase names' row over the plot
  QRectF plot;             // empty when the area has no room for a chart
  std::vector<ChartText> phaseNames;
  std::vector<ChartText> eventNames;
  std::vector<QLineF> eventTicks;             // one per event, from the plot down
  std::vector<ChartText> temperatureNumbers;  // right-aligned
  std::vector<ChartText> pressureNumbers;     // left-aligned
  std::vector<ChartText> timeNumbers;         // the unit last
};

CycleChartLayout layoutCycleChart(const CycleChart& chart, const QRectF& area,
                                  QPaintDevice* device);

// Draws a cycle chart on any paint device (a window, a printer, a PDF, an
// image): the title line and a legend; the temperatures on the left axis in
// degrees Celsius and the pressure on the right one in bar, against the
// minutes from the cycle start; the phases as labelled bands, the events
// as ticks under the plot, the alarm as a line with its text. Sizes are in
// points, so that text reads the same on a screen and on paper; colours are
// opaque, as PDF/A-1 has no transparency.
class CycleChartPainter {
 public:
  explicit CycleChartPainter(const CycleChart& chart) : chart_(chart) {}

  void paint(QPainter& painter, const QRectF& area) const;

 private:
  const CycleChart& chart_;
};

// A white picture of `size` pixels for the chart; its resolution grows with
// the size, so that a large picture has text to match.
QImage chartCanvas(QSize size);

// The chart alone, drawn on its canvas.
QImage chartImage(const CycleChart& chart, QSize size);

// The picture written as a PNG file, safely (a temporary file renamed over
// the target). False with `error` set when it cannot be written.
bool chartToPng(const CycleChart& chart, QSize size, const std::filesystem::path& file,
                QString* error = nullptr);

}  // namespace vestrim::reports::render
