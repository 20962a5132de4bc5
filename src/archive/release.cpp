#include "archive/release.h"

#include <algorithm>
#include <cstdio>

#include "archive/stored_cycle.h"
#include "archive/stored_files.h"
#include "record/cycle_file.h"
#include "shell/local_time.h"
#include "shell/safe_file.h"
#include "shell/sha256.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {
namespace {

// A line of the report's signature block is at most this long.
constexpr std::size_t kBlockWidth = 45;
// A note longer than this is cut; its lines in the report are at most three.
constexpr std::size_t kMostNote = 200;
constexpr std::size_t kMostNoteLines = 3;

using shell::Text;

std::string said(const shell::LanguageTexts& texts, Text text,
                 std::initializer_list<std::string> values = {}) {
  return shell::ownText(texts, text, values);
}

// A line of the block: one line, cut to the block's width.
std::string blockLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
  if (text.size() > kBlockWidth) {
    text.resize(kBlockWidth);
  }
  return text;
}

// `text` broken at blanks into lines of the block's width.
std::vector<std::string> wrapped(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    end = end == std::string::npos ? text.size() : end;
    std::string word = text.substr(start, end - start);
    start = end + 1;
    while (word.size() > kBlockWidth) {
      if (!line.empty()) {
        lines.push_back(line);
        line.clear();
      }
      lines.push_back(word.substr(0, kBlockWidth));
      word.erase(0, kBlockWidth);
    }
    if (!line.empty() && line.size() + 1 + word.size() > kBlockWidth) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

std::optional<shell::LocalTime> utcFields(const std::string& utc) {
  shell::LocalTime time;
  char zone = 0;
  if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &time.year, &time.month, &time.day,
                  &time.hour, &time.minute, &time.second, &zone) != 7 ||
      zone != 'Z') {
    return std::nullopt;
  }
  return time;
}

std::string fieldOf(const JournalEntry& entry, std::string_view name) {
  for (const auto& [field, value] : entry.fields) {
    if (field == name) {
      return value;
    }
  }
  return {};
}

}  // namespace

std::string resultWord(ReleaseResult result) {
  return result == ReleaseResult::Released ? "released" : "rejected";
}

std::string indicatorWord(Indicator indicator) {
  switch (indicator) {
    case Indicator::Passed:
      return "passed";
    case Indicator::Failed:
      return "failed";
    case Indicator::None:
      break;
  }
  return "none";
}

std::string testWord(TestOutcome outcome) {
  switch (outcome) {
    case TestOutcome::Passed:
      return "passed";
    case TestOutcome::Failed:
      return "failed";
    case TestOutcome::NotATest:
      break;
  }
  return {};
}

std::optional<ReleaseResult> resultFromWord(const std::string& word) {
  if (word == "released") {
    return ReleaseResult::Released;
  }
  if (word == "rejected") {
    return ReleaseResult::Rejected;
  }
  return std::nullopt;
}

std::optional<Indicator> indicatorFromWord(const std::string& word) {
  for (const Indicator indicator : {Indicator::None, Indicator::Passed, Indicator::Failed}) {
    if (word == indicatorWord(indicator)) {
      return indicator;
    }
  }
  return std::nullopt;
}

JournalEntry releaseEntry(const Release& release) {
  JournalEntry entry;
  entry.kind = EntryKind::Release;
  entry.sequence = release.sequence;
  entry.utc = release.utc;
  entry.sha256 = release.sha256;
  entry.path = release.path;
  entry.fields = {
      {"operator", release.operatorInitials}, {"name", release.operatorName},
      {"result", resultWord(release.result)}, {"indicator", indicatorWord(release.indicator)},
      {"test", testWord(release.vacuumTest)}, {"note", release.note}};
  return entry;
}

std::optional<Release> releaseOf(const JournalEntry& entry, std::size_t line) {
  if (entry.kind != EntryKind::Release) {
    return std::nullopt;
  }
  const std::optional<ReleaseResult> result = resultFromWord(fieldOf(entry, "result"));
  const std::optional<Indicator> indicator = indicatorFromWord(fieldOf(entry, "indicator"));
  const std::string test = fieldOf(entry, "test");
  if (!result || !indicator || (!test.empty() && test != "passed" && test != "failed")) {
    return std::nullopt;
  }
  return Release{entry.sequence,
                 line,
                 entry.utc,
                 entry.path,
                 entry.sha256,
                 fieldOf(entry, "operator"),
                 fieldOf(entry, "name"),
                 *result,
                 *indicator,
                 test.empty()       ? TestOutcome::NotATest
                 : test == "passed" ? TestOutcome::Passed
                                    : TestOutcome::Failed,
                 fieldOf(entry, "note")};
}

