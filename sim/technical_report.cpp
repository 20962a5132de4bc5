#include "sim/technical_report.h"

#include <array>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "sim/content_random.h"

namespace devsim::content {

namespace {

constexpr std::size_t kHeaderSize = 166;
constexpr int kLineWidth = 42;

std::string twoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

std::string fiveDigits(std::uint32_t value) {
  std::string text = std::to_string(value % 100000);
  return std::string(5 - text.size(), '0') + text;
}

std::string date(const Stamp& stamp, int century) {
  return twoDigits(stamp.day) + "/" + twoDigits(stamp.month) + "/" + twoDigits(century) +
         twoDigits(stamp.year);
}

std::string clock(const Stamp& stamp) {
  return twoDigits(stamp.hour) + ":" + twoDigits(stamp.minute);
}

std::string fixed(double value, int decimals) {
  char buffer[32];
  if (decimals == 1) {
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
  }
  return buffer;
}

std::string signedFixed(double value) {
  return (value >= 0.0 ? "+" : "") + fixed(value, 1);
}

std::string celsius(double value) {
  return fixed(value, 1) + kBoardDegreeSign + "C";
}

std::string padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// "label...value...result" on one line of the report's width.
std::string row(const std::string& label, const std::string& value, const std::string& result) {
  std::string line = padded(label, 21) + value;
  if (line.size() + 1 + result.size() < static_cast<std::size_t>(kLineWidth)) {
    line.resize(kLineWidth - result.size(), ' ');
  } else {
    line += ' ';
  }
  return line + result;
}

class ReportText {
 public:
  void line(const std::string& text) { text_ += text + "\r\n"; }
  void rule() { line(std::string(kLineWidth, '-')); }
  const std::string& text() const { return text_; }
  std::string& raw() { return text_; }

