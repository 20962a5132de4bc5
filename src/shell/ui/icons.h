#pragma once

#include <QIcon>
#include <QString>

namespace vestrim::shell::ui {

// One of the program's own pictures by name ("logo", "print", ...).
inline QIcon icon(const QString& name) {
  return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

}  // namespace vestrim::shell::ui
