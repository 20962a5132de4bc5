#include "archive/search_index.h"

#include <sqlite3.h>

#include <unordered_map>
#include <utility>

#include "archive/journal.h"
#include "archive/stored_cycle.h"
#include "archive/stored_files.h"
#include "shell/safe_file.h"
#include "shell/sha256.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {
namespace {

// Raised with every change of the tables below: an index of another
// version is made anew.
constexpr int kSchemaVersion = 2;
constexpr const char* kSchema = R"(
  CREATE TABLE files(
    path TEXT PRIMARY KEY,
    size INTEGER NOT NULL,
    modified INTEGER NOT NULL,
    cycle INTEGER NOT NULL,  -- 0: the file holds no cycle (a technical report, a short file)
    name TEXT NOT NULL,      -- the file's name, for the free text
    serial TEXT, number INTEGER, program TEXT, start TEXT, end TEXT,
    alarm INTEGER, result INTEGER, code INTEGER, samples INTEGER);
  CREATE INDEX files_start ON files(start, path);
  PRAGMA user_version = 2;
)";

// A prepared statement, finalised when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) {
      statement_ = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return statement_ != nullptr; }
  sqlite3_stmt* get() const { return statement_; }
  void bind(int index, const std::string& text) {
    sqlite3_bind_text(statement_, index, text.c_str(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
  }
  void bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }
  // One step: true while it yields a row.
  int step() { return sqlite3_step(statement_); }
  void reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  std::string text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text ? reinterpret_cast<const char*>(text) : std::string();
  }
  std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

bool execute(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string dbError(sqlite3* db) {
  return std::string("search index: ") + sqlite3_errmsg(db);
}

// Whether `db` is an index of this version; a new, empty file becomes one.
bool usable(sqlite3* db) {
  sqlite3_busy_timeout(db, 5000);
  Statement check(db, "PRAGMA quick_check");
  if (!check || check.step() != SQLITE_ROW || check.text(0) != "ok") {
    return false;
  }
  Statement version(db, "PRAGMA user_version");
  if (!version || version.step() != SQLITE_ROW) {
    return false;
  }
  if (version.integer(0) == kSchemaVersion) {
    return true;
  }
  Statement tables(db, "SELECT count(*) FROM sqlite_master");
  return tables && tables.step() == SQLITE_ROW && tables.integer(0) == 0 && execute(db, kSchema);
}

void removeIndexFiles(const std::filesystem::path& file) {
  std::error_code ignored;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(std::filesystem::path(file) += suffix, ignored);
  }
}

// Opens the index file, making it anew when it is not a usable index.
sqlite3* openIndex(const std::filesystem::path& file, bool& madeAnew, std::string& error) {
  std::error_code ignored;
  const bool existed = std::filesystem::exists(file, ignored);
  madeAnew = !existed;
  for (int attempt = 0; attempt < 2; ++attempt) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(shell::utf8Of(file).c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
        usable(db)) {
      return db;
    }
    error = db ? dbError(db) : std::string("search index: out of memory");
    sqlite3_close(db);
    removeIndexFiles(file);
    madeAnew = true;
  }
  return nullptr;
}

}  // namespace

std::filesystem::path SearchIndex::indexFile(const std::filesystem::path& cacheFolder,
                                             const std::filesystem::path& programFolder) {
  std::error_code ignored;
  const std::string folder =
      shell::utf8Of(std::filesystem::absolute(programFolder, ignored).lexically_normal());
  const std::string digest =
      sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(folder.data()), folder.size()));
  return cacheFolder / ("archive-" + digest.substr(0, 16) + ".sqlite");
}

std::unique_ptr<SearchIndex> SearchIndex::open(const std::filesystem::path& file,
                                               const std::filesystem::path& programFolder,
                                               std::string& error) {
  std::error_code folderError;
  std::filesystem::create_directories(file.parent_path(), folderError);
  bool madeAnew = false;
  sqlite3* db = openIndex(file, madeAnew, error);
  if (!db) {
    return nullptr;
  }
  auto index = std::unique_ptr<SearchIndex>(new SearchIndex(db, file, programFolder));
  index->madeAnew_ = madeAnew;
  return index;
}

SearchIndex::~SearchIndex() {
  sqlite3_close(db_);
}

std::optional<RefreshCounts> SearchIndex::refresh(std::string& error) {
  RefreshCounts counts;
  counts.rebuilt = std::exchange(madeAnew_, false);
  if (update(counts, error)) {
    return counts;
  }
  // A damaged index is never repaired: it is made anew from the files.
  sqlite3_close(db_);
  db_ = nullptr;
  removeIndexFiles(file_);
  bool madeAnew = false;
  db_ = openIndex(file_, madeAnew, error);
  counts = {};
  counts.rebuilt = true;
  if (!db_ || !update(counts, error)) {
    return std::nullopt;
  }
  return counts;
}

