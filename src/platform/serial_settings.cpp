#include "platform/serial_settings.h"

#include <cctype>
#include <exception>
#include <sstream>
#include <vector>

namespace vestrim::platform {

std::optional<SerialSettings> parseSerialSettings(const std::string& text) {
  std::vector<std::string> fields;
  std::stringstream stream(text);
  for (std::string field; std::getline(stream, field, ',');) {
    fields.push_back(field);
  }
  if (fields.size() != 4) {
    return std::nullopt;
  }
  SerialSettings out;
  try {
    std::size_t used = 0;
    out.baud = std::stoi(fields[0], &used);
    if (used != fields[0].size() || out.baud <= 0) {
      return std::nullopt;
    }
    const char parity = static_cast<char>(
        std::toupper(static_cast<unsigned char>(fields[1].empty() ? '?' : fields[1][0])));
    switch (parity) {
      case 'N':
      case 'E':
      case 'O':
      case 'M':
      case 'S':
        out.parity = parity;
        break;
      default:
        return std::nullopt;
    }
    out.dataBits = std::stoi(fields[2]);
    if (out.dataBits < 5 || out.dataBits > 8) {
      return std::nullopt;
    }
    if (fields[3] == "1") {
      out.stopBits = StopBits::One;
    } else if (fields[3] == "2") {
      out.stopBits = StopBits::Two;
    } else if (fields[3] == "1.5") {
      out.stopBits = StopBits::OneAndHalf;
    } else {
      return std::nullopt;
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return out;
}

int baudOfSettings(const std::string& settings) {
  const std::optional<SerialSettings> parsed = parseSerialSettings(settings);
  return parsed ? parsed->baud : 0;
}

}  // namespace vestrim::platform
