#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// The readers under fuzzing take paths: the input is written to a file in a
// folder of this process's own, removed when it ends.
namespace vestrim::fuzz {

inline const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    // In memory where there is such a folder: the settings are written
    // safely, with a flush to the disk that would slow every run down.
    std::error_code error;
    const auto base = std::filesystem::is_directory("/dev/shm", error)
                          ? std::filesystem::path("/dev/shm")
                          : std::filesystem::temp_directory_path();
    const auto path = base / ("vestrim-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchFolder(), ignored);
    });
    return path;
  }();
  return folder;
}

inline std::filesystem::path inputFile(const std::uint8_t* data, std::size_t size,
                                       const std::string& name,
                                       const std::filesystem::path& folder = scratchFolder()) {
  const std::filesystem::path file = folder / name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return file;
}

}  // namespace vestrim::fuzz
