#pragma once

#include <string>
#include <vector>

#include "platform/port_dialog_view.h"
#include "platform/programmer_view.h"
#include "platform/prompts.h"

namespace vestrim::cli {

// The programmer window on a terminal: state texts on stderr as they change,
// the operation's progress as a bar when stderr is a terminal, and the file
// list kept for the command to print.
class TerminalView final : public platform::ProgrammerView {
 public:
  TerminalView();
  void setStatusText(int panel, const std::string& text) override;
  void setProgressVisible(bool visible) override;
  void setProgressMaximum(std::uint32_t maximum) override;
  void setProgressValue(std::uint32_t value) override;
  void setBusyPointer(bool) override {}
  void setToolbarButtonEnabled(platform::ToolbarButton, bool) override {}
  void setMenuEnabled(platform::Menu, bool) override {}
  void showCatalogue(const std::vector<platform::CatalogueRow>& rows) override;
  void clearCatalogue() override;
  void setMemorySizeLabel(const std::string& text) override { memoryLabel = text; }
  void setMemoryBar(std::uint32_t maximum, std::uint32_t value) override {
    memoryMaximum = maximum;
    memoryValue = value;
  }
  void showLinkNotice(const std::string& text) override;

  // Ends a progress bar line before other output.
  void endProgressLine();

  std::vector<platform::CatalogueRow> rows;
  bool catalogueShown = false;
  std::string memoryLabel;
  std::uint32_t memoryMaximum = 0;
  std::uint32_t memoryValue = 0;

 private:
  void drawProgress();

  bool drawBar_;
  bool progressVisible_ = false;
  bool barOnLine_ = false;
  std::uint32_t progressMaximum_ = 0;
  std::uint32_t progressValue_ = 0;
  int lastPercent_ = -1;
  std::string lastStatus_;
};

// Messages on stderr. A question is answered Yes by --yes, asked at the
// terminal when stdin is one, and answered No otherwise.
class TerminalPrompts final : public platform::Prompts {
 public:
  TerminalPrompts(bool assumeYes, TerminalView* view = nullptr)
      : assumeYes_(assumeYes), view_(view) {}
  platform::MessageAnswer show(const platform::Message& message) override;
  std::optional<std::size_t> choose(const std::string& title, const std::string& prompt,
                                    const std::vector<std::string>& options) override;

 private:
  bool assumeYes_;
  TerminalView* view_;
};

// The port dialog has nobody to ask on a command line: its showing means
// the device could not be reached, and the command ends.
class TerminalPortDialog final : public platform::PortDialogView {
 public:
  void showPortDialog(const std::vector<std::string>& choices, const std::string& text) override;
  void hidePortDialog() override {}

  bool shown = false;
  std::vector<std::string> choices;
};

}  // namespace vestrim::cli
