#pragma once

#include <string>
#include <vector>

// What the report window's Print button sends to the printer: a fixed-pitch
// font, three empty lines, then each report line at column 5, one printed
// line per report line and no page breaks of its own. The printer and the
// PDF writer both take this job.
namespace vestrim::reports {

inline constexpr const char* kPrintFont = "Courier New";
inline constexpr int kPrintFontSize = 8;
inline constexpr int kLeadingEmptyLines = 3;
inline constexpr int kPrintColumn = 5;

// One call of PrintPair: print `text` at the print position, then move to
// `column` of the next line (a column left of the position after the text
// is on the next line; the same column stays on this one).
struct PrintPair {
  std::string text;
  int column = kPrintColumn;

  bool operator==(const PrintPair&) const = default;
};

struct PrintJob {
  std::string font = kPrintFont;
  int fontSize = kPrintFontSize;
  bool bold = false;
  bool underline = false;
  int leadingEmptyLines = kLeadingEmptyLines;
  int startColumn = kPrintColumn;  // where the first text starts
  std::vector<PrintPair> pairs;    // in print order
};

// The print job for the lines on show. When they hold no full report
// column header, or hold one whose PT3 and PT4 read zero throughout, lines
// shorter than 14 characters print as " " and the header and the record
// lines lose the two columns; otherwise every line prints as it is. Any
// number of lines.
PrintJob printJob(const std::vector<std::string>& lines, char decimalSeparator);

// The printed page as text lines, columns counted from 1: the empty lines,
// then each text at its position (column 5 is four blanks in).
std::vector<std::string> printedLines(const PrintJob& job);

}  // namespace vestrim::reports
