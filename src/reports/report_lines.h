#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "shell/text_table.h"

// What every report builder shares: the words and the decimal separator it
// writes with, the list of report lines it fills, the number patterns, the
// label padding, centring, and byte reads by 1-based position that end the
// report on anything a stored file can hold.
namespace vestrim::reports {

// The one message of every report that cannot be built.
inline constexpr const char* kFileError = "File error";
// The degree sign in the system's single-byte text.
inline constexpr char kDegreeSign = '\xB0';
// Width of the line `centra` centres on.
inline constexpr std::size_t kCentredWidth = 48;

// The language tables a report takes its words from, and the decimal
// separator of the user's locale.
struct ReportLanguage {
  const shell::LanguageTexts& texts;
  const shell::LanguageMessages& messages;
  char decimalSeparator = ',';
};

// A report as the report list shows it: line k is the text of item k. A
// report that cannot be built has no lines and carries "File error".
struct Report {
  std::vector<std::string> lines;
  std::string failure;  // kFileError, or empty
  std::string reason;   // what went wrong, for logs and tests; never shown as a line

  bool ok() const { return failure.empty(); }
  static Report fileError(std::string why) { return {{}, kFileError, std::move(why)}; }
};

// Every run-time failure inside a builder; the builder turns it into
// "File error".
class ReportFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The report list while a builder fills it. Items are created in blocks;
// each starts with its own line number as text, and keeps it when the
// builder never gives it another.
class ReportList {
 public:
  void create(std::size_t count);
  // Line numbers are 1-based; a line that was not created is a failure.
  void set(std::size_t line, std::string text);
  std::size_t count() const { return items_.size(); }
  std::vector<std::string>& items() { return items_; }

 private:
  std::vector<std::string> items_;
};

// Runs a builder and catches its failure: the finished list, or "File error".
template <typename Build>
Report buildReport(Build&& build) {
  ReportList list;
  try {
    build(list);
  } catch (const ReportFailure& failure) {
    return Report::fileError(failure.what());
  }
  return {std::move(list.items()), {}, {}};
}

// Reads a text by 1-based position, one byte at a time, as the builders
// address DeviceHeader and CycleData. A byte that is not there is a failure.
class PositionReader {
 public:
  PositionReader(const std::string& text, const char* name) : text_(text), name_(name) {}

  std::size_t size() const { return text_.size(); }
  int byte(std::size_t position) const;
  // High byte x 256 + low byte (the low byte at `position`); a high byte of
  // 128 or more does not fit the signed 16-bit number and is a failure.
  int value16(std::size_t position) const;
  // A 24-bit number, low byte first.
  int value24(std::size_t position) const;
  // Up to `length` characters from `position`: what there is, as a
  // substring that runs past the end gives, without failing.
  std::string text(std::size_t position, std::size_t length) const;

 private:
  const std::string& text_;
  const char* name_;
};

// Text N of LanguageTexts and message N of LanguageMessages; a message
// number beyond the table (524 or more) is a failure.
const std::string& languageText(const ReportLanguage& language, std::size_t number);
const std::string& message(const ReportLanguage& language, std::size_t number);

// The label followed by blanks up to `width`, so that the value after it
// starts in column width + 1. A label longer than `width` is a failure.
std::string padded(const std::string& label, std::size_t width);

// `text` preceded by blanks that centre it on a 48-character line: (48 -
// length) / 2 of them, halves rounded to the even neighbour. Nothing for a
// text longer than 48.
std::optional<std::string> centra(std::string_view text);
// As `centra`, a text too long to centre being a failure.
std::string centred(std::string_view text);

// The number patterns of the reports.
std::string twoDigits(int value);   // "00": at least two digits
std::string fiveDigits(int value);  // "00000"
std::string yearText(int year);     // "2000": two-digit year y as 2000 + y
// "000.0": tenths of a degree with at least three integer digits.
std::string temperatureText(int tenths, char decimalSeparator);
// " 0.00" for 0 or more, "0.00" below 0: hundredths of a bar; the blank
// keeps the column of the minus sign.
std::string pressureText(int hundredths, char decimalSeparator);
// A value in tenths as a plain decimal number: 35 gives "3,5", 30 gives "3".
std::string plainTenths(int tenths, char decimalSeparator);
// Seconds as minutes "00" ":" seconds "00"; minutes of 256 or more do not
// fit and are a failure.
std::string elapsedText(int seconds);

// Whole-number value of the leading digits of a text (blanks before them
// skipped); 0 when it does not start with a number.
int leadingNumber(std::string_view text);

}  // namespace vestrim::reports
