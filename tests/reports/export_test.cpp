// The chart's data, the CSV export and the PDF's information dictionary,
// on the simulator's cycles.
#include <gtest/gtest.h>

#include <sstream>

#include "report_fixtures.h"
#include "reports/cycle_chart_data.h"
#include "reports/cycle_csv.h"
#include "reports/cycle_record.h"
#include "reports/pdf_document_info.h"

namespace vestrim::reports {
namespace {

using devsim::content::CycleRequest;

struct GeneratedCase {
  const char* name;
  int code;
  std::uint8_t alarm;
  bool fourProbes;
};

const GeneratedCase kCases[] = {
    {"134 wrapped", 0, 0, true},
    {"vacuum test", devsim::content::kVacuumTestCode, 0, true},
    {"alarm, two probes", 6, devsim::content::kTemperatureLowAlarm, false},
    {"liquids, two probes", devsim::content::kLiquidsCycleCode, 0, false},
};

CycleRecord generated(const GeneratedCase& c) {
  CycleRequest request;
  request.cycleCode = c.code;
  request.alarmCode = c.alarm;
  request.probesThreeAndFour = c.fourProbes;
  request.seed = 7;
  const record::CycleFile file = testing::generatedFile(request);
  return decodeCycleRecord(file.DeviceHeader, file.CycleData).value();
}

std::vector<std::string> split(const std::string& text, const std::string& at) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(at, start)) != std::string::npos;
       start = end + at.size()) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

TEST(CycleCsv, RowsHoldTheDecodedRecordsWithPointAndTheChosenSeparator) {
  for (const GeneratedCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const CycleRecord record = generated(c);
    const char separator = c.fourProbes ? ',' : ';';
    const std::string csv = cycleCsv(record, testing::english(','), separator);
    std::vector<std::string> rows = split(csv, "\r\n");
    ASSERT_EQ(rows.back(), "");  // every row ends in CR LF
    rows.pop_back();
    ASSERT_EQ(rows.size(), record.samples.size() + 1);
    EXPECT_EQ(split(rows[0], std::string(1, separator)).size(), 9u);
    bool negative = false;
    for (std::size_t i = 0; i < record.samples.size(); ++i) {
      const SampleRecord& s = record.samples[i];
      const std::vector<std::string> f = split(rows[i + 1], std::string(1, separator));
      ASSERT_EQ(f.size(), 9u) << rows[i + 1];
      EXPECT_EQ(std::stoi(f[0]), s.elapsedSeconds);
      EXPECT_EQ(std::stoi(f[1]) * 60 + std::stoi(f[1].substr(f[1].find(':') + 1)),
                s.elapsedSeconds);
      EXPECT_EQ(std::stoi(f[2]), s.code);
      for (std::size_t probe = 0; probe < 4; ++probe) {
        EXPECT_DOUBLE_EQ(std::stod(f[4 + probe]), s.pt[probe] / 10.0) << rows[i + 1];
      }
      EXPECT_DOUBLE_EQ(std::stod(f[8]), s.pressure / 100.0) << rows[i + 1];
      negative = negative || s.pressure < 0;
    }
    EXPECT_TRUE(negative);  // every program starts with a vacuum
  }
}

TEST(CycleCsv, TextsWithTheSeparatorOrQuotesAreQuoted) {
  testing::Words words;
  words.messages.set(200 + 163, "1\"PV");
  words.messages.set(200 + 164, "1P;P");
  const CycleRecord record = generated(kCases[0]);
  const std::string comma = cycleCsv(record, words.with(','), ',');
  EXPECT_NE(comma.find(",163,\"1\"\"PV\","), std::string::npos);
  EXPECT_NE(comma.find(",164,1P;P,"), std::string::npos);
  EXPECT_NE(cycleCsv(record, words.with(','), ';').find(";164;\"1P;P\";"), std::string::npos);
}

