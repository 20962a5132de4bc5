#include <QString>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "archive/pack_label.h"
#include "archive/stored_files.h"
#include "commands.h"
#include "reports/render/label_painter.h"
#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

namespace fs = std::filesystem;

// The stored file `file` names, below the program folder and "/"-joined: a
// path as given (from the working folder), else one below the program
// folder, as `list` prints them. Nothing, after saying why, when it is
// missing or outside the archive.
std::optional<std::string> archivePathOf(const fs::path& programFolder, const std::string& file) {
  std::error_code error;
  fs::path path = shell::pathFromUtf8(file);
  if (!fs::is_regular_file(path, error) && path.is_relative() &&
      fs::is_regular_file(programFolder / path, error)) {
    path = programFolder / path;
  }
  if (!fs::is_regular_file(path, error)) {
    fail("no such file: " + file);
    return std::nullopt;
  }
  const fs::path folder = fs::weakly_canonical(programFolder, error);
  const fs::path below = fs::weakly_canonical(path, error).lexically_relative(folder);
  const std::string text = shell::genericUtf8Of(below);
  if (error || below.empty() || !archive::isArchivePath(text)) {
    fail(file + " is not a stored file of the archive in " + shell::utf8Of(programFolder) +
         ": labels are printed only for the archive's cycles");
    return std::nullopt;
  }
  return text;
}

}  // namespace

int labelsCommand(const GlobalOptions& options, const std::string& file,
                  const LabelOptions& labels) {
  const std::unique_ptr<shell::ShellContext> shell = startShell(options);
  if (!shell) {
    return 1;
  }
  const shell::LanguageTexts& texts = shell->language.texts;
  const std::optional<std::string> path = archivePathOf(shell->ProgramFolder, file);
  if (!path) {
    return 1;
  }
  const std::vector<archive::PackKind> kinds = archive::readPackKinds(shell->ProgramFolder);
  const std::string wanted = shell::utf8ToWindows1252(labels.kind);
  auto kind = kinds.begin();
  if (!wanted.empty()) {
    kind = std::find_if(kinds.begin(), kinds.end(), [&](const archive::PackKind& each) {
      return QString::fromStdString(shell::windows1252ToUtf8(each.name))
                 .compare(QString::fromStdString(labels.kind), Qt::CaseInsensitive) == 0;
    });
  }
  if (kind == kinds.end()) {
    std::string known;
    for (const archive::PackKind& each : kinds) {
      known += (known.empty() ? "" : ", ") + shell::windows1252ToUtf8(each.name);
    }
    fail("no pack kind named \"" + labels.kind + "\" in " +
         shell::utf8Of(shell->ProgramFolder / shell::kSettingsFileName) + " (kinds: " + known +
         ")");
    return 1;
  }
  std::string error;
  const std::optional<archive::PackLabel> label =
      archive::packLabelFor(shell->ProgramFolder, *path, kind->days, kind->name, error, texts);
  if (!label) {
    fail(shell::windows1252ToUtf8(error));
    return 1;
  }
  QString why;
  if (!reports::render::labelsToPdf(*label, labels.copies, {labels.widthMm, labels.heightMm},
                                    shell::pathFromUtf8(labels.pdf), &why, texts)) {
    fail(why.toStdString());
    return 1;
  }
  std::cout << labels.pdf << '\n';
  return 0;
}

int findCommand(const GlobalOptions& options, const std::string& text) {
  const std::optional<fs::path> folder = programFolderOnly(options);
  if (!folder) {
    return 1;
  }
  std::string error;
  const archive::PackCodeSearch search =
      archive::findPackCode(*folder, shell::utf8ToWindows1252(text), error);
  switch (search.outcome) {
    case archive::PackCodeFind::Found:
      std::cout << shell::utf8Of(fs::absolute(*folder / shell::pathFromUtf8(search.path))) << '\n';
      return 0;
    case archive::PackCodeFind::NotACode:
      fail(shell::windows1252ToUtf8(error));
      return 2;
    case archive::PackCodeFind::NoCycle:
    case archive::PackCodeFind::Changed:
      break;
  }
  fail(shell::windows1252ToUtf8(error));
  return 1;
}

}  // namespace vestrim::cli
