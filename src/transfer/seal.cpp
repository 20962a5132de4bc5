#include "transfer/seal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "archive/journal.h"
#include "shell/process.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::transfer {
namespace {

constexpr std::size_t kCycleNumberOffset = 59;
constexpr std::size_t kProgramOffset = 96;
constexpr std::size_t kProgramLength = 20;
constexpr std::size_t kStampOffset = 140;
constexpr std::size_t kCycleTypeOffset = 152;
constexpr int kCycleNameMessage = 50;
constexpr const char* kTemporaryPrefix = ".sealing.";

std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return offset < bytes.size() ? bytes[offset] : std::uint8_t{0};
}

std::string twoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string trimmedWithoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

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

std::string safeForFileName(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    // The bytes Windows-1252 leaves undefined stand for control characters.
    if (byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
        byte == 0x90 || byte == 0x9D ||
        std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  for (std::size_t dots = text.find(".."); dots != std::string::npos; dots = text.find("..")) {
    text.replace(dots, 2, "_");
  }
  // A name that begins with a dot is hidden from the file manager's listing.
  if (!text.empty() && text.front() == '.') {
    text.front() = '_';
  }
  return text;
}

std::string dateSeal(const shell::LocalTime& time) {
  const std::string d = twoDigits(time.day) + twoDigits(time.month) + twoDigits(time.year % 100);
  const std::string t = twoDigits(time.hour) + twoDigits(time.minute) + twoDigits(time.second);
  std::string seal;
  for (std::size_t i = 0; i < 6; ++i) {
    seal.push_back(d[i]);
    seal.push_back(t[5 - i]);
  }
  return seal;
}

std::optional<shell::LocalTime> sealedTime(const std::string& stamp) {
  if (stamp.size() != 12 ||
      !std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  // D1 T6 D2 T5 D3 T4 D4 T3 D5 T2 D6 T1: D at the even places, T backwards
  // at the odd ones.
  const auto pair = [&](std::size_t first, std::size_t second) {
    return (stamp[first] - '0') * 10 + (stamp[second] - '0');
  };
  const shell::LocalTime time{2000 + pair(8, 10), pair(4, 6), pair(0, 2),
                              pair(11, 9),        pair(7, 5), pair(3, 1)};
  if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23 ||
      time.minute > 59 || time.second > 59) {
    return std::nullopt;
  }
  return time;
}

std::string sealedProgramPart(std::span<const std::uint8_t> deviceFile) {
  std::string program;
  for (std::size_t i = 0; i < kProgramLength; ++i) {
    program.push_back(static_cast<char>(byteAt(deviceFile, kProgramOffset + i)));
  }
  program = trimmedWithoutBlanks(program);
  if (program.size() >= 4 && program.ends_with("////")) {
    program.replace(program.size() - 4, 4, "0000");
  }
  return safeForFileName(program);
}

std::string sealedNumberPart(std::span<const std::uint8_t> deviceFile) {
  const unsigned number = byteAt(deviceFile, kCycleNumberOffset) |
                          byteAt(deviceFile, kCycleNumberOffset + 1) << 8 |
                          byteAt(deviceFile, kCycleNumberOffset + 2) << 16;
  char numberText[16];
  std::snprintf(numberText, sizeof numberText, "%05u", number);
  return numberText;
}

std::string sealedFileName(std::span<const std::uint8_t> deviceFile,
                           const shell::LanguageMessages& messages) {
  std::string cycle = trimmedWithoutBlanks(
      messages[kCycleNameMessage + (byteAt(deviceFile, kCycleTypeOffset) & 0x0F)]);
  if (const std::size_t degrees = cycle.find("\xB0"
                                             "C");
      degrees != std::string::npos) {
    cycle.erase(degrees, 2);
  }

  const auto field = [&](std::size_t offset) { return twoDigits(byteAt(deviceFile, offset)); };
  const std::string dateTime = field(kStampOffset + 2) + field(kStampOffset + 3) +
                               field(kStampOffset + 4) + "_" + field(kStampOffset) +
                               field(kStampOffset + 1);
  return sealedProgramPart(deviceFile) + "_" + sealedNumberPart(deviceFile) + "_" +
         safeForFileName(cycle) + "_" + dateTime + ".dtl";
}

Bytes sealContents(const std::string& stamp, std::span<const std::uint8_t> deviceFile) {
  // The byte read after the end of the file is part of the sealed contents:
  // it is 0x00, counted in the sum and written.
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : deviceFile) {
    sum += byte;
  }
  sum &= 0xFFFF;
  Bytes sealed(stamp.begin(), stamp.end());
  sealed.push_back(static_cast<std::uint8_t>(sum / 256));
  sealed.insert(sealed.end(), deviceFile.begin(), deviceFile.end());
  sealed.push_back(0x00);
  sealed.push_back(static_cast<std::uint8_t>(sum % 256));
  return sealed;
}

std::optional<std::span<const std::uint8_t>> sealedRecord(const Bytes& sealed) {
  if (sealed.size() < kSealOverhead) {
    return std::nullopt;
  }
  std::uint32_t sum = 0;
  for (std::size_t i = 13; i + 1 < sealed.size(); ++i) {
    sum += sealed[i];
  }
  sum &= 0xFFFF;
  if (sum / 256 != sealed[12] || sum % 256 != sealed.back()) {
    return std::nullopt;
  }
  return std::span(sealed).subspan(13, sealed.size() - kSealOverhead);
}

SealResult ProtectDataLogger(const std::filesystem::path& programFolder,
                             const std::filesystem::path& folder,
                             std::span<const std::uint8_t> deviceFile,
                             const shell::LanguageMessages& messages) {
  return sealAs(programFolder, folder, deviceFile, sealedFileName(deviceFile, messages));
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
  const Bytes sealed = created ? sealContents(dateSeal(*created), deviceFile) : Bytes{};
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
    return {{}, folder.string() + " is not inside " + programFolder.string()};
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