ReleaseBook ReleaseBook::fromJournal(const JournalReading& journal) {
  ReleaseBook book;
  for (std::size_t i = 0; i < journal.entries.size(); ++i) {
    if (const std::optional<Release> release = releaseOf(journal.entries[i], journal.lines[i])) {
      book.all_.push_back(*release);
      book.byPath_[release->path].push_back(*release);
    }
  }
  return book;
}

ReleaseBook ReleaseBook::read(const std::filesystem::path& programFolder) {
  return fromJournal(readJournal(programFolder));
}

const std::vector<Release>& ReleaseBook::history(const std::string& path) const {
  static const std::vector<Release> kNone;
  const auto found = byPath_.find(path);
  return found == byPath_.end() ? kNone : found->second;
}

const Release* ReleaseBook::latest(const std::string& path) const {
  const std::vector<Release>& releases = history(path);
  return releases.empty() ? nullptr : &releases.back();
}

ReleaseState releaseState(const Release* latest, const std::string& currentSha256) {
  if (latest == nullptr) {
    return ReleaseState::Unreleased;
  }
  if (latest->sha256 != currentSha256) {
    return ReleaseState::Changed;
  }
  return latest->result == ReleaseResult::Released ? ReleaseState::Released
                                                   : ReleaseState::Rejected;
}

std::string stateWord(ReleaseState state) {
  switch (state) {
    case ReleaseState::Released:
      return "released";
    case ReleaseState::Rejected:
      return "rejected";
    case ReleaseState::Changed:
      return "changed since its release";
    case ReleaseState::Unreleased:
      break;
  }
  return "unreleased";
}

ReleaseChoice releaseChoice(const std::filesystem::path& file, const shell::LanguageTexts& texts) {
  ReleaseChoice choice;
  const std::string name = shell::utf8ToWindows1252(shell::utf8Of(file.filename()));
  const std::optional<Bytes> bytes = shell::readWholeFile(file);
  const std::optional<shell::LocalTime> modified = shell::fileModifiedLocalTime(file);
  if (!bytes || !modified) {
    choice.why = said(texts, Text::ReleaseUnreadable, {name});
    return choice;
  }
  const std::optional<StoredCycle> cycle = storedCycle(*bytes);
  if (!cycle) {
    choice.why = said(texts, Text::ReleaseNotCycle, {name});
    return choice;
  }
  choice.isCycle = true;
  choice.sha256 = sha256Hex(*bytes);
  choice.serial = cycle->serial;
  choice.cycleNumber = cycle->cycleNumber;
  const bool test = cycle->CycleCode == reports::kVacuumTestCycle;
  if (test) {
    choice.vacuumTest =
        cycle->alarmCode == 0 && cycle->passed ? TestOutcome::Passed : TestOutcome::Failed;
  }
  const record::CycleFile read = record::readCycleFile(*bytes, *modified);
  if (read.status != record::CycleFileStatus::Cycle) {
    choice.why = said(texts, Text::ReleaseSealFails, {name});
  } else if (cycle->alarmCode != 0) {
    choice.why = said(texts, Text::ReleaseAlarm, {std::to_string(cycle->alarmCode)});
  } else if (!cycle->passed) {
    choice.why = said(texts, test ? Text::ReleaseTestFailed : Text::ReleaseFailed);
  } else {
    choice.canRelease = true;
  }
  return choice;
}

