#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "shell/own_texts.h"

// The operators who release cycles: initials, name and PIN, kept in the
// program folder ("Vestrim_Operators.txt"), the PIN only as a salted slow
// hash. Five wrong PINs in a row make that operator wait a minute.
//
// One line per operator, fields separated by a tab:
//   <initials> <PIN hash> <wrong PINs in a row> <locked until, seconds since 1970> <name>
namespace vestrim::archive {

inline constexpr const char* kOperatorsFileName = "Vestrim_Operators.txt";
inline constexpr int kWrongPinsAllowed = 5;
inline constexpr std::int64_t kPinLockSeconds = 60;

struct Operator {
  std::string initials;  // 1 to 4 letters or digits, upper case
  std::string name;      // single-byte text
  std::string pinHash;
  int wrongPins = 0;
  std::int64_t lockedUntil = 0;

  bool operator==(const Operator&) const = default;
};

enum class PinCheck { Accepted, Wrong, Locked, NoSuchOperator };

class OperatorBook {
 public:
  // The operators of `programFolder`: none when it has no file yet. Nothing,
  // with `error`, when the file cannot be read or holds a line that is not
  // an operator.
  static std::optional<OperatorBook> load(const std::filesystem::path& programFolder,
                                          std::string& error);
  // Writes the file back safely (a new file renamed over the old one).
  bool save(std::string& error) const;

  const std::vector<Operator>& operators() const { return operators_; }
  const Operator* find(const std::string& initials) const;

  // Adds an operator; refused (false, `error` in the language of `texts`)
  // for initials that are not 1 to 4 letters or digits or are taken, a
  // name that is empty or holds a tab or a line end, a PIN that is not 4
  // to 12 digits.
  bool add(const std::string& initials, const std::string& name, const std::string& pin,
           std::string& error, const shell::LanguageTexts& texts = shell::englishOnly());
  bool remove(const std::string& initials);

  // Checks `pin` of `initials` at `now` (seconds since 1970) and counts a
  // wrong one; the caller saves the book afterwards, so that the count
  // holds across runs. `waitSeconds` is set while the operator is locked.
  PinCheck checkPin(const std::string& initials, const std::string& pin, std::int64_t now,
                    std::int64_t& waitSeconds);

 private:
  std::filesystem::path file_;
  std::vector<Operator> operators_;
};

// Initials as they are kept: upper case, without blanks around them.
std::string normalInitials(const std::string& initials);

// What a PIN check means for the user, in the language of `texts`: empty
// when accepted.
std::string pinCheckText(PinCheck check, const std::string& initials, std::int64_t waitSeconds,
                         const shell::LanguageTexts& texts = shell::englishOnly());

// Seconds since 1970 now.
std::int64_t secondsNow();

}  // namespace vestrim::archive
