#include "shell/safe_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <algorithm>
#include <atomic>
#include <string>
#include <system_error>

#include "shell/process.h"
#include "shell/text_encoding.h"

#ifdef _WIN32
#include "platform/win32_text.h"
#endif

namespace vestrim::shell {
namespace {

std::string failed(const std::string& what, const std::filesystem::path& file);

}  // namespace

// ---------------------------------------------------------------------------
// The system's own calls.

#ifdef _WIN32

namespace {

constexpr std::intptr_t kClosed = -1;

HANDLE native(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::string systemReason() {
  return platform::win32::systemMessage(::GetLastError());
}

HANDLE openHandle(const std::filesystem::path& file, DWORD access, DWORD disposition,
                  DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return ::CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, flags, nullptr);
}

bool writeAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

std::optional<Bytes> readWholeFile(const std::filesystem::path& file) {
  const HANDLE handle = openHandle(file, GENERIC_READ, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  Bytes bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(handle, chunk, sizeof chunk, &got, nullptr)) {
      ::CloseHandle(handle);
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  ::CloseHandle(handle);
  return bytes;
}

bool appendToFile(const std::filesystem::path& file, std::string_view text) {
  // A handle that may only append: every write lands at the end, in one piece.
  const HANDLE handle = openHandle(file, FILE_APPEND_DATA, OPEN_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool written = writeAll(handle, text);
  return ::CloseHandle(handle) && written;
}

bool isWritableFolder(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    return false;
  }
  // The folder's permissions are not in its attributes: try it.
  static std::atomic<unsigned> sequence{0};
  const std::filesystem::path probe =
      folder / (".vestrim-write-test." + std::to_string(currentProcessId()) + "." +
                std::to_string(sequence++));
  const HANDLE handle = ::CreateFileW(
      probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  ::CloseHandle(handle);
  return true;
}

bool durableRename(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error) {
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const std::string reason = systemReason();
    error = "cannot rename " + utf8Of(from) + " to " + utf8Of(to) + ": " + reason;
    return false;
  }
  return true;
}

void flushFolder(const std::filesystem::path&) {}

std::unique_ptr<DurableFile> DurableFile::createNew(const std::filesystem::path& file,
                                                    std::string& error) {
  const HANDLE handle = openHandle(file, GENERIC_WRITE, CREATE_NEW);
  if (handle == INVALID_HANDLE_VALUE) {
    error = failed("cannot create", file);
    return nullptr;
  }
  return std::unique_ptr<DurableFile>(
      new DurableFile(reinterpret_cast<std::intptr_t>(handle), file));
}

std::unique_ptr<DurableFile> DurableFile::openLockedForAppend(const std::filesystem::path& file,
                                                              std::string& error) {
  const HANDLE handle = openHandle(file, GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) {
    error = failed("cannot open", file);
    return nullptr;
  }
  // Windows locks are mandatory: a lock on the contents would stop the
  // archive check from reading them. The lock is on a byte far beyond any
  // end the file will have, which only other lockers respect.
  OVERLAPPED place{};
  place.Offset = 0xFFFFFFFE;
  place.OffsetHigh = 0x7FFFFFFF;
  if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place)) {
    error = failed("cannot lock", file);
    ::CloseHandle(handle);
    return nullptr;
  }
  return std::unique_ptr<DurableFile>(
      new DurableFile(reinterpret_cast<std::intptr_t>(handle), file));
}

DurableFile::~DurableFile() {
  // Closing the handle releases its lock.
  if (handle_ != kClosed) {
    ::CloseHandle(native(handle_));
  }
}

bool DurableFile::write(std::string_view bytes, std::string& error) {
  if (!writeAll(native(handle_), bytes)) {
    error = failed("cannot write", file_);
    return false;
  }
  return true;
}

bool DurableFile::flush(std::string& error) {
  if (!::FlushFileBuffers(native(handle_))) {
    error = failed("cannot write", file_);
    return false;
  }
  return true;
}

std::optional<std::uint64_t> DurableFile::size(std::string& error) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(native(handle_), &size)) {
    error = failed("cannot examine", file_);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool DurableFile::readAt(std::uint64_t offset, std::span<char> into, std::string& error) {
  while (!into.empty()) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(native(handle_), into.data(), chunk, &got, &place) || got == 0) {
      error = failed("cannot read", file_);
      return false;
    }
    into = into.subspan(got);
    offset += got;
  }
  return true;
}

bool DurableFile::close(std::string& error) {
  const bool closed = ::CloseHandle(native(handle_));
  handle_ = kClosed;
  if (!closed) {
    error = failed("cannot write", file_);
  }
  return closed;
}

#else  // POSIX

