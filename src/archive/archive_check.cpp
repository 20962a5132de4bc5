#include "archive/archive_check.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>

#include "archive/stored_cycle.h"
#include "archive/stored_files.h"
#include "record/cycle_file.h"
#include "record/sealed_record.h"
#include "shell/safe_file.h"
#include "shell/sha256.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {
namespace {

std::string timeText(const shell::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute, t.second);
  return text;
}

std::string sealOf(const Bytes& bytes) {
  return bytes.size() < record::kSealLength
             ? std::string()
             : std::string(bytes.begin(), bytes.begin() + record::kSealLength);
}

// Our text in the language of `texts`, as UTF-8, which details are kept in.
std::string said(const shell::LanguageTexts& texts, shell::Text text,
                 std::initializer_list<std::string> values = {}) {
  return shell::windows1252ToUtf8(shell::ownText(texts, text, values));
}

// Judges one stored file against its entry (none: `entry` is null).
CheckedFile judge(const std::filesystem::path& programFolder, const std::string& path,
                  const JournalEntry* entry, std::map<std::string, std::set<int>>& numbers,
                  const shell::LanguageTexts& texts) {
  using shell::Text;
  CheckedFile file{path, FileState::Bad, {}, entry ? entry->sha256 : std::string()};
  const std::filesystem::path full = programFolder / shell::pathFromUtf8(path);
  const std::optional<shell::LocalTime> modified = shell::fileModifiedLocalTime(full);
  const std::optional<Bytes> bytes = shell::readWholeFile(full);
  if (!bytes || !modified) {
    file.detail = said(texts, Text::DetailUnreadable);
    return file;
  }
  if (const std::optional<StoredCycle> cycle = storedCycle(*bytes)) {
    numbers[cycle->serial].insert(cycle->cycleNumber);
  }
  const bool sealHolds = record::sealMatches(sealOf(*bytes), *modified);
  if (entry) {
    if (sha256Hex(*bytes) != entry->sha256) {
      file.state = FileState::Changed;
      file.detail = said(texts, Text::DetailDiffers, {std::to_string(entry->sequence)});
    } else if (sealHolds) {
      file.state = FileState::Intact;
    } else {
      file.state = FileState::CopiedWithoutTimes;
      const std::optional<shell::LocalTime> sealed = record::sealedTime(sealOf(*bytes));
      file.detail = said(
          texts, Text::DetailCopied,
          {timeText(*modified), sealed ? timeText(*sealed) : said(texts, Text::DetailNoValidTime)});
    }
    return file;
  }
  const record::CycleFile read = record::readCycleFile(*bytes, *modified);
  file.state = read.showable() ? FileState::Unknown : FileState::Bad;
  if (read.showable()) {
    file.detail = said(texts, Text::DetailNoEntry);
    return file;
  }
  const Text status = read.status == record::CycleFileStatus::BadSeal ? Text::DetailBadSeal
                      : read.status == record::CycleFileStatus::BadChecksum
                          ? Text::DetailBadChecksum
                      : read.status == record::CycleFileStatus::TooShort ? Text::DetailTooShort
                                                                         : Text::DetailUnreadable;
  file.detail = said(texts, Text::DetailNotRecord, {shell::ownText(texts, status)});
  return file;
}

std::vector<CycleGap> gapsIn(const std::map<std::string, std::set<int>>& numbers) {
  std::vector<CycleGap> gaps;
  for (const auto& [serial, stored] : numbers) {
    for (auto it = stored.begin(); it != stored.end() && std::next(it) != stored.end(); ++it) {
      if (*std::next(it) > *it + 1) {
        gaps.push_back({serial, *it + 1, *std::next(it) - 1});
      }
    }
  }
  return gaps;
}

// The last release of each cycle against the file's bytes now.
void checkReleases(const std::filesystem::path& programFolder, const ReleaseBook& book,
                   ArchiveCheck& check, const shell::LanguageTexts& texts) {
  check.releaseEntries = book.all().size();
  std::set<std::string> seen;
  for (auto it = book.all().rbegin(); it != book.all().rend(); ++it) {
    if (!isArchivePath(it->path) || !seen.insert(it->path).second) {
      continue;
    }
    CheckedRelease checked{*it, {}};
    const std::filesystem::path file = programFolder / shell::pathFromUtf8(it->path);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
      checked.problem = shell::ownText(texts, shell::Text::ReleaseFileMissing);
    } else if (shell::sha256OfFile(file).value_or(std::string()) != it->sha256) {
      checked.problem = shell::ownText(texts, shell::Text::ReleaseFileChanged);
    }
    check.releases.push_back(std::move(checked));
  }
  std::reverse(check.releases.begin(), check.releases.end());
}

}  // namespace

