#include "reports/render/cycle_chart.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

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

// The boxes of the texts placed so far and the events' ticks: a new text goes
// only where it keeps clear of every box by `gap` on either side and of every
// tick by `clearance`, and a new tick only where it keeps clear of every box.
class Placement {
 public:
  explicit Placement(double clearance) : clearance_(clearance) {}

  bool isFree(const QRectF& box, double gap) const {
    const QRectF spaced = box.adjusted(-gap, 0, gap, 0);
    const QRectF cleared = box.adjusted(-clearance_, 0, clearance_, 0);
    return std::none_of(boxes_.begin(), boxes_.end(),
                        [&](const QRectF& taken) { return spaced.intersects(taken); }) &&
           std::none_of(ticks_.begin(), ticks_.end(),
                        [&](const QLineF& tick) { return crosses(tick, cleared); });
  }
  bool isFree(const QLineF& tick) const {
    return std::none_of(boxes_.begin(), boxes_.end(), [&](const QRectF& taken) {
      return crosses(tick, taken.adjusted(-clearance_, 0, clearance_, 0));
    });
  }
  void take(const QRectF& box) { boxes_.push_back(box); }
  void take(const QLineF& tick) { ticks_.push_back(tick); }

 private:
  // Whether a vertical tick runs through the inside of a box; one that ends
  // on its edge does not.
  static bool crosses(const QLineF& tick, const QRectF& box) {
    return tick.x1() > box.left() && tick.x1() < box.right() &&
           std::max(tick.y1(), tick.y2()) > box.top() &&
           std::min(tick.y1(), tick.y2()) < box.bottom();
  }

  double clearance_;
  std::vector<QRectF> boxes_;
  std::vector<QLineF> ticks_;
};

// The left edge of a text `width` wide centred on `centre`, moved within
// `from` to `to`; none when it is wider than that.
std::optional<double> leftWithin(double centre, double width, double from, double to) {
  if (to - from < width) {
    return std::nullopt;
  }
  return std::clamp(centre - width / 2, from, to - width);
}

}  // namespace

