#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/release.h"
#include "archive/search_index.h"
#include "cli_options.h"

namespace vestrim::cli {

// Each returns the exit status.
int portsCommand(const GlobalOptions& options);
int catalogueCommand(const GlobalOptions& options);
int settingsCommand(const GlobalOptions& options);
int saveCommand(const GlobalOptions& options);
int verifyCommand(const std::vector<std::string>& paths);
// What `report` shows or writes.
struct ReportOptions {
  bool full = false;
  std::optional<char> decimalSeparator;
  std::string pdf;  // the report's pages as PDF/A-1b, with the chart after them when `chart`
  bool chart = false;
  std::string csv;  // the samples, fields separated by `csvSeparator`
  char csvSeparator = ',';
  std::string png;  // the chart alone, `pngWidth` x `pngHeight` pixels
  int pngWidth = 1600;
  int pngHeight = 1000;
};
int reportCommand(const GlobalOptions& options, const std::string& file,
                  const ReportOptions& report);
// Whether the command line draws (report --pdf or --png, check --pdf, labels): such a run needs
// Qt Gui, on the offscreen platform, so that no display is needed.
bool commandLineDraws(int argc, const char* const* argv);
int sendCommand(const GlobalOptions& options, const std::vector<std::string>& files);
// Refuses while a record on the device is not in the archive, unless `force`.
int eraseCommand(const GlobalOptions& options, bool force);
int drivesCommand(const GlobalOptions& options);
int importCommand(const GlobalOptions& options, const std::string& path, bool erase);
// The archive check; with `restoreTimes` the times of the files copied
// without them are restored first. `pdf`: also written there.
int checkCommand(const GlobalOptions& options, const std::string& pdf, bool restoreTimes);
int listCommand(const GlobalOptions& options, const archive::SearchFilter& filter);
// What `labels` writes: `copies` pack labels of `kind` (empty: the first
// kind of the settings file) into the PDF file `pdf`, one a page.
struct LabelOptions {
  int copies = 1;
  std::string pdf;
  double widthMm = 57;
  double heightMm = 32;
  std::string kind;  // UTF-8
};
int labelsCommand(const GlobalOptions& options, const std::string& file,
                  const LabelOptions& labels);
// The stored file of a pack code: 0 found, 1 no such cycle or its file
// changed, 2 not a pack code.
int findCommand(const GlobalOptions& options, const std::string& text);

// The operators who release cycles. A new operator's PIN is asked for on
// the terminal (twice), or read as one line of standard input.
int operatorsAddCommand(const GlobalOptions& options, const std::string& initials,
                        const std::string& name);
int operatorsListCommand(const GlobalOptions& options);
int operatorsRemoveCommand(const GlobalOptions& options, const std::string& initials);
// What `release` records.
struct ReleaseOptions {
  std::string file;
  std::string operatorInitials;
  archive::ReleaseResult result = archive::ReleaseResult::Released;
  archive::Indicator indicator = archive::Indicator::None;
  std::string note;  // UTF-8
};
// Records a release after the operator's PIN; exit 1 when refused.
int releaseCommand(const GlobalOptions& options, const ReleaseOptions& release);

}  // namespace vestrim::cli
