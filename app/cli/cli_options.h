#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "shell/shell_context.h"

namespace vestrim::cli {

// The global options of every command.
struct GlobalOptions {
  std::string folder;    // --folder: the program folder for this run
  std::string port;      // --port: the port for this run, not stored
  std::string language;  // --language: the language for this run, not stored
  bool assumeYes = false;
  bool json = false;
};

// The program folder, its settings and the language, as the program starts
// with them. Nothing (after telling the user why) when the run cannot go on.
std::unique_ptr<shell::ShellContext> startShell(const GlobalOptions& options);

// The program folder alone, for the commands that need neither settings
// nor a language (the archive's check and list). Nothing, after saying
// why, when there is none.
std::optional<std::filesystem::path> programFolderOnly(const GlobalOptions& options);

// Prints `message` as vestrim-cli's own error on stderr.
void fail(const std::string& message);

}  // namespace vestrim::cli
