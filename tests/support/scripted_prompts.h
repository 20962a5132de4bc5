#pragma once

#include <deque>
#include <vector>

#include "platform/prompts.h"

namespace vestrim::testing {

// Records every message and answers questions from a script; a message
// without a scripted answer is answered with its first button.
class ScriptedPrompts final : public platform::Prompts {
 public:
  platform::MessageAnswer show(const platform::Message& message) override {
    shown.push_back(message);
    if (!answers.empty()) {
      const auto answer = answers.front();
      answers.pop_front();
      return answer;
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

  std::size_t countOf(const std::string& text) const {
    std::size_t count = 0;
    for (const auto& message : shown) {
      count += message.text == text ? 1 : 0;
    }
    return count;
  }

  std::deque<platform::MessageAnswer> answers;
  std::vector<platform::Message> shown;
};

}  // namespace vestrim::testing
