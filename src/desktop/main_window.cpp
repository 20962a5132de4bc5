#include "desktop/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLibraryInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "desktop/file_manager_window.h"
#include "platform/qt/qt_text.h"
#include "reports/ui/report_view_window.h"
#include "shell/language_dialogs.h"
#include "shell/ui/about_box.h"
#include "shell/ui/captions.h"
#include "shell/ui/child_menus.h"
#include "shell/ui/icons.h"
#include "shell/ui/language_windows.h"
#include "shell/user_guide.h"

namespace vestrim::desktop {

using namespace shell;
using namespace shell::ui;

namespace {

// The user's settings key of the language last in use, offered first when
// the language is chosen again.
constexpr const char* kLanguageInUse = "languageInUse";

const char* pictureOf(MainCommand command) {
  switch (command) {
    case MainCommand::Connect:
      return "connect";
    case MainCommand::Open:
      return "open";
    case MainCommand::Save:
      return "save";
    case MainCommand::Rename:
      return "rename";
    case MainCommand::Delete:
      return "delete";
    case MainCommand::PenDrive:
      return "usb";
    case MainCommand::None:
      break;
  }
  return "";
}

std::size_t indexOf(int button) {
  return static_cast<std::size_t>(button - 1);
}

}  // namespace

MainWindow::MainWindow(ShellContext& shell, std::optional<std::string> languageForRun,
                       platform::Prompts* prompts)
    : shell_(shell),
      languageForRun_(std::move(languageForRun)),
      messageBoxes_(this),
      prompts_(prompts ? prompts : &messageBoxes_) {
  setObjectName("MDIForm1");
  setWindowTitle(QGuiApplication::applicationDisplayName());
  setWindowIcon(icon("logo"));
  // Every window a tab, so that none covers the archive's tree and search bar.
  area_ = new QMdiArea(this);
  area_->setObjectName("mdiArea");
  area_->setViewMode(QMdiArea::TabbedView);
  area_->setDocumentMode(true);
  area_->setTabsClosable(true);
  area_->setTabsMovable(true);
  setCentralWidget(area_);
  buildToolbar();
  buildMenus();
  connect(area_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
    showMenusOf(window);
    nameTabButtons();
    // The active window holds the focus: when a dialog over it closes, the
    // focus comes back to it, and so does the activation. A window whose
    // toolbar takes no focus would otherwise lose both to the file manager.
    if (window && !window->isAncestorOf(QApplication::focusWidget())) {
      window->widget()->setFocus(Qt::ActiveWindowFocusReason);
    }
    if (window && fileManager_ && window->widget() == fileManager_) {
      fileManager_->activate();
    }
  });
  statusBar()->setObjectName("mainStatus");
}

MainWindow::~MainWindow() {
  // The child windows go first, while what their signals reach still exists.
  disconnect(area_, nullptr, this, nullptr);
  delete area_;
}

void MainWindow::buildToolbar() {
  toolbar_ = addToolBar(QStringLiteral("Toolbar1"));
  toolbar_->setObjectName("Toolbar1");
  toolbar_->setMovable(false);
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(32, 32));
  for (const MainToolbarButton& button : kMainToolbar) {
    if (button.number == kSeparatorButton) {
      actions_[indexOf(button.number)] = toolbar_->addSeparator();
      continue;
    }
    QAction* action =
        toolbar_->addAction(icon(pictureOf(button.command)), QString::fromLatin1(button.caption));
    action->setObjectName(QStringLiteral("mainButton%1").arg(button.number));
    action->setToolTip(QString::fromLatin1(button.toolTip));
    const int number = button.number;
    connect(action, &QAction::triggered, this, [this, number] { clicked(number); });
    actions_[indexOf(button.number)] = action;
    if (auto* widget = toolbar_->widgetForAction(action)) {
      widget->setAccessibleName(QString::fromLatin1(button.caption).trimmed());
      widget->setAccessibleDescription(QString::fromLatin1(button.toolTip));
    }
  }
  // The toolbar as it stands at a start with a stored language: connect,
  // open, save and pen drive (a first start passes through StartUpMdi).
  wanted_.fill(false);
  for (const int button : {1, 3, 4, 7}) {
    wanted_[indexOf(button)] = true;
  }
  for (const MainToolbarButton& button : kMainToolbar) {
    applyEnabled(button.number);
  }
}

