#include "report_fixtures.h"

#include <filesystem>

#include "shell/language_files.h"
#include "sim/technical_report.h"
#include "transfer/seal.h"

namespace vestrim::reports::testing {
namespace {

struct English {
  English() {
    const std::filesystem::path file = std::filesystem::path(VESTRIM_LANG_DIR) / "English.lng";
    shell::LoadLanguageTexts(file, texts);
    shell::LoadLanguageMessages(file, messages);
  }
  shell::LanguageTexts texts;
  shell::LanguageMessages messages;
};

const English& loaded() {
  static const English tables;
  return tables;
}

void put16(std::string& text, std::size_t position, int value) {
  text[position - 1] = static_cast<char>(value & 0xFF);
  text[position] = static_cast<char>((value >> 8) & 0xFF);
}

record::CycleFile sealedAndRead(const Bytes& device) {
  const shell::LocalTime when{2025, 3, 14, 10, 15, 30};
  return record::readCycleFile(record::sealContents(record::dateSeal(when), device), when);
}

}  // namespace

const shell::LanguageTexts& englishTexts() {
  return loaded().texts;
}

const shell::LanguageMessages& englishMessages() {
  return loaded().messages;
}

ReportLanguage english(char separator) {
  return {englishTexts(), englishMessages(), separator};
}

Record::Record() : DeviceHeader(76, '\0'), CycleData(90, '\0') {
  text(1, "VX22 CLASS B        ");
  text(21, "STD 134 WRAPPED     ");
  text(42, "21041178            ");
  headerByte(60, 0x2A);  // cycle 42 ...
  headerByte(63, 0x07);  // ... 7 since the service
  // Start 09:05 on 14/03/2025, end 09:52.
  byte(65, 9).byte(66, 5).byte(67, 14).byte(68, 3).byte(69, 25);
  byte(70, 9).byte(71, 52).byte(72, 14).byte(73, 3).byte(74, 25);
  value16(78, 1352).value16(80, 1210).value16(82, 1341).value16(84, 1005);
  byte(86, 4);
}

Record& Record::byte(std::size_t position, int value) {
  CycleData[position - 1] = static_cast<char>(value);
  return *this;
}

Record& Record::value16(std::size_t position, int value) {
  put16(CycleData, position, value);
  return *this;
}

Record& Record::text(std::size_t position, const std::string& value) {
  CycleData.replace(position - 1, value.size(), value);
  return *this;
}

Record& Record::headerByte(std::size_t position, int value) {
  DeviceHeader[position - 1] = static_cast<char>(value);
  return *this;
}

Record& Record::cycleType(int code, int mode, bool bit6, bool bit7) {
  return byte(77, code | mode << 4 | (bit6 ? 0x40 : 0) | (bit7 ? 0x80 : 0));
}

Record& Record::sample(int seconds, int code, int pt1, int hundredths, int pt2, int pt3, int pt4) {
  std::string record(13, '\0');
  put16(record, 1, seconds);
  record[2] = static_cast<char>(code);
  put16(record, 4, pt1);
  put16(record, 6, pt2);
  put16(record, 8, pt3);
  put16(record, 10, pt4);
  put16(record, 12, hundredths + 100);
  CycleData += record;
  return *this;
}

Record& Record::tail(const std::string& bytes) {
  CycleData += bytes;
  return *this;
}

record::CycleFile generatedFile(const devsim::content::CycleRequest& request) {
  return sealedAndRead(devsim::content::generateCycle({}, request).bytes);
}

record::CycleFile generatedTechnicalReport(std::uint64_t seed) {
  devsim::content::TechnicalReportRequest request;
  request.visit = devsim::content::ServiceVisit::Calibration;
  request.when = {11, 30, 14, 3, 25};
  request.seed = seed;
  return sealedAndRead(devsim::content::generateTechnicalReport({}, request).bytes);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += "[" + line + "]\n";
  }
  return text;
}

}  // namespace vestrim::reports::testing
