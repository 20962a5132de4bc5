#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vestrim::shell {

inline constexpr const char* kSettingsFileName = "Vestrim.ini";

// Line 1 of the settings file: the port of the device link. A COM port
// number (0 = not chosen yet, the connection looks for the adapter itself),
// or, on systems without port numbers, the port's device path.
struct PortSetting {
  std::uint8_t number = 1;
  std::string devicePath;  // when not empty it names the port, and `number` is unused

  bool operator==(const PortSetting&) const = default;
  static PortSetting fromNumber(std::uint8_t number) { return {number, {}}; }
  static PortSetting fromPath(std::string path) { return {0, std::move(path)}; }
};

// The three lines of "Vestrim.ini", in order.
struct SettingsLines {
  PortSetting PortNumber;
  std::string DataFolder;       // folder the file-open dialog starts in
  std::string DefaultLanguage;  // language file name without ".lng"; empty = ask at start

  bool operator==(const SettingsLines&) const = default;
};

// Reads the settings file of `programFolder`: three lines ended by CR LF
// (a lone CR or LF is taken as a line end too). Line 1 is a number from 0 to
// 255 with any blanks around it, or a device path. Nothing when the file is
// missing, has fewer than three lines or a bad first line.
std::optional<SettingsLines> readSettingsFile(const std::filesystem::path& programFolder);

// Replaces the three lines of the settings file with `lines`, safely: the
// new text goes to a temporary file that is renamed over the old one. A
// number is written as " N ", blanks included. The sections after the third
// line are kept as they stand. False when the file cannot be written; the
// old file is then unchanged.
bool writeSettingsFile(const std::filesystem::path& programFolder, const SettingsLines& lines);

// After the three lines the file may hold sections of their own: a line
// "[Name]", then the section's lines up to the next such line or the end.
// The lines of section `name` (single-byte text, without line ends); nothing
// when the file or the section is missing.
std::optional<std::vector<std::string>> readSettingsSection(
    const std::filesystem::path& programFolder, const std::string& name);

// Replaces section `name` with `lines` (appended when it is new), keeping
// the three lines and every other section; a missing or unreadable file
// gets the default three lines first. Safe as writeSettingsFile(). False
// with `why` (the file and the system's words) when it cannot be written.
bool writeSettingsSection(const std::filesystem::path& programFolder, const std::string& name,
                          const std::vector<std::string>& lines, std::string& why);

// The settings as the program starts with them: the file's values, or, when
// it cannot be read, the default file (" 1 ", the program folder, an empty
// line) written and read again. An empty DataFolder stands for the program
// folder (in memory only; the file is not rewritten for it).
SettingsLines loadSettingsAtStart(const std::filesystem::path& programFolder);

// The writers, one for each place that rewrites the file. Each replaces the
// whole file.
namespace settings_writers {

// Start-up, when the file cannot be read: 1, the program folder, empty.
bool defaults(const std::filesystem::path& programFolder);
// Default-language dialog confirmed: 1, DataFolder, the chosen language.
bool languageChosen(const std::filesystem::path& programFolder, const std::string& dataFolder,
                    const std::string& language);
// Change-default-language check box: 1, the program folder, empty when the
// box is ticked (ask again at the next start), else the language in use.
bool askLanguageNextStart(const std::filesystem::path& programFolder, bool askAgain,
                          const std::string& defaultLanguage);
// Connection, when no port was chosen and one was found; and the port
// dialog's OK: the port, the program folder, the stored language.
bool portChosen(const std::filesystem::path& programFolder, const PortSetting& port);
// The file-open command: the stored port, the folder it worked in, the
// stored language. A port or language given for one run is never written.
bool openFolderChosen(const std::filesystem::path& programFolder, const std::string& folder);

}  // namespace settings_writers

// Text of a path as the settings file and the language tables keep it.
std::string pathText(const std::filesystem::path& path);

}  // namespace vestrim::shell
