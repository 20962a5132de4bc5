#include <cstdio>
#include <filesystem>
#include <iostream>

#include "archive/operators.h"
#include "archive/release.h"
#include "commands.h"
#include "pin_input.h"
#include "shell/text_encoding.h"

namespace vestrim::cli {
namespace {

std::string utf8(const std::string& windows1252) {
  return shell::windows1252ToUtf8(windows1252);
}

std::optional<archive::OperatorBook> loadOperators(const std::filesystem::path& folder) {
  std::string error;
  std::optional<archive::OperatorBook> book = archive::OperatorBook::load(folder, error);
  if (!book) {
    fail(error);
  }
  return book;
}

// The stored file a command names: as given, else below the program folder.
std::filesystem::path storedFile(const std::filesystem::path& folder, const std::string& file) {
  const std::filesystem::path given = shell::pathFromUtf8(file);
  std::error_code error;
  if (std::filesystem::exists(given, error) || given.is_absolute()) {
    return given;
  }
  return folder / given;
}

}  // namespace

int operatorsAddCommand(const GlobalOptions& options, const std::string& initials,
                        const std::string& name) {
  const std::unique_ptr<shell::ShellContext> shell = startShell(options);
  if (!shell) {
    return 1;
  }
  std::optional<archive::OperatorBook> book = loadOperators(shell->ProgramFolder);
  if (!book) {
    return 1;
  }
  const std::optional<std::string> pin =
      readPin("PIN for " + archive::normalInitials(initials) + ": ");
  if (!pin) {
    fail("no PIN given");
    return 1;
  }
  if (inputIsTerminal()) {
    const std::optional<std::string> again = readPin("The same PIN again: ");
    if (!again || *again != *pin) {
      fail("the two PINs differ; no operator was added");
      return 1;
    }
  }
  std::string error;
  if (!book->add(initials, shell::utf8ToWindows1252(name), *pin, error, shell->language.texts) ||
      !book->save(error)) {
    fail(utf8(error));
    return 1;
  }
  std::cout << "operator " << archive::normalInitials(initials) << " (" << name << ") added\n";
  return 0;
}

int operatorsListCommand(const GlobalOptions& options) {
  const std::optional<std::filesystem::path> folder = programFolderOnly(options);
  if (!folder) {
    return 2;
  }
  const std::optional<archive::OperatorBook> book = loadOperators(*folder);
  if (!book) {
    return 1;
  }
  const std::int64_t now = archive::secondsNow();
  for (const archive::Operator& person : book->operators()) {
    char line[64];
    std::snprintf(line, sizeof line, "%-4s  ", person.initials.c_str());
    std::cout << line << utf8(person.name);
    if (person.lockedUntil > now) {
      std::cout << "  (locked for " << person.lockedUntil - now << " s)";
    }
    std::cout << '\n';
  }
  std::cerr << book->operators().size() << " operator(s)\n";
  return 0;
}

int operatorsRemoveCommand(const GlobalOptions& options, const std::string& initials) {
  const std::optional<std::filesystem::path> folder = programFolderOnly(options);
  if (!folder) {
    return 2;
  }
  std::optional<archive::OperatorBook> book = loadOperators(*folder);
  if (!book) {
    return 1;
  }
  std::string error;
  if (!book->remove(initials)) {
    fail("there is no operator " + archive::normalInitials(initials));
    return 1;
  }
  if (!book->save(error)) {
    fail(error);
    return 1;
  }
  std::cout << "operator " << archive::normalInitials(initials) << " removed\n";
  return 0;
}

int releaseCommand(const GlobalOptions& options, const ReleaseOptions& release) {
  const std::unique_ptr<shell::ShellContext> shell = startShell(options);
  if (!shell) {
    return 1;
  }
  const shell::LanguageTexts& texts = shell->language.texts;
  const std::filesystem::path file = storedFile(shell->ProgramFolder, release.file);
  const std::optional<std::string> path = archive::archivePathOf(shell->ProgramFolder, file);
  std::error_code missing;
  if (!path || !std::filesystem::is_regular_file(file, missing)) {
    fail(release.file + " is not a stored file of the archive in " +
         shell::utf8Of(shell->ProgramFolder));
    return 1;
  }
  std::optional<archive::OperatorBook> book = loadOperators(shell->ProgramFolder);
  if (!book) {
    return 1;
  }
  const archive::Operator* person = book->find(release.operatorInitials);
  if (person == nullptr) {
    fail(utf8(archive::pinCheckText(archive::PinCheck::NoSuchOperator, release.operatorInitials, 0,
                                    texts)));
    return 1;
  }
  // Judged before the PIN is asked for, so that a refusal costs no PIN.
  const archive::ReleaseChoice choice = archive::releaseChoice(file, texts);
  if (!choice.isCycle ||
      (release.result == archive::ReleaseResult::Released && !choice.canRelease)) {
    fail(utf8(choice.why));
    return 1;
  }
  if (release.result == archive::ReleaseResult::Released &&
      release.indicator == archive::Indicator::Failed) {
    fail(utf8(shell::ownText(texts, shell::Text::ReleaseIndicatorsFailed)));
    return 1;
  }
  const archive::ReleaseRequest request{
      *path,          person->initials,  person->name,
      release.result, release.indicator, shell::utf8ToWindows1252(release.note)};
  const std::optional<std::string> pin = readPin("PIN of " + person->initials + ": ");
  std::int64_t wait = 0;
  const archive::PinCheck check =
      pin ? book->checkPin(request.operatorInitials, *pin, archive::secondsNow(), wait)
          : archive::PinCheck::Wrong;
  std::string error;
  if (!book->save(error)) {
    fail(error);
    return 1;
  }
  if (check != archive::PinCheck::Accepted) {
    fail(utf8(archive::pinCheckText(check, request.operatorInitials, wait, texts)) +
         " Nothing was recorded.");
    return 1;
  }
  const std::optional<archive::Release> done =
      archive::recordRelease(shell->ProgramFolder, request, error, texts);
  if (!done) {
    fail(utf8(error));
    return 1;
  }
  std::cout << archive::resultWord(done->result) << ": " << done->path << " by "
            << done->operatorInitials << " (" << utf8(done->operatorName) << "), journal entry "
            << done->sequence;
  if (done->vacuumTest != archive::TestOutcome::NotATest) {
    std::cout << ", vacuum test " << archive::testWord(done->vacuumTest);
  }
  std::cout << '\n';
  return 0;
}

}  // namespace vestrim::cli
