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

std::string entryText(const JournalEntry& entry) {
  return "journal entry " + std::to_string(entry.sequence);
}

// Judges one stored file against its entry (none: `entry` is null).
CheckedFile judge(const std::filesystem::path& programFolder, const std::string& path,
                  const JournalEntry* entry, std::map<std::string, std::set<int>>& numbers) {
  CheckedFile file{path, FileState::Bad, {}, entry ? entry->sha256 : std::string()};
  const std::filesystem::path full = programFolder / shell::pathFromUtf8(path);
  const std::optional<shell::LocalTime> modified = shell::fileModifiedLocalTime(full);
  const std::optional<Bytes> bytes = shell::readWholeFile(full);
  if (!bytes || !modified) {
    file.detail = "cannot be read";
    return file;
  }
  if (const std::optional<StoredCycle> cycle = storedCycle(*bytes)) {
    numbers[cycle->serial].insert(cycle->cycleNumber);
  }
  const bool sealHolds = record::sealMatches(sealOf(*bytes), *modified);
  if (entry) {
    if (sha256Hex(*bytes) != entry->sha256) {
      file.state = FileState::Changed;
      file.detail = "its bytes differ from " + entryText(*entry);
    } else if (sealHolds) {
      file.state = FileState::Intact;
    } else {
      file.state = FileState::CopiedWithoutTimes;
      const std::optional<shell::LocalTime> sealed = record::sealedTime(sealOf(*bytes));
      file.detail = "modified " + timeText(*modified) + ", sealed " +
                    (sealed ? timeText(*sealed) : std::string("at no valid time"));
    }
    return file;
  }
  const record::CycleFile read = record::readCycleFile(*bytes, *modified);
  file.state = read.showable() ? FileState::Unknown : FileState::Bad;
  file.detail =
      (read.showable() ? "" : record::statusText(read.status) + ", ") + "no journal entry";
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
         journalProblems.empty() && journalReadable;
}

std::optional<ArchiveCheck> checkArchive(const std::filesystem::path& programFolder,
                                         const CheckProgress& progress) {
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
      latest[entry.path] = &entry;
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
    check.files.push_back(judge(programFolder, files[i].path, entry, numbers));
    if (entry) {
      latest.erase(found);
    }
  }
  for (const auto& [path, entry] : latest) {
    check.files.push_back({path, FileState::Missing, entryText(*entry), entry->sha256});
  }
  std::sort(check.files.begin(), check.files.end(),
            [](const CheckedFile& a, const CheckedFile& b) { return a.path < b.path; });
  for (const CheckedFile& file : check.files) {
    ++check.counts[static_cast<std::size_t>(file.state)];
  }
  check.gaps = gapsIn(numbers);
  if (progress) {
    progress(files.size(), files.size());
  }
  return check;
}

std::string checkedOnLine(const ArchiveCheck& check) {
  return "Checked on " + timeText(check.checkedAt);
}

std::string journalLine(const ArchiveCheck& check) {
  if (!check.journalExists) {
    return "Journal: none";
  }
  if (!check.journalReadable) {
    return "Journal: cannot be read";
  }
  return "Journal: " + std::to_string(check.journalEntries) + " entries, " +
         (check.journalProblems.empty() ? "chain whole" : "chain broken");
}

std::string countsLine(const ArchiveCheck& check) {
  std::string counts = "Files: " + std::to_string(check.files.size()) + " - ";
  for (std::size_t state = 0; state < kFileStates; ++state) {
    counts += (state ? ", " : "") + std::to_string(check.counts[state]) + " " +
              stateText(static_cast<FileState>(state));
  }
  return counts;
}

std::vector<std::string> checkReportLines(const ArchiveCheck& check) {
  const auto core = [](const std::string& utf8) { return shell::utf8ToWindows1252(utf8); };
  std::vector<std::string> lines{"Archive check of " + core(check.programFolder.string()),
                                 checkedOnLine(check), journalLine(check), countsLine(check)};
  if (check.count(FileState::Intact) != check.files.size()) {
    lines.emplace_back();
    lines.push_back("Files not intact:");
    for (const CheckedFile& file : check.files) {
      if (file.state != FileState::Intact) {
        std::string state = stateText(file.state);
        state.resize(26, ' ');
        lines.push_back("  " + state + core(file.path));
        lines.push_back(std::string(28, ' ') + core(file.detail));
      }
    }
  }
  if (!check.journalProblems.empty()) {
    lines.emplace_back();
    lines.push_back("Journal problems:");
    for (const JournalProblem& problem : check.journalProblems) {
      lines.push_back("  line " + std::to_string(problem.line) + ": " + problem.text);
    }
  }
  lines.emplace_back();
  lines.push_back(std::string("Cycle-number gaps:") + (check.gaps.empty() ? " none" : ""));
  for (const CycleGap& gap : check.gaps) {
    lines.push_back("  " +
                    (gap.serial.empty() ? std::string("(no serial number)") : "E" + gap.serial) +
                    ": " + std::to_string(gap.first) +
                    (gap.last > gap.first ? " to " + std::to_string(gap.last) : ""));
  }
  lines.emplace_back();
  lines.push_back(std::string("Result: ") +
                  (check.passed() ? "every file verified" : "problems found"));
  lines.push_back("Fingerprint: " + (check.fingerprint.empty() ? "none" : check.fingerprint));
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
