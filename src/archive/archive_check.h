#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/journal.h"
#include "archive/release.h"
#include "shell/local_time.h"
#include "shell/own_texts.h"

// The archive check: every stored file verified as the report window reads
// it (seal and check sum) and compared with its journal entry, the journal's
// chain verified, and the cycle numbers of each machine searched for gaps.
// The check reads; only restoreFileTimes changes anything, and only the
// times of files that were copied without them.
namespace vestrim::archive {

enum class FileState {
  Intact,              // its entry vouches for it and its seal holds
  Changed,             // its bytes differ from its entry
  Missing,             // an entry without its file
  CopiedWithoutTimes,  // its seal fails, its bytes are those of its entry
  Unknown,             // no entry; seal and check sum hold
  Bad,                 // no entry, and seal or check sum fails (or it cannot be read)
};
inline constexpr std::size_t kFileStates = 6;

// "intact", "changed", "missing", "copied without its times", "unknown", "bad":
// the names the command line's JSON keeps, in English.
std::string stateText(FileState state);
// The same in the language of `texts`, for people.
std::string stateName(FileState state, const shell::LanguageTexts& texts);

struct CheckedFile {
  std::string path;  // below the program folder, "/"-joined
  FileState state = FileState::Bad;
  std::string detail;    // why, for a state other than intact
  std::string entrySha;  // the SHA-256 its journal entry holds; empty without one
};

// Cycle numbers of one machine missing between its first and last stored
// cycle, as runs from `first` to `last`.
struct CycleGap {
  std::string serial;  // single-byte text; empty when the records hold none
  int first = 0;
  int last = 0;
};

// The last release of a cycle, and whether it still holds: empty `problem`
// when the file is there with the bytes that were released.
struct CheckedRelease {
  Release release;
  std::string problem;  // single-byte text in the check's language
};

struct ArchiveCheck {
  std::filesystem::path programFolder;
  shell::LocalTime checkedAt;
  std::vector<CheckedFile> files;  // every stored file and every missing one, by path
  std::array<std::size_t, kFileStates> counts{};
  bool journalExists = false;
  bool journalReadable = true;
  std::size_t journalEntries = 0;
  std::vector<JournalProblem> journalProblems;
  std::vector<CycleGap> gaps;
  std::vector<CheckedRelease> releases;  // the last of each cycle, in the journal's order
  std::size_t releaseEntries = 0;        // every release entry, earlier ones included
  std::string fingerprint;               // the journal's last chained hash

  std::size_t count(FileState state) const { return counts[static_cast<std::size_t>(state)]; }
  // Nothing changed, missing, bad or unverifiable, a whole journal, and
  // every cycle's last release holding for its file.
  // Unknown files and gaps are reported but do not fail the check: records
  // sealed before the journal existed are unknown, and a gap may be a cycle
  // that was never saved.
  bool passed() const;
};

// Told after each file; answering false cancels the check.
using CheckProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Checks the archive of `programFolder`; the details of what it finds in the
// language of `texts`. Nothing when cancelled.
std::optional<ArchiveCheck> checkArchive(const std::filesystem::path& programFolder,
                                         const CheckProgress& progress = {},
                                         const shell::LanguageTexts& texts = shell::englishOnly());

// The result as lines of single-byte text: the terminal, the PDF and the
// paper record show these. Intact files are counted, the others listed.
std::vector<std::string> checkReportLines(const ArchiveCheck& check,
                                          const shell::LanguageTexts& texts = shell::englishOnly());
// Lines of it that the window shows too: "Checked on 07/03/2025 10:12:33",
// "Journal: 412 entries, chain whole", "Files: 412 - 410 intact, ...".
std::string checkedOnLine(const ArchiveCheck& check,
                          const shell::LanguageTexts& texts = shell::englishOnly());
std::string journalLine(const ArchiveCheck& check,
                        const shell::LanguageTexts& texts = shell::englishOnly());
// "Releases: 3 (2 released, 1 rejected)", the last of each cycle counted.
std::string releasesLine(const ArchiveCheck& check,
                         const shell::LanguageTexts& texts = shell::englishOnly());
std::string countsLine(const ArchiveCheck& check,
                       const shell::LanguageTexts& texts = shell::englishOnly());

struct RestoreResult {
  std::vector<std::string> restored;  // paths
  std::vector<std::string> failed;    // path and why
};

// Sets the modification time of each file the check found copied without
// its times back to the time its seal records, once its bytes are seen to
// be still those of its entry. No other file is touched.
RestoreResult restoreFileTimes(const ArchiveCheck& check);

}  // namespace vestrim::archive
