#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/bytes.h"

// Files written so that a failure or a power cut never destroys what was
// there. The only place that speaks to the system's files directly: POSIX
// descriptors on Linux, Win32 handles (wide names) on Windows.
namespace vestrim::shell {

// Replaces `target` with `contents` so that a failure never destroys the
// file that was there: the bytes go to a temporary file in the same folder,
// are flushed to the disk, and the temporary file is renamed over the
// target. False when anything fails; the temporary file is then removed,
// and `why` (when given) says what failed, with the system's words.
bool replaceFile(const std::filesystem::path& target, std::string_view contents,
                 std::string* why = nullptr);

// The whole of a file's bytes, or nothing when it cannot be opened or a read
// fails part way (a pen drive pulled out, a bad sector): a cut copy is never
// taken for the file.
std::optional<Bytes> readWholeFile(const std::filesystem::path& file);

// Appends `text` to `file` in one write, creating the file when it is
// missing: a line is never split by another writer and earlier lines are
// never touched.
bool appendToFile(const std::filesystem::path& file, std::string_view text);

// True when `folder` is a folder this program may create files in.
bool isWritableFolder(const std::filesystem::path& folder);

// Renames `from` to `to`, replacing `to` when it exists, in one step: `to`
// is always either the old file or the new one. On Windows the rename is
// written through to the disk before it returns.
bool durableRename(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error);

// Has a new name in `folder` reach the disk (a new journal's, say). Nothing
// to do on Windows, whose file system journals names itself.
void flushFolder(const std::filesystem::path& folder);

// An open file whose writes can be forced to the disk. Failures leave their
// reason, with the file's name and the system's words, in `error`.
class DurableFile {
 public:
  // A new file; fails when a file of that name exists.
  static std::unique_ptr<DurableFile> createNew(const std::filesystem::path& file,
                                                std::string& error);
  // Opened for reading and appending, created when missing, and locked
  // against every other writer that locks it, in this program or another;
  // waits for the lock. The lock holds until the object is destroyed and
  // does not stop readers.
  static std::unique_ptr<DurableFile> openLockedForAppend(const std::filesystem::path& file,
                                                          std::string& error);
  ~DurableFile();
  DurableFile(const DurableFile&) = delete;
  DurableFile& operator=(const DurableFile&) = delete;

  // Writes all of `bytes`: at the end of a file opened for appending.
  bool write(std::string_view bytes, std::string& error);
  // Has every byte written so far reach the disk.
  bool flush(std::string& error);
  std::optional<std::uint64_t> size(std::string& error);
  // Fills all of `into` from `offset`.
  bool readAt(std::uint64_t offset, std::span<char> into, std::string& error);
  // Closes the file; a failure to close is a failure to write.
  bool close(std::string& error);

  const std::filesystem::path& file() const { return file_; }

 private:
  DurableFile(std::intptr_t handle, std::filesystem::path file)
      : handle_(handle), file_(std::move(file)) {}

  std::intptr_t handle_;  // a descriptor, or a HANDLE on Windows; -1 once closed
  std::filesystem::path file_;
};

}  // namespace vestrim::shell
