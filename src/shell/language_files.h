#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "shell/text_table.h"

// A language file is read in two ways: as numbered lines (the captions) and
// as comma-separated message records from its start (the device's numbered
// messages). Files are Windows-1252 text; a UTF-8 file is converted.
namespace vestrim::shell {

inline constexpr const char* kLanguageExtension = ".lng";
// Message loading reads at most this many records.
inline constexpr int kMaxMessageRecords = 294;
// Entries below this are cleared before messages load; the rest keep what
// an earlier load left.
inline constexpr std::size_t kFirstKeptMessage = 255;

// A caption line as the table keeps it: with a ";", everything from the
// first ";" on is cut and trailing blanks are removed; without one, the
// line is taken unchanged, trailing blanks included.
std::string captionOfLine(std::string_view line);

// Fills `texts`: line N of the file becomes entry N; entry 0 and entries
// past the last line are empty, lines past entry 1000 are ignored. False when
// the file cannot be read.
bool LoadLanguageTexts(const std::filesystem::path& file, LanguageTexts& texts);

// Clears entries 0 to 254 of `messages`, then reads message records (a
// number, a comma, a text in double quotes that may hold commas) from the
// start of the file: at most 294 records, stopping at the first that cannot
// be read (end of file, or a first field that is not a number). A record
// numbered outside 0..523 is read and counted but stored nowhere. Returns
// the number of records read, or nothing when the file cannot be read.
std::optional<int> LoadLanguageMessages(const std::filesystem::path& file,
                                        LanguageMessages& messages);

}  // namespace vestrim::shell
