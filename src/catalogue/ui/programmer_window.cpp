#include "catalogue/ui/programmer_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/qt/qt_text.h"
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"

namespace vestrim::catalogue::ui {
namespace {

using platform::fromCore;
using platform::Menu;
using platform::ToolbarButton;
using shell::Text;
using shell::ui::icon;
using shell::ui::own;
using shell::ui::withMnemonic;

constexpr std::size_t kReadCaption = 303;
constexpr std::size_t kSaveCaption = 304;
constexpr std::size_t kEraseCaption = 305;
constexpr std::size_t kDeviceMenuCaption = 306;
constexpr std::size_t kMemorySizeCaption = 307;
constexpr std::size_t kMemoryUseCaption = 308;
constexpr std::size_t kExitCaption = 297;

std::size_t indexOf(ToolbarButton button) {
  return static_cast<std::size_t>(button) - 1;
}

// Bars count in ints; device figures may pass 2^31.
int barValue(std::uint32_t value) {
  return static_cast<int>(std::min<std::uint32_t>(value, 0x7FFFFFFF));
}

platform::Message stopQuestion(const shell::LanguageTexts& texts) {
  return {.text = shell::ownText(texts, shell::Text::StopQuestion),
          .title = {},
          .icon = platform::MessageIcon::Question,
          .buttons = platform::MessageButtons::YesNo,
          .systemModal = false};
}

}  // namespace

ProgrammerWindow::ProgrammerWindow(const ProgrammerServices& services, shell::ShellContext& shell,
                                   platform::Prompts& prompts, platform::MainWindowView& mainWindow,
                                   QWidget* parent)
    : QWidget(parent), shell_(shell), prompts_(prompts) {
  setObjectName("FrmPrg");
  const shell::LanguageTexts& texts = shell.language.texts;
  setWindowTitle(own(texts, Text::ProgrammerTitle));
  setWindowIcon(icon("chip"));

  buildToolbar();
  list_ = new CatalogueList(texts, this);
  list_->setObjectName("ListView1");
  list_->setAccessibleName(own(texts, Text::DeviceFiles));
  list_->hide();
  // A selection made while an operation runs is undone at once.
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (commands_ && commands_->working() && !list_->rows().empty()) {
      const QSignalBlocker quiet(list_->selectionModel());
      list_->clearSelection();
    }
  });

  auto* memory = new QGroupBox(this);
  memory->setObjectName("memoryFrame");
  auto* sizeCaption = new QLabel(fromCore(texts[kMemorySizeCaption]), memory);
  memorySize_ = new QLabel(memory);
  memorySize_->setObjectName("memorySize");
  memorySize_->setMinimumWidth(90);
  memorySize_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  memorySize_->setAccessibleName(sizeCaption->text());
  auto* useCaption = new QLabel(fromCore(texts[kMemoryUseCaption]), memory);
  memoryBar_ = new QProgressBar(memory);
  memoryBar_->setObjectName("memoryBar");
  memoryBar_->setAccessibleName(useCaption->text());
  memoryBar_->setValue(0);
  auto* memoryLayout = new QGridLayout(memory);
  memoryLayout->addWidget(sizeCaption, 0, 0);
  memoryLayout->addWidget(memorySize_, 0, 1);
  memoryLayout->addWidget(useCaption, 0, 2);
  memoryLayout->addWidget(memoryBar_, 0, 3);
  memoryLayout->setColumnStretch(3, 1);
  memoryLayout->setColumnMinimumWidth(1, 90);

  auto* status = new QStatusBar(this);
  status->setObjectName("StatusBar1");
  status->setSizeGripEnabled(false);
  for (int panel = 0; panel < 2; ++panel) {
    panels_[panel] = new QLabel(status);
    panels_[panel]->setObjectName(QStringLiteral("panel%1").arg(panel + 1));
    panels_[panel]->setMinimumWidth(panel == 0 ? 220 : 120);
  }
  status->addWidget(panels_[0]);
  status->addWidget(panels_[1], 1);
  progress_ = new QProgressBar(status);
  progress_->setObjectName("ProgressBar2");
  progress_->setAccessibleName(own(texts, Text::OperationProgress));
  progress_->setMaximumWidth(260);
  progress_->hide();
  status->addPermanentWidget(progress_);
  linkState_ = new QLabel(status);
  linkState_->setObjectName("linkState");
  status->addPermanentWidget(linkState_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(toolbar_);
  layout->addWidget(list_, 1);
  layout->addStretch();
  layout->addWidget(memory);
  layout->addWidget(status);
  buildMenus();

  portDialog_ = std::make_unique<link::ui::PortDialog>(services.ports, this);
  portDialog_->setWindowFlag(Qt::Window);
  commands_ = std::make_unique<transfer::ProgrammerCommands>(services.port, services.scheduler,
                                                             *this, prompts, services.ports,
                                                             *portDialog_, shell, mainWindow);
  portDialog_->setConnection(&commands_->programmer().connection());
  commands_->programmer().connection().setPortOverride(services.portForRun);
  commands_->programmer().connection().addStatusListener(
      [this](link::LinkStatus state) { showLinkStatus(state); });
  commands_->upload().setFinishedHandler([this](const transfer::SaveOutcome& outcome) {
    const std::string line = transfer::saveOutcomeText(outcome, shell_.language.texts);
    showResult(line);
    emit refreshRequested();
    if (const auto message =
            transfer::notSavedMessage(line, outcome.failed, shell_.language.texts)) {
      prompts_.show(*message);
    }
  });
  commands_->downloader().addFinishedListener([this](bool written) {
    if (written) {
      const std::filesystem::path sent =
          shell::pathFromUtf8(commands_->downloadState().DownloadFileName);
      showResult(shell::ownText(shell_.language.texts, Text::WrittenIntoDevice,
                                {platform::toCore(platform::fromPath(sent.filename()))}));
    }
  });
  showLinkStatus(link::LinkStatus::Closed);
  commands_->open();
}

