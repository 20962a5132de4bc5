#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/kept_records.h"
#include "catalogue/catalogue_tables.h"
#include "catalogue/header_record.h"
#include "platform/drive_enumerator.h"
#include "platform/programmer_view.h"
#include "shell/shell_context.h"
#include "transfer/upload.h"

// Device files that the device copied onto a pen drive ("*.moc"): found,
// listed like the device's catalogue, saved and sealed like uploads, and
// erased from the drive.
namespace vestrim::pendrive {

inline constexpr std::size_t kMaxFoundFiles = 10001;
inline constexpr const char* kDeviceFileExtension = ".moc";

// Told after each file of a long piece of work: how many are done, of how
// many (the window's progress bar and its "3 / 12").
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// The device files under `folder`: a folder's own matches (by name) before
// those of its sub-folders (by name), depth first, at most 10001. A file
// matches when it is an ordinary file whose name ends in ".moc" in any case,
// as on the drives the device writes. Links to folders are not followed.
void CercaFile(const std::filesystem::path& folder, std::vector<std::filesystem::path>& found);

// One device file as its header record shows it.
struct PenDriveFile {
  std::filesystem::path file;
  std::string codeText;  // header 32..47 without 0x00 and 0xFF
  std::uint8_t fileType = 0xFF;
  std::string FileId;
  std::string FileName;
  std::string stamp;         // hour, minute, day, month, year as five characters
  catalogue::RecordKey key;  // its header and length, to find its sealed copy
  bool technicalReport() const { return codeText.rfind("TR", 0) == 0; }
};

struct PenDriveCatalogue {
  std::vector<std::filesystem::path> found;  // every device file found
  std::vector<PenDriveFile> files;           // those whose header could be read
  std::vector<std::string> problems;         // why the others were left out
};

// ReadPenDrive: finds the device files under `root` and reads the first 166
// bytes of each as its header record. A technical report's stamp is its
// file's modification time. A file shorter than a header, or unreadable,
// is reported and left out.
PenDriveCatalogue ReadPenDrive(const std::filesystem::path& root, const Progress& progress = {});

// The list rows (MMCshow): files of a type below 255; "Technical Report"
// as the description of a technical report, else the type's label from a
// command list read from a device earlier (none: empty).
std::vector<platform::CatalogueRow> penDriveRows(
    const std::vector<PenDriveFile>& files,
    const std::array<std::string, catalogue::CatalogueTables::kCommandListEntries>* commandList);

struct PenDriveSave {
  std::vector<std::filesystem::path> sealed;
  std::vector<std::filesystem::path> imported;  // the device files that were sealed
  // Saved of how many records, the rows skipped (no date, not a cycle
  // record) and the records not saved with why; Finished, or JournalFailed.
  transfer::SaveOutcome outcome;
};

// Save: each row is copied byte for byte and sealed into the year folder and
// the month folder (a technical report: "SERVICE") of the program folder.
// Technical reports are named program_number_TechnicalReport_date_time.dtl
// from the date and time in their text. A file that cannot be read to its
// end is not sealed. Files of the kinds the PC writes into the device are
// not records and are skipped. An archive journal that cannot be written
// ends the import at that row.
PenDriveSave Save(const std::vector<PenDriveFile>& files,
                  const std::vector<platform::CatalogueRow>& rows, shell::ShellContext& shell,
                  const Progress& progress = {});

// The sealed name of a technical report's bytes.
std::string technicalReportName(std::span<const std::uint8_t> deviceFile);

// The records of `rows` (made from `files`) that a save would keep, each with
// its folder and key, for the erase's question.
std::vector<archive::HeldRecord> heldRecords(const std::vector<PenDriveFile>& files,
                                             const std::vector<platform::CatalogueRow>& rows);

// What an erase did: the files deleted, those already gone, those that
// stayed (with why).
struct EraseOutcome {
  int erased = 0;
  std::vector<std::filesystem::path> gone;
  std::vector<std::string> failed;
};

// The toolbar's erase: deletes exactly `files`.
EraseOutcome eraseFiles(const std::vector<std::filesystem::path>& files,
                        const Progress& progress = {});
// The device files of the drive's root folder only, which the menu's erase
// deletes.
std::vector<std::filesystem::path> rootFiles(const std::filesystem::path& root);

// The drive's figures: its size in MB with one decimal, and the used part
// from 0 to 1.
std::string driveSizeText(const platform::DriveInfo& drive);
double driveUsedFraction(const platform::DriveInfo& drive);

}  // namespace vestrim::pendrive
