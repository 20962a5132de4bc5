#pragma once

#include <map>

#include "platform/main_window_view.h"

namespace vestrim::testing {

// Remembers what the main window was told.
class RecordingMainWindow final : public platform::MainWindowView {
 public:
  void setToolbarEnabled(bool enabled) override { toolbarEnabled = enabled; }
  void setToolbarButtonEnabled(int button, bool enabled) override { buttons[button] = enabled; }
  void setWindowEnabled(bool enabled) override { windowEnabled = enabled; }
  void setFileManagerEnabled(bool enabled) override { fileManagerEnabled = enabled; }
  void showFileManager() override { ++fileManagerShown; }

  bool toolbarEnabled = true;
  bool windowEnabled = false;
  bool fileManagerEnabled = false;
  std::map<int, bool> buttons;
  int fileManagerShown = 0;
};

}  // namespace vestrim::testing
