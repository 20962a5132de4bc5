#include "pendrive/pen_drive.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "catalogue/catalogue_rows.h"
#include "catalogue/header_record.h"
#include "link/device_addresses.h"
#include "record/sealed_name.h"
#include "shell/folder_listing.h"
#include "shell/local_time.h"
#include "shell/own_texts.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"
#include "transfer/record_place.h"
#include "transfer/seal.h"
#include "transfer/upload.h"

namespace vestrim::pendrive {
namespace {

using shell::lowered;
using shell::sortedEntries;

bool isDeviceFileName(const std::filesystem::path& path) {
  const std::string name = lowered(path.filename().string());
  return name.size() > 4 && name.ends_with(kDeviceFileExtension);
}

}  // namespace

void CercaFile(const std::filesystem::path& folder, std::vector<std::filesystem::path>& found) {
  const std::vector<std::filesystem::directory_entry> entries = sortedEntries(folder);
  std::vector<std::filesystem::path> subFolders;
  for (const auto& entry : entries) {
    std::error_code error;
    const bool link = entry.is_symlink(error);
    if (entry.is_directory(error)) {
      if (!link) {
        subFolders.push_back(entry.path());
      }
    } else if (entry.is_regular_file(error) && isDeviceFileName(entry.path()) &&
               found.size() < kMaxFoundFiles) {
      // Only ordinary files: a pipe would block the reading, a link to
      // nothing holds no record.
      found.push_back(entry.path());
    }
  }
  for (const auto& subFolder : subFolders) {
    CercaFile(subFolder, found);
  }
}

PenDriveCatalogue ReadPenDrive(const std::filesystem::path& root, const Progress& progress) {
  PenDriveCatalogue catalogue;
  CercaFile(root, catalogue.found);
  const std::size_t total = catalogue.found.size();
  std::size_t done = 0;
  for (const auto& path : catalogue.found) {
    if (progress) {
      progress(done++, total);
    }
    std::ifstream in(path, std::ios::binary);
    Bytes header(link::kHeaderRecordLength);
    if (!in) {
      catalogue.problems.push_back(shell::utf8Of(path) + ": cannot be read");
      continue;
    }
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    if (in.bad()) {
      catalogue.problems.push_back(shell::utf8Of(path) + ": cannot be read");
      continue;
    }
    if (in.gcount() != static_cast<std::streamsize>(header.size())) {
      catalogue.problems.push_back(shell::utf8Of(path) + ": shorter than a header record");
      continue;
    }
    PenDriveFile file;
    file.file = path;
    std::error_code sizeError;
    file.key = catalogue::recordKey(header, std::filesystem::file_size(path, sizeError));
    for (int i = 0; i < catalogue::CatalogueTables::kFileCodeLength; ++i) {
      const std::uint8_t byte = header[static_cast<std::size_t>(catalogue::kFileCodeOffset + i)];
      if (byte != 0x00 && byte != 0xFF) {
        file.codeText.push_back(static_cast<char>(byte));
      }
    }
    file.fileType = header[catalogue::kFileTypeOffset];
    file.FileId = catalogue::fileIdOf(header);
    // On the drive the name is kept with every blank removed.
    file.FileName = catalogue::fileNameOf(header);
    std::erase(file.FileName, ' ');
    if (file.technicalReport()) {
      // A technical report's text covers the stamp bytes: the file's own
      // time stands for it.
      const std::optional<shell::LocalTime> modified = shell::fileModifiedLocalTime(path);
      if (modified) {
        file.stamp = {static_cast<char>(modified->hour), static_cast<char>(modified->minute),
                      static_cast<char>(modified->day), static_cast<char>(modified->month),
                      static_cast<char>(modified->year % 100)};
      }
    } else {
      file.stamp = catalogue::fileStampOf(header);
    }
    catalogue.files.push_back(std::move(file));
  }
  if (progress && total > 0) {
    progress(total, total);
  }
  return catalogue;
}

std::vector<platform::CatalogueRow> penDriveRows(
    const std::vector<PenDriveFile>& files,
    const std::array<std::string, catalogue::CatalogueTables::kCommandListEntries>* commandList) {
  std::vector<platform::CatalogueRow> rows;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const PenDriveFile& file = files[i];
    if (file.fileType == 0xFF) {
      continue;
    }
    platform::CatalogueRow row;
    row.record = static_cast<int>(i);
    row.fileType = file.fileType;
    row.code = file.codeText;
    row.description = file.technicalReport() ? "Technical Report"
                      : commandList != nullptr
                          ? catalogue::descriptionOf(*commandList, file.fileType)
                          : std::string();
    row.name = file.FileName + "_" + file.FileId;
    row.date = catalogue::stampText(file.stamp);
    rows.push_back(std::move(row));
  }
  catalogue::numberFileIds(rows);
  return rows;
}

std::string technicalReportName(std::span<const std::uint8_t> deviceFile) {
  // The report's text holds "dd/mm/yyyy" at offsets 160..169 and "hh:mm" at
  // 202..206, each character stored as its code + 100.
  const auto decoded = [&](std::size_t offset) {
    const std::uint8_t stored = offset < deviceFile.size() ? deviceFile[offset] : 0;
    return static_cast<char>(static_cast<std::uint8_t>(stored - 100));
  };
  std::string date;
  for (const std::size_t offset : {160u, 161u, 163u, 164u, 168u, 169u}) {
    date.push_back(decoded(offset));
  }
  std::string time;
  for (const std::size_t offset : {202u, 203u, 205u, 206u}) {
    time.push_back(decoded(offset));
  }
  return record::sealedProgramPart(deviceFile) + "_" + record::sealedNumberPart(deviceFile) +
         "_TechnicalReport_" + record::safeForFileName(date) + "_" + record::safeForFileName(time) +
         ".dtl";
}

