#pragma once

#include <QIcon>
#include <QString>

namespace vestrim::shell::ui {

// One of the program's own pictures by name ("logo", "print", ...). In a
// dark palette their dark lines are drawn light, so that they stand out
// from the window as they do in a light one.
QIcon icon(const QString& name);

}  // namespace vestrim::shell::ui
