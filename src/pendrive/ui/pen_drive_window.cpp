#include "pendrive/ui/pen_drive_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "catalogue/ui/catalogue_list.h"
#include "pendrive/drive_discovery.h"
#include "platform/qt/qt_text.h"
#include "shell/text_encoding.h"
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"
#include "transfer/upload.h"

namespace vestrim::pendrive::ui {
namespace {

using platform::fromCore;
using shell::Text;
using shell::ui::icon;
using shell::ui::own;
using shell::ui::withMnemonic;

constexpr std::size_t kReadCaption = 303;
constexpr std::size_t kSaveCaption = 304;
constexpr std::size_t kEraseCaption = 305;
constexpr std::size_t kDeviceMenuCaption = 306;
constexpr std::size_t kMemoryUseCaption = 308;
constexpr std::size_t kExitCaption = 297;
constexpr int kUsageSteps = 1000;
constexpr int kFirstReadingDelayMs = 10;  // the drive is read once the window is drawn
// Progress reaches the window at most about this many times per piece of work.
constexpr std::size_t kProgressSteps = 200;

}  // namespace

PenDriveWindow::PenDriveWindow(std::unique_ptr<PenDriveSession> session,
                               const shell::LanguageTexts& texts, platform::Prompts& prompts,
                               QWidget* parent)
    : QWidget(parent), session_(std::move(session)), prompts_(prompts) {
  setObjectName("FrmPrgPD");
  setWindowTitle(own(texts, Text::PenDriveTitle).arg(fromCore(driveName(session_->drive()))));
  setWindowIcon(icon("usb"));

  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName("Toolbar1");
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(28, 28));
  struct Button {
    const char* name;
    const char* picture;
    std::size_t caption;
    Text tip;
    std::function<void()> run;
  };
  const Button buttons[] = {
      {"button2", "read", kReadCaption, Text::TipPenRead, [this] { read(false); }},
      {"button6", "save", kSaveCaption, Text::TipPenSave, [this] { save(); }},
      {"button7", "erase", kEraseCaption, Text::TipPenErase, [this] { eraseListed(); }},
  };
  for (const Button& b : buttons) {
    QAction* action = toolbar_->addAction(icon(b.picture), fromCore(texts[b.caption]));
    action->setObjectName(b.name);
    action->setToolTip(own(texts, b.tip));
    connect(action, &QAction::triggered, this, b.run);
    toolbar_->widgetForAction(action)->setAccessibleName(action->text());
  }

  list_ = new catalogue::ui::CatalogueList(texts, this);
  list_->setObjectName("ListView1");
  list_->setAccessibleName(own(texts, Text::PenDriveFiles));

