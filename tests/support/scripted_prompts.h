#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/prompts.h"

namespace vestrim::testing {

// Records every message and answers questions from a script; a message
// without a scripted answer is answered as Enter answers it: its default
// answer, else its first button.
class ScriptedPrompts final : public platform::Prompts {
 public:
  platform::MessageAnswer show(const platform::Message& message) override {
    shown.push_back(message);
    if (!answers.empty()) {
      const auto answer = answers.front();
      answers.pop_front();
      return answer;
    }
    if (message.defaultAnswer) {
      return *message.defaultAnswer;
    }
    switch (message.buttons) {
      case platform::MessageButtons::Ok:
      case platform::MessageButtons::OkCancel:
        return platform::MessageAnswer::Ok;
      case platform::MessageButtons::YesNo:
      case platform::MessageButtons::YesNoCancel:
        return platform::MessageAnswer::Yes;
      case platform::MessageButtons::RetryCancel:
        return platform::MessageAnswer::Retry;
    }
    return platform::MessageAnswer::Ok;
  }

  std::optional<std::size_t> choose(const std::string& title, const std::string& prompt,
                                    const std::vector<std::string>& options) override {
    shown.push_back({.text = prompt, .title = title});
    choices.push_back(options);
    if (choiceAnswers.empty()) {
      return std::nullopt;
    }
    const auto answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    return answer;
  }

  std::size_t countOf(const std::string& text) const {
    std::size_t count = 0;
    for (const auto& message : shown) {
      count += message.text == text ? 1 : 0;
    }
    return count;
  }

  std::deque<platform::MessageAnswer> answers;
  std::deque<std::optional<std::size_t>> choiceAnswers;
  std::vector<std::vector<std::string>> choices;
  std::vector<platform::Message> shown;
};

}  // namespace vestrim::testing
