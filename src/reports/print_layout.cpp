#include "reports/print_layout.h"

#include "reports/probe_columns.h"

namespace vestrim::reports {

PrintJob printJob(const std::vector<std::string>& lines, char decimalSeparator) {
  PrintJob job;
  const ProbeColumns columns = findProbeColumns(lines, decimalSeparator);
  // Without a column header the probes count as absent, nothing is cut.
  const bool absent = columns.header == 0 || columns.absent;
  job.pairs.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    job.pairs.push_back(
        {absent ? withoutProbeColumns(lines[i], i + 1, columns) : lines[i], kPrintColumn});
  }
  return job;
}

std::vector<std::string> printedLines(const PrintJob& job) {
  std::vector<std::string> page(static_cast<std::size_t>(job.leadingEmptyLines));
  const auto columnOf = [](int column) {
    return static_cast<std::size_t>(column > 1 ? column : 1);
  };
  std::string current(columnOf(job.startColumn) - 1, ' ');
  bool written = false;  // whether anything was printed on the current line
  for (const PrintPair& pair : job.pairs) {
    current += pair.text;
    written = written || !pair.text.empty();
    const std::size_t target = columnOf(pair.column);
    if (target < current.size() + 1) {
      page.push_back(std::move(current));
      current.assign(target - 1, ' ');
      written = false;
    } else {
      current.resize(target - 1, ' ');
    }
  }
  if (written) {
    page.push_back(std::move(current));
  }
  return page;
}

}  // namespace vestrim::reports