void MainWindow::buildMenus() {
  // The toolbar's commands and the standard keys, whichever window is active.
  commandMenu_ = menuBar()->addMenu(QString());
  commandMenu_->setObjectName("mnuCommands");
  const auto add = [this](const char* name, const char* picture, Text text, const QKeySequence& key,
                          std::function<void()> run) {
    QAction* action = commandMenu_->addAction(icon(picture), QString(), this, std::move(run));
    action->setObjectName(name);
    action->setShortcut(key);
    captioned_.push_back({action, text});
    return action;
  };
  const auto command = [this](MainCommand which) {
    return [this, which] {
      for (const MainToolbarButton& button : kMainToolbar) {
        if (button.command == which && actions_[indexOf(button.number)]->isEnabled()) {
          clicked(button.number);
        }
      }
    };
  };
  add("mnuConnect", "connect", Text::MenuConnect, QKeySequence(Qt::CTRL | Qt::Key_L),
      command(MainCommand::Connect));
  add("mnuOpen", "open", Text::MenuOpen, QKeySequence::Open, command(MainCommand::Open));
  add("mnuSave", "save", Text::MenuSave, QKeySequence::Save,
      [this, command] { standardKey(StandardCommand::Save, command(MainCommand::Save)); });
  add("mnuPenDrive", "usb", Text::MenuPenDrive, QKeySequence(Qt::CTRL | Qt::Key_U),
      command(MainCommand::PenDrive));
  commandMenu_->addSeparator();
  add("mnuSearch", "search", Text::MenuSearch, QKeySequence::Find, [this] {
    showFileManager();
    if (fileManager_) {
      fileManager_->focusSearch();
    }
  });
  add("mnuRefresh", "read", Text::MenuRefresh, QKeySequence::Refresh, [this] {
    standardKey(StandardCommand::Refresh, [this] {
      if (fileManager_) {
        fileManager_->activate();
      }
    });
  });
  add("mnuPrint", "print", Text::MenuPrint, QKeySequence::Print,
      [this] { standardKey(StandardCommand::Print, {}); });
  commandMenu_->addSeparator();
  add("mnuQuit", "exit", Text::MenuQuit, QKeySequence::Quit, [this] { close(); });

  // Help, after the active window's menus, whichever window it is.
  helpMenu_ = new QMenu(this);
  helpMenu_->setObjectName("mnuHelp");
  QAction* guide = helpMenu_->addAction(icon("help"), QString(), this, &MainWindow::showGuide);
  guide->setObjectName("mnuGuide");
  guide->setShortcut(QKeySequence::HelpContents);
  QAction* about = helpMenu_->addAction(icon("info"), QString());
  about->setObjectName("mnuAbout");
  connect(about, &QAction::triggered, this, &MainWindow::showAbout);
  captioned_.push_back({commandMenu_->menuAction(), Text::MenuCommands});
  captioned_.push_back({helpMenu_->menuAction(), Text::MenuHelp});
  captioned_.push_back({guide, Text::MenuGuide});
  captioned_.push_back({about, Text::MenuAbout});
  applyOwnTexts();
  showMenusOf(nullptr);
}

void MainWindow::applyOwnTexts() {
  for (const auto& [action, text] : captioned_) {
    action->setText(own(shell_.language.texts, text));
  }
}

void MainWindow::nameTabButtons() {
  // A screen reader names each tab's close button by its window.
  auto* tabs = area_->findChild<QTabBar*>();
  for (int i = 0; tabs && i < tabs->count(); ++i) {
    if (QWidget* button = tabs->tabButton(i, QTabBar::RightSide)) {
      button->setAccessibleName(own(shell_.language.texts, Text::CloseTab).arg(tabs->tabText(i)));
    }
  }
}

void MainWindow::standardKey(StandardCommand command, const std::function<void()>& otherwise) {
  QMdiSubWindow* active = area_->activeSubWindow();
  auto* menus = active ? dynamic_cast<ChildMenus*>(active->widget()) : nullptr;
  if (QAction* own = menus ? menus->standardAction(command) : nullptr) {
    if (own->isEnabled()) {
      own->trigger();
    }
    return;
  }
  if (otherwise) {
    otherwise();
  }
}

void MainWindow::setCommand(MainCommand command, std::function<void()> run) {
  for (const MainToolbarButton& button : kMainToolbar) {
    if (button.command == command) {
      commands_[indexOf(button.number)] = std::move(run);
      applyEnabled(button.number);
    }
  }
}

void MainWindow::clicked(int button) {
  QAction* action = actions_[indexOf(button)];
  // A clicked button shows its command word from then on.
  action->setText(QString::fromStdString(commandWord(action->text().toStdString())));
  // Dispatched by button, so that a caption holding blanks cannot leave a
  // button dead.
  if (const auto& run = commands_[indexOf(button)]) {
    run();
  }
}

