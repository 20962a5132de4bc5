#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/journal.h"
#include "shell/own_texts.h"

// Cycle release: who released (or rejected) which load, on what evidence.
// A release is an entry of the archive journal, chained with the entries of
// the saved files, so that a release cannot be changed or removed unseen; a
// second release of the same cycle is a new entry and the first stays.
namespace vestrim::archive {

enum class ReleaseResult { Released, Rejected };
enum class Indicator { None, Passed, Failed };        // the chemical indicators of the load
enum class TestOutcome { NotATest, Passed, Failed };  // a vacuum-test cycle's own result

// "released", "rejected"; "none", "passed", "failed"; "", "passed", "failed":
// the words the journal and the command line use.
std::string resultWord(ReleaseResult result);
std::string indicatorWord(Indicator indicator);
std::string testWord(TestOutcome outcome);
std::optional<ReleaseResult> resultFromWord(const std::string& word);
std::optional<Indicator> indicatorFromWord(const std::string& word);

// One release as the journal holds it.
struct Release {
  std::uint64_t sequence = 0;
  std::size_t line = 0;  // its journal line, 1-based
  std::string utc;       // "2026-12-07T10:12:33Z"
  std::string path;      // the stored file below the program folder, "/"-joined
  std::string sha256;    // of the file's bytes when it was released
  std::string operatorInitials;
  std::string operatorName;  // single-byte text
  ReleaseResult result = ReleaseResult::Rejected;
  Indicator indicator = Indicator::None;
  TestOutcome vacuumTest = TestOutcome::NotATest;
  std::string note;  // single-byte text, one line
};

// The journal entry of a release and back.
JournalEntry releaseEntry(const Release& release);
std::optional<Release> releaseOf(const JournalEntry& entry, std::size_t line);

// Every release of an archive, by stored file, in the journal's order.
class ReleaseBook {
 public:
  static ReleaseBook fromJournal(const JournalReading& journal);
  static ReleaseBook read(const std::filesystem::path& programFolder);

  // The releases of `path`, the first first; empty when it has none.
  const std::vector<Release>& history(const std::string& path) const;
  // The last release of `path`: the one that counts. Null when none.
  const Release* latest(const std::string& path) const;
  const std::vector<Release>& all() const { return all_; }

 private:
  std::vector<Release> all_;
  std::unordered_map<std::string, std::vector<Release>> byPath_;
};

// Where a stored file stands: its last release holds for its bytes now, or
// it has none, or its bytes are not those that were released.
enum class ReleaseState { Unreleased, Released, Rejected, Changed };
ReleaseState releaseState(const Release* latest, const std::string& currentSha256);
// "released", "rejected", "unreleased", "changed since its release".
std::string stateWord(ReleaseState state);

// What a stored file allows to be recorded, judged from its bytes and
// seal: only a cycle record can be released; a cycle that ended with an
// alarm or failed, or a file whose seal or check sum fails, only rejected.
struct ReleaseChoice {
  bool isCycle = false;     // false: nothing can be recorded (`why` says why)
  bool canRelease = false;  // false: only rejected (`why` says why)
  std::string why;          // single-byte text in the language given
  TestOutcome vacuumTest = TestOutcome::NotATest;
  std::string sha256;  // of the file's bytes now
  std::string serial;  // the machine's serial number
  int cycleNumber = 0;
};
ReleaseChoice releaseChoice(const std::filesystem::path& file,
                            const shell::LanguageTexts& texts = shell::englishOnly());

// What the user asks to record.
struct ReleaseRequest {
  std::string path;  // below the program folder, "/"-joined
  std::string operatorInitials;
  std::string operatorName;
  ReleaseResult result = ReleaseResult::Released;
  Indicator indicator = Indicator::None;
  std::string note;  // single-byte text
};

// Judges the file again and appends the release to the journal. Nothing,
// with `error` saying why (in the language given), when it is refused (a
// release that the file does not allow, or of a load whose chemical
// indicators failed) or cannot be written.
std::optional<Release> recordRelease(const std::filesystem::path& programFolder,
                                     const ReleaseRequest& request, std::string& error,
                                     const shell::LanguageTexts& texts = shell::englishOnly());

// The release as lines of the report's signature block, each at most 45
// characters: "Released by AB (Anna Rossi)", "07/12/2026 10:12", the
// indicators, the vacuum test and the note, in the language of `texts`;
// local time. A release that no longer holds for the file's bytes says so.
std::vector<std::string> releaseLines(const Release& release, ReleaseState state,
                                      const shell::LanguageTexts& texts = shell::englishOnly());

// The path of `file` below `programFolder`, "/"-joined, as the journal
// names it; nothing when the file lies outside the program folder.
std::optional<std::string> archivePathOf(const std::filesystem::path& programFolder,
                                         const std::filesystem::path& file);

// The lines that stand for the signature in the reports of `file`: those
// of its last release, then its earlier ones; none when it has no release
// or lies outside the archive.
std::vector<std::string> releaseBlockFor(const std::filesystem::path& programFolder,
                                         const std::filesystem::path& file,
                                         const shell::LanguageTexts& texts = shell::englishOnly());

// The releases of a cycle before its last one, newest first, as lines of
// the same block: "Earlier: rejected by MB on 07/12/2026 09:40"; at most
// three, then how many more.
std::vector<std::string> earlierReleaseLines(
    const std::vector<Release>& history, const shell::LanguageTexts& texts = shell::englishOnly());

// "07/12/2026 10:12": a release's time in local time.
std::string localTimeText(const std::string& utc);

}  // namespace vestrim::archive
