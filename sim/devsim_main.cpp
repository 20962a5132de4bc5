// vestrim-devsim: a simulated control board on a pseudo-terminal, for trying the program and
// for end-to-end tests without hardware.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "sim/demo_contents.h"
#include "sim/device.h"
#include "sim/fault.h"
#include "sim/memory_layout.h"
#include "sim/pty_server.h"
#include "sim/state_file.h"

namespace {

constexpr const char* kFooter =
    R"(The first line on stdout is the pseudo-terminal to open (e.g. /dev/pts/7); everything else
goes to stderr. SIGINT, SIGTERM and SIGHUP end the program, after it has saved its state.

Request log (--log FILE, or - for stderr), one line per frame received:
  <seconds.micros> <kind> baud=<n> cmd=<hh> bank=<hh> addr=<decimal> len=<n> sum=ok|bad
  fault=<kinds|-> data=<hex|-> reply=<hex|none> delay_us=<n>
kind is read, write or speed-switch; "garbage" and "incomplete" lines (bytes dropped while
looking for a frame, a partial frame abandoned for 100 ms) carry only time, kind and data=.

State file (--state FILE): loaded at start and saved on exit. A missing file means a freshly
initialised device and is created on exit; a damaged one is refused.

Contents (--contents NAME): fill the device with generated files at start. Only an empty
device is filled: together with a state file that already holds files, --contents is refused
(the state file is never overwritten by it). With --state, the generated contents are saved on
exit like any other, so later runs need only --state. --list-contents prints the files that
NAME generates (address, size, type, code, start, program, cycle code, records, minutes, note)
and exits without serving or touching the state file.
)";

class SymlinkGuard {
 public:
  SymlinkGuard() = default;
  SymlinkGuard(const SymlinkGuard&) = delete;
  SymlinkGuard& operator=(const SymlinkGuard&) = delete;
  ~SymlinkGuard() {
    if (!path_.empty()) {
      ::unlink(path_.c_str());
    }
  }

  // An old link left by a run that was killed is replaced; any other file is left alone.
  std::optional<std::string> create(const std::string& path, const std::string& target) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
      ::unlink(path.c_str());
    }
    if (::symlink(target.c_str(), path.c_str()) != 0) {
      return "cannot create link " + path + ": " + std::strerror(errno);
    }
    path_ = path;
    return std::nullopt;
  }

 private:
  std::string path_;
};

int fail(const std::string& message) {
  std::cerr << "vestrim-devsim: " << message << '\n';
  return 1;
}

}  // namespace

// The board's copy onto a pen drive: each stored file, header record first,
// as <file code>.MOC in the drive's root.
int copyToDrive(const devsim::Memory& memory, const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::vector<std::uint32_t> files = devsim::layout::chainAddresses(memory);
  const std::uint32_t end = devsim::layout::firstFreeLocation(memory);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::uint32_t next = i + 1 < files.size() ? files[i + 1] : end;
    if (next <= files[i]) {
      continue;
    }
    const devsim::Bytes bytes = memory.read(devsim::Area::Flash, files[i], next - files[i]);
    std::string code;
    for (std::size_t k = devsim::layout::kFileCodeOffset;
         k < devsim::layout::kFileCodeOffset + 16 && k < bytes.size(); ++k) {
      if (std::isalnum(bytes[k])) {
        code += static_cast<char>(bytes[k]);
      }
    }
    std::filesystem::path target = folder / ((code.empty() ? "FILE" : code) + ".MOC");
    for (int n = 2; std::filesystem::exists(target); ++n) {
      target = folder / ((code.empty() ? "FILE" : code) + "_" + std::to_string(n) + ".MOC");
    }
    std::ofstream out(target, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      return fail("cannot write " + target.string());
    }
  }
  std::cerr << "vestrim-devsim: " << files.size() << " files copied to " << folder.string()
            << std::endl;
  return 0;
}