std::string stateText(FileState state) {
  switch (state) {
    case FileState::Intact:
      return "intact";
    case FileState::Changed:
      return "changed";
    case FileState::Missing:
      return "missing";
    case FileState::CopiedWithoutTimes:
      return "copied without its times";
    case FileState::Unknown:
      return "unknown";
    case FileState::Bad:
      return "bad";
  }
  return "bad";
}

bool ArchiveCheck::passed() const {
  return count(FileState::Changed) + count(FileState::Missing) + count(FileState::Bad) +
                 count(FileState::CopiedWithoutTimes) ==
             0 &&
         journalProblems.empty() && journalReadable &&
         std::all_of(releases.begin(), releases.end(),
                     [](const CheckedRelease& release) { return release.problem.empty(); });
}

std::optional<ArchiveCheck> checkArchive(const std::filesystem::path& programFolder,
                                         const CheckProgress& progress,
                                         const shell::LanguageTexts& texts) {
  ArchiveCheck check;
  check.programFolder = programFolder;
  check.checkedAt = shell::localNow();
  const JournalReading journal = readJournal(programFolder);
  check.journalExists = journal.exists;
  check.journalReadable = journal.readable;
  check.journalEntries = journal.entries.size();
  check.journalProblems = journal.problems;
  check.fingerprint = journal.lastChain;

  // The last entry of each path counts: a record saved again replaced its file.
  std::unordered_map<std::string, const JournalEntry*> latest;
  for (std::size_t i = 0; i < journal.entries.size(); ++i) {
    const JournalEntry& entry = journal.entries[i];
    if (isArchivePath(entry.path)) {
      if (entry.kind == EntryKind::File) {
        latest[entry.path] = &entry;
      }
    } else {
      check.journalProblems.push_back({journal.lines[i], "the path leads outside the archive"});
    }
  }
  std::sort(check.journalProblems.begin(), check.journalProblems.end(),
            [](const JournalProblem& a, const JournalProblem& b) { return a.line < b.line; });

  const std::vector<StoredFile> files = storedFiles(programFolder);
  std::map<std::string, std::set<int>> numbers;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (progress && !progress(i, files.size())) {
      return std::nullopt;
    }
    const auto found = latest.find(files[i].path);
    const JournalEntry* entry = found == latest.end() ? nullptr : found->second;
    check.files.push_back(judge(programFolder, files[i].path, entry, numbers, texts));
    if (entry) {
      latest.erase(found);
    }
  }
  for (const auto& [path, entry] : latest) {
    check.files.push_back({path, FileState::Missing,
                           said(texts, shell::Text::DetailEntry, {std::to_string(entry->sequence)}),
                           entry->sha256});
  }
  std::sort(check.files.begin(), check.files.end(),
            [](const CheckedFile& a, const CheckedFile& b) { return a.path < b.path; });
  for (const CheckedFile& file : check.files) {
    ++check.counts[static_cast<std::size_t>(file.state)];
  }
  check.gaps = gapsIn(numbers);
  checkReleases(programFolder, ReleaseBook::fromJournal(journal), check, texts);
  if (progress) {
    progress(files.size(), files.size());
  }
  return check;
}

std::string stateName(FileState state, const shell::LanguageTexts& texts) {
  return shell::ownText(
      texts, static_cast<shell::Text>(static_cast<std::size_t>(shell::Text::StateIntact) +
                                      static_cast<std::size_t>(state)));
}

std::string checkedOnLine(const ArchiveCheck& check, const shell::LanguageTexts& texts) {
  return shell::ownText(texts, shell::Text::CheckedOn, {timeText(check.checkedAt)});
}

std::string journalLine(const ArchiveCheck& check, const shell::LanguageTexts& texts) {
  using shell::Text;
  if (!check.journalExists) {
    return shell::ownText(texts, Text::JournalNone);
  }
  if (!check.journalReadable) {
    return shell::ownText(texts, Text::JournalUnreadable);
  }
  return shell::ownText(texts,
                        check.journalProblems.empty() ? Text::JournalWhole : Text::JournalBroken,
                        {std::to_string(check.journalEntries)});
}

std::string countsLine(const ArchiveCheck& check, const shell::LanguageTexts& texts) {
  std::string counts;
  for (std::size_t state = 0; state < kFileStates; ++state) {
    counts += (state ? ", " : "") + std::to_string(check.counts[state]) + " " +
              stateName(static_cast<FileState>(state), texts);
  }
  return shell::ownText(texts, shell::Text::FilesCount,
                        {std::to_string(check.files.size()), counts});
}

