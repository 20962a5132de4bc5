#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>

#include "commands.h"
#include "link/port_discovery.h"
#include "platform/qt/system_ports.h"
#include "shell/own_texts.h"

namespace vestrim::cli {

int portsCommand(const GlobalOptions& options) {
  const auto ports = platform::makePortEnumerator()->ports();
  if (options.json) {
    QJsonArray list;
    for (const auto& port : ports) {
      list.append(QJsonObject{{"name", QString::fromStdString(port.name)},
                              {"description", QString::fromStdString(port.description)},
                              {"adapter", link::isDeviceAdapter(port)},
                              {"permitted", !port.permissionDenied}});
    }
    std::cout << QJsonDocument(list).toJson(QJsonDocument::Indented).toStdString();
    return 0;
  }
  bool denied = false;
  for (const auto& port : ports) {
    std::cout << link::portListLine(port) << '\n';
    denied = denied || port.permissionDenied;
  }
  if (ports.empty()) {
    std::cerr << "No serial ports found.\n";
  }
  if (denied) {
    std::cerr << "This user may not open the ports marked [no permission]. "
              << shell::englishText(shell::Text::PortAdvice) << '\n';
  }
  return 0;
}

}  // namespace vestrim::cli
