#pragma once

class QCoreApplication;

namespace vestrim::shell::ui {

// Keeps the keyboard's focus visible in lists: the selection of the list
// that has the focus keeps the full highlight, the selections of the other
// lists are drawn muted, so that Tab shows where it went.
void markFocusedLists(QCoreApplication& app);

}  // namespace vestrim::shell::ui
