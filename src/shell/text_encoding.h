#pragma once

#include <string>
#include <string_view>

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

}  // namespace vestrim::shell
