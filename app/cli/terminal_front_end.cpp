#include "terminal_front_end.h"

#include <unistd.h>

#include <cctype>
#include <iostream>

#include "shell/text_encoding.h"

namespace vestrim::cli {

using platform::MessageAnswer;
using platform::MessageButtons;

void TerminalView::setStatusText(int panel, const std::string& text) {
  if (panel != 1 || text.empty() || text == lastStatus_) {
    return;
  }
  lastStatus_ = text;
  std::cerr << shell::windows1252ToUtf8(text) << '\n';
}

MessageAnswer TerminalPrompts::show(const platform::Message& message) {
  std::cerr << (message.title.empty() ? "" : shell::windows1252ToUtf8(message.title) + ": ")
            << shell::windows1252ToUtf8(message.text) << '\n';
  const bool question =
      message.buttons == MessageButtons::YesNo || message.buttons == MessageButtons::YesNoCancel;
  if (!question) {
    return message.buttons == MessageButtons::RetryCancel ? MessageAnswer::Cancel
                                                          : MessageAnswer::Ok;
  }
  if (assumeYes_) {
    std::cerr << "Yes (--yes)\n";
    return MessageAnswer::Yes;
  }
  if (isatty(STDIN_FILENO) == 0) {
    std::cerr << "No (no terminal to ask; --yes answers Yes)\n";
    return MessageAnswer::No;
  }
  for (;;) {
    std::cerr << "[y/n] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
      return MessageAnswer::No;
    }
    if (!answer.empty()) {
      const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(answer[0])));
      if (first == 'y') {
        return MessageAnswer::Yes;
      }
      if (first == 'n') {
        return MessageAnswer::No;
      }
    }
  }
}

}  // namespace vestrim::cli
