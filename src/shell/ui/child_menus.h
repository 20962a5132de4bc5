#pragma once

#include <QAction>
#include <QList>
#include <QMenu>

namespace vestrim::shell::ui {

// The commands the standard keys reach in whichever window is active: Save
// (Ctrl+S), Refresh (F5, read again) and Print (Ctrl+P).
enum class StandardCommand { Save, Refresh, Print };

// A child window with menus of its own: the main window's menu bar shows
// them while the child is the active window, and the standard keys run the
// child's own command when it has one.
class ChildMenus {
 public:
  virtual ~ChildMenus() = default;
  virtual QList<QAction*> menuBarActions() const = 0;
  virtual QAction* standardAction(StandardCommand) const { return nullptr; }
};

// The menus of a device window (programmer, pen drive): File, Device and
// Version in the menu bar; Ctrl+S saves the device's files, F5 reads them
// again. The window fills the members as it builds its menus.
class DeviceMenus : public ChildMenus {
 public:
  QList<QAction*> menuBarActions() const override {
    return {fileMenu_->menuAction(), deviceMenu_->menuAction(), versionAction_};
  }
  QAction* standardAction(StandardCommand command) const override {
    return command == StandardCommand::Save      ? saveAction_
           : command == StandardCommand::Refresh ? readAction_
                                                 : nullptr;
  }

 protected:
  QMenu* fileMenu_ = nullptr;
  QMenu* deviceMenu_ = nullptr;
  QAction* versionAction_ = nullptr;
  QAction* saveAction_ = nullptr;
  QAction* readAction_ = nullptr;
};

}  // namespace vestrim::shell::ui
