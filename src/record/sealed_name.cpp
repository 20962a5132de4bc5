#include "record/sealed_name.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace vestrim::record {
namespace {

constexpr std::size_t kCycleNumberOffset = 59;
constexpr std::size_t kProgramOffset = 96;
constexpr std::size_t kProgramLength = 20;
constexpr std::size_t kStampOffset = 140;
constexpr std::size_t kCycleTypeOffset = 152;
constexpr int kCycleNameMessage = 50;

std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return offset < bytes.size() ? bytes[offset] : std::uint8_t{0};
}

std::string twoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string trimmedWithoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

}  // namespace

std::string safeForFileName(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    // The bytes Windows-1252 leaves undefined stand for control characters.
    if (byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
        byte == 0x90 || byte == 0x9D ||
        std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  for (std::size_t dots = text.find(".."); dots != std::string::npos; dots = text.find("..")) {
    text.replace(dots, 2, "_");
  }
  // A name that begins with a dot is hidden from the file manager's listing.
  if (!text.empty() && text.front() == '.') {
    text.front() = '_';
  }
  return text;
}

std::string sealedProgramPart(std::span<const std::uint8_t> deviceFile) {
  std::string program;
  for (std::size_t i = 0; i < kProgramLength; ++i) {
    program.push_back(static_cast<char>(byteAt(deviceFile, kProgramOffset + i)));
  }
  program = trimmedWithoutBlanks(program);
  if (program.size() >= 4 && program.ends_with("////")) {
    program.replace(program.size() - 4, 4, "0000");
  }
  return safeForFileName(program);
}

std::string sealedNumberPart(std::span<const std::uint8_t> deviceFile) {
  const unsigned number = byteAt(deviceFile, kCycleNumberOffset) |
                          byteAt(deviceFile, kCycleNumberOffset + 1) << 8 |
                          byteAt(deviceFile, kCycleNumberOffset + 2) << 16;
  char numberText[16];
  std::snprintf(numberText, sizeof numberText, "%05u", number);
  return numberText;
}

std::string sealedFileName(std::span<const std::uint8_t> deviceFile,
                           const shell::LanguageMessages& messages) {
  std::string cycle = trimmedWithoutBlanks(
      messages[kCycleNameMessage + (byteAt(deviceFile, kCycleTypeOffset) & 0x0F)]);
  if (const std::size_t degrees = cycle.find("\xB0"
                                             "C");
      degrees != std::string::npos) {
    cycle.erase(degrees, 2);
  }

  const auto field = [&](std::size_t offset) { return twoDigits(byteAt(deviceFile, offset)); };
  const std::string dateTime = field(kStampOffset + 2) + field(kStampOffset + 3) +
                               field(kStampOffset + 4) + "_" + field(kStampOffset) +
                               field(kStampOffset + 1);
  return sealedProgramPart(deviceFile) + "_" + sealedNumberPart(deviceFile) + "_" +
         safeForFileName(cycle) + "_" + dateTime + ".dtl";
}

}  // namespace vestrim::record
