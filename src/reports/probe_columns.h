#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The PT3 and PT4 columns of the full report: the report drops both when
// the two probes read zero in every record (they are not connected), and
// the print path looks at the same lines again before printing.
namespace vestrim::reports {

// The characters a line loses with the two columns: two blanks and a
// temperature, twice, less the blank that stays after PT2.
inline constexpr std::size_t kProbeColumnsWidth = 13;
// Lines shorter than this are printed, and rewritten by the drop, as " ".
inline constexpr std::size_t kShortLine = 14;

struct ProbeColumns {
  std::size_t header = 0;      // line of the column header (1-based); 0 when there is none
  std::size_t sectionEnd = 0;  // last line of the record section; 0 when its end is not found
  bool absent = false;         // a header was found and both probes read zero throughout
};

// Finds the column header (the first line longer than 3 characters whose
// three characters before the last read "PT4"), the end of the record
// section (two lines of one blank in a row end it, the line before them
// being its last), and whether every line of the section after the dashes
// that is longer than 11 characters ends in two zero temperatures written
// with `decimalSeparator`.
ProbeColumns findProbeColumns(const std::vector<std::string>& lines, char decimalSeparator);

// Line `number` (1-based) without the two columns: a line shorter than 14
// characters becomes " "; the column header and the section's lines after
// the dashes lose their last 13 characters; every other line stays.
std::string withoutProbeColumns(const std::string& line, std::size_t number,
                                const ProbeColumns& columns);

}  // namespace vestrim::reports
