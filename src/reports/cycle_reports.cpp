#include "reports/cycle_reports.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "reports/cycle_record.h"
#include "reports/probe_columns.h"

namespace vestrim::reports {
namespace {

// Column widths the labels are padded to.
constexpr std::size_t kLabelWidth = 30;
constexpr std::size_t kAlarmLabelWidth = 26;
constexpr std::size_t kColumnLabelWidth = 12;

// Captions (LanguageTexts) the reports place.
enum Caption : std::size_t {
  kMachineLabel = 321,
  kProgramLabel = 322,
  kSerialLabel = 323,
  kCycleNumberLabel = 324,
  kCycleLabel = 325,
  kTemperatureLabel = 326,
  kPressureLabel = 327,
  kTimeLabel = 328,
  kWaterLabel = 329,
  kInternalTank = 330,
  kMainsWater = 331,
  kDemineralisedWater = 332,
  kStartModeLabel = 333,
  kManualStart = 334,
  kDelayedStart = 335,
  kFinalPhaseLabel = 336,
  kNaturalCooling = 337,
  kForcedCooling = 338,
  kStartLabel = 339,
  kColumnLabel = 340,
  kResultLabel = 341,
  kPassed = 342,
  kFailed = 343,
  kAlarmLabel = 344,
  kActionLabel = 345,
  kEndDateLabel = 346,
  kEndTimeLabel = 347,
  kAlarmNotice = 348,
  kAlarmAdvice = 349,
  kSignature = 350,
  kCycleOfDayLabel = 351,
  kEndLabel = 352,
  kFastNotice = 353,
  kFastAdvice = 354,
  kKeepNotice = 355,
  kKeepAdvice = 356,
  kTestLabel = 357,
  kTestResultLabel = 358,
};

// First entries of the message ranges (LanguageMessages).
constexpr std::size_t kCycleNames = 50;
constexpr std::size_t kFinalPhases = 66;
constexpr std::size_t kAlarmTexts = 100;
constexpr std::size_t kAlarmActions = 200;
constexpr std::size_t kPhaseNames = 200;
constexpr std::size_t kEventNames = 401;

// The record code that ends a cycle, never shown in the compact reports,
// and the first phase they show (the first pre-vacuum).
constexpr int kCycleEndCode = 177;
constexpr int kFirstShownPhase = 163;

// The event name of the periodic sample.
constexpr std::string_view kSampleName = "120";

// Phases after which the full report leaves a blank line.
constexpr std::array<std::string_view, 8> kPhasesWithBlankLine = {"1PV", "3PV", "ET ", "SE ",
                                                                  "DS ", "SPD", "EPD", "DE "};

const std::string kDashes(45, '-');
const std::string kDots(45, '.');
const std::string kFullColumns = "PT1    P      PT2    PT3    PT4 ";
const std::string kCompactColumns = std::string("     ") + kDegreeSign + "C      Bar  ";
const std::string kVacuumColumns = std::string("       ") + kDegreeSign + "C       Bar  ";

// What the cycle type byte (position 77) says.
struct CycleType {
  int CycleCode = 0;  // bits 0-3
  int mode = 0;       // bits 4-5
  bool bit6 = false;
  bool bit7 = false;
};

// Minutes and seconds of a shown time ("mm:ss"), read as the first two and
// the fourth and fifth characters: meant for times below 100 minutes.
int minutesOf(const std::string& time) {
  return leadingNumber(std::string_view(time).substr(0, 2));
}
int secondsOf(const std::string& time) {
  return time.size() > 3 ? leadingNumber(std::string_view(time).substr(3, 2)) : 0;
}

// One sample record, read as far as a report needs it.
class Sample {
 public:
  Sample(const PositionReader& data, std::size_t start) : data_(data), start_(start) {
    // A trailing part of 2 to 12 bytes starts a record that runs past the end.
    if (start + kSampleLength - 1 > data.size()) {
      throw ReportFailure("the record at position " + std::to_string(start) + " is cut short");
    }
    time_ = elapsedText(data.value16(start));
    code_ = data.byte(start + 2);
  }

  const std::string& time() const { return time_; }
  int code() const { return code_; }
  bool isEvent() const { return code_ < kFirstPhaseCode; }
  int probe(int number) const { return data_.value16(start_ + 3 + 2 * (number - 1)); }
  // Hundredths of a bar: the stored value less 100.
  int pressure() const { return data_.value16(start_ + 11) - 100; }

