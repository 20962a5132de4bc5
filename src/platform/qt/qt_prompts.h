#pragma once

#include "platform/prompts.h"

class QWidget;

namespace vestrim::platform {

// The core's messages and questions as message boxes over `parent`. A
// system-modal message blocks the whole application; the others block
// their parent window.
class QtPrompts final : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent) : parent_(parent) {}

  MessageAnswer show(const Message& message) override;
  std::optional<std::size_t> choose(const std::string& title, const std::string& prompt,
                                    const std::vector<std::string>& options) override;

 private:
  QWidget* parent_;
};

}  // namespace vestrim::platform
