#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "platform/bytes.h"
#include "shell/text_table.h"

// Sealing a saved device file (ProtectDataLogger): it is renamed after its
// contents and wrapped in its seal (record/sealed_record.h has the layout,
// record/sealed_name.h the name), and entered in the archive journal in the
// same step.
namespace vestrim::transfer {

struct SealResult {
  std::filesystem::path file;  // the sealed file; empty on failure
  std::string error;
  // The archive journal could not take the file's entry: nothing was
  // sealed, and the save or import stops, since what follows would fail
  // the same way.
  bool journalFailed = false;
};

// Seals `deviceFile` into `folder`, a folder below `programFolder`
// (ProtectDataLogger): the sealed file is written under a temporary name,
// stamped with that file's own modification time, entered in the archive
// journal of `programFolder` and only then renamed into place, all under
// the journal's lock, so that saves from several programs into one shared
// folder neither pick the same name nor break the journal's chain. An
// existing file of the same name holding the same record (same bytes after
// the stamp) is replaced; one holding another record is kept, and the new
// one gets "_2", "_3", ... before ".dtl".
SealResult ProtectDataLogger(const std::filesystem::path& programFolder,
                             const std::filesystem::path& folder,
                             std::span<const std::uint8_t> deviceFile,
                             const shell::LanguageMessages& messages);

// Seals `deviceFile` into `folder` under `name` (single-byte text), as
// ProtectDataLogger does with the name it builds.
SealResult sealAs(const std::filesystem::path& programFolder, const std::filesystem::path& folder,
                  std::span<const std::uint8_t> deviceFile, const std::string& name);

}  // namespace vestrim::transfer