 private:
  const PositionReader& data_;
  std::size_t start_;
  std::string time_;
  int code_ = 0;
};

// Shared by the four cycle reports: reads and the lines they have in common.
class CycleWriter {
 public:
  CycleWriter(ReportList& list, const std::string& DeviceHeader, const std::string& CycleData,
              const ReportLanguage& language)
      : list_(list),
        header_(DeviceHeader, "DeviceHeader"),
        data_(CycleData, "CycleData"),
        language_(language) {}

  ReportList& list() { return list_; }
  const PositionReader& data() const { return data_; }
  char separator() const { return language_.decimalSeparator; }

  const std::string& text(std::size_t number) const { return languageText(language_, number); }
  const std::string& messageText(std::size_t number) const { return message(language_, number); }
  std::string label(std::size_t number, std::size_t width) const {
    return padded(text(number), width);
  }

  CycleType cycleType() const {
    const int type = data_.byte(77);
    return {type & 0x0F, (type >> 4) & 0x03, (type & 0x40) != 0, (type & 0x80) != 0};
  }

  std::string date(std::size_t position) const {
    return twoDigits(data_.byte(position)) + "/" + twoDigits(data_.byte(position + 1)) + "/" +
           yearText(data_.byte(position + 2));
  }
  std::string clock(std::size_t position) const {
    return twoDigits(data_.byte(position)) + ":" + twoDigits(data_.byte(position + 1));
  }
  std::string startDate() const { return date(67); }
  std::string startTime() const { return clock(65); }
  std::string endDate() const { return date(72); }
  std::string endTime() const { return clock(70); }

  std::string temperature(int tenths) const { return temperatureText(tenths, separator()); }
  std::string pressure(int hundredths) const { return pressureText(hundredths, separator()); }

  // Result texts: the alarm footers test position 87 (0 = good), the other
  // footers position 19 (not 0 = good).
  const std::string& resultByPosition87() const {
    return text(data_.byte(87) == 0 ? kPassed : kFailed);
  }
  const std::string& resultByPosition19() const {
    return text(data_.byte(19) != 0 ? kPassed : kFailed);
  }

  // The time of the maximum or minimum, a word and the temperature.
  std::string extremeLine(std::size_t valuePosition, const char* word) const {
    return elapsedText(data_.value16(valuePosition + 2)) + word +
           temperature(data_.value16(valuePosition));
  }

  // Whether an event is a periodic sample: its name reads "120" and the
  // next event's does not. Both names are looked up, so an event code of
  // 122 or more has no next name and fails.
  bool isPeriodicSample(int code) const {
    const bool sample = messageText(kEventNames + static_cast<std::size_t>(code)) == kSampleName;
    const bool next = messageText(kEventNames + 1 + static_cast<std::size_t>(code)) == kSampleName;
    return sample && !next;
  }

  // Lines 1 to 5 of every cycle report: machine, program, serial number,
  // cycle numbers and a blank line.
  void identityLines() {
    list_.set(1, label(kMachineLabel, kLabelWidth) + data_.text(1, 20));
    list_.set(2, label(kProgramLabel, kLabelWidth) + data_.text(21, 20));
    list_.set(3, label(kSerialLabel, kLabelWidth) + "E" + data_.text(42, 20));
    list_.set(4, label(kCycleNumberLabel, kLabelWidth) + fiveDigits(header_.value24(63)) + "/" +
                     fiveDigits(header_.value24(60)));
    list_.set(5, " ");
  }