std::string releasesLine(const ArchiveCheck& check, const shell::LanguageTexts& texts) {
  if (check.releases.empty()) {
    return shell::ownText(texts, shell::Text::ReleasesNone);
  }
  const auto released = std::count_if(
      check.releases.begin(), check.releases.end(),
      [](const CheckedRelease& r) { return r.release.result == ReleaseResult::Released; });
  return shell::ownText(
      texts, shell::Text::ReleasesLine,
      {std::to_string(check.releases.size()), std::to_string(released),
       std::to_string(check.releases.size() - static_cast<std::size_t>(released))});
}

std::vector<std::string> checkReportLines(const ArchiveCheck& check,
                                          const shell::LanguageTexts& texts) {
  using shell::Text;
  const auto core = [](const std::string& utf8) { return shell::utf8ToWindows1252(utf8); };
  const auto said = [&texts](Text text, std::initializer_list<std::string> values = {}) {
    return shell::ownText(texts, text, values);
  };
  std::vector<std::string> lines{said(Text::CheckOf, {core(shell::utf8Of(check.programFolder))}),
                                 checkedOnLine(check, texts), journalLine(check, texts),
                                 countsLine(check, texts)};
  if (check.count(FileState::Intact) != check.files.size()) {
    lines.emplace_back();
    lines.push_back(said(Text::ReportFilesNotIntact));
    for (const CheckedFile& file : check.files) {
      if (file.state != FileState::Intact) {
        std::string state = stateName(file.state, texts);
        state.resize(std::max<std::size_t>(state.size() + 1, 26), ' ');
        lines.push_back("  " + state + core(file.path));
        lines.push_back(std::string(28, ' ') + core(file.detail));
      }
    }
  }
  if (!check.journalProblems.empty()) {
    lines.emplace_back();
    lines.push_back(said(Text::ReportJournalProblems));
    for (const JournalProblem& problem : check.journalProblems) {
      lines.push_back(
          "  " + said(Text::ReportJournalProblem, {std::to_string(problem.line), problem.text}));
    }
  }
  lines.emplace_back();
  lines.push_back(releasesLine(check, texts));
  if (!check.releases.empty()) {
    lines.push_back(said(Text::ReportReleases));
  }
  for (const CheckedRelease& checked : check.releases) {
    const Release& release = checked.release;
    lines.push_back("  " +
                    said(Text::ReportRelease,
                         {said(release.result == ReleaseResult::Released ? Text::WordReleased
                                                                         : Text::WordRejected),
                          release.operatorInitials, localTimeText(release.utc),
                          std::to_string(release.sequence), core(release.path)}));
    if (!checked.problem.empty()) {
      lines.push_back("    " + checked.problem);
    }
  }
  lines.emplace_back();
  lines.push_back(said(check.gaps.empty() ? Text::ReportGapsNone : Text::ReportGaps));
  for (const CycleGap& gap : check.gaps) {
    const std::string numbers =
        gap.last > gap.first
            ? said(Text::ReportGapRange, {std::to_string(gap.first), std::to_string(gap.last)})
            : std::to_string(gap.first);
    lines.push_back("  " + (gap.serial.empty() ? said(Text::NoSerial) : "E" + gap.serial) + ": " +
                    numbers);
  }
  lines.emplace_back();
  lines.push_back(said(check.passed() ? Text::ReportResultVerified : Text::ReportResultProblems));
  lines.push_back(check.fingerprint.empty() ? said(Text::ReportFingerprintNone)
                                            : said(Text::ReportFingerprint, {check.fingerprint}));
  return lines;
}

RestoreResult restoreFileTimes(const ArchiveCheck& check) {
  RestoreResult result;
  for (const CheckedFile& file : check.files) {
    if (file.state != FileState::CopiedWithoutTimes) {
      continue;
    }
    const std::filesystem::path full = check.programFolder / shell::pathFromUtf8(file.path);
    const std::optional<Bytes> bytes = shell::readWholeFile(full);
    if (!bytes || sha256Hex(*bytes) != file.entrySha) {
      result.failed.push_back(file.path + ": changed since the check");
      continue;
    }
    const std::optional<shell::LocalTime> sealed = record::sealedTime(sealOf(*bytes));
    if (!sealed) {
      result.failed.push_back(file.path + ": the seal holds no valid time");
      continue;
    }
    if (!shell::setFileModifiedLocalTime(full, *sealed)) {
      result.failed.push_back(file.path + ": its time cannot be set");
      continue;
    }
    result.restored.push_back(file.path);
  }
  return result;
}

}  // namespace vestrim::archive
