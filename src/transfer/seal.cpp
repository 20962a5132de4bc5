#include "transfer/seal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "archive/journal.h"
#include "record/sealed_name.h"
#include "record/sealed_record.h"
#include "shell/process.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::transfer {
namespace {

constexpr const char* kTemporaryPrefix = ".sealing.";

// The system's words at the end of a file error ("cannot create F: No
// space left on device"): the user is told the folder, not our temporary name.
std::string reasonOf(const std::string& error) {
  const std::size_t colon = error.rfind(": ");
  return colon == std::string::npos ? error : error.substr(colon + 2);
}

bool sameRecord(const std::filesystem::path& existing, const Bytes& sealed) {
  const std::optional<Bytes> stored = shell::readWholeFile(existing);
  return stored && stored->size() == sealed.size() &&
         std::equal(stored->begin() + 12, stored->end(), sealed.begin() + 12);
}

// A program killed while it sealed leaves its temporary file behind: hidden,
// never taken for a record, but never to be finished either. Those of
// processes that are gone are removed, once per folder and process: a
// killed program's files are there before we start, and scanning a folder of
// thousands of records before every seal would make an import quadratic.
void removeAbandonedTemporaries(const std::filesystem::path& folder) {
  static std::mutex guard;
  static std::set<std::filesystem::path> cleaned;
  {
    const std::lock_guard lock(guard);
    if (!cleaned.insert(folder).second) {
      return;
    }
  }
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = shell::utf8Of(entry.path().filename());
    if (!name.starts_with(kTemporaryPrefix)) {
      continue;
    }
    const long pid = std::strtol(name.c_str() + std::strlen(kTemporaryPrefix), nullptr, 10);
    if (pid > 0 && shell::processHasEnded(pid)) {
      std::filesystem::remove(entry.path(), error);
    }
  }
}

}  // namespace

SealResult ProtectDataLogger(const std::filesystem::path& programFolder,
                             const std::filesystem::path& folder,
                             std::span<const std::uint8_t> deviceFile,
                             const shell::LanguageMessages& messages) {
  return sealAs(programFolder, folder, deviceFile, record::sealedFileName(deviceFile, messages));
}

SealResult sealAs(const std::filesystem::path& programFolder, const std::filesystem::path& folder,
                  std::span<const std::uint8_t> deviceFile, const std::string& sealedName) {
  static std::atomic<unsigned> sequence{0};
  const std::string name = shell::windows1252ToUtf8(sealedName);
  removeAbandonedTemporaries(folder);
  const std::filesystem::path temporary =
      folder / (kTemporaryPrefix + std::to_string(shell::currentProcessId()) + "." +
                std::to_string(sequence++));

  // The stamp is the modification time of the new file as created empty.
  std::string error;
  std::unique_ptr<shell::DurableFile> file = shell::DurableFile::createNew(temporary, error);
  if (!file) {
    return {{}, "cannot create a file in " + shell::utf8Of(folder) + ": " + reasonOf(error)};
  }
  const std::optional<shell::LocalTime> created = shell::fileModifiedLocalTime(temporary);
  const Bytes sealed =
      created ? record::sealContents(record::dateSeal(*created), deviceFile) : Bytes{};
  const bool written =
      created &&
      file->write({reinterpret_cast<const char*>(sealed.data()), sealed.size()}, error) &&
      file->flush(error);
  if (!file->close(error) || !written) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return {{},
            "cannot write " + name + " in " + shell::utf8Of(folder) + ": " +
                (created ? reasonOf(error) : std::string("its time cannot be read"))};
  }

  const auto dropTemporary = [&] {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
  };
  const std::filesystem::path below = folder.lexically_relative(programFolder);
  if (below.empty() || *below.begin() == "..") {
    dropTemporary();
    return {{}, shell::utf8Of(folder) + " is not inside " + shell::utf8Of(programFolder)};
  }
  // The name is chosen, entered and taken under the journal's lock. The
  // entry goes first: a failure after it leaves an entry without its file,
  // which the check reports, never a file nobody vouches for.
  std::string journalError;
  const std::unique_ptr<archive::JournalWriter> journal =
      archive::JournalWriter::open(programFolder, journalError);
  std::filesystem::path target = folder / shell::pathFromUtf8(name);
  const std::string stem = name.substr(0, name.size() - 4);
  for (int copy = 2; journal && std::filesystem::exists(target) && !sameRecord(target, sealed);
       ++copy) {
    target = folder / shell::pathFromUtf8(stem + "_" + std::to_string(copy) + ".dtl");
  }
  if (!journal ||
      !journal->append(shell::genericUtf8Of((below / target.filename()).lexically_normal()), sealed,
                       journalError)) {
    dropTemporary();
    return {{}, "the archive journal cannot be written (" + journalError + ")", true};
  }
  if (!shell::durableRename(temporary, target, journalError)) {
    dropTemporary();
    return {{},
            "cannot rename the sealed file to " + shell::utf8Of(target) + ": " +
                reasonOf(journalError)};
  }
  return {target, {}};
}

}  // namespace vestrim::transfer
