#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vestrim::platform {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No, Retry };

// A message box as the system shows it. Texts are single-byte
// (Windows-1252) as they stand in the language files; the front end converts.
struct Message {
  std::string text;
  std::string title;
  MessageIcon icon = MessageIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
  bool systemModal = false;
  // The answer Enter gives; the box's usual one (Yes, OK, Retry) when not
  // set. A question whose Yes would lose records defaults to No.
  std::optional<MessageAnswer> defaultAnswer = std::nullopt;
};

// Shows messages and asks questions; returns the answer the user chose.
class Prompts {
 public:
  virtual ~Prompts() = default;
  virtual MessageAnswer show(const Message& message) = 0;
  // A choice box: one button per option, under `title` and `prompt`.
  // Returns the index of the chosen option, or nothing when none was chosen.
  virtual std::optional<std::size_t> choose(const std::string& title, const std::string& prompt,
                                            const std::vector<std::string>& options) = 0;
};

}  // namespace vestrim::platform