QSize ProgrammerWindow::sizeHint() const {
  return {900, 600};
}

ProgrammerWindow::~ProgrammerWindow() {
  // The core goes before the widgets it draws on.
  commands_.reset();
}

void ProgrammerWindow::buildToolbar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName("Toolbar1");
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(28, 28));
  const shell::LanguageTexts& texts = shell_.language.texts;
  struct Button {
    ToolbarButton button;
    QString caption;
    const char* picture;
    QString toolTip;
    std::function<void()> run;
  };
  const Button table[] = {
      {ToolbarButton::Connect, "Connect", "connect", own(texts, Text::TipConnect),
       [this] { commands_->Connect(); }},
      {ToolbarButton::Read, fromCore(texts[kReadCaption]), "read", own(texts, Text::TipRead),
       [this] { commands_->Read(true); }},
      {ToolbarButton::Open, "Open", "open", own(texts, Text::TipOpen), [this] { openFiles(); }},
      {ToolbarButton::MachineUpgrade, "MachineUpgrade", "chip", {}, {}},
      {ToolbarButton::Download, "Download", "download", own(texts, Text::TipDownload),
       [this] { commands_->download(); }},
      {ToolbarButton::Save, fromCore(texts[kSaveCaption]), "save", own(texts, Text::TipSave),
       [this] { commands_->Save(); }},
      {ToolbarButton::Erase, fromCore(texts[kEraseCaption]), "erase", own(texts, Text::TipErase),
       [this] { commands_->erase(true); }},
  };
  for (const Button& b : table) {
    QAction* action = toolbar_->addAction(icon(b.picture), b.caption);
    action->setObjectName(QStringLiteral("button%1").arg(static_cast<int>(b.button)));
    action->setToolTip(b.toolTip);
    buttons_[indexOf(b.button)] = action;
    if (!b.run) {
      // "MachineUpgrade" does nothing: it is not shown.
      action->setVisible(false);
      continue;
    }
    connect(action, &QAction::triggered, this, [this, run = b.run] { command(run); });
    if (QWidget* widget = toolbar_->widgetForAction(action)) {
      widget->setAccessibleName(b.caption);
    }
  }
}

