#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>

#include "commands.h"
#include "record/cycle_file.h"
#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

bool isRecordFile(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".dtl";
}

}  // namespace

int verifyCommand(const std::vector<std::string>& paths) {
  std::vector<std::filesystem::path> files;
  for (const std::string& given : paths) {
    const std::filesystem::path path = shell::pathFromUtf8(given);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      std::vector<std::filesystem::path> found;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
        if (isRecordFile(entry.path()) && !entry.is_directory()) {
          found.push_back(entry.path());
        }
      }
      std::sort(found.begin(), found.end());
      files.insert(files.end(), found.begin(), found.end());
    } else if (std::filesystem::exists(path, error)) {
      files.push_back(path);
    } else {
      fail("no such file or folder: " + given);
      return 2;
    }
  }
  int failed = 0;
  for (const auto& file : files) {
    const record::CycleFile read = record::LeggiFile(file);
    failed += read.showable() ? 0 : 1;
    std::cout << shell::utf8Of(file) << ": " << record::statusText(read.status) << '\n';
  }
  std::cout << files.size() << " checked, " << failed << " failed\n";
  return failed == 0 ? 0 : 1;
}

}  // namespace vestrim::cli
