#include "shell/ui/icons.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QPalette>
#include <QPixmap>

namespace vestrim::shell::ui {
namespace {

#ifndef VESTRIM_PNG_ICON_SIZES
bool darkPalette() {
  return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

// The picture with its line colours lightened, as pixmaps of the sizes the
// windows draw (toolbars, buttons, lists, at any scale factor).
QIcon lightened(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return QIcon(path);
  }
  QByteArray svg = file.readAll();
  svg.replace("#1d5d7a", "#8cc9e4").replace("#5a5a5a", "#b4b4b4");
  QIcon icon;
  for (int size : {16, 20, 24, 32, 40, 48, 64, 96, 128}) {
    QBuffer buffer(&svg);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (!image.isNull()) {
      icon.addPixmap(QPixmap::fromImage(image));
    }
  }
  return icon.isNull() ? QIcon(path) : icon;
}
#endif

}  // namespace

QIcon icon(const QString& name) {
#ifdef VESTRIM_PNG_ICON_SIZES
  // Windows: the pictures as PNGs of the sizes the windows draw.
  static QHash<QString, QIcon> rendered;
  auto png = rendered.find(name);
  if (png == rendered.end()) {
    QIcon made;
    for (int size : {VESTRIM_PNG_ICON_SIZES}) {
      made.addFile(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
    }
    png = rendered.insert(name, made);
  }
  return *png;
#else
  const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
  if (name == QLatin1String("logo") || !darkPalette()) {
    return QIcon(path);
  }
  static QHash<QString, QIcon> made;
  auto found = made.find(name);
  if (found == made.end()) {
    found = made.insert(name, lightened(path));
  }
  return *found;
#endif
}

}  // namespace vestrim::shell::ui