namespace {

constexpr std::intptr_t kClosed = -1;

std::string systemReason() {
  return std::strerror(errno);
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

int descriptor(std::intptr_t handle) {
  return static_cast<int>(handle);
}

// Takes a write lock on the whole file, waiting for it. An open-file lock
// where the system has them: it belongs to this descriptor alone, so that
// another descriptor of the same file closed elsewhere in the program cannot
// release it, and it excludes other threads as well as other programs.
bool lockWhole(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
#ifdef F_OFD_SETLKW
  for (;;) {
    if (::fcntl(fd, F_OFD_SETLKW, &lock) == 0) {
      return true;
    }
    if (errno != EINTR) {
      break;
    }
  }
  if (errno != EINVAL) {
    return false;
  }
#endif
  for (;;) {
    if (::fcntl(fd, F_SETLKW, &lock) == 0) {
      return true;
    }
    if (errno != EINTR) {
      return false;
    }
  }
}

}  // namespace

std::optional<Bytes> readWholeFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  Bytes bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  ::close(fd);
  return bytes;
}

bool appendToFile(const std::filesystem::path& file, std::string_view text) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    return false;
  }
  const bool written = writeAll(fd, text);
  return ::close(fd) == 0 && written;
}

bool isWritableFolder(const std::filesystem::path& folder) {
  std::error_code error;
  return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK) == 0;
}

bool durableRename(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    const std::string reason = systemReason();
    error = "cannot rename " + utf8Of(from) + " to " + utf8Of(to) + ": " + reason;
    return false;
  }
  return true;
}

void flushFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

std::unique_ptr<DurableFile> DurableFile::createNew(const std::filesystem::path& file,
                                                    std::string& error) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = failed("cannot create", file);
    return nullptr;
  }
  return std::unique_ptr<DurableFile>(new DurableFile(fd, file));
}

std::unique_ptr<DurableFile> DurableFile::openLockedForAppend(const std::filesystem::path& file,
                                                              std::string& error) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = failed("cannot open", file);
    return nullptr;
  }
  if (!lockWhole(fd)) {
    error = failed("cannot lock", file);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<DurableFile>(new DurableFile(fd, file));
}

DurableFile::~DurableFile() {
  // Closing the descriptor releases its lock.
  if (handle_ != kClosed) {
    ::close(descriptor(handle_));
  }
}

bool DurableFile::write(std::string_view bytes, std::string& error) {
  if (!writeAll(descriptor(handle_), bytes)) {
    error = failed("cannot write", file_);
    return false;
  }
  return true;
}

bool DurableFile::flush(std::string& error) {
  if (::fsync(descriptor(handle_)) != 0) {
    error = failed("cannot write", file_);
    return false;
  }
  return true;
}

std::optional<std::uint64_t> DurableFile::size(std::string& error) {
  struct stat status {};
  if (::fstat(descriptor(handle_), &status) != 0) {
    error = failed("cannot examine", file_);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(status.st_size);
}

bool DurableFile::readAt(std::uint64_t offset, std::span<char> into, std::string& error) {
  while (!into.empty()) {
    const ssize_t got =
        ::pread(descriptor(handle_), into.data(), into.size(), static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      error = failed("cannot read", file_);
      return false;
    }
    into = into.subspan(static_cast<std::size_t>(got));
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

bool DurableFile::close(std::string& error) {
  const bool closed = ::close(descriptor(handle_)) == 0;
  handle_ = kClosed;
  if (!closed) {
    error = failed("cannot write", file_);
  }
  return closed;
}

#endif

// ---------------------------------------------------------------------------
// The same on every system.

namespace {

std::string failed(const std::string& what, const std::filesystem::path& file) {
  const std::string reason = systemReason();
  return what + " " + utf8Of(file) + ": " + reason;
}

}  // namespace

bool replaceFile(const std::filesystem::path& target, std::string_view contents, std::string* why) {
  static std::atomic<unsigned> sequence{0};
  std::filesystem::path temporary = target;
  temporary += ".tmp." + std::to_string(currentProcessId()) + "." + std::to_string(sequence++);

  std::string error;
  // The user is told the target and the system's words, not the temporary name.
  const auto failedWith = [&] {
    if (why) {
      const std::size_t colon = error.rfind(": ");
      *why = "cannot write " + utf8Of(target) + ": " +
             (colon == std::string::npos ? error : error.substr(colon + 2));
    }
    return false;
  };
  std::unique_ptr<DurableFile> file = DurableFile::createNew(temporary, error);
  if (!file) {
    return failedWith();
  }
  const bool written = file->write(contents, error) && file->flush(error);
  if (file->close(error) && written && durableRename(temporary, target, error)) {
    return true;
  }
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  return failedWith();
}

}  // namespace vestrim::shell
