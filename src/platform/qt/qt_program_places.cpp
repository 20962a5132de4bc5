#include "platform/qt/qt_program_places.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include "platform/qt/qt_text.h"

namespace vestrim::platform {

shell::ProgramFolderPlaces qtProgramFolderPlaces(std::optional<std::filesystem::path> chosen) {
  const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return {std::move(chosen), toPath(QCoreApplication::applicationDirPath()),
          toPath(userData) / "Vestrim"};
}

std::filesystem::path qtCacheFolder() {
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  return toPath(cache) / "vestrim";
}

}  // namespace vestrim::platform