TEST(CycleChart, ScalesCoverTheDataAndShareTheirGridLines) {
  for (const GeneratedCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const CycleRecord record = generated(c);
    const CycleChart chart = cycleChart(record, testing::english(','));
    const auto covers = [](const ChartScale& scale, double value) {
      return value >= scale.minimum - 1e-9 && value <= scale.maximum + 1e-9;
    };
    EXPECT_EQ(chart.temperatures.size(), c.fourProbes ? 4u : 2u);
    for (const ChartCurve& curve : chart.temperatures) {
      ASSERT_EQ(curve.points.size(), record.samples.size());
      for (const ChartPoint& p : curve.points) {
        EXPECT_TRUE(covers(chart.temperature, p.value)) << curve.name << " " << p.value;
        EXPECT_TRUE(covers(chart.time, p.minutes));
      }
    }
    for (const ChartPoint& p : chart.pressure.points) {
      EXPECT_TRUE(covers(chart.pressureScale, p.value)) << p.value;
    }
    EXPECT_TRUE(covers(chart.pressureScale, 0));
    EXPECT_EQ(chart.temperature.divisions(), chart.pressureScale.divisions());
    EXPECT_GE(chart.temperature.divisions(), 4);
    // The axes are not needlessly large: the data fill over half of each.
    const auto range = [](const ChartCurve& curve) {
      auto [low, high] = std::minmax_element(curve.points.begin(), curve.points.end(),
                                             [](auto& a, auto& b) { return a.value < b.value; });
      return high->value - low->value;
    };
    EXPECT_GT(range(chart.pressure),
              0.5 * (chart.pressureScale.maximum - chart.pressureScale.minimum));
    EXPECT_GT(chart.time.minimum, -1e-9);
    EXPECT_GT(chart.pressure.points.back().minutes, 0.5 * chart.time.maximum);
    // Bands follow each other; the alarm stands within the cycle.
    for (std::size_t i = 0; i < chart.phases.size(); ++i) {
      EXPECT_LT(chart.phases[i].from, chart.phases[i].to);
      if (i > 0) {
        EXPECT_DOUBLE_EQ(chart.phases[i - 1].to, chart.phases[i].from);
      }
    }
    for (const ChartMarker& event : chart.events) {
      EXPECT_NE(event.label, "120");
    }
    ASSERT_EQ(chart.alarm.has_value(), c.alarm != 0);
    if (chart.alarm) {
      EXPECT_EQ(chart.alarm->label.substr(0, 3), "A10");
      EXPECT_LT(chart.alarm->minutes, chart.pressure.points.back().minutes);
    }
  }
}

TEST(CycleChart, ARecordWithoutSamplesStillHasScales) {
  const testing::Record empty;
  const CycleChart chart = cycleChart(
      decodeCycleRecord(empty.DeviceHeader, empty.CycleData).value(), testing::english(','));
  for (const ChartScale& scale : {chart.time, chart.temperature, chart.pressureScale}) {
    EXPECT_GT(scale.maximum, scale.minimum);
    EXPECT_GT(scale.step, 0);
  }
  EXPECT_EQ(chart.temperatures.size(), 1u);  // PT1 stays
}

// A small PDF as a writer leaves it: an information dictionary first, a
// classic cross-reference table, a trailer naming both.
std::string smallPdf() {
  const std::vector<std::string> objects = {
      "1 0 obj\n<<\n/Title (x)\n>>\nendobj\n",
      "2 0 obj\n<< /Type /Catalog /Pages 3 0 R >>\nendobj\n",
      "3 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n",
  };
  std::string pdf = "%PDF-1.4\n";
  std::ostringstream table;
  table << "xref\n0 4\n0000000000 65535 f \n";
  for (const std::string& object : objects) {
    table << std::string(10 - std::to_string(pdf.size()).size(), '0') << pdf.size()
          << " 00000 n \n";
    pdf += object;
  }
  const std::size_t xref = pdf.size();
  return pdf + table.str() + "trailer\n<<\n/Size 4\n/Info 1 0 R\n/Root 2 0 R\n>>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
}

TEST(PdfDocumentInformation, CycleNumbersTakeAllThreeBytesOfTheirCounters) {
  CycleRequest request;
  request.cycleNumber = 0x10203;         // 66051
  request.cyclesSinceService = 0x20001;  // 131073
  const PdfDocumentInfo info = reportDocumentInfo("c.dtl", testing::generatedFile(request), "ab");
  EXPECT_EQ(info.keywords, "c.dtl, cycle 131073/66051, sha256:ab");
  // A value of two bytes starts no later than one byte before the end.
  EXPECT_EQ(value16("\x01\x02", 1), 0x0201);
  EXPECT_EQ(value16("\x01\x02", 2), std::nullopt);
}

TEST(PdfDocumentInformation, NewDictionaryKeepsEveryOffsetRight) {
  std::string pdf = smallPdf();
  PdfDocumentInfo info{"f.dtl", "Cycle \xC2\xB0", "sha256:ab", "Vestrim"};
  ASSERT_TRUE(setDocumentInformation(pdf, info, "Qt", {2025, 3, 14, 10, 5, 9}));
  EXPECT_NE(pdf.find("/Subject <FEFF004300790063006C0065002000B0>"), std::string::npos);
  EXPECT_NE(pdf.find("/CreationDate (D:20250314100509Z)"), std::string::npos);
  const std::size_t xref = std::stoul(pdf.substr(pdf.rfind("startxref") + 10));
  ASSERT_EQ(pdf.compare(xref, 4, "xref"), 0);
  for (int object = 1; object <= 3; ++object) {
    const std::size_t offset = std::stoul(pdf.substr(xref + 10 + 20 * object, 10));
    EXPECT_EQ(pdf.compare(offset, 7, std::to_string(object) + " 0 obj"), 0) << object;
  }
  // A file built otherwise is left as it was.
  std::string other = smallPdf();
  other.replace(other.find("/Info 1 0 R"), 11, "/Info 9 0 R");
  const std::string before = other;
  EXPECT_FALSE(setDocumentInformation(other, info, "Qt", {}));
  EXPECT_EQ(other, before);
}

}  // namespace
}  // namespace vestrim::reports