void ProgrammerWindow::buildMenus() {
  // Every toolbar command has its menu item, each with a mnemonic.
  const shell::LanguageTexts& texts = shell_.language.texts;
  fileMenu_ = new QMenu(own(texts, Text::MenuFile), this);
  fileMenu_->setObjectName("mnuFile");
  QAction* open = fileMenu_->addAction(icon("open"), own(texts, Text::MenuOpenFiles));
  open->setObjectName("mnuOpen");
  connect(open, &QAction::triggered, this, [this] { command([this] { openFiles(); }); });
  QAction* save = fileMenu_->addAction(icon("save"), withMnemonic(fromCore(texts[kSaveCaption])));
  save->setObjectName("File_Save");
  connect(save, &QAction::triggered, this, [this] { command([this] { commands_->Save(); }); });
  fileMenu_->addSeparator();
  QAction* exit = fileMenu_->addAction(icon("exit"), withMnemonic(fromCore(texts[kExitCaption])));
  exit->setObjectName("mnuExit");
  connect(exit, &QAction::triggered, this, [this] { close(); });

  deviceMenu_ = new QMenu(withMnemonic(fromCore(texts[kDeviceMenuCaption])), this);
  deviceMenu_->setObjectName("mnuDevice");
  QAction* connectEntry =
      deviceMenu_->addAction(icon("connect"), own(texts, Text::MenuConnectShort));
  connectEntry->setObjectName("mnuConnect");
  connect(connectEntry, &QAction::triggered, this,
          [this] { command([this] { commands_->Connect(); }); });
  readAction_ = deviceMenu_->addAction(icon("read"), withMnemonic(fromCore(texts[kReadCaption])));
  readAction_->setObjectName("Read");
  connect(readAction_, &QAction::triggered, this,
          [this] { command([this] { commands_->Read(false); }); });
  QAction* download = deviceMenu_->addAction(icon("download"), own(texts, Text::MenuDownload));
  download->setObjectName("mnuDownload");
  connect(download, &QAction::triggered, this,
          [this] { command([this] { commands_->download(); }); });
  QAction* erase =
      deviceMenu_->addAction(icon("erase"), withMnemonic(fromCore(texts[kEraseCaption])));
  erase->setObjectName("mnuErase");
  connect(erase, &QAction::triggered, this,
          [this] { command([this] { commands_->erase(false); }); });
  saveAction_ = save;

  versionAction_ = new QAction(own(texts, Text::MenuVersion), this);
  versionAction_->setObjectName("mnuVersione");
  connect(versionAction_, &QAction::triggered, this, &ProgrammerWindow::aboutRequested);
}

QAction* ProgrammerWindow::action(ToolbarButton button) const {
  return buttons_[indexOf(button)];
}

void ProgrammerWindow::openFiles() {
  // The settings keep the folder as UTF-8; a settings file from an older
  // copy may hold it in Windows-1252.
  const std::string& stored = shell_.settings.DataFolder;
  const QString folder =
      shell::isMultiByteUtf8(stored) ? QString::fromStdString(stored) : fromCore(stored);
  std::vector<std::filesystem::path> files;
  if (chooseFiles_) {
    files = chooseFiles_(folder);
  } else {
    const shell::LanguageTexts& texts = shell_.language.texts;
    QStringList filters{own(texts, Text::DeviceFilesFilter).arg(transfer::kDeviceFilePatterns)};
    for (const char* filter : transfer::kOpenDialogFilters) {
      filters << QString::fromLatin1(filter);
    }
    filters << own(texts, Text::RawFilesFilter).arg(QStringLiteral("*.mes"));
    for (const QString& file :
         QFileDialog::getOpenFileNames(this, own(shell_.language.texts, Text::OpenDialogTitle),
                                       folder, filters.join(QStringLiteral(";;")))) {
      files.push_back(platform::toPath(file));
    }
  }
  commands_->Open(files);
}