  auto* memory = new QGroupBox(this);
  auto* sizeCaption = new QLabel(fromCore(session_->sizeCaption()), memory);
  sizeCaption->setObjectName("Label1");
  size_ = new QLabel(memory);
  size_->setObjectName("driveSize");
  size_->setMinimumWidth(90);
  size_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  size_->setAccessibleName(sizeCaption->text());
  auto* useCaption = new QLabel(fromCore(texts[kMemoryUseCaption]), memory);
  useCaption->setObjectName("Label6");
  usage_ = new QProgressBar(memory);
  usage_->setObjectName("driveUsage");
  usage_->setAccessibleName(useCaption->text());
  usage_->setRange(0, kUsageSteps);
  usage_->setFormat(QStringLiteral("%p%"));
  auto* memoryLayout = new QGridLayout(memory);
  memoryLayout->addWidget(sizeCaption, 0, 0);
  memoryLayout->addWidget(size_, 0, 1);
  memoryLayout->addWidget(useCaption, 0, 2);
  memoryLayout->addWidget(usage_, 0, 3);
  memoryLayout->setColumnStretch(3, 1);

  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  for (int panel = 0; panel < 2; ++panel) {
    panels_[panel] = new QLabel(status);
    panels_[panel]->setObjectName(QStringLiteral("panel%1").arg(panel + 1));
    panels_[panel]->setMinimumWidth(panel == 0 ? 260 : 120);
  }
  status->addWidget(panels_[0]);
  status->addWidget(panels_[1], 1);
  progress_ = new QProgressBar(status);
  progress_->setObjectName("ProgressBar1");
  progress_->setAccessibleName(own(texts, Text::Progress));
  progress_->setMaximumWidth(260);
  progress_->setValue(0);
  status->addPermanentWidget(progress_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(toolbar_);
  layout->addWidget(list_, 1);
  layout->addWidget(memory);
  layout->addWidget(status);

  // Every toolbar command has its menu item, each with a mnemonic.
  fileMenu_ = new QMenu(own(texts, Text::MenuFile), this);
  fileMenu_->setObjectName("mnuFile");
  saveAction_ = fileMenu_->addAction(icon("save"), withMnemonic(fromCore(texts[kSaveCaption])));
  saveAction_->setObjectName("File_Save");
  connect(saveAction_, &QAction::triggered, this, [this] { save(); });
  fileMenu_->addSeparator();
  QAction* exit = fileMenu_->addAction(icon("exit"), withMnemonic(fromCore(texts[kExitCaption])));
  exit->setObjectName("mnuExit");
  connect(exit, &QAction::triggered, this, [this] { close(); });
  deviceMenu_ = new QMenu(withMnemonic(fromCore(texts[kDeviceMenuCaption])), this);
  deviceMenu_->setObjectName("mnuDevice");
  readAction_ = deviceMenu_->addAction(icon("read"), withMnemonic(fromCore(texts[kReadCaption])));
  readAction_->setObjectName("Read");
  connect(readAction_, &QAction::triggered, this, [this] { read(false); });
  QAction* eraseEntry =
      deviceMenu_->addAction(icon("erase"), withMnemonic(fromCore(texts[kEraseCaption])));
  eraseEntry->setObjectName("mnuErase");
  eraseEntry->setToolTip(own(texts, Text::TipEraseRoot));
  connect(eraseEntry, &QAction::triggered, this, [this] { eraseRoot(); });
  QAction* eraseAll = deviceMenu_->addAction(icon("erase"), own(texts, Text::MenuEraseListed));
  eraseAll->setObjectName("mnuEraseListed");
  connect(eraseAll, &QAction::triggered, this, [this] { eraseListed(); });
  versionAction_ = new QAction(own(texts, Text::MenuVersion), this);
  versionAction_->setObjectName("mnuVersione");
  connect(versionAction_, &QAction::triggered, this, &PenDriveWindow::aboutRequested);

  panels_[0]->setText(fromCore(session_->statusText()));
  session_->opened();
}

PenDriveWindow::~PenDriveWindow() = default;

QSize PenDriveWindow::sizeHint() const {
  return {900, 600};
}

void PenDriveWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!firstShown_) {
    firstShown_ = true;
    QTimer::singleShot(kFirstReadingDelayMs, this, [this] { read(true); });
  }
}

template <typename Result>
void PenDriveWindow::runOffThread(std::function<Result(const Progress&)> work,
                                  std::function<void(Result)> done) {
  setBusy(true);
  QPointer<PenDriveWindow> self(this);
  const Progress progress = [self](std::size_t count, std::size_t total) {
    const std::size_t step = std::max<std::size_t>(1, total / kProgressSteps);
    if (count % step == 0 || count == total) {
      QMetaObject::invokeMethod(
          self, [self, count, total] { self->showProgress(count, total); }, Qt::QueuedConnection);
    }
  };
  QThread* thread = QThread::create([self, work, done, progress] {
    auto result = std::make_shared<Result>(work(progress));
    QMetaObject::invokeMethod(
        self,
        [self, done, result] {
          self->setBusy(false);
          done(std::move(*result));
          emit self->workDone();
          if (self->closeWhenDone_) {
            self->close();
          }
        },
        Qt::QueuedConnection);
  });
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start();
}

void PenDriveWindow::showProgress(std::size_t done, std::size_t total) {
  // The bar shows the share that "k / n" gives.
  progress_->setMaximum(static_cast<int>(total));
  progress_->setValue(static_cast<int>(done));
  panels_[1]->setText(QStringLiteral("%1 / %2").arg(done).arg(total));
}

