#pragma once

namespace vestrim::platform {

// What the main window offers the rest of the program: its toolbar
// (buttons numbered from 1: connect, separator, open, save, rename, delete,
// pen drive), its enabled state and the file manager it holds.
class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  virtual void setToolbarEnabled(bool enabled) = 0;
  virtual void setToolbarButtonEnabled(int button, bool enabled) = 0;
  virtual void setWindowEnabled(bool enabled) = 0;
  virtual void setFileManagerEnabled(bool enabled) = 0;
  virtual void showFileManager() = 0;
};

}  // namespace vestrim::platform
