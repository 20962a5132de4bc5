#pragma once

#include <QList>

class QAction;

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

}  // namespace vestrim::shell::ui
