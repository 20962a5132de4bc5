#include <gtest/gtest.h>

#include "report_fixtures.h"
#include "reports/cycle_reports.h"
#include "reports/print_layout.h"
#include "reports/technical_view.h"

namespace vestrim::reports {
namespace {

using testing::B1;
using testing::english;
using testing::kDashes;
using testing::Record;

std::vector<std::string> texts(const PrintJob& job) {
  std::vector<std::string> lines;
  for (const PrintPair& pair : job.pairs) {
    EXPECT_EQ(pair.column, 5);
    lines.push_back(pair.text);
  }
  return lines;
}

TEST(PrintLayout, PrintsShortLinesAsOneBlankWhenThereAreNoProbeColumns) {
  Record record;
  record.sample(0, 163, 1000, 0, 990, 0, 0);
  for (const Report& report : {FullView(record.DeviceHeader, record.CycleData, false, english('.')),
                               LittleView(record.DeviceHeader, record.CycleData, english('.'))}) {
    const std::vector<std::string> printed = texts(printJob(report.lines, '.'));
    ASSERT_EQ(printed.size(), report.lines.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
      EXPECT_EQ(printed[i], report.lines[i].size() < 14 ? " " : report.lines[i]) << i;
    }
  }
}

TEST(PrintLayout, CutsTheZeroProbeColumnsOfLinesThatStillHoldThem) {
  const std::string header = "Time   Ph.  PT1    P      PT2    PT3    PT4 ";
  for (const char separator : {',', '.'}) {
    const std::string s(1, separator);
    const std::string zeroRecord =
        "00:10  120  100" + s + "0   0" + s + "05  099" + s + "0  000" + s + "0  000" + s + "0";
    const std::vector<std::string> lines = {
        "Machine   M",
        header,
        kDashes,
        zeroRecord,
        B1,
        zeroRecord,
        B1,
        B1,
        "20:10 MAX 135" + s + "2",
        "a long line that stays as it is, 000" + s + "0  000" + s + "0"};
    EXPECT_EQ(texts(printJob(lines, separator)),
              (std::vector<std::string>{B1, "Time   Ph.  PT1    P      PT2  ", lines[2],
                                        zeroRecord.substr(0, 32), B1, zeroRecord.substr(0, 32), B1,
                                        B1, lines[8], lines[9]}));
  }
}

TEST(PrintLayout, PageHasThreeEmptyLinesThenEveryLineFromColumn5) {
  std::vector<std::string> lines(600, "a report line of some length");
  lines[1] = "x";
  PrintJob job = printJob(lines, ',');
  std::vector<std::string> page = printedLines(job);
  ASSERT_EQ(page.size(), 603u);
  EXPECT_EQ(page[0], "");
  EXPECT_EQ(page[2], "");
  EXPECT_EQ(page[3], "    a report line of some length");
  EXPECT_EQ(page[4], "     ");
  // An empty text leaves the position at column 5: the next text follows
  // on the same line.
  job.pairs = {{"", 5}, {"after", 5}, {"next", 5}};
  EXPECT_EQ(printedLines(job), (std::vector<std::string>{"", "", "", "    after", "    next"}));
}

}  // namespace
}  // namespace vestrim::reports