void MainWindow::applyEnabled(int button) {
  const std::size_t i = indexOf(button);
  if (actions_[i] && button != kSeparatorButton) {
    actions_[i]->setEnabled(wanted_[i] && static_cast<bool>(commands_[i]));
  }
}

bool MainWindow::start(std::optional<std::filesystem::path> file, std::function<void()> then) {
  pendingFile_ = std::move(file);
  afterStart_ = std::move(then);
  if (shell_.settings.DefaultLanguage.empty() && !languageForRun_) {
    auto* dialog =
        new DefaultLanguageDialog(shell_.ProgramFolder, shell_.settings, *this, *prompts_);
    if (!dialog->load()) {
      delete dialog;
      return false;
    }
    // The language in use before the user asked to choose again comes first.
    const QString last = QSettings().value(kLanguageInUse).toString();
    const std::vector<std::string>& names = dialog->languages();
    if (std::find(names.begin(), names.end(), platform::toCore(last)) != names.end()) {
      dialog->choose(platform::toCore(last));
    }
    auto* window = new DefaultLanguageWindow(*dialog, *prompts_, this);
    connect(window, &QObject::destroyed, this, [dialog] { delete dialog; });
    connect(window, &QDialog::rejected, qApp, [] { QApplication::exit(1); });
    window->show();
    return true;
  }
  showFileManager();
  return static_cast<bool>(fileManager_);
}

void MainWindow::loadQtTranslation() {
  // Qt's own dialogs (files, printing, Yes/No) speak the language in use when
  // Qt's translations for it are installed; English otherwise.
  QCoreApplication::removeTranslator(&qtTranslation_);
  const QString code =
      QString::fromStdString(shell::ownText(shell_.language.texts, Text::LanguageCode));
  // The system's Qt keeps them in its translations folder; the Windows
  // programs carry theirs in "translations" beside them.
  if (code == QLatin1String("en")) {
    return;
  }
  const QString name = QLatin1String("qtbase_") + code;
  if (qtTranslation_.load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      qtTranslation_.load(
          name, QCoreApplication::applicationDirPath() + QLatin1String("/translations"))) {
    QCoreApplication::installTranslator(&qtTranslation_);
  }
}

void MainWindow::showFileManager() {
  if (fileManager_) {
    area_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(fileManager_->parentWidget()));
    return;
  }
  auto* manager = new FileManagerWindow(shell_, *prompts_);
  if (!manager->load(languageForRun_.value_or(shell_.settings.DefaultLanguage))) {
    delete manager;
    // The program cannot go on without a language.
    QMetaObject::invokeMethod(
        qApp, [] { QApplication::exit(1); }, Qt::QueuedConnection);
    return;
  }
  fileManager_ = manager;
  QSettings().setValue(kLanguageInUse, platform::fromCore(shell_.language.DefaultLanguage));
  loadQtTranslation();
  applyOwnTexts();  // the language is known now
  connect(manager, &FileManagerWindow::openRequested, this,
          [this](const QString& file) { openReport(platform::toPath(file)); });
  connect(manager, &FileManagerWindow::exitRequested, this, &QWidget::close);
  connect(manager, &FileManagerWindow::infoRequested, this, &MainWindow::showAbout);
  connect(manager, &FileManagerWindow::checkRequested, this, &MainWindow::showArchiveCheck);
  connect(manager, &FileManagerWindow::languageRequested, this, [this] {
    auto* dialog = new NextStartLanguageDialog(shell_.ProgramFolder, shell_.settings, *this);
    setWindowEnabled(false);
    setFileManagerEnabled(false);
    auto* window = new NextStartLanguageWindow(*dialog, *prompts_, shell_.language.texts, this);
    connect(window, &QObject::destroyed, this, [dialog] { delete dialog; });
    window->setWindowModality(Qt::WindowModal);
    window->show();
  });
  QMdiSubWindow* child = addChild(manager);
  child->show();
  // The file manager is the program's home: its tab has no close button.
  if (auto* tabs = area_->findChild<QTabBar*>()) {
    tabs->setTabButton(0, QTabBar::RightSide, nullptr);
    tabs->setTabButton(0, QTabBar::LeftSide, nullptr);
  }
  if (pendingFile_) {
    openReport(*std::exchange(pendingFile_, std::nullopt));
  }
  if (afterStart_) {
    std::exchange(afterStart_, {})();
  }
}

