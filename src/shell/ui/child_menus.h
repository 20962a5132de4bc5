#pragma once

#include <QList>

class QAction;

namespace vestrim::shell::ui {

// A child window with menus of its own: the main window's menu bar shows
// them while the child is the active window.
class ChildMenus {
 public:
  virtual ~ChildMenus() = default;
  virtual QList<QAction*> menuBarActions() const = 0;
};

}  // namespace vestrim::shell::ui