CycleChartLayout layoutCycleChart(const CycleChart& c, const QRectF& area, QPaintDevice* device) {
  const double pt = device->logicalDpiY() / 72.0;
  const QFontMetricsF titleMetrics(chartFont(10, true), device);
  const QFontMetricsF metrics(chartFont(8), device);
  const QFontMetricsF smallMetrics(chartFont(7), device);
  const QRectF r = area.adjusted(8 * pt, 6 * pt, -8 * pt, -6 * pt);
  CycleChartLayout layout;

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
    return layout;
  }
  layout.plot = plot;
  layout.title = QRectF(r.left(), r.top(), r.width(), titleMetrics.height());
  layout.legend = QRectF(plot.left(), legendTop, plot.width(), metrics.height());
  layout.temperatureUnit =
      QRectF(r.left(), legendTop, plot.left() - 4 * pt - r.left(), metrics.height());
  layout.pressureUnit =
      QRectF(plot.right() + 4 * pt, legendTop, r.right() - plot.right() - 4 * pt, metrics.height());
  layout.strip = QRectF(plot.left(), stripTop, plot.width(), rowHeight);
  Placement placed(2 * pt);

  // The vertical axes' numbers at their grid lines; where the lines stand
  // closer than a line of text, at every second (third...) from the bottom.
  const auto axisNumbers = [&](const ChartScale& scale, bool left) {
    std::vector<ChartText> numbers;
    const Mapping y{scale, plot.bottom(), -plot.height()};
    const std::vector<double> ticks = scale.ticks();
    const double spacing = plot.height() / std::max(1, scale.divisions());
    const auto every =
        static_cast<std::size_t>(std::max(1.0, std::ceil(metrics.height() / spacing)));
    for (std::size_t i = 0; i < ticks.size(); i += every) {
      const QString words = tickText(ticks[i], scale.step, c.decimalSeparator);
      const double width = metrics.horizontalAdvance(words);
      const double x = left ? plot.left() - 4 * pt - width : plot.right() + 4 * pt;
      numbers.push_back(
          {QRectF(x, y(ticks[i]) - metrics.height() / 2, width, metrics.height()), words});
      placed.take(numbers.back().box);
    }
    return numbers;
  };
  layout.temperatureNumbers = axisNumbers(c.temperature, true);
  layout.pressureNumbers = axisNumbers(c.pressureScale, false);

  // The time axis's numbers under the event lane, left out where one would
  // come too close to the one before; the unit after the last.
  const Mapping time{c.time, plot.left(), plot.width()};
  const double timeRow = plot.bottom() + eventLane;
  double numbersRight = -std::numeric_limits<double>::infinity();
  for (const double tick : c.time.ticks()) {
    const QString words = tickText(tick, c.time.step, c.decimalSeparator);
    const double width = metrics.horizontalAdvance(words);
    const QRectF box(time(tick) - width / 2, timeRow, width, metrics.height());
    if (placed.isFree(box, 4 * pt)) {
      layout.timeNumbers.push_back({box, words});
      placed.take(box);
      numbersRight = box.right();
    }
  }
  const QString minutesUnit = QStringLiteral("min");
  const QRectF unit(std::max(plot.right() + 4 * pt, numbersRight + 4 * pt), timeRow,
                    metrics.horizontalAdvance(minutesUnit), metrics.height());
  layout.timeNumbers.push_back({unit, minutesUnit});
  placed.take(unit);

  // Phase and event names repeat: their widths are measured once.
  QHash<QString, double> smallWidths;
  const auto smallWidth = [&](const QString& words) {
    const auto known = smallWidths.constFind(words);
    return known != smallWidths.constEnd()
               ? *known
               : *smallWidths.insert(words, smallMetrics.horizontalAdvance(words));
  };

  // Phase names on the strip, centred over their bands as far as the plot
  // allows, the longest phases first: a name without room is left out.
  std::vector<std::size_t> longestFirst(c.phases.size());
  std::iota(longestFirst.begin(), longestFirst.end(), std::size_t{0});
  std::stable_sort(longestFirst.begin(), longestFirst.end(), [&](std::size_t a, std::size_t b) {
    return c.phases[a].to - c.phases[a].from > c.phases[b].to - c.phases[b].from;
  });
  for (const std::size_t i : longestFirst) {
    const QString name = fromCore(c.phases[i].label);
    const double width = smallWidth(name);
    const auto left = leftWithin((time(c.phases[i].from) + time(c.phases[i].to)) / 2, width,
                                 plot.left(), plot.right());
    const QRectF box(left.value_or(0), stripTop, width, rowHeight);
    if (!name.isEmpty() && left && placed.isFree(box, 3 * pt)) {
      layout.phaseNames.push_back({box, name});
      placed.take(box);
    }
  }

  // Events: a tick under the plot each, its name under it in the first of
  // two rows with room, beside the vertical axes' numbers. A tick down to
  // the second row runs through the first, so it passes clear of the names
  // there. Events at one moment (ticks within 2 points) stack their names
  // under the first one's tick, each short tick ending on the first name.
  const double rowTop[2] = {plot.bottom() + 3 * pt, plot.bottom() + 3 * pt + rowHeight};
  std::pair<double, double> rowSpan[2];
  for (int row = 0; row < 2; ++row) {
    rowSpan[row] = {r.left(), r.right()};
    const QRectF band(r.left(), rowTop[row], r.width(), rowHeight);
    for (const ChartText& number : layout.temperatureNumbers) {
      if (number.box.intersects(band)) {
        rowSpan[row].first = std::max(rowSpan[row].first, number.box.right() + 2 * pt);
      }
    }
    for (const ChartText& number : layout.pressureNumbers) {
      if (number.box.intersects(band)) {
        rowSpan[row].second = std::min(rowSpan[row].second, number.box.left() - 2 * pt);
      }
    }
  }
  // The moment the last events stand at: its first tick, the centre of its
  // first name and the rows its names take.
  struct Moment {
    double at = -std::numeric_limits<double>::infinity();
    double centre = 0;
    int firstRow = -1;
    int lastRow = -1;
  } moment;
  for (std::size_t i = 0; i < c.events.size(); ++i) {
    const double at = time(c.events[i].minutes);
    if (std::abs(at - moment.at) >= 2 * pt) {
      moment = {at, at, -1, -1};
    }
    double nextAt = std::numeric_limits<double>::infinity();
    for (std::size_t j = i + 1;
         j < c.events.size() && nextAt == std::numeric_limits<double>::infinity(); ++j) {
      if (time(c.events[j].minutes) - at >= 2 * pt) {
        nextAt = time(c.events[j].minutes);
      }
    }
    const QString name = fromCore(c.events[i].label);
    const double width = smallWidth(name);
    QLineF tick(at, plot.bottom(), at, rowTop[0]);
    // A new moment's name goes to either row; a later one at the same moment
    // only right under the name before it. A first-row name over the next
    // moment's tick moves left off it where it still stands over its own,
    // leaving the next moment a way down to the second row.
    const int lastRow = moment.lastRow < 0 ? 1 : moment.lastRow + 1;
    for (int row = moment.lastRow + 1; row <= std::min(lastRow, 1) && !name.isEmpty(); ++row) {
      const QLineF down(at, plot.bottom(), at, rowTop[moment.firstRow < 0 ? row : moment.firstRow]);
      const auto left = leftWithin(moment.centre, width, rowSpan[row].first, rowSpan[row].second);
      std::vector<QRectF> boxes;
      if (left && row == 0 && *left + width + 2 * pt > nextAt && nextAt - 2 * pt > at &&
          nextAt - 2 * pt - width >= rowSpan[row].first) {
        boxes.emplace_back(nextAt - 2 * pt - width, rowTop[row], width, rowHeight);
      }
      if (left) {
        boxes.emplace_back(*left, rowTop[row], width, rowHeight);
      }
      const auto free = std::find_if(boxes.begin(), boxes.end(), [&](const QRectF& box) {
        return placed.isFree(box, 2 * pt) && placed.isFree(down);
      });
      if (free != boxes.end()) {
        layout.eventNames.push_back({*free, name});
        placed.take(*free);
        tick = down;
        if (moment.firstRow < 0) {
          moment.firstRow = row;
          moment.centre = free->center().x();
        }
        moment.lastRow = row;
        break;
      }
    }
    layout.eventTicks.push_back(tick);
    placed.take(tick);
  }
  return layout;
}