void PenDriveWindow::setBusy(bool busy) {
  working_ = busy;
  toolbar_->setEnabled(!busy);
  // The items too, so that a standard key cannot reach into a busy menu.
  for (QMenu* menu : {fileMenu_, deviceMenu_}) {
    menu->menuAction()->setEnabled(!busy);
    for (QAction* item : menu->actions()) {
      item->setEnabled(!busy);
    }
  }
  if (busy) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

void PenDriveWindow::showFigures(bool withUnit) {
  const DriveFigures figures = session_->figures();
  size_->setText(fromCore(figures.size + (withUnit ? " MB" : "")));
  usage_->setValue(static_cast<int>(figures.used * kUsageSteps + 0.5));
}

void PenDriveWindow::read(bool first) {
  if (first) {
    showFigures(false);
  }
  if (!session_->present()) {
    driveGone();
    return;
  }
  panels_[1]->setText(QStringLiteral("Wait..."));
  PenDriveSession* session = session_.get();
  runOffThread<PenDriveCatalogue>(
      [session](const Progress& progress) { return session->read(progress); },
      [this, first](PenDriveCatalogue catalogue) {
        const std::size_t found = catalogue.found.size();
        if (first) {
          session_->firstReadingDone();
        }
        if (!session_->present()) {
          driveGone();
          return;
        }
        session_->setCatalogue(std::move(catalogue));
        list_->setRows(session_->rows());
        panels_[0]->setText(fromCore(session_->statusText()));
        if (size_->text().isEmpty()) {
          showFigures(false);  // the drive is back after it was gone
        }
        // The bar goes back to 0: its "k / n" goes with it.
        progress_->setValue(0);
        panels_[1]->setText(found == 0 ? QString()
                                       : own(session_->texts(), Text::FilesFound).arg(found));
        if (first) {
          progress_->setMaximum(found > 0 ? static_cast<int>(found) : 100);
        }
      });
}

void PenDriveWindow::driveGone(const std::string& before) {
  const platform::Message gone = session_->driveGone();
  list_->setRows({});
  progress_->setValue(0);
  size_->clear();
  usage_->setValue(0);
  panels_[0]->setText(fromCore(session_->goneText()));
  panels_[1]->clear();
  if (before.empty()) {
    prompts_.show(gone);
  } else {
    platform::Message told = gone;
    told.text = before + "\n\n" + gone.text;
    prompts_.show(told);
  }
}

void PenDriveWindow::save() {
  if (!session_->present()) {
    driveGone();
    return;
  }
  if (session_->rows().empty()) {
    panels_[1]->setText(own(session_->texts(), Text::NothingToSave));
    return;
  }
  PenDriveSession* session = session_.get();
  runOffThread<PenDriveSave>(
      [session](const Progress& progress) { return session->save(progress); },
      [this](PenDriveSave saved) {
        emit refreshRequested();
        const platform::Message told = session_->saved(saved);
        panels_[1]->setText(fromCore(transfer::saveOutcomeText(saved.outcome, session_->texts())));
        if (!session_->present()) {
          driveGone(told.text);
          return;
        }
        prompts_.show(told);
      });
}

void PenDriveWindow::eraseListed() {
  if (!session_->present()) {
    driveGone();
    return;
  }
  if (!session_->confirmErase()) {
    return;
  }
  PenDriveSession* session = session_.get();
  runOffThread<EraseOutcome>(
      [session](const Progress& progress) { return session->eraseListed(progress); },
      [this](EraseOutcome outcome) {
        const platform::Message message = session_->erased(outcome);
        list_->setRows({});
        panels_[1]->setText(fromCore(message.text.substr(0, message.text.find('\n'))));
        if (!session_->present()) {
          driveGone(message.text);
          return;
        }
        showFigures(false);
        prompts_.show(message);
      });
}

void PenDriveWindow::eraseRoot() {
  if (!session_->present()) {
    driveGone();
    return;
  }
  const std::optional<PenDriveSession::RootErase> erased = session_->eraseRoot();
  if (!erased) {
    return;
  }
  showFigures(true);
  // Told as the toolbar's erase tells it; the list stays as it is.
  prompts_.show(erasedMessage(erased->outcome, erased->files, session_->texts()));
}

void PenDriveWindow::closeEvent(QCloseEvent* event) {
  if (working_) {
    // The work on the drive ends first; the window closes then.
    closeWhenDone_ = true;
    event->ignore();
    return;
  }
  event->accept();
  if (closing_) {
    return;
  }
  closing_ = true;
  session_->closed();
  emit refreshRequested();
  emit closeRequested();
}

}  // namespace vestrim::pendrive::ui