void ProgrammerWindow::showLinkStatus(link::LinkStatus status) {
  switch (status) {
    case link::LinkStatus::Closed:
      linkState_->setText(own(shell_.language.texts, Text::LinkClosed));
      break;
    case link::LinkStatus::Handshake:
      linkState_->setText(own(shell_.language.texts, Text::LinkHandshake));
      break;
    case link::LinkStatus::Connected:
      linkState_->setText(own(shell_.language.texts, Text::LinkConnected));
      break;
    case link::LinkStatus::Stalled:
      linkState_->setText(own(shell_.language.texts, Text::LinkStalled));
      break;
  }
  linkState_->setAccessibleName(linkState_->text());
}

void ProgrammerWindow::setStatusText(int panel, const std::string& text) {
  if (panel >= 1 && panel <= 2) {
    // Panel 2 falls back to the last command's result when a step clears it.
    const std::string shown = panel == 2 && text.empty() ? result_ : text;
    panels_[panel - 1]->setText(fromCore(shown));
    panels_[panel - 1]->setAccessibleName(panels_[panel - 1]->text());
  }
}

void ProgrammerWindow::showResult(const std::string& text) {
  result_ = text;
  setStatusText(2, text);
}

void ProgrammerWindow::command(const std::function<void()>& run) {
  // A new command: the last one's result no longer stands in panel 2.
  result_.clear();
  run();
}

void ProgrammerWindow::setProgressVisible(bool visible) {
  progress_->setVisible(visible);
}

void ProgrammerWindow::setProgressMaximum(std::uint32_t maximum) {
  progress_->setMaximum(barValue(maximum));
}

void ProgrammerWindow::setProgressValue(std::uint32_t value) {
  progress_->setValue(std::min(barValue(value), progress_->maximum()));
}

void ProgrammerWindow::setBusyPointer(bool busy) {
  if (busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void ProgrammerWindow::setToolbarButtonEnabled(ToolbarButton button, bool enabled) {
  action(button)->setEnabled(enabled);
}

void ProgrammerWindow::setMenuEnabled(Menu menu, bool enabled) {
  switch (menu) {
    case Menu::File:
    case Menu::Device: {
      // The items too, so that a standard key cannot reach into a busy menu.
      QMenu* shown = menu == Menu::File ? fileMenu_ : deviceMenu_;
      shown->menuAction()->setEnabled(enabled);
      for (QAction* item : shown->actions()) {
        item->setEnabled(enabled);
      }
      break;
    }
    case Menu::Version:
      versionAction_->setEnabled(enabled);
      break;
  }
}

void ProgrammerWindow::showCatalogue(const std::vector<platform::CatalogueRow>& rows) {
  list_->setRows(rows);
  list_->show();
}

void ProgrammerWindow::clearCatalogue() {
  list_->setRows({});
}

void ProgrammerWindow::setMemorySizeLabel(const std::string& text) {
  memorySize_->setText(fromCore(text));
}

void ProgrammerWindow::setMemoryBar(std::uint32_t maximum, std::uint32_t value) {
  memoryBar_->setMaximum(barValue(maximum));
  memoryBar_->setValue(std::min(barValue(value), memoryBar_->maximum()));
}

void ProgrammerWindow::closeEvent(QCloseEvent* event) {
  if (!closing_ && commands_->working()) {
    if (prompts_.show(stopQuestion(shell_.language.texts)) != platform::MessageAnswer::Yes) {
      event->ignore();
      return;
    }
  }
  event->accept();
  if (closing_) {
    return;
  }
  closing_ = true;
  portDialog_->hide();
  commands_->close([this] { emit refreshRequested(); });
  emit closeRequested();
}

}  // namespace vestrim::catalogue::ui
