// The cycle chart's names and numbers, laid out with the fonts of Qt's
// offscreen platform on long, dense and short cycles of the simulator.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "report_fixtures.h"
#include "reports/cycle_record.h"
#include "reports/render/cycle_chart.h"

namespace vestrim::reports::render {
namespace {

using devsim::content::CycleRequest;

CycleChart chartOf(const CycleRequest& request) {
  const record::CycleFile file = testing::generatedFile(request);
  return cycleChart(decodeCycleRecord(file.DeviceHeader, file.CycleData).value(),
                    testing::english('.'));
}

CycleChartLayout layoutAt(const CycleChart& chart, QSize size) {
  // The offscreen platform's fonts, with or without a display.
  static char name[] = "chart_layout_tests", platform[] = "-platform", offscreen[] = "offscreen";
  static char* argv[] = {name, platform, offscreen, nullptr};
  static int argc = 3;
  static const QGuiApplication fonts(argc, argv);
  QImage canvas = chartCanvas(size);
  return layoutCycleChart(chart, QRectF(QPointF(0, 0), QSizeF(size)), &canvas);
}

TEST(CycleChartLayout, NamesAndNumbersOfLongAndDenseCyclesNeverCollide) {
  // 120 minutes of liquids and over an hour of pulsed drying, valves working all along.
  const CycleRequest liquids{.cycleCode = devsim::content::kLiquidsCycleCode,
                             .forcedCooling = true,
                             .coldChamber = true,
                             .seed = 3};
  const CycleRequest drying{
      .cycleCode = 4, .drying = devsim::content::DryingMode::Extended, .extraDryingMinutes = 60};
  for (const CycleRequest& request : {liquids, drying}) {
    const CycleChart chart = chartOf(request);
    for (const QSize size : {QSize(800, 500), QSize(1600, 1000), QSize(700, 260)}) {
      SCOPED_TRACE(std::to_string(request.cycleCode) + " at " + std::to_string(size.width()));
      const CycleChartLayout layout = layoutAt(chart, size);
      std::vector<QRectF> boxes;
      for (const auto* texts : {&layout.phaseNames, &layout.eventNames, &layout.temperatureNumbers,
                                &layout.pressureNumbers, &layout.timeNumbers}) {
        for (const ChartText& text : *texts) {
          boxes.push_back(text.box);
        }
      }
      for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_FALSE(boxes[i].intersects(layout.plot)) << i;
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
          EXPECT_FALSE(boxes[i].intersects(boxes[j])) << i << " " << j;
        }
        for (const QLineF& tick : layout.eventTicks) {
          EXPECT_FALSE(tick.x1() > boxes[i].left() && tick.x1() < boxes[i].right() &&
                       tick.y1() < boxes[i].bottom() && tick.y2() > boxes[i].top())
              << i << " at " << tick.x1();
        }
      }
      EXPECT_GE(layout.eventNames.size(), chart.events.size() / 8);  // thinned, not emptied
    }
  }
}

// An event has room for its name when the ticks of other moments stand 2.5
// lines away, where the widest names take 1.7 lines and their gaps 0.3.
TEST(CycleChartLayout, AShortCycleNamesEveryEventThatHasRoom) {
  const CycleChart chart = chartOf({.cycleCode = devsim::content::kVacuumTestCode});
  const CycleChartLayout layout = layoutAt(chart, {1600, 1000});
  ASSERT_EQ(layout.eventTicks.size(), chart.events.size());
  int withRoom = 0;
  for (std::size_t i = 0; i < chart.events.size(); ++i) {
    const double x = layout.eventTicks[i].x1();
    const auto near = [&](const QLineF& other) {
      return other.x1() != x && std::abs(other.x1() - x) < 2.5 * layout.strip.height();
    };
    const auto named = [&](const ChartText& name) {
      return name.words == QString::fromStdString(chart.events[i].label) && name.box.left() < x &&
             name.box.right() > x;
    };
    if (std::none_of(layout.eventTicks.begin(), layout.eventTicks.end(), near)) {
      ++withRoom;
      EXPECT_TRUE(std::any_of(layout.eventNames.begin(), layout.eventNames.end(), named))
          << chart.events[i].label;
    }
  }
  EXPECT_EQ(withRoom, 3);  // V1- and VP- at one moment, AI+
}

}  // namespace
}  // namespace vestrim::reports::render
