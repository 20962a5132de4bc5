#include "archive/pack_label.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#include "archive/journal.h"
#include "archive/release.h"
#include "archive/stored_cycle.h"
#include "archive/stored_files.h"
#include "shell/safe_file.h"
#include "shell/settings_file.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {
namespace {

constexpr const char* kPackKindsSection = "Pack kinds";
constexpr std::size_t kMaxKindName = 30;
constexpr int kMaxCycleDigits = 9;

std::string trimmedBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string lowerCase(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

bool allHex(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

bool hasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

// A kind as its settings line holds it: "Name=days", the last "=" ending the
// name.
std::optional<PackKind> kindOfLine(const std::string& line) {
  const std::size_t equals = line.rfind('=');
  if (equals == std::string::npos) {
    return std::nullopt;
  }
  const std::string days = trimmedBlanks(line.substr(equals + 1));
  if (days.empty() || days.size() > 4 ||
      days.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return PackKind{trimmedBlanks(line.substr(0, equals)), std::stoi(days)};
}

std::string sha256Of(const Bytes& bytes) {
  return sha256Hex(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
}

}  // namespace

std::string packCode(const std::string& serial, int cycleNumber, const std::string& sha256hex) {
  return std::string(kPackCodePrefix) + ":" + trimmedBlanks(serial) + ":" +
         std::to_string(cycleNumber) + ":" + lowerCase(sha256hex.substr(0, kPackCodeShaDigits));
}

std::optional<PackCodeParts> parsePackCode(const std::string& text) {
  std::string code = text;
  while (!code.empty() && (code.back() == '\r' || code.back() == '\n' || code.back() == ' ' ||
                           code.back() == '\t')) {
    code.pop_back();
  }
  const std::string prefix = std::string(kPackCodePrefix) + ":";
  if (!code.starts_with(prefix)) {
    return std::nullopt;
  }
  // The serial may hold a colon: the number and the digits are the last two
  // fields.
  const std::size_t lastColon = code.rfind(':');
  const std::size_t numberColon =
      lastColon > prefix.size() ? code.rfind(':', lastColon - 1) : std::string::npos;
  if (numberColon == std::string::npos || numberColon < prefix.size()) {
    return std::nullopt;
  }
  const std::string serial = code.substr(prefix.size(), numberColon - prefix.size());
  const std::string number = code.substr(numberColon + 1, lastColon - numberColon - 1);
  const std::string sha = code.substr(lastColon + 1);
  if (hasControl(serial) || number.empty() || number.size() > kMaxCycleDigits ||
      number.find_first_not_of("0123456789") != std::string::npos ||
      (number.size() > 1 && number.front() == '0') || sha.size() != kPackCodeShaDigits ||
      !allHex(sha)) {
    return std::nullopt;
  }
  return PackCodeParts{serial, std::stoi(number), lowerCase(sha)};
}

std::vector<PackKind> defaultPackKinds() {
  return {{"Pouch", 180}, {"Wrapped", 180}, {"Container", 180}};
}

std::string packKindsProblem(const std::vector<PackKind>& kinds,
                             const shell::LanguageTexts& texts) {
  if (kinds.empty()) {
    return shell::ownText(texts, shell::Text::PackKindsNone);
  }
  for (auto kind = kinds.begin(); kind != kinds.end(); ++kind) {
    if (kind->name.empty() || kind->name.size() > kMaxKindName || hasControl(kind->name) ||
        kind->name.front() == '[' || kind->name != trimmedBlanks(kind->name)) {
      return shell::ownText(texts, shell::Text::PackKindBadName, {kind->name});
    }
    if (kind->days < kMinStorageDays || kind->days > kMaxStorageDays) {
      return shell::ownText(
          texts, shell::Text::PackKindDays,
          {kind->name, std::to_string(kMinStorageDays), std::to_string(kMaxStorageDays)});
    }
    const bool twice = std::any_of(kinds.begin(), kind, [&](const PackKind& earlier) {
      return lowerCase(earlier.name) == lowerCase(kind->name);
    });
    if (twice) {
      return shell::ownText(texts, shell::Text::PackKindTwice, {kind->name});
    }
  }
  return {};
}

std::vector<PackKind> readPackKinds(const std::filesystem::path& programFolder) {
  std::vector<PackKind> kinds;
  const auto lines = shell::readSettingsSection(programFolder, kPackKindsSection);
  for (const std::string& line : lines.value_or(std::vector<std::string>{})) {
    if (const std::optional<PackKind> kind = kindOfLine(line)) {
      std::vector<PackKind> with = kinds;
      with.push_back(*kind);
      if (packKindsProblem(with).empty()) {
        kinds = std::move(with);
      }
    }
  }
  return kinds.empty() ? defaultPackKinds() : kinds;
}

bool writePackKinds(const std::filesystem::path& programFolder, const std::vector<PackKind>& kinds,
                    std::string& error, const shell::LanguageTexts& texts) {
  error = packKindsProblem(kinds, texts);
  if (!error.empty()) {
    return false;
  }
  std::vector<std::string> lines;
  for (const PackKind& kind : kinds) {
    lines.push_back(kind.name + "=" + std::to_string(kind.days));
  }
  std::string why;
  if (!shell::writeSettingsSection(programFolder, kPackKindsSection, lines, why)) {
    error = shell::utf8ToWindows1252(why);
    return false;
  }
  return true;
}

std::string dayAfter(int day, int month, int year, int days) {
  using namespace std::chrono;
  const sys_days start{std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) /
                       std::chrono::day(static_cast<unsigned>(day))};
  const year_month_day end{start + std::chrono::days(days)};
  char text[16];
  std::snprintf(text, sizeof text, "%02u/%02u/%04d", static_cast<unsigned>(end.day()),
                static_cast<unsigned>(end.month()), static_cast<int>(end.year()));
  return text;
}

std::optional<PackLabel> packLabelFor(const std::filesystem::path& programFolder,
                                      const std::string& path, int storageDays,
                                      const std::string& packKind, std::string& error,
                                      const shell::LanguageTexts& texts) {
  const std::string shown = shell::utf8ToWindows1252(path);
  if (!isArchivePath(path)) {
    error = shell::ownText(texts, shell::Text::LabelBadPath, {shown});
    return std::nullopt;
  }
  if (storageDays < kMinStorageDays || storageDays > kMaxStorageDays) {
    error = shell::ownText(
        texts, shell::Text::PackKindDays,
        {packKind, std::to_string(kMinStorageDays), std::to_string(kMaxStorageDays)});
    return std::nullopt;
  }
  const std::optional<Bytes> bytes =
      shell::readWholeFile(programFolder / shell::pathFromUtf8(path));
  if (!bytes) {
    error = shell::ownText(texts, shell::Text::LabelUnreadable, {shown});
    return std::nullopt;
  }
  const std::optional<StoredCycle> cycle = storedCycle(*bytes);
  if (!cycle) {
    error = shell::ownText(texts, shell::Text::LabelNotACycle, {shown});
    return std::nullopt;
  }
  const std::string sha = sha256Of(*bytes);
  const ReleaseBook book = ReleaseBook::read(programFolder);
  const Release* latest = book.latest(path);
  switch (releaseState(latest, sha)) {
    case ReleaseState::Released:
      break;
    case ReleaseState::Unreleased:
      error = shell::ownText(texts, shell::Text::LabelUnreleased, {shown});
      return std::nullopt;
    case ReleaseState::Rejected:
      error = shell::ownText(texts, shell::Text::LabelRejected, {shown, latest->operatorInitials});
      return std::nullopt;
    case ReleaseState::Changed:
      error = shell::ownText(texts, shell::Text::LabelChanged, {shown});
      return std::nullopt;
  }
  // The record holds a two-digit year: this century's.
  const int year = 2000 + cycle->start.year % 100;
  const std::chrono::year_month_day start{
      std::chrono::year(year), std::chrono::month(static_cast<unsigned>(cycle->start.month)),
      std::chrono::day(static_cast<unsigned>(cycle->start.day))};
  if (!start.ok()) {
    error = shell::ownText(texts, shell::Text::LabelNotACycle, {shown});
    return std::nullopt;
  }
  PackLabel label;
  label.serial = cycle->serial;
  label.program = cycle->program;
  label.cycleNumber = cycle->cycleNumber;
  label.cycleDate = dayAfter(cycle->start.day, cycle->start.month, year, 0);
  label.expiryDate = dayAfter(cycle->start.day, cycle->start.month, year, storageDays);
  label.operatorInitials = latest->operatorInitials;
  label.packKind = packKind;
  label.code = packCode(cycle->serial, cycle->cycleNumber, sha);
  return label;
}

PackCodeSearch findPackCode(const std::filesystem::path& programFolder, const std::string& code,
                            std::string& error, const shell::LanguageTexts& texts) {
  const std::optional<PackCodeParts> parts = parsePackCode(code);
  if (!parts) {
    std::string shown = code;
    while (!shown.empty() && (shown.back() == '\r' || shown.back() == '\n')) {
      shown.pop_back();
    }
    error = shell::ownText(texts, shell::Text::CodeNotACode, {shown});
    return {PackCodeFind::NotACode, {}};
  }
  PackCodeSearch search{PackCodeFind::NoCycle, {}};
  // A saved cycle's name carries its number: those files are read first, so
  // that a scan finds its cycle without reading the whole archive.
  std::vector<StoredFile> files = storedFiles(programFolder);
  const std::string digits = std::to_string(parts->cycleNumber);
  std::stable_partition(files.begin(), files.end(), [&](const StoredFile& file) {
    return file.path.substr(file.path.rfind('/') + 1).find(digits) != std::string::npos;
  });
  for (const StoredFile& file : files) {
    const std::optional<Bytes> bytes =
        shell::readWholeFile(programFolder / shell::pathFromUtf8(file.path));
    if (!bytes) {
      continue;
    }
    const std::optional<StoredCycle> cycle = storedCycle(*bytes);
    if (!cycle || cycle->serial != parts->serial || cycle->cycleNumber != parts->cycleNumber) {
      continue;
    }
    if (sha256Of(*bytes).starts_with(parts->shaPrefix)) {
      return {PackCodeFind::Found, file.path};
    }
    if (search.outcome == PackCodeFind::NoCycle) {
      search = {PackCodeFind::Changed, file.path};
    }
  }
  const std::string number = std::to_string(parts->cycleNumber);
  error = search.outcome == PackCodeFind::NoCycle
              ? shell::ownText(texts, shell::Text::CodeNoCycle, {number, parts->serial})
              : shell::ownText(texts, shell::Text::CodeChanged,
                               {number, parts->serial, shell::utf8ToWindows1252(search.path)});
  return search;
}

}  // namespace vestrim::archive
