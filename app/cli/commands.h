#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/search_index.h"
#include "cli_options.h"

namespace vestrim::cli {

// Each returns the exit status.
int portsCommand(const GlobalOptions& options);
int catalogueCommand(const GlobalOptions& options);
int settingsCommand(const GlobalOptions& options);
int saveCommand(const GlobalOptions& options);
int verifyCommand(const std::vector<std::string>& paths);
int reportCommand(const GlobalOptions& options, const std::string& file, bool full,
                  std::optional<char> decimalSeparator);
int sendCommand(const GlobalOptions& options, const std::vector<std::string>& files);
int eraseCommand(const GlobalOptions& options);
int drivesCommand(const GlobalOptions& options);
int importCommand(const GlobalOptions& options, const std::string& path, bool erase);
// The archive check; with `restoreTimes` the times of the files copied
// without them are restored first. `pdf`: also written there.
int checkCommand(const GlobalOptions& options, const std::string& pdf, bool restoreTimes);
int listCommand(const GlobalOptions& options, const archive::SearchFilter& filter);

}  // namespace vestrim::cli
