#include "archive/ui/archive_check_window.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

#include "platform/qt/qt_text.h"
#include "reports/print_layout.h"
#include "reports/render/print_painter.h"
#include "shell/ui/icons.h"

namespace vestrim::archive::ui {
namespace {

using platform::fromCore;
using shell::ui::icon;

QString pictureOf(FileState state) {
  switch (state) {
    case FileState::Intact:
      return QStringLiteral("state-intact");
    case FileState::CopiedWithoutTimes:
      return QStringLiteral("state-time");
    case FileState::Unknown:
      return QStringLiteral("state-unknown");
    case FileState::Changed:
    case FileState::Missing:
    case FileState::Bad:
      break;
  }
  return QStringLiteral("state-problem");
}

QString capitalised(const std::string& text) {
  QString shown = QString::fromStdString(text);
  if (!shown.isEmpty()) {
    shown[0] = shown[0].toUpper();
  }
  return shown;
}

QPushButton* button(const char* name, const QString& text, const QString& picture,
                    QWidget* parent) {
  auto* b = new QPushButton(icon(picture), text, parent);
  b->setObjectName(name);
  b->setAccessibleName(QString(text).remove('&').remove(QChar(0x2026)));
  return b;
}

void addRow(QTreeWidget* tree, const QString& picture, const QString& what, const QString& where,
            const QString& detail) {
  auto* item = new QTreeWidgetItem(tree, {what, where, detail});
  item->setIcon(0, icon(picture));
  for (int column = 1; column < 3; ++column) {
    item->setToolTip(column, item->text(column));
  }
}

}  // namespace

ArchiveCheckWindow::ArchiveCheckWindow(std::filesystem::path programFolder, QWidget* parent)
    : QWidget(parent), programFolder_(std::move(programFolder)) {
  setObjectName("archiveCheck");
  setWindowTitle(QStringLiteral("Archive check"));
  setWindowIcon(icon("check-archive"));

  auto* picture = new QLabel(this);
  picture->setPixmap(icon("check-archive").pixmap(32, 32));
  heading_ = new QLabel(this);
  heading_->setObjectName("checkHeading");
  heading_->setText(
      QStringLiteral("Archive check of %1").arg(QString::fromStdString(programFolder_.string())));
  heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont large = heading_->font();
  large.setPointSizeF(large.pointSizeF() * 1.2);
  large.setBold(true);
  heading_->setFont(large);
  auto* head = new QHBoxLayout;
  head->addWidget(picture);
  head->addWidget(heading_, 1);

  progress_ = new QProgressBar(this);
  progress_->setObjectName("checkProgress");
  progress_->setAccessibleName(QStringLiteral("Check progress"));
  status_ = new QLabel(this);
  status_->setObjectName("checkStatus");
  status_->setAccessibleName(QStringLiteral("Check state"));
  status_->setWordWrap(true);
  counts_ = new QLabel(this);
  counts_->setObjectName("checkCounts");
  counts_->setAccessibleName(QStringLiteral("File states"));
  counts_->setWordWrap(true);

  findings_ = new QTreeWidget(this);
  findings_->setObjectName("checkFindings");
  findings_->setAccessibleName(QStringLiteral("Findings"));
  findings_->setHeaderLabels(
      {QStringLiteral("Finding"), QStringLiteral("File or entry"), QStringLiteral("Detail")});
  findings_->header()->setAccessibleName(QStringLiteral("Finding columns"));
  findings_->setRootIsDecorated(false);
  findings_->setUniformRowHeights(true);
  findings_->setAlternatingRowColors(true);
  findings_->setSortingEnabled(false);
  findings_->header()->setStretchLastSection(true);
  findings_->header()->resizeSection(0, 190);
  findings_->header()->resizeSection(1, 400);

  auto* fingerprintLabel = new QLabel(QStringLiteral("F&ingerprint:"), this);
  fingerprint_ = new QLineEdit(this);
  fingerprint_->setObjectName("checkFingerprint");
  fingerprint_->setAccessibleName(QStringLiteral("Fingerprint"));
  fingerprint_->setReadOnly(true);
  fingerprint_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  fingerprint_->setToolTip(
      QStringLiteral("The journal's last chained hash: write it down with the date of the check"));
  fingerprintLabel->setBuddy(fingerprint_);
  auto* print = new QHBoxLayout;
  print->addWidget(fingerprintLabel);
  print->addWidget(fingerprint_, 1);

  restore_ = button("checkRestoreTimes", QStringLiteral("R&estore file times"),
                    QStringLiteral("state-time"), this);
  restore_->setToolTip(QStringLiteral(
      "Set the files copied without their times back to the times their seals record"));
  pdf_ = button("checkSavePdf", QStringLiteral("Save as P&DF\u2026"), QStringLiteral("pdf"), this);
  again_ =
      button("checkAgain", QStringLiteral("Check a&gain"), QStringLiteral("check-archive"), this);
  auto* close = button("checkClose", QStringLiteral("Cl&ose"), QStringLiteral("exit"), this);
  connect(restore_, &QPushButton::clicked, this, [this] {
    if (result_) {
      run(result_);
    }
  });
  connect(pdf_, &QPushButton::clicked, this, &ArchiveCheckWindow::askForPdf);
  connect(again_, &QPushButton::clicked, this, &ArchiveCheckWindow::start);
  // Esc closes it as it closes a dialog.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, close,
          &QPushButton::click);
  connect(close, &QPushButton::clicked, this, [this] {
    if (auto* child = qobject_cast<QMdiSubWindow*>(parentWidget())) {
      child->close();
    } else {
      QWidget::close();
    }
  });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(restore_);
  buttons->addStretch(1);
  buttons->addWidget(pdf_);
  buttons->addWidget(again_);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  layout->addWidget(counts_);
  layout->addWidget(findings_, 1);
  layout->addLayout(print);
  layout->addLayout(buttons);
  resize(900, 520);
}

