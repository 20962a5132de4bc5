#include "reports/render/cycle_chart.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/qt/qt_text.h"
#include "shell/safe_file.h"

namespace vestrim::reports::render {
namespace {

using platform::fromCore;

const QColor kProbeColours[] = {QColor(0xc0, 0x39, 0x2b), QColor(0xe6, 0x7e, 0x22),
                                QColor(0x16, 0x8a, 0x6e), QColor(0x8e, 0x44, 0xad)};
const QColor kPressureColour(0x1d, 0x5d, 0x7a);
const QColor kAlarmColour(0xd0, 0x00, 0x1a);
const QColor kTextColour(0x22, 0x22, 0x22);
const QColor kAxisColour(0x4a, 0x4a, 0x4a);
const QColor kGridColour(0xd3, 0xd9, 0xdd);
const QColor kFrameColour(0x70, 0x78, 0x80);
const QColor kBandColours[] = {QColor(0xe3, 0xee, 0xf3), QColor(0xf6, 0xf9, 0xfa)};
const QColor kBandEdgeColour(0xb8, 0xc9, 0xd2);

// A design picture is about 1000 x 625 pixels at 96 dots per inch.
constexpr double kDesignWidth = 1000;
constexpr double kDesignHeight = 625;
constexpr double kScreenDpi = 96;

QFont chartFont(double points, bool bold = false) {
  // "Arial" where it is installed; a metric-compatible sans-serif face elsewhere.
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// A tick's number with the decimals its step needs and the locale's separator.
QString tickText(double value, double step, char decimalSeparator) {
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  QString text = QString::number(value, 'f', decimals);
  if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0) {
    text.remove(0, 1);
  }
  return text.replace(QLatin1Char('.'), QLatin1Char(decimalSeparator));
}

// A thin line of `width` device units: up to one and a half pixels it is
// drawn one pixel wide, which a rasteriser draws at a fraction of the cost.
QPen thinPen(const QColor& colour, double width) {
  QPen pen(colour, width <= 1.5 ? 1.0 : width);
  pen.setCosmetic(width <= 1.5);
  return pen;
}

QColor probeColour(const ChartCurve& curve) {
  const int probe = curve.name.size() == 3 ? curve.name[2] - '1' : 0;
  return kProbeColours[std::clamp(probe, 0, 3)];
}

// Maps a scale onto a stretch of the device, `from` being the scale's minimum.
struct Mapping {
  ChartScale scale;
  double from;
  double length;  // negative upwards

  double operator()(double value) const {
    return from + (value - scale.minimum) / (scale.maximum - scale.minimum) * length;
  }
};

// A curve's points on the device, keeping of the points that fall into one
// column of device pixels only the lowest and the highest, in their order:
// the drawn line is the same, with far fewer points when records are dense.
QPolygonF devicePoints(const ChartCurve& curve, const Mapping& x, const Mapping& y) {
  QPolygonF points;
  points.reserve(static_cast<qsizetype>(curve.points.size()));
  std::size_t i = 0;
  while (i < curve.points.size()) {
    const double column = std::floor(x(curve.points[i].minutes));
    QPointF low(x(curve.points[i].minutes), y(curve.points[i].value));
    QPointF high = low;
    std::size_t lowAt = i;
    std::size_t highAt = i;
    for (; i < curve.points.size() && std::floor(x(curve.points[i].minutes)) == column; ++i) {
      const QPointF p(x(curve.points[i].minutes), y(curve.points[i].value));
      if (p.y() > low.y()) {
        low = p;
        lowAt = i;
      }
      if (p.y() < high.y()) {
        high = p;
        highAt = i;
      }
    }
    points.append(lowAt <= highAt ? low : high);
    if (lowAt != highAt) {
      points.append(lowAt <= highAt ? high : low);
    }
  }
  return points;
}

// A curve as separate segments with square caps that cover the joins: a
// rasteriser draws such lines directly, where a polyline's stroke is first
// built as one outline crossing itself at every turn, at many times the cost.
void drawCurve(QPainter& painter, const ChartCurve& curve, const Mapping& x, const Mapping& y) {
  const QPolygonF points = devicePoints(curve, x, y);
  QVector<QLineF> segments;
  segments.reserve(points.size());
  for (qsizetype i = 1; i < points.size(); ++i) {
    segments.append(QLineF(points[i - 1], points[i]));
  }
  painter.drawLines(segments);
}

// Draws labels along a row from left to right, leaving out one that would
// touch the one before it.
class LabelRow {
 public:
  explicit LabelRow(double gap) : gap_(gap) {}
  bool fits(double left) const { return left >= right_ + gap_; }
  void take(double right) { right_ = right; }
  double right() const { return right_; }