int main(int argc, char** argv) {
  CLI::App app{"Simulated steriliser control board, served on a pseudo-terminal."};
  app.footer(kFooter + devsim::content::contentsNameHelp() + "\n" + devsim::faultSyntaxHelp());

  std::uint32_t memorySize = devsim::Memory::kDefaultFlashSize;
  std::uint32_t reportedMemorySize = 0;
  std::string statePath;
  std::string logPath;
  std::string linkPath;
  bool lineRate = false;
  int adapterLatencyMs = 0;
  std::vector<std::string> faultTexts;
  std::string contentsName;
  bool listContents = false;
  std::string driveFolder;

  auto* sizeOption =
      app.add_option("--memory-size", memorySize, "Flash memory size in bytes (default 2097152)")
          ->option_text("BYTES")
          // The command list and one header record must fit.
          ->check(CLI::Range(std::uint32_t{2318}, std::uint32_t{1} << 30));
  auto* reportOption =
      app.add_option("--report-memory-size", reportedMemorySize,
                     "Memory size the registers report, 0..4294967295 (default: the flash size)")
          ->option_text("BYTES");
  app.add_option("--state", statePath, "Device memory file, loaded at start and saved on exit")
      ->option_text("FILE");
  app.add_option("--log", logPath, "Append one line per request received to FILE (- = stderr)")
      ->option_text("FILE");
  app.add_flag("--line-rate", lineRate,
               "Deliver replies no faster than the serial line at the device's speed");
  app.add_option("--adapter-latency", adapterLatencyMs,
                 "Hold each reply until the next tick of a USB adapter's latency timer "
                 "running every MS milliseconds, 1..255 (the adapter's default is 16)")
      ->option_text("MS")
      ->check(CLI::Range(1, 255));
  app.add_option("--fault", faultTexts, "Inject a fault, e.g. bad-ack:count=5 (repeatable)")
      ->check(CLI::Validator(
          [](std::string& text) {
            const auto parsed = devsim::parseFault(text);
            return parsed.rule ? std::string() : parsed.error;
          },
          "FAULT"))
      ->option_text("FAULT ...");
  app.add_option("--contents", contentsName,
                 "Fill the empty device with generated files: demo, bench")
      ->check(CLI::Validator(
          [](std::string& text) {
            const auto parsed = devsim::content::parseContentsName(text);
            return parsed.options ? std::string() : parsed.error;
          },
          "NAME"))
      ->option_text("NAME[:key=value...]");
  app.add_flag("--list-contents", listContents,
               "List the files --contents generates, then exit without serving");
  app.add_option("--copy-to-drive", driveFolder,
                 "Copy the stored files onto a pen-drive folder as the board does (one .MOC "
                 "file each), then exit without serving")
      ->option_text("DIR");
  app.add_option("--link", linkPath, "Also make a symlink PATH to the pty, removed on exit")
      ->option_text("PATH");
  CLI11_PARSE(app, argc, argv);

  std::optional<devsim::content::DemoOptions> contents;
  if (!contentsName.empty()) {
    contents = devsim::content::parseContentsName(contentsName).options;
  }
  if (listContents) {
    if (!contents) {
      return fail("--list-contents needs --contents NAME");
    }
    devsim::Memory scratch(memorySize);
    try {
      std::cout << devsim::content::describeContents(
          devsim::content::fillDemoContents(scratch, *contents));
    } catch (const std::exception& error) {
      return fail("contents " + contentsName + ": " + error.what());
    }
    return 0;
  }

  devsim::Device device({.flashSize = memorySize, .lineRate = lineRate});
  if (!statePath.empty()) {
    devsim::StateLoad loaded = devsim::loadState(statePath);
    if (loaded.status == devsim::StateLoadStatus::Failed) {
      return fail(loaded.error);
    }
    if (loaded.memory) {
      if (sizeOption->count() > 0 && loaded.memory->flashSize() != memorySize) {
        return fail(statePath + " holds a flash of " + std::to_string(loaded.memory->flashSize()) +
                    " bytes, --memory-size asks for " + std::to_string(memorySize));
      }
      device.memory() = std::move(*loaded.memory);
    }
  }
  if (!contentsName.empty()) {
    const auto files = devsim::layout::chainAddresses(device.memory()).size();
    if (files > 0) {
      return fail("--contents fills an empty device, but " + statePath + " already holds " +
                  std::to_string(files) + " files; drop --contents or use another state file");
    }
    try {
      const auto manifest = devsim::content::fillDemoContents(device.memory(), *contents);
      std::cerr << "vestrim-devsim: contents " << contentsName << ": " << manifest.size()
                << " files, " << devsim::layout::firstFreeLocation(device.memory())
                << " bytes of flash in use" << std::endl;
    } catch (const std::exception& error) {
      return fail("contents " + contentsName + ": " + error.what());
    }
  }
  if (reportOption->count() > 0) {
    device.memory().setReportedSize(reportedMemorySize);
  }
  for (const std::string& text : faultTexts) {
    device.addFault(*devsim::parseFault(text).rule);
  }
  if (!driveFolder.empty()) {
    return copyToDrive(device.memory(), driveFolder);
  }

  std::ofstream logFile;
  std::ostream* log = nullptr;
  if (logPath == "-") {
    log = &std::cerr;
  } else if (!logPath.empty()) {
    logFile.open(logPath, std::ios::app);
    if (!logFile) {
      return fail("cannot open log " + logPath + ": " + std::strerror(errno));
    }
    log = &logFile;
  }

  // A failing pty still ends with the state saved: the memory may hold a session's work.
  int status = 0;
  try {
    devsim::PtyServer server(device);
    server.setRequestLog(log);
    server.setAdapterLatencyUs(std::int64_t{adapterLatencyMs} * 1000);
    SymlinkGuard link;
    if (!linkPath.empty()) {
      if (auto error = link.create(linkPath, server.slavePath())) {
        return fail(*error);
      }
    }
    std::cout << server.slavePath() << std::endl;
    std::cerr << "vestrim-devsim: serving on " << server.slavePath() << ", flash "
              << device.memory().flashSize() << " bytes";
    if (reportOption->count() > 0) {
      std::cerr << ", reporting " << reportedMemorySize << " bytes";
    }
    std::cerr << (lineRate ? ", line-rate emulation" : "");
    if (adapterLatencyMs > 0) {
      std::cerr << ", adapter latency " << adapterLatencyMs << " ms";
    }
    for (const std::string& text : faultTexts) {
      std::cerr << ", fault " << text;
    }
    std::cerr << std::endl;

    const int signal = server.run();
    std::cerr << "vestrim-devsim: " << ::strsignal(signal) << ", stopping" << std::endl;
  } catch (const std::system_error& error) {
    status = fail(error.what());
  }

  if (!statePath.empty()) {
    if (auto error = devsim::saveState(device.memory(), statePath)) {
      status = fail(*error);
    }
  }
  return status;
}
