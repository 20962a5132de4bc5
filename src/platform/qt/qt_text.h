#pragma once

#include <QDir>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "shell/text_encoding.h"

namespace vestrim::platform {

// The core's single-byte (Windows-1252) texts as Qt shows them, and back.
inline QString fromCore(std::string_view text) {
  return QString::fromStdString(shell::windows1252ToUtf8(text));
}

inline std::string toCore(const QString& text) {
  return shell::utf8ToWindows1252(text.toStdString());
}

// File and folder names between Qt and the core. They go through UTF-8, so
// an accented name survives on every system: a path made from a plain
// string would read it in the Windows code page. Shown with the system's
// separators ("C:\Users\..." on Windows, however the path was put together).
inline QString fromPath(const std::filesystem::path& path) {
  return QDir::toNativeSeparators(QString::fromStdString(shell::utf8Of(path)));
}

inline std::filesystem::path toPath(const QString& text) {
  return shell::pathFromUtf8(text.toStdString());
}

}  // namespace vestrim::platform
