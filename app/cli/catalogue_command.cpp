#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <iomanip>
#include <iostream>

#include "catalogue/programmer.h"
#include "commands.h"
#include "link/port_discovery.h"
#include "platform/qt/qt_port_enumerator.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_serial_port.h"
#include "shell/text_encoding.h"
#include "terminal_front_end.h"

namespace vestrim::cli {
namespace {

// Captions of the file list's columns and of the memory display.
constexpr int kColumnCaptions = 315;
constexpr int kMemorySizeCaption = 307;
constexpr int kMemoryUseCaption = 308;

QString text(const std::string& windows1252) {
  return QString::fromStdString(shell::windows1252ToUtf8(windows1252));
}

void printJson(const TerminalView& view, std::uint32_t memorySize) {
  QJsonArray rows;
  for (const platform::CatalogueRow& row : view.rows) {
    rows.append(QJsonObject{{"code", text(row.code)},
                            {"description", text(row.description)},
                            {"name", text(row.name)},
                            {"date", text(row.date)},
                            {"id", text(row.id)}});
  }
  const QJsonObject result{{"memory_size", static_cast<qint64>(memorySize)},
                           {"memory_label", text(view.memoryLabel)},
                           {"memory_used", static_cast<qint64>(view.memoryValue)},
                           {"memory_max", static_cast<qint64>(view.memoryMaximum)},
                           {"rows", rows}};
  std::cout << QJsonDocument(result).toJson(QJsonDocument::Indented).toStdString();
}

// Width of a UTF-8 text in characters.
std::size_t width(const std::string& utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void printTable(const TerminalView& view, const shell::LanguageTexts& texts) {
  const std::uint32_t used = view.memoryValue;
  const std::uint32_t maximum = view.memoryMaximum;
  std::cout << shell::windows1252ToUtf8(texts[kMemorySizeCaption]) << ": " << view.memoryLabel
            << '\n'
            << shell::windows1252ToUtf8(texts[kMemoryUseCaption]) << ": "
            << (maximum == 0 ? 0 : static_cast<int>(100.0 * used / maximum)) << "% (" << used
            << " of " << maximum << " bytes)\n\n";

  std::vector<std::array<std::string, 5>> table;
  std::array<std::string, 5> header;
  for (std::size_t column = 0; column < 5; ++column) {
    header[column] = shell::windows1252ToUtf8(texts[kColumnCaptions + column]);
  }
  table.push_back(header);
  for (const platform::CatalogueRow& row : view.rows) {
    table.push_back({shell::windows1252ToUtf8(row.code), shell::windows1252ToUtf8(row.description),
                     shell::windows1252ToUtf8(row.name), row.date, row.id});
  }
  std::array<std::size_t, 5> widths{};
  for (const auto& line : table) {
    for (std::size_t column = 0; column < 5; ++column) {
      widths[column] = std::max(widths[column], width(line[column]));
    }
  }
  for (const auto& line : table) {
    for (std::size_t column = 0; column < 5; ++column) {
      std::cout << line[column];
      if (column < 4) {
        std::cout << std::string(widths[column] - width(line[column]) + 2, ' ');
      }
    }
    std::cout << '\n';
  }
  if (view.rows.empty()) {
    std::cout << "(no files)\n";
  }
}

}  // namespace

int catalogueCommand(const GlobalOptions& options) {
  const auto shell = startShell(options);
  if (!shell) {
    return 1;
  }
  std::optional<shell::PortSetting> port;
  if (!options.port.empty()) {
    port = link::portSettingOf(options.port);
    if (!port) {
      fail("--port " + options.port + " is neither a device path nor a COM port name");
      return 2;
    }
  }

  platform::QtSerialPort serial;
  platform::QtScheduler scheduler;
  platform::QtPortEnumerator enumerator;
  TerminalView view;
  TerminalPrompts prompts(options.assumeYes, &view);
  TerminalPortDialog dialog;
  catalogue::Programmer programmer(serial, scheduler, view, prompts, enumerator, dialog, *shell);
  programmer.connection().setPortOverride(port);

  int status = -1;
  auto finish = [&](int code, const std::string& message) {
    if (status != -1) {
      return;
    }
    status = code;
    view.endProgressLine();
    if (!message.empty()) {
      fail(message);
    }
    QCoreApplication::exit(code);
  };
  programmer.connection().setStatusHandler([&](link::LinkStatus linkStatus) {
    if (linkStatus == link::LinkStatus::Stalled) {
      finish(1, "the device answered the speed switch wrongly on " + serial.portName() +
                    "; the link stalled");
    }
  });
  // The command ends when the program would wait for the user.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!programmer.settled()) {
      return;
    }
    if (dialog.shown) {
      finish(1, "cannot reach the device on " +
                    (serial.portName().empty() ? std::string("any port") : serial.portName()) +
                    ". " + platform::kPortDialogExplanation);
    } else if (!view.catalogueShown ||
               programmer.connection().status() != link::LinkStatus::Connected) {
      finish(1, "the catalogue could not be read");
    } else {
      finish(0, "");
    }
  });
  QTimer::singleShot(0, [&] {
    programmer.connection().Connect();
    watch.start(20);
  });
  QCoreApplication::exec();
  serial.close();

  if (status == 0) {
    if (options.json) {
      printJson(view, programmer.tables().MemorySize);
    } else {
      printTable(view, shell->language.texts);
    }
  }
  return status;
}

}  // namespace vestrim::cli
