#pragma once

#include <QString>
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

}  // namespace vestrim::platform