 private:
  double gap_;
  double right_ = -std::numeric_limits<double>::infinity();
};

}  // namespace

void CycleChartPainter::paint(QPainter& painter, const QRectF& area) const {
  const CycleChart& c = chart_;
  QPaintDevice* device = painter.device();
  const double pt = device->logicalDpiY() / 72.0;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.fillRect(area, Qt::white);

  const QFont titleFont = chartFont(10, true);
  const QFont font = chartFont(8);
  const QFont small = chartFont(7);
  const QFont smallBold = chartFont(7, true);
  const QFontMetricsF titleMetrics(titleFont, device);
  const QFontMetricsF metrics(font, device);
  const QFontMetricsF smallMetrics(small, device);
  const QRectF r = area.adjusted(8 * pt, 6 * pt, -8 * pt, -6 * pt);
  // Phase and event names repeat: their widths are measured once.
  QHash<QString, double> smallWidths;
  const auto smallWidth = [&](const QString& words) {
    const auto known = smallWidths.constFind(words);
    return known != smallWidths.constEnd()
               ? *known
               : *smallWidths.insert(words, smallMetrics.horizontalAdvance(words));
  };
  const auto text = [&](const QRectF& box, int flags, const QString& words, const QColor& colour) {
    painter.setPen(colour);
    painter.drawText(box, flags | Qt::TextSingleLine, words);
  };

  // The plot between the axes' numbers, under the title, the legend and
  // the phase names, above the event lane and the time axis's numbers.
  const auto widest = [&](const ChartScale& scale) {
    double width = 0;
    for (const double tick : scale.ticks()) {
      width = std::max(width,
                       metrics.horizontalAdvance(tickText(tick, scale.step, c.decimalSeparator)));
    }
    return width;
  };
  const QString minutesUnit = QStringLiteral("min");
  const double legendTop = r.top() + titleMetrics.height() + 3 * pt;
  const double stripTop = legendTop + metrics.height() + 6 * pt;
  const double rowHeight = smallMetrics.height();
  const double eventLane = 3 * pt + 2 * rowHeight + 2 * pt;
  const QRectF plot(
      QPointF(
          r.left() + std::max(widest(c.temperature), metrics.horizontalAdvance("\u00B0C")) + 5 * pt,
          stripTop + rowHeight + 3 * pt),
      QPointF(
          r.right() - std::max(widest(c.pressureScale), metrics.horizontalAdvance("bar")) - 5 * pt,
          r.bottom() - metrics.height() - eventLane));
  if (plot.width() < 40 * pt || plot.height() < 30 * pt) {
    painter.restore();
    return;
  }

  // Title line; the legend over the plot, the axes' units beside it.
  painter.setFont(titleFont);
  text({r.left(), r.top(), r.width(), titleMetrics.height()}, Qt::AlignLeft | Qt::AlignVCenter,
       titleMetrics.elidedText(fromCore(c.title), Qt::ElideRight, r.width()), kTextColour);
  painter.setFont(font);
  const QRectF legendRow(plot.left(), legendTop, plot.width(), metrics.height());
  text({r.left(), legendTop, plot.left() - 4 * pt - r.left(), metrics.height()},
       Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("\u00B0C"), kAxisColour);
  text({plot.right() + 4 * pt, legendTop, r.right() - plot.right() - 4 * pt, metrics.height()},
       Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("bar"), kPressureColour);
  double x = plot.left();
  const auto legend = [&](const QString& name, const QColor& colour, double width) {
    const double y = legendRow.center().y();
    painter.setPen(QPen(colour, width * pt));
    painter.drawLine(QPointF(x, y), QPointF(x + 16 * pt, y));
    x += 20 * pt;
    text({x, legendRow.top(), metrics.horizontalAdvance(name) + 1, legendRow.height()},
         Qt::AlignVCenter, name, kTextColour);
    x += metrics.horizontalAdvance(name) + 12 * pt;
  };
  for (const ChartCurve& curve : c.temperatures) {
    legend(QString::fromStdString(curve.name) + QStringLiteral(" (\u00B0C)"), probeColour(curve),
           1.2);
  }
  legend(QString::fromStdString(c.pressure.name) + QStringLiteral(" (bar)"), kPressureColour, 1.6);

  const Mapping time{c.time, plot.left(), plot.width()};
  const Mapping temperature{c.temperature, plot.bottom(), -plot.height()};
  const Mapping pressure{c.pressureScale, plot.bottom(), -plot.height()};

  // Phase bands, alternately tinted, their names above the plot. Bands and
  // grid lie on whole pixels, without antialiasing.
  painter.setRenderHint(QPainter::Antialiasing, false);
  QVector<QLineF> edges;
  for (std::size_t i = 0; i < c.phases.size(); ++i) {
    const double x0 = time(c.phases[i].from);
    painter.fillRect(QRectF(x0, stripTop, time(c.phases[i].to) - x0, plot.bottom() - stripTop),
                     kBandColours[i % 2]);
    edges.append(QLineF(x0, stripTop, x0, plot.bottom()));
  }
  painter.setPen(thinPen(kBandEdgeColour, 0.5 * pt));
  painter.drawLines(edges);
  painter.setFont(small);
  LabelRow phaseNames(3 * pt);
  for (const ChartBand& band : c.phases) {
    const QString name = fromCore(band.label);
    const double width = smallWidth(name);
    const double left = std::clamp((time(band.from) + time(band.to) - width) / 2, plot.left(),
                                   plot.right() - width);
    if (!name.isEmpty() && phaseNames.fits(left)) {
      text({left, stripTop, width + 1, rowHeight}, Qt::AlignCenter, name, kAxisColour);
      phaseNames.take(left + width);
    }
  }

  // Grid: the two vertical axes share their lines.
  painter.setPen(thinPen(kGridColour, 0.5 * pt));
  for (const double tick : c.temperature.ticks()) {
    painter.drawLine(QPointF(plot.left(), temperature(tick)),
                     QPointF(plot.right(), temperature(tick)));
  }
  for (const double tick : c.time.ticks()) {
    painter.drawLine(QPointF(time(tick), plot.top()), QPointF(time(tick), plot.bottom()));
  }

  // Curves: temperatures first, the pressure over them.
  painter.setRenderHint(QPainter::Antialiasing);
  painter.save();
  painter.setClipRect(plot);
  for (const ChartCurve& curve : c.temperatures) {
    painter.setPen(QPen(probeColour(curve), 1.2 * pt, Qt::SolidLine, Qt::SquareCap));
    drawCurve(painter, curve, time, temperature);
  }
  painter.setPen(QPen(kPressureColour, 1.6 * pt, Qt::SolidLine, Qt::SquareCap));
  drawCurve(painter, c.pressure, time, pressure);
  painter.restore();
  painter.setPen(QPen(kFrameColour, 0.8 * pt));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot);