PenDriveSave Save(const std::vector<PenDriveFile>& files,
                  const std::vector<platform::CatalogueRow>& rows, shell::ShellContext& shell,
                  const Progress& progress) {
  PenDriveSave result;
  transfer::SaveOutcome& outcome = result.outcome;
  outcome.folder = shell::utf8ToWindows1252(shell::utf8Of(shell.ProgramFolder));
  for (const platform::CatalogueRow& row : rows) {
    outcome.records += transfer::skipReason(row) ? 0 : 1;
  }
  std::size_t done = 0;
  for (const platform::CatalogueRow& row : rows) {
    if (progress) {
      progress(done++, rows.size());
    }
    if (const char* skip = transfer::skipReason(row)) {
      transfer::noteSkip(outcome, row, skip);
      continue;
    }
    const PenDriveFile& file = files[static_cast<std::size_t>(row.record)];
    // `why` in the system's single-byte text, as the outcome keeps it.
    const auto fail = [&](const std::string& why) {
      outcome.failed.push_back({transfer::recordLabel(row), why});
    };
    const shell::LanguageTexts& texts = shell.language.texts;
    const auto named = [](const std::filesystem::path& path) {
      return shell::utf8ToWindows1252(shell::utf8Of(path));
    };
    if (outcome.kind == transfer::SaveOutcome::Kind::JournalFailed) {
      fail(shell::ownText(texts, shell::Text::NotReadStopped));
      continue;
    }
    const bool report = file.technicalReport();
    const std::filesystem::path folder =
        shell.ProgramFolder / *transfer::archiveFolderOf(row, report);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
      fail(shell::ownText(texts, shell::Text::CannotCreate,
                          {named(folder), shell::utf8ToWindows1252(error.message())}));
      continue;
    }
    // A damaged drive can show a file of gigabytes: it is no device file,
    // and reading it whole would exhaust the memory.
    const std::uintmax_t size = std::filesystem::file_size(file.file, error);
    if (!error && size > static_cast<std::uintmax_t>(transfer::kMaxFileLength)) {
      fail(shell::ownText(texts, shell::Text::TooLongFile,
                          {named(file.file), std::to_string(size)}));
      continue;
    }
    const std::optional<Bytes> read = shell::readWholeFile(file.file);
    if (!read) {
      fail(shell::ownText(texts,
                          std::filesystem::exists(file.file, error) ? shell::Text::CannotReadFile
                                                                    : shell::Text::CannotReadGone,
                          {named(file.file)}));
      continue;
    }
    const Bytes& bytes = *read;
    const transfer::SealResult sealed =
        report ? transfer::sealAs(shell.ProgramFolder, folder, bytes, technicalReportName(bytes))
               : transfer::ProtectDataLogger(shell.ProgramFolder, folder, bytes,
                                             shell.language.messages);
    if (sealed.file.empty()) {
      shell.log.LogError("FrmPrg", "ProtectDataLogger");
      fail(shell::utf8ToWindows1252(sealed.error));
      if (sealed.journalFailed) {
        outcome.kind = transfer::SaveOutcome::Kind::JournalFailed;
      }
      continue;
    }
    ++outcome.saved;
    result.sealed.push_back(sealed.file);
    result.imported.push_back(file.file);
  }
  if (progress && !rows.empty()) {
    progress(rows.size(), rows.size());
  }
  return result;
}

std::vector<archive::HeldRecord> heldRecords(const std::vector<PenDriveFile>& files,
                                             const std::vector<platform::CatalogueRow>& rows) {
  std::vector<archive::HeldRecord> held;
  for (const platform::CatalogueRow& row : rows) {
    const PenDriveFile& file = files[static_cast<std::size_t>(row.record)];
    const auto folder = transfer::archiveFolderOf(row, file.technicalReport());
    if (transfer::isArchivedRecord(row) && folder) {
      held.push_back({transfer::recordLabel(row), {*folder}, file.key});
    }
  }
  return held;
}

EraseOutcome eraseFiles(const std::vector<std::filesystem::path>& files, const Progress& progress) {
  EraseOutcome outcome;
  std::size_t done = 0;
  for (const auto& file : files) {
    std::error_code error;
    if (std::filesystem::remove(file, error)) {
      ++outcome.erased;
    } else if (error) {
      outcome.failed.push_back(shell::utf8Of(file) + ": " + error.message());
    } else {
      outcome.gone.push_back(file);
    }
    if (progress) {
      progress(++done, files.size());
    }
  }
  return outcome;
}

std::vector<std::filesystem::path> rootFiles(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : sortedEntries(root)) {
    std::error_code error;
    if (entry.is_regular_file(error) && isDeviceFileName(entry.path())) {
      files.push_back(entry.path());
    }
  }
  return files;
}

std::string driveSizeText(const platform::DriveInfo& drive) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(drive.totalBytes) / 1048576.0);
  return text;
}

double driveUsedFraction(const platform::DriveInfo& drive) {
  return drive.totalBytes == 0
             ? 0.0
             : 1.0 - static_cast<double>(drive.freeBytes) / static_cast<double>(drive.totalBytes);
}

}  // namespace vestrim::pendrive
