#include "terminal_front_end.h"

#include <unistd.h>

#include <cctype>
#include <iostream>

#include "shell/text_encoding.h"

namespace vestrim::cli {

using platform::MessageAnswer;
using platform::MessageButtons;

TerminalView::TerminalView() : drawBar_(isatty(STDERR_FILENO) != 0) {}

void TerminalView::endProgressLine() {
  if (barOnLine_) {
    std::cerr << '\n';
    barOnLine_ = false;
  }
}

void TerminalView::setStatusText(int panel, const std::string& text) {
  if (panel != 1 || text.empty() || text == lastStatus_) {
    return;
  }
  lastStatus_ = text;
  endProgressLine();
  std::cerr << shell::windows1252ToUtf8(text) << '\n';
}

void TerminalView::showLinkNotice(const std::string& text) {
  endProgressLine();
  std::cerr << "vestrim-cli: " << shell::windows1252ToUtf8(text) << '\n';
}

void TerminalView::setProgressVisible(bool visible) {
  progressVisible_ = visible;
  lastPercent_ = -1;
  if (!visible) {
    endProgressLine();
  }
}

void TerminalView::setProgressMaximum(std::uint32_t maximum) {
  progressMaximum_ = maximum;
  drawProgress();
}

void TerminalView::setProgressValue(std::uint32_t value) {
  progressValue_ = value;
  drawProgress();
}

void TerminalView::drawProgress() {
  if (!drawBar_ || !progressVisible_ || progressMaximum_ == 0) {
    return;
  }
  const int percent =
      static_cast<int>(100.0 * std::min(progressValue_, progressMaximum_) / progressMaximum_);
  if (percent == lastPercent_) {
    return;
  }
  lastPercent_ = percent;
  const int filled = percent * 40 / 100;
  std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "%"
            << std::flush;
  barOnLine_ = true;
}

void TerminalView::showCatalogue(const std::vector<platform::CatalogueRow>& shown) {
  rows = shown;
  catalogueShown = true;
}

void TerminalView::clearCatalogue() {
  rows.clear();
  catalogueShown = false;
}

MessageAnswer TerminalPrompts::show(const platform::Message& message) {
  if (view_ != nullptr) {
    view_->endProgressLine();
  }
  std::cerr << (message.title.empty() ? "" : shell::windows1252ToUtf8(message.title) + ": ")
            << shell::windows1252ToUtf8(message.text);
  if (message.text.empty() || message.text.back() != '\n') {
    std::cerr << '\n';
  }
  // OK/Cancel asks as Yes/No does: OK goes on, Cancel stops.
  const bool okCancel = message.buttons == MessageButtons::OkCancel;
  const bool question = okCancel || message.buttons == MessageButtons::YesNo ||
                        message.buttons == MessageButtons::YesNoCancel;
  if (!question) {
    return message.buttons == MessageButtons::RetryCancel ? MessageAnswer::Cancel
                                                          : MessageAnswer::Ok;
  }
  const MessageAnswer yes = okCancel ? MessageAnswer::Ok : MessageAnswer::Yes;
  const MessageAnswer no = okCancel ? MessageAnswer::Cancel : MessageAnswer::No;
  if (assumeYes_) {
    std::cerr << "Yes (--yes)\n";
    return yes;
  }
  if (isatty(STDIN_FILENO) == 0) {
    std::cerr << "No (no terminal to ask; --yes answers Yes)\n";
    return no;
  }
  // A question whose Yes would lose records takes an empty answer as No.
  const bool noByDefault = message.defaultAnswer == no;
  for (;;) {
    std::cerr << (noByDefault ? "[y/N] " : "[y/n] ") << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
      return no;
    }
    if (answer.empty() && noByDefault) {
      return no;
    }
    if (!answer.empty()) {
      const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(answer[0])));
      if (first == 'y') {
        return yes;
      }
      if (first == 'n') {
        return no;
      }
    }
  }
}

std::optional<std::size_t> TerminalPrompts::choose(const std::string& title,
                                                   const std::string& prompt,
                                                   const std::vector<std::string>& options) {
  if (view_ != nullptr) {
    view_->endProgressLine();
  }
  std::cerr << shell::windows1252ToUtf8(title) << ": " << shell::windows1252ToUtf8(prompt) << '\n';
  for (std::size_t i = 0; i < options.size(); ++i) {
    std::cerr << "  " << i + 1 << ") " << shell::windows1252ToUtf8(options[i]) << '\n';
  }
  if (isatty(STDIN_FILENO) == 0) {
    std::cerr << "None chosen (no terminal to ask)\n";
    return std::nullopt;
  }
  std::cerr << "[1-" << options.size() << "] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) {
    return std::nullopt;
  }
  try {
    const std::size_t chosen = std::stoul(answer);
    if (chosen >= 1 && chosen <= options.size()) {
      return chosen - 1;
    }
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

void TerminalPortDialog::showPortDialog(const std::vector<std::string>& offered,
                                        const std::string&) {
  shown = true;
  choices = offered;
}

}  // namespace vestrim::cli