ArchiveCheckWindow::~ArchiveCheckWindow() {
  if (worker_) {
    cancelled_ = true;
    worker_->wait();
    delete worker_;
  }
}

void ArchiveCheckWindow::start() {
  run(std::nullopt);
}

void ArchiveCheckWindow::run(std::optional<ArchiveCheck> restore) {
  if (worker_) {
    return;
  }
  cancelled_ = false;
  progress_->setRange(0, 0);
  progress_->show();
  status_->setText(restore ? QStringLiteral("Restoring file times\u2026")
                           : QStringLiteral("Listing the archive\u2026"));
  for (QPushButton* b : {restore_, pdf_, again_}) {
    b->setEnabled(false);
  }
  worker_ = QThread::create([this, folder = programFolder_, restore = std::move(restore)] {
    std::optional<RestoreResult> restored;
    if (restore) {
      restored = restoreFileTimes(*restore);
    }
    std::size_t shownPercent = 101;
    std::optional<ArchiveCheck> check =
        checkArchive(folder, [&](std::size_t done, std::size_t total) {
          // One repaint for each percent is enough.
          const std::size_t percent = total == 0 ? 100 : done * 100 / total;
          if (percent != shownPercent) {
            shownPercent = percent;
            QMetaObject::invokeMethod(
                this, [this, done, total] { showProgress(done, total); }, Qt::QueuedConnection);
          }
          return !cancelled_;
        });
    if (check) {
      const auto result = std::make_shared<std::pair<ArchiveCheck, std::optional<RestoreResult>>>(
          std::move(*check), std::move(restored));
      QMetaObject::invokeMethod(
          this, [this, result] { showResult(result->first, result->second); },
          Qt::QueuedConnection);
    }
  });
  connect(worker_, &QThread::finished, worker_, &QObject::deleteLater);
  worker_->start();
}

void ArchiveCheckWindow::showProgress(std::size_t done, std::size_t total) {
  progress_->setRange(0, static_cast<int>(total));
  progress_->setValue(static_cast<int>(done));
  status_->setText(QStringLiteral("Checking file %1 of %2\u2026").arg(done).arg(total));
}

void ArchiveCheckWindow::showResult(const ArchiveCheck& check,
                                    const std::optional<RestoreResult>& restored) {
  // The worker has posted its last word: it ends at once.
  worker_->wait();
  worker_ = nullptr;
  result_ = check;
  progress_->hide();

  QString state = check.passed()
                      ? QStringLiteral("<b style='color:#1d7a3a'>Every file verified.</b>")
                      : QStringLiteral("<b style='color:#a3261b'>Problems found.</b>");
  if (restored) {
    state +=
        QStringLiteral(" The times of %1 file(s) were restored").arg(restored->restored.size());
    state += restored->failed.empty()
                 ? QStringLiteral(".")
                 : QStringLiteral("; %1 could not be restored.").arg(restored->failed.size());
  }
  status_->setText(fromCore(checkedOnLine(check)) + QStringLiteral(". ") + state);
  counts_->setText(fromCore(countsLine(check)) + QStringLiteral(". ") +
                   fromCore(journalLine(check)) + QStringLiteral("."));

  findings_->clear();
  for (const CheckedFile& file : check.files) {
    if (file.state != FileState::Intact) {
      addRow(findings_, pictureOf(file.state), capitalised(stateText(file.state)),
             QString::fromStdString(file.path), QString::fromStdString(file.detail));
    }
  }
  for (const JournalProblem& problem : check.journalProblems) {
    addRow(findings_, QStringLiteral("state-journal"), QStringLiteral("Journal entry broken"),
           QStringLiteral("Journal line %1").arg(problem.line),
           QString::fromStdString(problem.text));
  }
  for (const CycleGap& gap : check.gaps) {
    addRow(findings_, QStringLiteral("state-gap"), QStringLiteral("Cycle numbers missing"),
           gap.serial.empty() ? QStringLiteral("(no serial number)") : "E" + fromCore(gap.serial),
           gap.first == gap.last ? QStringLiteral("cycle %1").arg(gap.first)
                                 : QStringLiteral("cycles %1 to %2").arg(gap.first).arg(gap.last));
  }
  if (findings_->topLevelItemCount() == 0) {
    addRow(findings_, QStringLiteral("state-intact"), QStringLiteral("Intact"),
           QStringLiteral("Every file"), QStringLiteral("Sealed, in the journal, unchanged"));
  }
  fingerprint_->setText(check.fingerprint.empty() ? QStringLiteral("none (no journal entries)")
                                                  : QString::fromStdString(check.fingerprint));
  restore_->setEnabled(check.count(FileState::CopiedWithoutTimes) > 0);
  pdf_->setEnabled(true);
  again_->setEnabled(true);
  emit checkFinished();
}

bool ArchiveCheckWindow::savePdf(const std::filesystem::path& file, QString* error) {
  if (!result_) {
    return false;
  }
  reports::PrintJob job;
  for (const std::string& line : checkReportLines(*result_)) {
    job.pairs.push_back({line.empty() ? " " : line, reports::kPrintColumn});
  }
  return reports::render::printJobToPdf(job, file, windowTitle(), error);
}

void ArchiveCheckWindow::askForPdf() {
  const QString file = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save the archive check as PDF"),
      QString::fromStdString((programFolder_ / "archive-check.pdf").string()),
      QStringLiteral("PDF (*.pdf)"));
  QString error;
  if (!file.isEmpty() && !savePdf(file.toStdString(), &error)) {
    status_->setText(error);
  }
}

}  // namespace vestrim::archive::ui