 private:
  std::string text_;
};

// The opening lines put the date and the time where the board's readers look for them.
void opening(ReportText& out, const TechnicalReportRequest& request) {
  out.line("SERVICE REPORT");
  out.line("Date " + date(request.when, request.century));
  out.line(padded("Engineer " + request.engineer, 23));
  out.line("Time " + clock(request.when));
  const std::string& text = out.text();
  if (text.compare(kReportDateOffset - kReportTextOffset, 10,
                   date(request.when, request.century)) != 0 ||
      text.compare(kReportTimeOffset - kReportTextOffset, 5, clock(request.when)) != 0) {
    throw std::logic_error("technical report opening misplaces its date or time");
  }
}

void identity(ReportText& out, const Machine& machine, const TechnicalReportRequest& request,
              std::uint32_t cyclesBefore) {
  out.line("Customer  " + request.customer);
  out.line("Machine   " + machine.model);
  out.line("Serial    E" + machine.serial);
  out.line("Firmware  " + machine.firmware);
  out.line("Cycles    " + fiveDigits(request.cycleNumber) + " (" + fiveDigits(cyclesBefore) +
           " since service)");
}

void maintenance(ReportText& out, const TechnicalReportRequest& request, Rng& rng) {
  out.line("Visit     Scheduled maintenance");
  out.rule();
  out.line(row("Door gasket", "cleaned", "OK"));
  out.line(row("Door lock switch", "checked", "OK"));
  out.line(row("Bacteria filter", "replaced", "OK"));
  out.line(row("Dust filter", "cleaned", "OK"));
  out.line(row("Clean water tank", "drained, washed", "OK"));
  out.line(row("Waste water tank", "drained, washed", "OK"));
  out.line(row("Steam generator", "descaled", "OK"));
  out.line(row("Safety valve", "opens " + fixed(rng.uniform(2.48, 2.62), 2) + " bar", "OK"));
  const int pumpSeconds = rng.between(140, 190);
  out.line(row("Vacuum pump",
               fixed(-rng.uniform(0.87, 0.91), 2) + " bar " + std::to_string(pumpSeconds / 60) +
                   "m" + twoDigits(pumpSeconds % 60) + "s",
               "OK"));
  out.line(row("Leak rate", fixed(rng.uniform(0.4, 1.0), 1) + " mbar/min", "OK"));
  out.line(
      row("PT1 at " + celsius(134.0), "reads " + celsius(134.0 + rng.between(-3, 3) / 10.0), "OK"));
  out.line(row("Pressure at 2.10 bar",
               "reads " + fixed(2.10 + rng.between(-2, 2) / 100.0, 2) + " bar", "OK"));
  out.line(row("Printer", "test page", "OK"));
  out.rule();
  out.line(row("Test cycle", "134 WRAPPED", "PASSED"));
  out.line("Service counter reset to 00000");
  Stamp due = request.when;
  due.month = (due.month + 5) % 12 + 1;  // six months on
  due.year = request.when.month > 6 ? (due.year + 1) % 100 : due.year;
  due.day = std::min(due.day, 28);
  out.line("Next maintenance due " + date(due, request.century));
  out.line("or after 500 cycles, whichever first");
}

void calibration(ReportText& out, Rng& rng) {
  out.line("Visit     Probe calibration check");
  out.line("Reference thermometer RT-200 no. " + std::to_string(rng.between(1000, 9999)));
  out.rule();
  out.line("Probe  Reference  Reading    Error  Result");
  for (const double reference : {121.0, 134.0}) {
    for (int probe = 1; probe <= 4; ++probe) {
      const double error = rng.between(-4, 4) / 10.0;
      out.line("PT" + std::to_string(probe) + "    " + celsius(reference) + "    " +
               celsius(reference + error) + "    " + signedFixed(error) + "   OK");
    }
  }
  for (const double reference : {1.10, 2.10}) {
    const double reading = reference + rng.between(-2, 2) / 100.0;
    out.line("P      " + fixed(reference, 2) + " bar   " + fixed(reading, 2) + " bar   " +
             (reading >= reference ? "+" : "") + fixed(reading - reference, 2) + "  OK");
  }
  out.rule();
  out.line("All probes within +/-0.5" + std::string(1, kBoardDegreeSign) + "C, no adjustment");
  out.line(row("Test cycle", "121 WRAPPED", "PASSED"));
}

void repair(ReportText& out, const TechnicalReportRequest& request, Rng& rng) {
  out.line("Visit     Breakdown call");
  out.line("Alarm     A" + twoDigits(request.alarmCode) + " in cycle " +
           fiveDigits(request.alarmCycle));
  out.line("          " + date(request.alarmTime, request.century) + " " +
           clock(request.alarmTime));
  out.rule();
  const bool steam = request.alarmCode == 10 || request.alarmCode == 12;
  if (steam) {
    out.line("Found     generator heater element open");
    out.line("          circuit, steam output too low");
    out.line("          to hold the plateau");
    out.line("Done      heater element replaced");
    out.line("          generator descaled, level probe");
    out.line("          cleaned");
  } else {
    out.line("Found     fault could not be reproduced");
    out.line("Done      control board connections");
    out.line("          checked and reseated");
  }
  out.rule();
  out.line(row("Generator heater", fixed(rng.uniform(25.0, 29.0), 1) + " ohm", "OK"));
  out.line(row("Vacuum test", fixed(rng.uniform(0.4, 1.0), 1) + " mbar/min", "OK"));
  out.line(row("Test cycle", "134 WRAPPED", "PASSED"));
  out.line(row("Plateau",
               celsius(134.0 + rng.between(6, 12) / 10.0) + " to " +
                   celsius(134.0 + rng.between(16, 22) / 10.0),
               "OK"));
  out.line("Machine returned to service");
}

}  // namespace

GeneratedReport generateTechnicalReport(const Machine& machine,
                                        const TechnicalReportRequest& request) {
  if (request.century < 0 || request.century > 99 || request.when.year < 0 ||
      request.when.year > 99 || request.when.month < 1 || request.when.month > 12 ||
      request.when.day < 1 || request.when.day > 31 || request.when.hour < 0 ||
      request.when.hour > 23 || request.when.minute < 0 || request.when.minute > 59) {
    throw std::invalid_argument("technical report date or time out of range");
  }
  Rng rng(request.seed);
  ReportText out;
  opening(out, request);
  identity(out, machine, request, request.cyclesSinceService);
  switch (request.visit) {
    case ServiceVisit::Maintenance:
      maintenance(out, request, rng);
      break;
    case ServiceVisit::Calibration:
      calibration(out, rng);
      break;
    case ServiceVisit::Repair:
      repair(out, request, rng);
      break;
  }
  out.rule();
  out.line("Engineer signature");
  out.line("");
  out.line("Customer signature");

  GeneratedReport report;
  report.fileCode = "TRSERV" + fiveDigits(request.reportNumber);
  report.text = out.text();

  Bytes& file = report.bytes;
  file.assign(kReportTextOffset, 0x00);
  std::fill(file.begin(), file.begin() + 32, std::uint8_t{0xFF});
  for (std::size_t i = 0; i < 16; ++i) {
    file[32 + i] = i < report.fileCode.size() ? static_cast<std::uint8_t>(report.fileCode[i]) : 0;
  }
  file[48] = kTechnicalReportFileType;
  // A maintenance visit resets the service counter.
  const std::uint32_t sinceService =
      request.visit == ServiceVisit::Maintenance ? 0 : request.cyclesSinceService;
  for (std::size_t i = 0; i < 3; ++i) {
    file[59 + i] = static_cast<std::uint8_t>(request.cycleNumber >> (8 * i));
    file[62 + i] = static_cast<std::uint8_t>(sinceService >> (8 * i));
  }
  file[65] = machine.options;
  const auto put = [&](std::size_t offset, const std::string& text) {
    for (std::size_t i = 0; i < 20; ++i) {
      file[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
    }
  };
  put(76, machine.model.substr(0, 18));
  put(96, "SERVICE");
  put(117, machine.serial.substr(0, 20));
  for (const char c : report.text) {
    file.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) + 100));
  }
  if (file.size() < kHeaderSize) {
    throw std::logic_error("technical report shorter than its header record");
  }
  return report;
}

}  // namespace devsim::content