  // The header of the full and compact reports, up to the dashes under the
  // column header. Returns the line of the first record.
  std::size_t cycleHeader(const std::string& columnHeadings) {
    const CycleType type = cycleType();
    const bool fast = type.CycleCode == kFastCycle;
    list_.create(fast ? 16 : 20);
    identityLines();
    const std::string& name = messageText(kCycleNames + static_cast<std::size_t>(type.CycleCode));
    const std::string temperatureDigits = name.substr(0, 3);
    list_.set(6, label(kCycleLabel, kLabelWidth) + name);
    list_.set(7, label(kTemperatureLabel, kLabelWidth) +
                     (fast ? std::string("134") : temperatureDigits) + kDegreeSign + "C");
    list_.set(8, label(kPressureLabel, kLabelWidth) +
                     (fast || temperatureDigits == "134" ? "2.10 bar" : "1.10 bar"));
    const int holding = data_.byte(86);
    list_.set(9, label(kTimeLabel, kLabelWidth) +
                     (fast ? plainTenths(holding, separator()) : std::to_string(holding)) + " min");
    list_.set(10, " ");
    if (!fast) {
      const int options = header_.byte(66);
      list_.set(11,
                label(kWaterLabel, kLabelWidth) + text((options & 4) == 0   ? kInternalTank
                                                       : (options & 2) == 0 ? kMainsWater
                                                                            : kDemineralisedWater));
      list_.set(
          12, label(kStartModeLabel, kLabelWidth) + text(type.bit7 ? kDelayedStart : kManualStart));
      std::optional<std::string> finalPhase;
      if (type.mode != 0) {
        finalPhase = messageText(kFinalPhases + static_cast<std::size_t>(type.mode));
      } else if (type.CycleCode < 10) {
        finalPhase = messageText(kFinalPhases);
      } else if (type.CycleCode == 10 || type.CycleCode == 11) {
        finalPhase = text(type.bit6 ? kForcedCooling : kNaturalCooling);
      }
      if (finalPhase) {
        std::string line = label(kFinalPhaseLabel, kLabelWidth) + *finalPhase;
        if (type.mode == 3) {
          line += " +" + std::to_string(data_.byte(88));
        }
        list_.set(13, line);
      }
      list_.set(14, " ");
    }
    const std::size_t d = fast ? 11 : 15;
    list_.set(d, label(kStartLabel, kLabelWidth) + startDate());
    list_.set(d + 1, std::string(30, ' ') + startTime());
    list_.set(d + 2, " ");
    list_.set(d + 3, " ");
    list_.set(d + 4, padded(text(kColumnLabel), kColumnLabelWidth) + columnHeadings);
    list_.set(d + 5, kDashes);
    return d + 6;
  }

  // Adds one item at `line` with `text`.
  void append(std::size_t line, std::string text) {
    list_.create(1);
    list_.set(line, std::move(text));
  }

  // Creates `count` items from `first` on and fills them in order.
  void footer(std::size_t first, std::initializer_list<std::string> lines) {
    list_.create(lines.size());
    std::size_t line = first;
    for (const std::string& text : lines) {
      list_.set(line++, text);
    }
  }

