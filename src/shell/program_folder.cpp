#include "shell/program_folder.h"

#include "shell/language_setup.h"
#include "shell/own_texts.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::shell {
namespace {

ProgramFolder prepared(const std::filesystem::path& folder,
                       const std::filesystem::path& executableFolder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!isWritableFolder(folder)) {
    return {folder, false, "cannot use " + utf8Of(folder) + " as the program folder"};
  }
  if (const auto shipped = shippedLanguageFolder(executableFolder)) {
    installLanguageFiles(*shipped, folder);
  }
  return {std::filesystem::absolute(folder, error).lexically_normal(), false, {}};
}

}  // namespace

std::optional<std::filesystem::path> shippedLanguageFolder(
    const std::filesystem::path& executableFolder) {
  // Lexically, so that the prefix is found from the executable's folder
  // name alone.
  for (const auto& candidate :
       {executableFolder, (executableFolder / ".." / "share" / "vestrim" / "lang")}) {
    const std::filesystem::path folder = candidate.lexically_normal();
    if (!findLanguageFiles(folder).empty()) {
      return folder;
    }
  }
  return std::nullopt;
}

namespace {

// The lines of a language file, each with its line end.
std::vector<std::string> linesOf(const Bytes& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (const std::uint8_t byte : bytes) {
    line += static_cast<char>(byte);
    if (byte == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

// Appends to `file` the lines of `shipped` past its end: a copy from an
// earlier version gains the texts added since, and keeps every line it has.
// Only a file that holds the device's texts whole (kFirstOwnText - 1 lines)
// is completed, so that the line numbers still mean the same texts.
void complete(const std::filesystem::path& file, const std::filesystem::path& shipped) {
  const std::optional<Bytes> own = readWholeFile(file);
  const std::optional<Bytes> newer = readWholeFile(shipped);
  if (!own || !newer) {
    return;
  }
  std::vector<std::string> lines = linesOf(*own);
  const std::vector<std::string> more = linesOf(*newer);
  if (lines.size() < kFirstOwnText - 1 || lines.size() >= more.size()) {
    return;
  }
  if (!lines.back().ends_with('\n')) {
    lines.back() += "\r\n";
  }
  std::string text;
  for (const std::string& line : lines) {
    text += line;
  }
  for (std::size_t i = lines.size(); i < more.size(); ++i) {
    text += more[i];
  }
  replaceFile(file, text);
}

}  // namespace

int installLanguageFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!findLanguageFiles(to).empty()) {
    for (const LanguageFile& language : findLanguageFiles(from)) {
      const std::filesystem::path own = to / language.file.filename();
      std::error_code error;
      if (std::filesystem::is_regular_file(own, error)) {
        complete(own, language.file);
      }
    }
    return 0;
  }
  int copied = 0;
  for (const LanguageFile& language : findLanguageFiles(from)) {
    std::error_code error;
    if (std::filesystem::copy_file(language.file, to / language.file.filename(), error)) {
      ++copied;
    }
  }
  return copied;
}

ProgramFolder chooseProgramFolder(const ProgramFolderPlaces& places) {
  if (places.chosen) {
    return prepared(*places.chosen, places.executableFolder);
  }
  // An installed copy (its languages in the prefix's share folder, none
  // beside it) is never portable, even for a user who may write to its
  // folder: root would otherwise fill /usr/bin with settings and archive.
  const auto shipped = shippedLanguageFolder(places.executableFolder);
  const bool installed = shipped && *shipped != places.executableFolder.lexically_normal();
  if (!installed && isWritableFolder(places.executableFolder)) {
    std::error_code error;
    return {std::filesystem::absolute(places.executableFolder, error).lexically_normal(), true, {}};
  }
  return prepared(places.userDataFolder, places.executableFolder);
}

}  // namespace vestrim::shell
