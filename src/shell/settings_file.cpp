#include "shell/settings_file.h"

#include <algorithm>
#include <vector>

#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::shell {
namespace {

std::string trimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Splits text into lines ended by CR LF, CR or LF; text after the last line
// end counts as a last line.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

std::optional<PortSetting> parsePortLine(const std::string& line) {
  const std::string text = trimBlanks(line);
  if (text.empty()) {
    return std::nullopt;
  }
  if (text.find_first_not_of("0123456789") == std::string::npos) {
    // Leading zeros are allowed; the value must fit a byte.
    const std::string digits = text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (digits.size() > 3 || std::stoi(digits) > 255) {
      return std::nullopt;
    }
    return PortSetting::fromNumber(static_cast<std::uint8_t>(std::stoi(digits)));
  }
  // A device path: absolute, printable, nothing that could end a line.
  if (text.front() != '/') {
    return std::nullopt;
  }
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return std::nullopt;
    }
  }
  return PortSetting::fromPath(text);
}

std::string portLine(const PortSetting& port) {
  if (!port.devicePath.empty()) {
    return port.devicePath;
  }
  // Numbers are written as the print-style output writes them: a blank
  // before and after the digits.
  return " " + std::to_string(port.number) + " ";
}

// A section's heading line: "[Name]".
bool isHeading(const std::string& line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// The file's lines, or none when it is missing or cannot be read.
std::vector<std::string> fileLines(const std::filesystem::path& programFolder) {
  const std::optional<Bytes> bytes = readWholeFile(programFolder / kSettingsFileName);
  return bytes ? splitLines(std::string(bytes->begin(), bytes->end())) : std::vector<std::string>{};
}

// The sections after the three lines: from the first heading on. Lines
// between the third line and the first heading belong to no section and are
// not kept.
std::vector<std::string> sectionLines(const std::vector<std::string>& lines) {
  auto first = lines.size() > 3 ? lines.begin() + 3 : lines.end();
  first = std::find_if(first, lines.end(), isHeading);
  return {first, lines.end()};
}

std::string joinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

}  // namespace

std::string pathText(const std::filesystem::path& path) {
  return utf8Of(path);
}

std::optional<SettingsLines> readSettingsFile(const std::filesystem::path& programFolder) {
  const std::optional<Bytes> bytes = readWholeFile(programFolder / kSettingsFileName);
  if (!bytes) {
    return std::nullopt;
  }
  const std::string text(bytes->begin(), bytes->end());
  const std::vector<std::string> lines = splitLines(text);
  if (lines.size() < 3) {
    return std::nullopt;
  }
  const std::optional<PortSetting> port = parsePortLine(lines[0]);
  if (!port) {
    return std::nullopt;
  }
  return SettingsLines{*port, lines[1], lines[2]};
}

bool writeSettingsFile(const std::filesystem::path& programFolder, const SettingsLines& lines) {
  const std::string text = portLine(lines.PortNumber) + "\r\n" + lines.DataFolder + "\r\n" +
                           lines.DefaultLanguage + "\r\n" +
                           joinedLines(sectionLines(fileLines(programFolder)));
  return replaceFile(programFolder / kSettingsFileName, text);
}

std::optional<std::vector<std::string>> readSettingsSection(
    const std::filesystem::path& programFolder, const std::string& name) {
  const std::vector<std::string> sections = sectionLines(fileLines(programFolder));
  const auto heading = std::find(sections.begin(), sections.end(), "[" + name + "]");
  if (heading == sections.end()) {
    return std::nullopt;
  }
  return std::vector<std::string>(heading + 1,
                                  std::find_if(heading + 1, sections.end(), isHeading));
}

bool writeSettingsSection(const std::filesystem::path& programFolder, const std::string& name,
                          const std::vector<std::string>& lines, std::string& why) {
  const std::vector<std::string> all = fileLines(programFolder);
  std::vector<std::string> head;
  if (readSettingsFile(programFolder)) {
    head.assign(all.begin(), all.begin() + 3);
  } else {
    head = {portLine(PortSetting::fromNumber(1)), pathText(programFolder), ""};
  }
  std::vector<std::string> sections = sectionLines(all);
  const std::string heading = "[" + name + "]";
  auto place = std::find(sections.begin(), sections.end(), heading);
  if (place == sections.end()) {
    place = sections.insert(sections.end(), heading);
  }
  const auto end = std::find_if(place + 1, sections.end(), isHeading);
  place = sections.erase(place + 1, end);
  sections.insert(place, lines.begin(), lines.end());
  head.insert(head.end(), sections.begin(), sections.end());
  why = "cannot write " + pathText(programFolder / kSettingsFileName);
  return replaceFile(programFolder / kSettingsFileName, joinedLines(head), &why);
}

SettingsLines loadSettingsAtStart(const std::filesystem::path& programFolder) {
  std::optional<SettingsLines> lines = readSettingsFile(programFolder);
  if (!lines) {
    settings_writers::defaults(programFolder);
    lines = readSettingsFile(programFolder);
  }
  if (!lines) {
    // The default file could not be written (a read-only folder): run with
    // the defaults it would have held.
    lines = SettingsLines{PortSetting::fromNumber(1), pathText(programFolder), ""};
  }
  if (lines->DataFolder.empty()) {
    lines->DataFolder = pathText(programFolder);
  }
  return *lines;
}

namespace settings_writers {

bool defaults(const std::filesystem::path& programFolder) {
  return writeSettingsFile(programFolder,
                           {PortSetting::fromNumber(1), pathText(programFolder), ""});
}

bool languageChosen(const std::filesystem::path& programFolder, const std::string& dataFolder,
                    const std::string& language) {
  return writeSettingsFile(programFolder, {PortSetting::fromNumber(1), dataFolder, language});
}

bool askLanguageNextStart(const std::filesystem::path& programFolder, bool askAgain,
                          const std::string& defaultLanguage) {
  return writeSettingsFile(programFolder, {PortSetting::fromNumber(1), pathText(programFolder),
                                           askAgain ? std::string() : defaultLanguage});
}

namespace {

// What the file holds now: a port or a language chosen for one run lives in
// memory only, and must not reach the file through another line's writer.
SettingsLines stored(const std::filesystem::path& programFolder) {
  return readSettingsFile(programFolder)
      .value_or(SettingsLines{PortSetting::fromNumber(1), pathText(programFolder), ""});
}

}  // namespace

bool portChosen(const std::filesystem::path& programFolder, const PortSetting& port) {
  return writeSettingsFile(programFolder,
                           {port, pathText(programFolder), stored(programFolder).DefaultLanguage});
}

bool openFolderChosen(const std::filesystem::path& programFolder, const std::string& folder) {
  const SettingsLines now = stored(programFolder);
  return writeSettingsFile(programFolder, {now.PortNumber, folder, now.DefaultLanguage});
}

}  // namespace settings_writers
}  // namespace vestrim::shell
