#pragma once

#include <string>

#include "platform/programmer_view.h"
#include "platform/prompts.h"

namespace vestrim::cli {

// The programmer window's state texts on a terminal: each new text of
// status panel 1 goes to stderr, so that the output of a command stays clean.
class TerminalView final : public platform::ProgrammerView {
 public:
  void setStatusText(int panel, const std::string& text) override;
  void setProgressVisible(bool) override {}
  void setProgressMaximum(std::uint32_t) override {}
  void setProgressValue(std::uint32_t) override {}
  void setBusyPointer(bool) override {}
  void setToolbarButtonEnabled(platform::ToolbarButton, bool) override {}
  void setMenuEnabled(platform::Menu, bool) override {}

 private:
  std::string lastStatus_;
};

// Messages on stderr. A question is answered Yes by --yes, asked at the
// terminal when stdin is one, and answered No otherwise.
class TerminalPrompts final : public platform::Prompts {
 public:
  explicit TerminalPrompts(bool assumeYes) : assumeYes_(assumeYes) {}
  platform::MessageAnswer show(const platform::Message& message) override;

 private:
  bool assumeYes_;
};

}  // namespace vestrim::cli
