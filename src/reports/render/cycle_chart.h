#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <filesystem>

#include "reports/cycle_chart_data.h"

class QPainter;

namespace vestrim::reports::render {

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

// The chart alone as a picture of `size` pixels; its resolution grows with
// the size, so that a large picture has text to match.
QImage chartImage(const CycleChart& chart, QSize size);

// The picture written as a PNG file, safely (a temporary file renamed over
// the target). False with `error` set when it cannot be written.
bool chartToPng(const CycleChart& chart, QSize size, const std::filesystem::path& file,
                QString* error = nullptr);

}  // namespace vestrim::reports::render
