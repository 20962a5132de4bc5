#pragma once

#include <array>
#include <string>

// The main window's toolbar: seven buttons numbered from 1, the second a
// separator. Captions keep their blanks as the toolbar first shows them;
// after a click the button shows its command word (the caption without
// blanks).
namespace vestrim::shell {

enum class MainCommand { Connect, Open, Save, Rename, Delete, PenDrive, None };

struct MainToolbarButton {
  int number;
  const char* caption;
  const char* toolTip;
  MainCommand command;
};

inline constexpr int kSeparatorButton = 2;

inline constexpr std::array<MainToolbarButton, 7> kMainToolbar{{
    {1, "Vestrim ", "Connect/Disconnect", MainCommand::Connect},
    {2, "", "", MainCommand::None},
    {3, " Open", "Insert new file", MainCommand::Open},
    {4, " Save ", "Save file selected", MainCommand::Save},
    {5, " Rename ", "Rename file selected", MainCommand::Rename},
    {6, " Delete ", "Delete file selected", MainCommand::Delete},
    {7, " USB", "Connect PenDrive USB", MainCommand::PenDrive},
}};

// The caption without any blank: what a clicked button shows from then on.
std::string commandWord(const std::string& caption);

}  // namespace vestrim::shell
