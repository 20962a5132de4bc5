#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vestrim::archive {

// A stored file of the archive as the file system shows it.
struct StoredFile {
  std::string path;  // below the program folder, folders joined by "/"
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // last change, nanoseconds since 1970
};

// Every stored file (an ordinary file whose name ends in ".dtl", any letter
// case) in the folders below `programFolder`, at any depth, by path. Links
// are not followed; a folder that cannot be read is passed over.
std::vector<StoredFile> storedFiles(const std::filesystem::path& programFolder);

// Whether `path` (as a journal or the index holds it) stays inside the
// program folder: relative, without "." or ".." steps.
bool isArchivePath(const std::string& path);

}  // namespace vestrim::archive