 private:
  ReportList& list_;
  PositionReader header_;
  PositionReader data_;
  const ReportLanguage& language_;
};

std::string blanks(std::size_t count) {
  return std::string(count, ' ');
}

// The footer of a cycle that ended in an alarm, in the full report and the
// vacuum test's full report: the result, the alarm's two texts, the end,
// the notice and the signature. The two differ in their result label and in
// the widths of their labels and blank lines.
void alarmFooter(CycleWriter& writer, std::size_t first, std::size_t resultLabel,
                 std::size_t labelWidth, std::size_t blankWidth) {
  const auto alarm = static_cast<std::size_t>(writer.data().byte(75));
  const std::string blank = blanks(blankWidth);
  writer.footer(first,
                {" ",
                 " ",
                 " ",
                 " ",
                 writer.label(resultLabel, labelWidth) + writer.resultByPosition87(),
                 " ",
                 writer.label(kAlarmLabel, labelWidth) + writer.messageText(kAlarmTexts + alarm),
                 writer.label(kActionLabel, labelWidth) + writer.messageText(kAlarmActions + alarm),
                 writer.label(kEndDateLabel, labelWidth) + writer.endDate(),
                 writer.label(kEndTimeLabel, labelWidth) + writer.endTime(),
                 blank,
                 blank,
                 centred(writer.text(kAlarmNotice)),
                 centred(writer.text(kAlarmAdvice)),
                 blank,
                 blank,
                 blank,
                 centred(writer.text(kSignature)),
                 blank,
                 blank,
                 kDots});
}

bool addsBlankLine(const std::string& phaseName) {
  return std::find(kPhasesWithBlankLine.begin(), kPhasesWithBlankLine.end(), phaseName) !=
         kPhasesWithBlankLine.end();
}

// The record lines of the full report. Returns the line after the last.
std::size_t fullRecords(CycleWriter& writer, const std::string& CycleData, std::size_t line) {
  for (const std::size_t start : recordPositions(CycleData)) {
    const Sample sample(writer.data(), start);
    const auto code = static_cast<std::size_t>(sample.code());
    const std::string& name =
        writer.messageText(sample.isEvent() ? kEventNames + code : kPhaseNames + code);
    writer.append(line++, sample.time() + "  " + name + "  " + writer.temperature(sample.probe(1)) +
                              "  " + writer.pressure(sample.pressure()) + "  " +
                              writer.temperature(sample.probe(2)) + "  " +
                              writer.temperature(sample.probe(3)) + "  " +
                              writer.temperature(sample.probe(4)));
    if (!sample.isEvent() && addsBlankLine(name)) {
      writer.append(line++, " ");
    }
  }
  return line;
}

// Record lines of the compact report: phases from the first pre-vacuum on,
// and the periodic samples at most once a minute after the last line shown.
std::size_t compactRecords(CycleWriter& writer, const std::string& CycleData, std::size_t line) {
  std::string lastShown;  // "mm:ss" of the last line written; empty before the first
  for (const std::size_t start : recordPositions(CycleData)) {
    const Sample sample(writer.data(), start);
    const std::string& time = sample.time();
    std::string name;
    if (sample.code() == kCycleEndCode) {
      continue;
    }
    if (sample.isEvent()) {
      if (!writer.isPeriodicSample(sample.code())) {
        continue;
      }
      if (!lastShown.empty()) {
        const int next = minutesOf(lastShown) + 1;
        const bool minuteLater =
            next < minutesOf(time) ||
            (next == minutesOf(time) && secondsOf(lastShown) <= secondsOf(time));
        if (!minuteLater) {
          continue;
        }
      }
      name = "   ";
    } else if (sample.code() < kFirstShownPhase) {
      continue;
    } else {
      name = writer.messageText(kPhaseNames + static_cast<std::size_t>(sample.code()));
    }
    std::string text = time + "    " + name + "    " + writer.temperature(sample.probe(1)) + "   " +
                       writer.pressure(sample.pressure());
    lastShown = text.substr(0, 5);
    writer.append(line++, std::move(text));
  }
  return line;
}

// Record lines of the vacuum test reports: as the compact report's, but a
// phase line does not count as the last shown time, and a sample is shown
// once its minute is past that of the last shown sample. The full vacuum
// report gives the first sample's name column three blanks and every later
// one four.
std::size_t vacuumRecords(CycleWriter& writer, const std::string& CycleData, std::size_t line,
                          bool full) {
  std::string lastEvent;  // "mm:ss" of the last sample line written
  for (const std::size_t start : recordPositions(CycleData)) {
    const Sample sample(writer.data(), start);
    const std::string& time = sample.time();
    std::string name;
    if (sample.code() == kCycleEndCode) {
      continue;
    }
    if (sample.isEvent()) {
      if (!writer.isPeriodicSample(sample.code())) {
        continue;
      }
      if (!lastEvent.empty() && minutesOf(lastEvent) + 1 > minutesOf(time)) {
        continue;
      }
      name = full && lastEvent.empty() ? "   " : "    ";
    } else if (sample.code() < kFirstShownPhase) {
      continue;
    } else {
      name = writer.messageText(kPhaseNames + static_cast<std::size_t>(sample.code()));
    }
    std::string text = time + "     " + name + "     " + writer.temperature(sample.probe(1)) +
                       "    " + writer.pressure(sample.pressure());
    if (sample.isEvent()) {
      lastEvent = text.substr(0, 5);
    }
    writer.append(line++, std::move(text));
  }
  return line;
}

// The vacuum test header: lines 1 to 5 of the cycle reports, the test's
// name, its start and the column header. Returns the first record line.
std::size_t vacuumHeader(CycleWriter& writer) {
  const CycleType type = writer.cycleType();
  ReportList& list = writer.list();
  list.create(13);
  writer.identityLines();
  list.set(6, writer.label(kTestLabel, kLabelWidth) +
                  writer.messageText(kCycleNames + static_cast<std::size_t>(type.CycleCode)));
  list.set(7, " ");
  list.set(8, writer.label(kStartLabel, kLabelWidth) + writer.startDate());
  list.set(9, blanks(30) + writer.startTime());
  list.set(10, " ");
  list.set(11, " ");
  list.set(12, padded(writer.text(kColumnLabel), kColumnLabelWidth) + kVacuumColumns);
  list.set(13, kDashes);
  return 14;
}

}  // namespace

Report FullView(const std::string& DeviceHeader, const std::string& CycleData, bool HasAlarm,
                const ReportLanguage& language) {
  return buildReport([&](ReportList& list) {
    CycleWriter writer(list, DeviceHeader, CycleData, language);
    const bool fast = writer.cycleType().CycleCode == kFastCycle;
    const std::size_t first = writer.cycleHeader(kFullColumns);
    const std::size_t l = fullRecords(writer, CycleData, first);
    const PositionReader& data = writer.data();
    if (HasAlarm) {
      alarmFooter(writer, l, kResultLabel, kAlarmLabelWidth, 45);
    } else {
      writer.footer(l,
                    {" ",
                     " ",
                     " ",
                     " ",
                     writer.extremeLine(78, " MAX "),
                     writer.extremeLine(82, " MIN "),
                     blanks(46),
                     " ",
                     writer.label(kCycleOfDayLabel, kLabelWidth) + twoDigits(data.byte(76) + 1),
                     writer.label(kEndLabel, kLabelWidth) + writer.endDate(),
                     blanks(30) + writer.endTime(),
                     blanks(45),
                     blanks(45),
                     fast ? centred(writer.text(kFastNotice))
                          : writer.label(kResultLabel, kLabelWidth) + writer.resultByPosition19(),
                     blanks(45),
                     fast ? centred(writer.text(kFastAdvice)) : blanks(45),
                     blanks(45),
                     centred(writer.text(kSignature)),
                     blanks(45),
                     blanks(45),
                     kDots,
                     blanks(45),
                     centred(writer.text(kKeepNotice)),
                     centred(writer.text(kKeepAdvice))});
    }
    std::vector<std::string>& lines = list.items();
    // The full report's lines were held in a table of 255-character lines.
    for (const std::string& line : lines) {
      if (line.size() > 255) {
        throw ReportFailure("a line of the full report is longer than 255 characters");
      }
    }
    const ProbeColumns columns = findProbeColumns(lines, language.decimalSeparator);
    if (columns.header != 0 && columns.absent) {
      for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = withoutProbeColumns(lines[i], i + 1, columns);
      }
    }
  });
}

