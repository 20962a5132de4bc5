#include "platform/qt/qt_program_places.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace vestrim::platform {

shell::ProgramFolderPlaces qtProgramFolderPlaces(std::optional<std::filesystem::path> chosen) {
  const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return {std::move(chosen),
          std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()),
          std::filesystem::path(userData.toStdString()) / "Vestrim"};
}

std::filesystem::path qtCacheFolder() {
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  return std::filesystem::path(cache.toStdString()) / "vestrim";
}

}  // namespace vestrim::platform