bool SearchIndex::update(RefreshCounts& counts, std::string& error) {
  if (!db_) {
    return false;
  }
  std::unordered_map<std::string, std::pair<std::int64_t, std::int64_t>> known;
  {
    Statement rows(db_, "SELECT path, size, modified FROM files");
    if (!rows) {
      error = dbError(db_);
      return false;
    }
    int step = SQLITE_ROW;
    while ((step = rows.step()) == SQLITE_ROW) {
      known.emplace(rows.text(0), std::pair(rows.integer(1), rows.integer(2)));
    }
    if (step != SQLITE_DONE) {
      error = dbError(db_);
      return false;
    }
  }
  const std::vector<StoredFile> files = storedFiles(programFolder_);
  if (!execute(db_, "BEGIN IMMEDIATE")) {
    error = dbError(db_);
    return false;
  }
  Statement put(db_,
                "INSERT OR REPLACE INTO files(path, size, modified, cycle, name, serial, number, "
                "program, start, end, alarm, result, code, samples) "
                "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)");
  Statement drop(db_, "DELETE FROM files WHERE path = ?1");
  bool ok = put && drop;
  for (const StoredFile& file : files) {
    const auto found = known.find(file.path);
    if (found != known.end()) {
      const bool same =
          found->second == std::pair(static_cast<std::int64_t>(file.size), file.modified);
      known.erase(found);
      if (same) {
        ++counts.unchanged;
        continue;
      }
    }
    if (!ok) {
      break;
    }
    const std::optional<Bytes> bytes =
        shell::readWholeFile(programFolder_ / shell::pathFromUtf8(file.path));
    const std::optional<StoredCycle> cycle = bytes ? storedCycle(*bytes) : std::nullopt;
    put.bind(1, file.path);
    put.bind(2, static_cast<std::int64_t>(file.size));
    put.bind(3, file.modified);
    put.bind(4, std::int64_t{cycle ? 1 : 0});
    put.bind(5, shell::utf8Of(shell::pathFromUtf8(file.path).filename()));
    if (cycle) {
      put.bind(6, shell::windows1252ToUtf8(cycle->serial));
      put.bind(7, std::int64_t{cycle->cycleNumber});
      put.bind(8, shell::windows1252ToUtf8(cycle->program));
      put.bind(9, dateTimeText(cycle->start));
      put.bind(10, dateTimeText(cycle->end));
      put.bind(11, std::int64_t{cycle->alarmCode});
      put.bind(12, std::int64_t{cycle->result});
      put.bind(13, std::int64_t{cycle->CycleCode});
      put.bind(14, std::int64_t{cycle->samples});
    }
    ok = put.step() == SQLITE_DONE;
    put.reset();
    ++counts.read;
  }
  for (const auto& [path, unused] : known) {
    if (!ok) {
      break;
    }
    drop.bind(1, path);
    ok = drop.step() == SQLITE_DONE;
    drop.reset();
    ++counts.removed;
  }
  if (!ok || !execute(db_, "COMMIT")) {
    error = dbError(db_);
    execute(db_, "ROLLBACK");
    return false;
  }
  return true;
}

std::vector<IndexedCycle> SearchIndex::search(const SearchFilter& filter, std::string& error) {
  std::vector<IndexedCycle> found;
  if (!db_) {
    error = "search index: not open";
    return found;
  }
  std::string sql =
      "SELECT path, serial, number, program, start, end, alarm, result, code, samples "
      "FROM files WHERE cycle = 1";
  std::vector<std::string> texts;
  // Each set field adds its condition, its "?" bound to the field's text.
  const auto where = [&](const std::string& condition, const std::string& value) {
    if (!value.empty()) {
      texts.push_back(value);
      const std::size_t mark = condition.find('?');
      sql += " AND " + condition.substr(0, mark + 1) + std::to_string(texts.size()) +
             condition.substr(mark + 1);
    }
  };
  where("start >= ?", filter.from);
  where("substr(start, 1, 10) <= ?", filter.to);
  where("instr(lower(program), lower(?)) > 0", shell::windows1252ToUtf8(filter.program));
  where("instr(lower(name), lower(?)) > 0", filter.name);
  where("number = CAST(? AS INTEGER)",
        filter.cycleNumber ? std::to_string(*filter.cycleNumber) : std::string());
  if (filter.result == ResultFilter::Passed) {
    sql += " AND alarm = 0";
  } else if (filter.result == ResultFilter::Alarm) {
    sql += " AND alarm <> 0";
  }
  sql += " ORDER BY start, path";
  Statement query(db_, sql);
  if (!query) {
    error = dbError(db_);
    return found;
  }
  for (std::size_t i = 0; i < texts.size(); ++i) {
    query.bind(static_cast<int>(i + 1), texts[i]);
  }
  int step = SQLITE_ROW;
  while ((step = query.step()) == SQLITE_ROW) {
    found.push_back({query.text(0), shell::utf8ToWindows1252(query.text(1)),
                     static_cast<int>(query.integer(2)), shell::utf8ToWindows1252(query.text(3)),
                     query.text(4), query.text(5), static_cast<int>(query.integer(6)),
                     static_cast<int>(query.integer(7)), static_cast<int>(query.integer(8)),
                     static_cast<int>(query.integer(9)), ReleaseState::Unreleased});
  }
  if (step != SQLITE_DONE) {
    error = dbError(db_);
    found.clear();
    return found;
  }
  const ReleaseBook releases = ReleaseBook::read(programFolder_);
  for (IndexedCycle& cycle : found) {
    const Release* latest = releases.latest(cycle.path);
    cycle.release = latest == nullptr
                        ? ReleaseState::Unreleased
                        : releaseState(latest, shell::sha256OfFile(programFolder_ /
                                                                   shell::pathFromUtf8(cycle.path))
                                                   .value_or(std::string()));
  }
  std::erase_if(found, [&](const IndexedCycle& cycle) {
    switch (filter.release) {
      case ReleaseFilter::Released:
        return cycle.release != ReleaseState::Released;
      case ReleaseFilter::Rejected:
        return cycle.release != ReleaseState::Rejected;
      case ReleaseFilter::Unreleased:
        return cycle.release == ReleaseState::Released || cycle.release == ReleaseState::Rejected;
      case ReleaseFilter::Any:
        break;
    }
    return false;
  });
  return found;
}

}  // namespace vestrim::archive
