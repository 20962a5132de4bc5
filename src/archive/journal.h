#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/safe_file.h"

// The archive journal: one line for every file that a save or an import
// sealed, and one for every release of a cycle, appended in the program
// folder and never rewritten, so that an inspector can be shown that no
// record was changed or lost and no release was changed afterwards.
//
// The file "Vestrim_Journal.txt" holds one entry per line, fields separated
// by one blank, the line ended by a line feed:
//
//   <sequence> <utc> <size> <sha256> <chain> <path>
//
//   sequence  1 for the first entry, then one more for each entry
//   utc       when the entry was written, "2025-03-07T08:10:12Z"
//   size      the sealed file's size in bytes
//   sha256    SHA-256 of the sealed file's bytes, 64 lower-case hex digits
//   chain     SHA-256 (hex) of the text "<previous chain> <sequence> <utc>
//             <size> <sha256> <path>", the path as the line writes it and
//             the previous chain that of the line before (64 zeros for the
//             first entry); an entry edited, removed or moved breaks it
//   path      the sealed file below the program folder, folders joined by
//             "/", the rest of the line; its bytes below 0x20, 0x7F and "%"
//             are written as "%" and two upper-case hex digits
//
// A release of a cycle is a line of its own kind:
//
//   <sequence> <utc> release <sha256> <chain> <name>=<value> ...
//
//   sha256    of the released file's bytes
//   fields    path, operator, name, result, indicator, test, note, in that
//             order; in a value bytes below 0x21, 0x7F and "%" are written
//             as "%" and two upper-case hex digits
//   chain     SHA-256 (hex) of "<previous chain> <sequence> <utc> release
//             <sha256> <fields>", the fields as the line writes them
//
// The last chain is the archive's fingerprint. A path may have several
// entries (a record saved again replaces its file); the last one counts.
namespace vestrim::archive {

inline constexpr const char* kJournalFileName = "Vestrim_Journal.txt";

enum class EntryKind { File, Release };

struct JournalEntry {
  std::uint64_t sequence = 0;
  std::string utc;
  std::uint64_t size = 0;  // 0 for a release
  std::string sha256;
  std::string chain;
  std::string path;
  EntryKind kind = EntryKind::File;
  // A release's fields after its path, names and values as they are.
  std::vector<std::pair<std::string, std::string>> fields;

  bool operator==(const JournalEntry&) const = default;
};

// SHA-256 of `bytes` as 64 lower-case hex digits.
std::string sha256Hex(std::span<const std::uint8_t> bytes);

// The chain of `entry` after an entry whose chain is `previous`.
std::string chainHash(const std::string& previous, const JournalEntry& entry);
// The entry as its journal line, without the line feed.
std::string formatEntry(const JournalEntry& entry);
// The entry a line holds; nothing when the line is not an entry.
std::optional<JournalEntry> parseEntry(std::string_view line);

// The journal as read back, its chain verified line by line: each entry
// must follow the one on the line before in sequence and in chain.
struct JournalProblem {
  std::size_t line = 0;  // 1-based
  std::string text;
};
struct JournalReading {
  bool exists = false;
  bool readable = true;
  std::vector<JournalEntry> entries;  // every line that holds an entry, in order
  std::vector<std::size_t> lines;     // the line of each entry
  std::vector<JournalProblem> problems;
  std::string lastChain;  // the fingerprint; empty without entries
};
JournalReading readJournal(const std::filesystem::path& programFolder);

// The journal open for appending, locked against every other writer (other
// threads, other programs, other PCs saving into the same shared folder)
// from open until it is destroyed.
class JournalWriter {
 public:
  // Opens (creating it when there is none) and locks the journal of
  // `programFolder`, waiting while another writer holds it. Nothing, with
  // `error` saying why, when it cannot be opened or locked.
  static std::unique_ptr<JournalWriter> open(const std::filesystem::path& programFolder,
                                             std::string& error);

  // Appends the entry of a sealed file: on the disk (flushed and synced)
  // when it returns true. `path` is below the program folder, "/"-joined.
  bool append(const std::string& path, std::span<const std::uint8_t> contents, std::string& error);
  // Appends `entry` after the last one: its sequence, time and chain are
  // set here (and in `entry`). The same guarantee as append.
  bool append(JournalEntry& entry, std::string& error);

 private:
  explicit JournalWriter(std::unique_ptr<shell::DurableFile> file) : file_(std::move(file)) {}
  // The sequence and chain of the last entry, as the journal's end holds it.
  bool lastEntry(std::uint64_t& sequence, std::string& chain, std::string& error);

  std::unique_ptr<shell::DurableFile> file_;  // its lock is the journal's
};

}  // namespace vestrim::archive
