#include "reports/report_lines.h"

#include <cstdio>
#include <cstdlib>

namespace vestrim::reports {
namespace {

std::string zeroPadded(int value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*d", digits, value);
  return text;
}

// Whole part with at least `digits` digits, the separator and the fraction
// with `fractionDigits` digits, for `value` in units of 10^-fractionDigits.
std::string fixedPoint(int value, int digits, int fractionDigits, char decimalSeparator) {
  const int scale = fractionDigits == 1 ? 10 : 100;
  const int magnitude = std::abs(value);
  return (value < 0 ? "-" : "") + zeroPadded(magnitude / scale, digits) + decimalSeparator +
         zeroPadded(magnitude % scale, fractionDigits);
}

}  // namespace

void ReportList::create(std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    items_.push_back(std::to_string(items_.size() + 1));
  }
}

void ReportList::set(std::size_t line, std::string text) {
  if (line < 1 || line > items_.size()) {
    throw ReportFailure("line " + std::to_string(line) + " was never created");
  }
  items_[line - 1] = std::move(text);
}

int PositionReader::byte(std::size_t position) const {
  if (position < 1 || position > text_.size()) {
    throw ReportFailure(std::string(name_) + " has no position " + std::to_string(position));
  }
  return static_cast<unsigned char>(text_[position - 1]);
}

int PositionReader::value16(std::size_t position) const {
  const int low = byte(position);
  const int high = byte(position + 1);
  if (high >= 128) {
    throw ReportFailure("the 16-bit value at " + std::string(name_) + " position " +
                        std::to_string(position) + " does not fit");
  }
  return high * 256 + low;
}

int PositionReader::value24(std::size_t position) const {
  return byte(position) | byte(position + 1) << 8 | byte(position + 2) << 16;
}

std::string PositionReader::text(std::size_t position, std::size_t length) const {
  if (position < 1 || position > text_.size()) {
    return {};
  }
  return text_.substr(position - 1, length);
}

const std::string& languageText(const ReportLanguage& language, std::size_t number) {
  return language.texts[number];
}

const std::string& message(const ReportLanguage& language, std::size_t number) {
  if (number > shell::LanguageMessages::kLast) {
    throw ReportFailure("message " + std::to_string(number) + " is beyond the message table");
  }
  return language.messages[number];
}

std::string padded(const std::string& label, std::size_t width) {
  if (label.size() > width) {
    throw ReportFailure("the label \"" + label + "\" is longer than " + std::to_string(width));
  }
  return label + std::string(width - label.size(), ' ');
}

std::optional<std::string> centra(std::string_view text) {
  if (text.size() > kCentredWidth) {
    return std::nullopt;
  }
  const std::size_t room = kCentredWidth - text.size();
  std::size_t blanks = room / 2;
  if (room % 2 == 1 && blanks % 2 == 1) {
    ++blanks;  // a half goes to the even neighbour
  }
  return std::string(blanks, ' ') + std::string(text);
}

std::string centred(std::string_view text) {
  std::optional<std::string> line = centra(text);
  if (!line) {
    throw ReportFailure("the text \"" + std::string(text) + "\" is too long to centre");
  }
  return *line;
}

std::string twoDigits(int value) {
  return zeroPadded(value, 2);
}

std::string fiveDigits(int value) {
  return zeroPadded(value, 5);
}

std::string yearText(int year) {
  return "2" + zeroPadded(year, 3);
}

std::string temperatureText(int tenths, char decimalSeparator) {
  return fixedPoint(tenths, 3, 1, decimalSeparator);
}

std::string pressureText(int hundredths, char decimalSeparator) {
  return (hundredths < 0 ? "" : " ") + fixedPoint(hundredths, 1, 2, decimalSeparator);
}

std::string plainTenths(int tenths, char decimalSeparator) {
  const int magnitude = std::abs(tenths);
  std::string text = (tenths < 0 ? "-" : "") + std::to_string(magnitude / 10);
  if (magnitude % 10 != 0) {
    text += decimalSeparator + std::to_string(magnitude % 10);
  }
  return text;
}

std::string elapsedText(int seconds) {
  const int minutes = seconds / 60;
  if (minutes > 255 || seconds < 0) {
    throw ReportFailure("an elapsed time of " + std::to_string(seconds) + " s reaches 256 minutes");
  }
  return twoDigits(minutes) + ":" + twoDigits(seconds % 60);
}

int leadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') {
    ++i;
  }
  int value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace vestrim::reports
