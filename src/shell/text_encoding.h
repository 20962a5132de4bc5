#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vestrim::shell {

// The system keeps its texts as single bytes in Windows-1252, as the device
// and the language files have them; front ends convert at the edge.
std::string windows1252ToUtf8(std::string_view text);

// Whether `text` is well-formed UTF-8 with at least one multi-byte character:
// a file that reads so was saved by a UTF-8 editor, not as Windows-1252.
bool isMultiByteUtf8(std::string_view text);

// Converts UTF-8 to Windows-1252; a character Windows-1252 has no byte for
// becomes "?". A leading byte-order mark is dropped.
std::string utf8ToWindows1252(std::string_view text);

// The bytes of a text file as the system keeps them: Windows-1252 as they
// stand, or converted when the file is UTF-8.
std::string textFileToWindows1252(std::string_view bytes);

// A device text as a list can show it: control bytes (which a binary field
// read as text holds) become ".".
std::string printable(std::string text);

// File names as UTF-8 text, the same on every system: a path made from a
// plain string would take it in the Windows code page, and accented names
// would not survive. On Linux both are the bytes as they stand.
inline std::filesystem::path pathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
inline std::string genericUtf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace vestrim::shell