  // Events: a tick under the plot each, names in two rows where they fit.
  LabelRow eventRows[2] = {LabelRow(2 * pt), LabelRow(2 * pt)};
  QVector<QLineF> ticks;
  for (const ChartMarker& event : c.events) {
    const double at = time(event.minutes);
    const QString name = fromCore(event.label);
    const double width = smallWidth(name);
    const double left = std::clamp(at - width / 2, r.left(), r.right() - width);
    double tick = 3 * pt;
    for (int row = 0; row < 2; ++row) {
      if (!name.isEmpty() && eventRows[row].fits(left)) {
        const double top = plot.bottom() + 3 * pt + row * rowHeight;
        text({left, top, width + 1, rowHeight}, Qt::AlignCenter, name, kAxisColour);
        eventRows[row].take(left + width);
        tick = 3 * pt + row * rowHeight;
        break;
      }
    }
    ticks.append(QLineF(at, plot.bottom(), at, plot.bottom() + tick));
  }
  painter.setPen(thinPen(kAxisColour, 0.6 * pt));
  painter.drawLines(ticks);

  // The alarm: a dashed line through the plot and its text in a box.
  if (c.alarm) {
    const double at = time(c.alarm->minutes);
    painter.setPen(QPen(kAlarmColour, 1.2 * pt, Qt::DashLine));
    painter.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
    painter.setFont(smallBold);
    const QString words = fromCore(c.alarm->label);
    const double width = QFontMetricsF(smallBold, device).horizontalAdvance(words) + 8 * pt;
    const double left = at + 4 * pt + width <= plot.right()
                            ? at + 4 * pt
                            : std::max(plot.left(), at - 4 * pt - width);
    const QRectF box(left, plot.top() + 4 * pt, width, rowHeight + 4 * pt);
    painter.setPen(QPen(kAlarmColour, 0.8 * pt));
    painter.setBrush(Qt::white);
    painter.drawRect(box);
    painter.setBrush(Qt::NoBrush);
    text(box, Qt::AlignCenter, words, kAlarmColour);
  }