std::optional<Release> recordRelease(const std::filesystem::path& programFolder,
                                     const ReleaseRequest& request, std::string& error,
                                     const shell::LanguageTexts& texts) {
  if (!isArchivePath(request.path)) {
    error = said(texts, Text::ReleaseNotCycle, {shell::utf8ToWindows1252(request.path)});
    return std::nullopt;
  }
  const ReleaseChoice choice =
      releaseChoice(programFolder / shell::pathFromUtf8(request.path), texts);
  if (!choice.isCycle) {
    error = choice.why;
    return std::nullopt;
  }
  if (request.result == ReleaseResult::Released && !choice.canRelease) {
    error = choice.why;
    return std::nullopt;
  }
  if (request.result == ReleaseResult::Released && request.indicator == Indicator::Failed) {
    error = said(texts, Text::ReleaseIndicatorsFailed);
    return std::nullopt;
  }
  std::string note = request.note.substr(0, kMostNote);
  std::replace_if(
      note.begin(), note.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
  Release release{0,
                  0,
                  {},
                  request.path,
                  choice.sha256,
                  request.operatorInitials,
                  request.operatorName,
                  request.result,
                  request.indicator,
                  choice.vacuumTest,
                  note};
  JournalEntry entry = releaseEntry(release);
  std::string why;
  const std::unique_ptr<JournalWriter> journal = JournalWriter::open(programFolder, why);
  if (!journal || !journal->append(entry, why)) {
    error = said(texts, Text::ReleaseNotWritten, {shell::utf8ToWindows1252(why)});
    return std::nullopt;
  }
  release.sequence = entry.sequence;
  release.utc = entry.utc;
  return release;
}

std::optional<std::string> archivePathOf(const std::filesystem::path& programFolder,
                                         const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::weakly_canonical(programFolder, error);
  const std::filesystem::path full = error ? file : std::filesystem::weakly_canonical(file, error);
  if (error) {
    return std::nullopt;
  }
  const std::string path = shell::genericUtf8Of(full.lexically_relative(folder));
  if (path.empty() || !isArchivePath(path)) {
    return std::nullopt;
  }
  return path;
}

std::vector<std::string> releaseBlockFor(const std::filesystem::path& programFolder,
                                         const std::filesystem::path& file,
                                         const shell::LanguageTexts& texts) {
  const std::optional<std::string> path = archivePathOf(programFolder, file);
  if (!path) {
    return {};
  }
  const ReleaseBook book = ReleaseBook::read(programFolder);
  const Release* latest = book.latest(*path);
  if (latest == nullptr) {
    return {};
  }
  std::vector<std::string> lines =
      releaseLines(*latest, releaseState(latest, shell::sha256OfFile(file).value_or("")), texts);
  const std::vector<std::string> earlier = earlierReleaseLines(book.history(*path), texts);
  lines.insert(lines.end(), earlier.begin(), earlier.end());
  return lines;
}

std::vector<std::string> earlierReleaseLines(const std::vector<Release>& history,
                                             const shell::LanguageTexts& texts) {
  constexpr std::size_t kShown = 3;
  std::vector<std::string> lines;
  const std::size_t earlier = history.empty() ? 0 : history.size() - 1;
  for (std::size_t i = 0; i < std::min(earlier, kShown); ++i) {
    const Release& release = history[earlier - 1 - i];
    lines.push_back(
        blockLine(said(texts, Text::ReleaseEarlier,
                       {said(texts, release.result == ReleaseResult::Released ? Text::WordReleased
                                                                              : Text::WordRejected),
                        release.operatorInitials, localTimeText(release.utc)})));
  }
  if (earlier > kShown) {
    lines.push_back(blockLine(said(texts, Text::AndMore, {std::to_string(earlier - kShown)})));
  }
  return lines;
}

std::string localTimeText(const std::string& utc) {
  const std::optional<shell::LocalTime> fields = utcFields(utc);
  if (!fields) {
    return utc;
  }
  const shell::LocalTime local = shell::localFromUtc(*fields);
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d", local.day % 100, local.month % 100,
                local.year % 10000, local.hour % 100, local.minute % 100);
  return text;
}

std::vector<std::string> releaseLines(const Release& release, ReleaseState state,
                                      const shell::LanguageTexts& texts) {
  std::vector<std::string> lines;
  lines.push_back(blockLine(
      said(texts, release.result == ReleaseResult::Released ? Text::ReleasedBy : Text::RejectedBy,
           {release.operatorInitials, release.operatorName})));
  lines.push_back(blockLine(said(texts, Text::ReleaseOn, {localTimeText(release.utc)})));
  const Text indicator = release.indicator == Indicator::Passed   ? Text::IndicatorPassed
                         : release.indicator == Indicator::Failed ? Text::IndicatorFailed
                                                                  : Text::IndicatorNone;
  lines.push_back(blockLine(said(texts, Text::ReleaseIndicators, {said(texts, indicator)})));
  if (release.vacuumTest != TestOutcome::NotATest) {
    lines.push_back(blockLine(
        said(texts, Text::ReleaseTest,
             {said(texts, release.vacuumTest == TestOutcome::Passed ? Text::TestPassed
                                                                    : Text::TestFailed)})));
  }
  if (!release.note.empty()) {
    std::vector<std::string> note = wrapped(said(texts, Text::ReleaseNote, {release.note}));
    note.resize(std::min(note.size(), kMostNoteLines));
    lines.insert(lines.end(), note.begin(), note.end());
  }
  if (state == ReleaseState::Changed) {
    lines.push_back(blockLine(said(texts, Text::ReleaseNoLongerHolds)));
  }
  return lines;
}

}  // namespace vestrim::archive
