#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/release.h"

struct sqlite3;

// The search index of the stored cycles: what each cycle file holds (serial
// number, cycle number, program, start and end, result, alarm code, sample
// count), kept in an SQLite file in the user's cache folder, never in the
// archive's folder, which may be shared between PCs where SQLite's locking
// cannot be trusted. The sealed files stay the only truth: the index is
// rebuilt when it is missing or damaged, and each refresh reads again the
// files whose size or time changed.
namespace vestrim::archive {

// One stored cycle (vacuum tests included, technical reports not).
struct IndexedCycle {
  std::string path;  // below the program folder, "/"-joined
  std::string serial;
  int cycleNumber = 0;
  std::string program;  // single-byte text
  std::string start;    // "2025-03-07 08:10"
  std::string end;
  int alarmCode = 0;
  int result = 0;
  int CycleCode = 0;
  int samples = 0;
  // Its last release against its bytes now (read from the journal and the
  // file at each search, never kept in the index).
  ReleaseState release = ReleaseState::Unreleased;

  bool operator==(const IndexedCycle&) const = default;
};

enum class ResultFilter { Any, Passed, Alarm };
// Unreleased: no release holds for the file's bytes (none, or changed since).
enum class ReleaseFilter { Any, Released, Unreleased, Rejected };

// Every field is optional; a cycle matches when it meets all that are set.
struct SearchFilter {
  std::string from;                         // "2025-03-01": started on that day or later
  std::string to;                           // started on that day or earlier
  std::string program;                      // part of the program text, any letter case
  ResultFilter result = ResultFilter::Any;  // passed: no alarm code
  std::optional<int> cycleNumber;
  std::string name;  // part of the file's name, any letter case
  ReleaseFilter release = ReleaseFilter::Any;
};

struct RefreshCounts {
  bool rebuilt = false;  // the index file was missing or damaged and made anew
  std::size_t read = 0;  // files read (new or changed)
  std::size_t removed = 0;
  std::size_t unchanged = 0;
};

class SearchIndex {
 public:
  // The index file of `programFolder` in `cacheFolder`: one per archive.
  static std::filesystem::path indexFile(const std::filesystem::path& cacheFolder,
                                         const std::filesystem::path& programFolder);

  // Opens the index `file` of the archive in `programFolder`, making it anew
  // when it is missing, not an index, or damaged. Nothing, with `error`,
  // when no index can be made there.
  static std::unique_ptr<SearchIndex> open(const std::filesystem::path& file,
                                           const std::filesystem::path& programFolder,
                                           std::string& error);
  ~SearchIndex();
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;

  // Brings the index up to the archive's files. Nothing, with `error`, when
  // the index cannot be written even after being made anew.
  std::optional<RefreshCounts> refresh(std::string& error);

  // The matching cycles by start, then path.
  std::vector<IndexedCycle> search(const SearchFilter& filter, std::string& error);

 private:
  SearchIndex(sqlite3* db, std::filesystem::path file, std::filesystem::path programFolder)
      : db_(db), file_(std::move(file)), programFolder_(std::move(programFolder)) {}
  bool update(RefreshCounts& counts, std::string& error);

  sqlite3* db_;
  bool madeAnew_ = false;
  std::filesystem::path file_;
  std::filesystem::path programFolder_;
};

}  // namespace vestrim::archive
