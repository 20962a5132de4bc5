#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "shell/own_texts.h"

// Pack labels: one label for each sterilised pack, linking the pack to the
// cycle that sterilised it. The label carries the pack code, a short text
// naming the machine, the cycle and the first digits of the stored file's
// SHA-256, so that a scanned label finds its cycle again and shows whether
// the file changed since. Only released cycles get labels.
namespace vestrim::archive {

// "VST1:<serial>:<cycle number>:<first 8 hex digits of the SHA-256>".
inline constexpr const char* kPackCodePrefix = "VST1";
inline constexpr std::size_t kPackCodeShaDigits = 8;

// The pack code of a stored cycle: the serial as the record holds it,
// trimmed of blanks; the number in decimal; the SHA-256 (hex, any letter
// case) cut to its first 8 digits, in lower case. Single-byte text.
std::string packCode(const std::string& serial, int cycleNumber, const std::string& sha256hex);

struct PackCodeParts {
  std::string serial;
  int cycleNumber = 0;
  std::string shaPrefix;  // 8 lower-case hex digits

  bool operator==(const PackCodeParts&) const = default;
};

// The parts of a pack code; nothing when `text` is not one. Line ends and
// blanks after the code (as a scanner may send them) are dropped; anything
// else must be exact: the prefix, a number of at most 9 digits without
// leading zeros, 8 hex digits. The serial is what stands between the prefix
// and the last two fields, so it may itself hold a colon.
std::optional<PackCodeParts> parsePackCode(const std::string& text);

// A kind of pack and how many days it keeps sterile in storage.
struct PackKind {
  std::string name;  // single-byte text
  int days = 0;

  bool operator==(const PackKind&) const = default;
};
inline constexpr int kMinStorageDays = 1;
inline constexpr int kMaxStorageDays = 3650;

// Pouch, Wrapped and Container, 180 days each.
std::vector<PackKind> defaultPackKinds();

// What is wrong with a list of kinds before it is kept: none, an empty or
// too long name (more than 30 characters), one with a control character or
// starting with "[", two of the same name (any letter case), days out of
// 1..3650. Empty when nothing is; else why, in the language of `texts`.
std::string packKindsProblem(const std::vector<PackKind>& kinds,
                             const shell::LanguageTexts& texts = shell::englishOnly());

// The kinds kept in the settings file of `programFolder` (its section
// "[Pack kinds]", one "Name=days" a line), the defaults when it keeps none
// that can be used. Lines that are not a kind are passed over.
std::vector<PackKind> readPackKinds(const std::filesystem::path& programFolder);
// Keeps `kinds` in the settings file, safely. False with `error` set when
// they are refused (packKindsProblem()) or the file cannot be written.
bool writePackKinds(const std::filesystem::path& programFolder, const std::vector<PackKind>& kinds,
                    std::string& error, const shell::LanguageTexts& texts = shell::englishOnly());

// "03/09/2025": the day `days` days after day/month/year (four-digit year),
// in the real calendar.
std::string dayAfter(int day, int month, int year, int days);

// What one label shows. Single-byte text.
struct PackLabel {
  std::string serial;
  std::string program;
  int cycleNumber = 0;
  std::string cycleDate;         // "07/03/2025": the day the cycle started
  std::string expiryDate;        // the cycle's day plus the pack kind's storage days
  std::string operatorInitials;  // of the release
  std::string packKind;
  std::string code;  // packCode()
};

// The label of the stored file `path` (below `programFolder`, "/"-joined)
// for a pack kept `storageDays` days. Nothing, with `error` saying why in
// the language of `texts`, when the file cannot be read, is not a cycle, or
// its last release does not hold: none, a rejection, or bytes changed since.
std::optional<PackLabel> packLabelFor(const std::filesystem::path& programFolder,
                                      const std::string& path, int storageDays,
                                      const std::string& packKind, std::string& error,
                                      const shell::LanguageTexts& texts = shell::englishOnly());

// Where a scanned pack code leads.
enum class PackCodeFind {
  Found,     // `path` is the cycle's file, unchanged since the label was made
  NotACode,  // the text is no pack code
  NoCycle,   // no stored cycle of that machine has that number
  Changed,   // the cycle's file differs from the one the label was made for
};
struct PackCodeSearch {
  PackCodeFind outcome = PackCodeFind::NotACode;
  std::string path;  // below the program folder, "/"-joined; for Found and Changed
};

// Looks for the stored cycle of a pack code among the stored files of
// `programFolder`: the machine's serial and the cycle number choose it, the
// SHA-256 digits confirm it. Where several files hold the same cycle (an
// odd archive), the one whose digits match wins. `error` says why for every
// outcome but Found, in the language of `texts`.
PackCodeSearch findPackCode(const std::filesystem::path& programFolder, const std::string& code,
                            std::string& error,
                            const shell::LanguageTexts& texts = shell::englishOnly());

}  // namespace vestrim::archive