Report LittleView(const std::string& DeviceHeader, const std::string& CycleData,
                  const ReportLanguage& language) {
  return buildReport([&](ReportList& list) {
    CycleWriter writer(list, DeviceHeader, CycleData, language);
    const bool fast = writer.cycleType().CycleCode == kFastCycle;
    const std::size_t first = writer.cycleHeader(kCompactColumns);
    const std::size_t l = compactRecords(writer, CycleData, first);
    writer.footer(
        l, {" ",
            " ",
            writer.extremeLine(78, " MAX "),
            writer.extremeLine(82, " MIN "),
            " ",
            " ",
            writer.label(kCycleOfDayLabel, kLabelWidth) + twoDigits(writer.data().byte(76) + 1),
            writer.label(kEndLabel, kLabelWidth) + writer.endDate(),
            blanks(30) + writer.endTime(),
            " ",
            " ",
            " ",
            fast ? centred(writer.text(kFastNotice))
                 : writer.label(kResultLabel, kLabelWidth) + writer.resultByPosition19(),
            fast ? blanks(30) : blanks(31),
            fast ? centred(writer.text(kFastAdvice)) : blanks(31),
            blanks(31),
            blanks(31),
            centred(writer.text(kSignature)),
            blanks(31),
            blanks(31),
            kDots});
  });
}

Report VacumTestFullView(const std::string& DeviceHeader, const std::string& CycleData,
                         const ReportLanguage& language) {
  return buildReport([&](ReportList& list) {
    CycleWriter writer(list, DeviceHeader, CycleData, language);
    const std::size_t first = vacuumHeader(writer);
    const std::size_t l = vacuumRecords(writer, CycleData, first, true);
    alarmFooter(writer, l, kTestResultLabel, kLabelWidth, 31);
  });
}

Report VacumTestLittleView(const std::string& DeviceHeader, const std::string& CycleData,
                           const ReportLanguage& language) {
  return buildReport([&](ReportList& list) {
    CycleWriter writer(list, DeviceHeader, CycleData, language);
    const std::size_t first = vacuumHeader(writer);
    const std::size_t l = vacuumRecords(writer, CycleData, first, false);
    writer.footer(l, {" ", " ", " ", " ", writer.label(kEndLabel, kLabelWidth) + writer.endDate(),
                      blanks(30) + writer.endTime(), " ", " ",
                      writer.label(kTestResultLabel, kLabelWidth) + writer.resultByPosition19(),
                      blanks(31), blanks(31), blanks(31), centred(writer.text(kSignature)),
                      blanks(31), blanks(31), kDots});
  });
}

}  // namespace vestrim::reports
