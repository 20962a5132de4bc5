#include "archive/operators.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ctime>

#include "shell/pin_hash.h"
#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {
namespace {

constexpr std::size_t kMostInitials = 4;
constexpr std::size_t kFewestPinDigits = 4;
constexpr std::size_t kMostPinDigits = 12;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool goodInitials(const std::string& initials) {
  return !initials.empty() && initials.size() <= kMostInitials &&
         std::all_of(initials.begin(), initials.end(),
                     [](char c) { return isDigit(c) || (c >= 'A' && c <= 'Z'); });
}

bool goodName(const std::string& name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

template <typename Number>
std::optional<Number> numberOf(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<Operator> parseOperator(std::string_view line) {
  std::string_view fields[4];
  for (std::string_view& field : fields) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
      return std::nullopt;
    }
    field = line.substr(0, tab);
    line.remove_prefix(tab + 1);
  }
  Operator person{std::string(fields[0]), std::string(line), std::string(fields[1])};
  const std::optional<int> wrong = numberOf<int>(fields[2]);
  const std::optional<std::int64_t> until = numberOf<std::int64_t>(fields[3]);
  if (!goodInitials(person.initials) || !goodName(person.name) || person.pinHash.empty() ||
      !wrong || !until) {
    return std::nullopt;
  }
  person.wrongPins = *wrong;
  person.lockedUntil = *until;
  return person;
}

}  // namespace

std::string normalInitials(const std::string& initials) {
  std::string normal;
  for (const char c : initials) {
    if (c != ' ') {
      normal += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  return normal;
}

std::int64_t secondsNow() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

std::optional<OperatorBook> OperatorBook::load(const std::filesystem::path& programFolder,
                                               std::string& error) {
  OperatorBook book;
  book.file_ = programFolder / kOperatorsFileName;
  std::error_code ignored;
  if (!std::filesystem::exists(book.file_, ignored)) {
    return book;
  }
  const std::optional<Bytes> bytes = shell::readWholeFile(book.file_);
  if (!bytes) {
    error = shell::utf8Of(book.file_) + " cannot be read";
    return std::nullopt;
  }
  const std::string text(bytes->begin(), bytes->end());
  std::size_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end;
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (line.empty()) {
      continue;
    }
    const std::optional<Operator> person = parseOperator(line);
    if (!person) {
      error = shell::utf8Of(book.file_) + ", line " + std::to_string(number) +
              ": not an operator (initials, PIN hash, counts and name separated by tabs)";
      return std::nullopt;
    }
    book.operators_.push_back(*person);
  }
  return book;
}

bool OperatorBook::save(std::string& error) const {
  std::string text;
  for (const Operator& person : operators_) {
    text += person.initials + "\t" + person.pinHash + "\t" + std::to_string(person.wrongPins) +
            "\t" + std::to_string(person.lockedUntil) + "\t" + person.name + "\n";
  }
  // Its words name the file and the system's reason.
  if (!shell::replaceFile(file_, text, &error)) {
    return false;
  }
  return true;
}

const Operator* OperatorBook::find(const std::string& initials) const {
  const std::string wanted = normalInitials(initials);
  const auto found =
      std::find_if(operators_.begin(), operators_.end(),
                   [&](const Operator& person) { return person.initials == wanted; });
  return found == operators_.end() ? nullptr : &*found;
}

bool OperatorBook::add(const std::string& initials, const std::string& name, const std::string& pin,
                       std::string& error, const shell::LanguageTexts& texts) {
  using shell::Text;
  const std::string normal = normalInitials(initials);
  if (!goodInitials(normal)) {
    error = shell::ownText(texts, Text::OperatorInitialsBad, {initials});
    return false;
  }
  if (find(normal) != nullptr) {
    error = shell::ownText(texts, Text::OperatorTaken, {normal});
    return false;
  }
  if (!goodName(name)) {
    error = shell::ownText(texts, Text::OperatorNameBad);
    return false;
  }
  if (pin.size() < kFewestPinDigits || pin.size() > kMostPinDigits ||
      !std::all_of(pin.begin(), pin.end(), isDigit)) {
    error = shell::ownText(texts, Text::PinBad);
    return false;
  }
  const std::optional<std::string> hash = shell::hashPin(pin);
  if (!hash) {
    error = "the system gives no random bytes or no PBKDF2 for the PIN";
    return false;
  }
  operators_.push_back({normal, name, *hash});
  return true;
}

bool OperatorBook::remove(const std::string& initials) {
  const std::string wanted = normalInitials(initials);
  return std::erase_if(operators_,
                       [&](const Operator& person) { return person.initials == wanted; }) > 0;
}

PinCheck OperatorBook::checkPin(const std::string& initials, const std::string& pin,
                                std::int64_t now, std::int64_t& waitSeconds) {
  const std::string wanted = normalInitials(initials);
  const auto found =
      std::find_if(operators_.begin(), operators_.end(),
                   [&](const Operator& person) { return person.initials == wanted; });
  if (found == operators_.end()) {
    return PinCheck::NoSuchOperator;
  }
  if (found->lockedUntil > now) {
    waitSeconds = found->lockedUntil - now;
    return PinCheck::Locked;
  }
  if (shell::pinMatches(pin, found->pinHash)) {
    found->wrongPins = 0;
    found->lockedUntil = 0;
    return PinCheck::Accepted;
  }
  if (++found->wrongPins >= kWrongPinsAllowed) {
    found->wrongPins = 0;
    found->lockedUntil = now + kPinLockSeconds;
  }
  return PinCheck::Wrong;
}

std::string pinCheckText(PinCheck check, const std::string& initials, std::int64_t waitSeconds,
                         const shell::LanguageTexts& texts) {
  using shell::Text;
  const std::string normal = normalInitials(initials);
  switch (check) {
    case PinCheck::Accepted:
      return {};
    case PinCheck::Wrong:
      return shell::ownText(texts, Text::PinWrong, {normal});
    case PinCheck::Locked:
      return shell::ownText(texts, Text::PinLocked, {normal, std::to_string(waitSeconds)});
    case PinCheck::NoSuchOperator:
      return shell::ownText(texts, Text::OperatorUnknown, {normal});
  }
  return {};
}

}  // namespace vestrim::archive