  // Axes' numbers and units.
  painter.setFont(font);
  for (const double tick : c.temperature.ticks()) {
    text({r.left(), temperature(tick) - metrics.height() / 2, plot.left() - 4 * pt - r.left(),
          metrics.height()},
         Qt::AlignRight | Qt::AlignVCenter, tickText(tick, c.temperature.step, c.decimalSeparator),
         kAxisColour);
  }
  for (const double tick : c.pressureScale.ticks()) {
    text({plot.right() + 4 * pt, pressure(tick) - metrics.height() / 2,
          r.right() - plot.right() - 4 * pt, metrics.height()},
         Qt::AlignLeft | Qt::AlignVCenter, tickText(tick, c.pressureScale.step, c.decimalSeparator),
         kPressureColour);
  }
  const double timeRow = plot.bottom() + eventLane;
  LabelRow timeNumbers(4 * pt);
  for (const double tick : c.time.ticks()) {
    const QString words = tickText(tick, c.time.step, c.decimalSeparator);
    const double width = metrics.horizontalAdvance(words);
    const double left = time(tick) - width / 2;
    if (timeNumbers.fits(left)) {
      text({left, timeRow, width + 1, metrics.height()}, Qt::AlignCenter, words, kAxisColour);
      timeNumbers.take(left + width);
    }
  }
  const double unitLeft = std::max(plot.right() + 4 * pt, timeNumbers.right() + 4 * pt);
  text({unitLeft, timeRow, metrics.horizontalAdvance(minutesUnit) + 1, metrics.height()},
       Qt::AlignLeft | Qt::AlignVCenter, minutesUnit, kAxisColour);
  painter.restore();
}

QImage chartImage(const CycleChart& chart, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  const double scale =
      std::max(1.0, std::min(size.width() / kDesignWidth, size.height() / kDesignHeight));
  const int dotsPerMeter = static_cast<int>(std::lround(kScreenDpi * scale / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  image.fill(Qt::white);
  QPainter painter(&image);
  CycleChartPainter(chart).paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return image;
}

bool chartToPng(const CycleChart& chart, QSize size, const std::filesystem::path& file,
                QString* error) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!chartImage(chart, size).save(&buffer, "PNG") ||
      !shell::replaceFile(
          file, std::string_view(png.constData(), static_cast<std::size_t>(png.size())))) {
    if (error) {
      *error = QStringLiteral("cannot write %1").arg(QString::fromStdString(file.string()));
    }
    return false;
  }
  return true;
}

}  // namespace vestrim::reports::render
