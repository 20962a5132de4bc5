#include "reports/cycle_record.h"

namespace vestrim::reports {
namespace {

int at(const std::string& text, std::size_t position) {
  return static_cast<unsigned char>(text[position - 1]);
}

int value24(const std::string& text, std::size_t position) {
  return at(text, position) | at(text, position + 1) << 8 | at(text, position + 2) << 16;
}

DateTimeFields dateTimeAt(const std::string& data, std::size_t position) {
  return {at(data, position), at(data, position + 1), at(data, position + 2),
          at(data, position + 3), at(data, position + 4)};
}

bool fail(std::string* error, const std::string& why) {
  if (error != nullptr) {
    *error = why;
  }
  return false;
}

}  // namespace

std::optional<int> value16(const std::string& data, std::size_t position) {
  if (position < 1 || position + 1 > data.size()) {
    return std::nullopt;
  }
  const int high = at(data, position + 1);
  if (high >= 128) {
    return std::nullopt;
  }
  return high * 256 + at(data, position);
}

std::vector<std::size_t> recordPositions(const std::string& CycleData) {
  std::vector<std::size_t> positions;
  for (std::size_t start = kSummaryLength + 1; start + 1 <= CycleData.size();
       start += kSampleLength) {
    positions.push_back(start);
  }
  return positions;
}

std::optional<CycleRecord> decodeCycleRecord(const std::string& DeviceHeader,
                                             const std::string& CycleData, std::string* error) {
  if (DeviceHeader.size() < 66 || CycleData.size() < kSummaryLength) {
    fail(error, "the record is shorter than its header and summary");
    return std::nullopt;
  }
  CycleRecord record;
  record.header = {value24(DeviceHeader, 60), value24(DeviceHeader, 63),
                   static_cast<std::uint8_t>(at(DeviceHeader, 66))};

  CycleSummary& s = record.summary;
  s.text1 = CycleData.substr(0, 20);
  s.text2 = CycleData.substr(20, 20);
  s.text3 = CycleData.substr(41, 20);
  s.start = dateTimeAt(CycleData, 65);
  s.end = dateTimeAt(CycleData, 70);
  s.alarmCode = at(CycleData, 75);
  s.counter = at(CycleData, 76);
  s.cycleType = static_cast<std::uint8_t>(at(CycleData, 77));
  s.CycleCode = s.cycleType & 0x0F;
  s.mode = (s.cycleType >> 4) & 0x03;
  s.flag6 = (s.cycleType & 0x40) != 0;
  s.flag7 = (s.cycleType & 0x80) != 0;
  int* sixteen[] = {&s.maximumTemperature, &s.maximumTime, &s.minimumTemperature, &s.minimumTime};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::optional<int> value = value16(CycleData, 78 + 2 * i);
    if (!value) {
      fail(error, "a summary value at position " + std::to_string(78 + 2 * i) + " is out of range");
      return std::nullopt;
    }
    *sixteen[i] = *value;
  }
  s.sterilisationTime = at(CycleData, 86);
  s.result = at(CycleData, 87);
  s.line13Number = at(CycleData, 88);

  for (const std::size_t start : recordPositions(CycleData)) {
    if (start + kSampleLength - 1 > CycleData.size()) {
      fail(error, "the last record is cut short");
      return std::nullopt;
    }
    SampleRecord sample;
    std::optional<int> values[6] = {value16(CycleData, start),     value16(CycleData, start + 3),
                                    value16(CycleData, start + 5), value16(CycleData, start + 7),
                                    value16(CycleData, start + 9), value16(CycleData, start + 11)};
    for (const auto& value : values) {
      if (!value) {
        fail(error,
             "a value of the record at position " + std::to_string(start) + " is out of range");
        return std::nullopt;
      }
    }
    sample.elapsedSeconds = *values[0];
    if (sample.elapsedSeconds / 60 > 255) {
      fail(error, "an elapsed time reaches 256 minutes");
      return std::nullopt;
    }
    sample.code = static_cast<std::uint8_t>(at(CycleData, start + 2));
    for (std::size_t probe = 0; probe < 4; ++probe) {
      sample.pt[probe] = *values[probe + 1];
    }
    sample.pressure = *values[5] - 100;
    record.samples.push_back(sample);
  }
  return record;
}

}  // namespace vestrim::reports