QMdiSubWindow* MainWindow::addChild(QWidget* window) {
  QMdiSubWindow* child = area_->addSubWindow(window);
  child->setAttribute(Qt::WA_DeleteOnClose);
  child->setWindowIcon(window->windowIcon());
  return child;
}

void MainWindow::addToCloseOrder(QWidget* window) {
  closeOrder_.emplace_back(window);
}

void MainWindow::openReport(const std::filesystem::path& file) {
  if (!fileManager_) {
    pendingFile_ = file;
    return;
  }
  if (!report_) {
    const reports::ReportLanguage language{shell_.language.texts, shell_.language.messages,
                                           shell_.decimalSeparator};
    auto* report = new reports::ui::ReportViewWindow(language, *prompts_, shell_.ProgramFolder);
    // A file that cannot be shown is said so, and no window stays behind.
    if (!report->load(file)) {
      delete report;
      return;
    }
    report_ = report;
    QMdiSubWindow* child = addChild(report_);
    connect(report_, &reports::ui::ReportViewWindow::closeRequested, child, &QWidget::close);
    connect(report_, &reports::ui::ReportViewWindow::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(report_, &reports::ui::ReportViewWindow::releaseRecorded, this, [this] {
      if (fileManager_) {
        fileManager_->refreshList();
      }
    });
    // The language tables the report reads cannot change while it is open.
    fileManager_->setLanguageMenuEnabled(false);
    connect(child, &QObject::destroyed, this, [this] {
      if (fileManager_) {
        fileManager_->setLanguageMenuEnabled(true);
      }
    });
  } else if (!report_->load(file)) {
    return;  // said why; the report on show stays
  }
  auto* child = qobject_cast<QMdiSubWindow*>(report_->parentWidget());
  child->setWindowTitle(report_->windowTitle());
  child->show();
  area_->setActiveSubWindow(child);
}

void MainWindow::showAbout() {
  auto* box = new AboutBox(shell_.language.texts, this);
  box->show();
  // Placed over the middle of the main window.
  box->move(geometry().center() - box->rect().center());
}

void MainWindow::showArchiveCheck() {
  if (!check_) {
    check_ = new archive::ui::ArchiveCheckWindow(shell_.ProgramFolder, shell_.language.texts);
    addChild(check_);
  }
  auto* child = qobject_cast<QMdiSubWindow*>(check_->parentWidget());
  child->show();
  area_->setActiveSubWindow(child);
  check_->start();
}

void MainWindow::showGuide() {
  const LanguageTexts& texts = shell_.language.texts;
  const UserGuideSearch search = findUserGuide(guideFolders_, ownText(texts, Text::LanguageCode));
  if (!search.guide) {
    prompts_->show(userGuideMissing(texts, search));
    return;
  }
  if (!guide_) {
    guide_ = new GuideWindow(own(texts, Text::GuideTitle), this);
  }
  guide_->setWindowTitle(own(texts, Text::GuideTitle));
  guide_->showGuide(*search.guide);
}

void MainWindow::showMenusOf(QMdiSubWindow* window) {
  menuBar()->clear();
  menuBar()->addMenu(commandMenu_);
  auto* menus = window ? dynamic_cast<ChildMenus*>(window->widget()) : nullptr;
  if (menus) {
    menuBar()->addActions(menus->menuBarActions());
  }
  menuBar()->addMenu(helpMenu_);
}

void MainWindow::setToolbarEnabled(bool enabled) {
  toolbar_->setEnabled(enabled);
}

void MainWindow::setToolbarButtonEnabled(int button, bool enabled) {
  if (button < 1 || button > static_cast<int>(kMainToolbar.size())) {
    return;
  }
  wanted_[indexOf(button)] = enabled;
  applyEnabled(button);
}

void MainWindow::setWindowEnabled(bool enabled) {
  // The dialogs the main window opens stay usable: only its own parts are
  // disabled.
  toolbar_->setEnabled(enabled);
  menuBar()->setEnabled(enabled);
  area_->setEnabled(enabled);
}

void MainWindow::setFileManagerEnabled(bool enabled) {
  if (fileManager_) {
    fileManager_->setEnabled(enabled);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The windows that may be busy are asked in their order; one that refuses
  // (an operation the user wants to finish) keeps the program running. The
  // file manager and the report window hold nothing that needs asking.
  for (QPointer<QWidget>& window : closeOrder_) {
    if (!window) {
      continue;
    }
    QWidget* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    if (!(frame ? frame : window.data())->close()) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

}  // namespace vestrim::desktop
