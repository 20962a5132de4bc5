// Arbitrary bytes as a device file on a pen drive: its header read, its
// list row, and the names it would be sealed under.
#include <array>
#include <string>

#include "fuzz_files.h"
#include "pendrive/pen_drive.h"
#include "record/sealed_name.h"
#include "transfer/upload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vestrim;
  static const std::filesystem::path drive = [] {
    const auto path = fuzz::scratchFolder() / "drive";
    std::filesystem::create_directories(path);
    return path;
  }();
  static const std::array<std::string, 129> commandList = {"50FFAAFFFFFFDataLogger      "};
  fuzz::inputFile(data, size, "CYCLE.MOC", drive);
  const pendrive::PenDriveCatalogue catalogue = pendrive::ReadPenDrive(drive);
  for (const auto& row : pendrive::penDriveRows(catalogue.files, &commandList)) {
    transfer::provisionalName(row);
  }
  const std::span<const std::uint8_t> bytes(data, size);
  pendrive::technicalReportName(bytes);
  record::sealedFileName(bytes, shell::LanguageMessages{});
  return 0;
}
