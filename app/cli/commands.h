#pragma once

#include "cli_options.h"

namespace vestrim::cli {

// Each returns the exit status.
int portsCommand(const GlobalOptions& options);
int catalogueCommand(const GlobalOptions& options);
int settingsCommand(const GlobalOptions& options);

}  // namespace vestrim::cli