void CycleChartPainter::paint(QPainter& painter, const QRectF& area) const {
  const CycleChart& c = chart_;
  QPaintDevice* device = painter.device();
  const double pt = device->logicalDpiY() / 72.0;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.fillRect(area, Qt::white);
  const CycleChartLayout layout = layoutCycleChart(c, area, device);
  const QRectF& plot = layout.plot;
  if (plot.isEmpty()) {
    painter.restore();
    return;
  }

  const QFont titleFont = chartFont(10, true);
  const QFont font = chartFont(8);
  const QFont small = chartFont(7);
  const QFont smallBold = chartFont(7, true);
  const QFontMetricsF titleMetrics(titleFont, device);
  const QFontMetricsF metrics(font, device);
  const auto text = [&](const QRectF& box, int flags, const QString& words, const QColor& colour) {
    painter.setPen(colour);
    painter.drawText(box, flags | Qt::TextSingleLine | Qt::TextDontClip, words);
  };
  const auto texts = [&](const std::vector<ChartText>& all, int flags, const QColor& colour) {
    for (const ChartText& one : all) {
      text(one.box, flags, one.words, colour);
    }
  };

  // Title line; the legend over the plot, the axes' units beside it.
  painter.setFont(titleFont);
  text(layout.title, Qt::AlignLeft | Qt::AlignVCenter,
       titleMetrics.elidedText(fromCore(c.title), Qt::ElideRight, layout.title.width()),
       kTextColour);
  painter.setFont(font);
  const QRectF& legendRow = layout.legend;
  text(layout.temperatureUnit, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("\u00B0C"),
       kAxisColour);
  text(layout.pressureUnit, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("bar"),
       kPressureColour);
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
  const double stripTop = layout.strip.top();
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
  texts(layout.phaseNames, Qt::AlignCenter, kAxisColour);

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

  // Events: their ticks under the plot and the names that have room.
  texts(layout.eventNames, Qt::AlignCenter, kAxisColour);
  painter.setPen(thinPen(kAxisColour, 0.6 * pt));
  painter.drawLines(layout.eventTicks.data(), static_cast<int>(layout.eventTicks.size()));

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
    const QRectF box(left, plot.top() + 4 * pt, width, layout.strip.height() + 4 * pt);
    painter.setPen(QPen(kAlarmColour, 0.8 * pt));
    painter.setBrush(Qt::white);
    painter.drawRect(box);
    painter.setBrush(Qt::NoBrush);
    text(box, Qt::AlignCenter, words, kAlarmColour);
  }

  // Axes' numbers and units.
  painter.setFont(font);
  texts(layout.temperatureNumbers, Qt::AlignRight | Qt::AlignVCenter, kAxisColour);
  texts(layout.pressureNumbers, Qt::AlignLeft | Qt::AlignVCenter, kPressureColour);
  texts(layout.timeNumbers, Qt::AlignCenter, kAxisColour);
  painter.restore();
}

QImage chartCanvas(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  const double scale =
      std::max(1.0, std::min(size.width() / kDesignWidth, size.height() / kDesignHeight));
  const int dotsPerMeter = static_cast<int>(std::lround(kScreenDpi * scale / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  image.fill(Qt::white);
  return image;
}

QImage chartImage(const CycleChart& chart, QSize size) {
  QImage image = chartCanvas(size);
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
      *error = QStringLiteral("cannot write %1").arg(platform::fromPath(file));
    }
    return false;
  }
  return true;
}

}  // namespace vestrim::reports::render
