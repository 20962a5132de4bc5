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
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"

namespace vestrim::archive::ui {
namespace {

using platform::fromCore;
using shell::Text;
using shell::ui::icon;
using shell::ui::own;

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

ArchiveCheckWindow::ArchiveCheckWindow(std::filesystem::path programFolder,
                                       const shell::LanguageTexts& texts, QWidget* parent)
    : QWidget(parent), programFolder_(std::move(programFolder)), texts_(texts) {
  setObjectName("archiveCheck");
  setWindowTitle(own(texts, Text::CheckTitle));
  setWindowIcon(icon("check-archive"));

  auto* picture = new QLabel(this);
  picture->setPixmap(icon("check-archive").pixmap(32, 32));
  heading_ = new QLabel(this);
  heading_->setObjectName("checkHeading");
  heading_->setText(own(texts, Text::CheckOf).arg(platform::fromPath(programFolder_)));
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
  progress_->setAccessibleName(own(texts, Text::CheckProgress));
  status_ = new QLabel(this);
  status_->setObjectName("checkStatus");
  status_->setAccessibleName(own(texts, Text::CheckState));
  status_->setWordWrap(true);
  counts_ = new QLabel(this);
  counts_->setObjectName("checkCounts");
  counts_->setAccessibleName(own(texts, Text::FileStates));
  counts_->setWordWrap(true);

  findings_ = new QTreeWidget(this);
  findings_->setObjectName("checkFindings");
  findings_->setAccessibleName(own(texts, Text::Findings));
  findings_->setHeaderLabels(
      {own(texts, Text::Finding), own(texts, Text::FileOrEntry), own(texts, Text::Detail)});
  findings_->header()->setAccessibleName(own(texts, Text::FindingColumns));
  findings_->setRootIsDecorated(false);
  findings_->setUniformRowHeights(true);
  findings_->setAlternatingRowColors(true);
  findings_->setSortingEnabled(false);
  findings_->header()->setStretchLastSection(true);
  findings_->header()->resizeSection(0, 190);
  findings_->header()->resizeSection(1, 400);

  auto* fingerprintLabel = new QLabel(own(texts, Text::FingerprintLabel), this);
  fingerprint_ = new QLineEdit(this);
  fingerprint_->setObjectName("checkFingerprint");
  fingerprint_->setAccessibleName(own(texts, Text::Fingerprint));
  fingerprint_->setReadOnly(true);
  fingerprint_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  fingerprint_->setToolTip(own(texts, Text::FingerprintTip));
  fingerprintLabel->setBuddy(fingerprint_);
  auto* print = new QHBoxLayout;
  print->addWidget(fingerprintLabel);
  print->addWidget(fingerprint_, 1);

  restore_ = button("checkRestoreTimes", own(texts, Text::RestoreTimes),
                    QStringLiteral("state-time"), this);
  restore_->setToolTip(own(texts, Text::RestoreTip));
  pdf_ = button("checkSavePdf", own(texts, Text::SaveAsPdf), QStringLiteral("pdf"), this);
  again_ =
      button("checkAgain", own(texts, Text::CheckAgain), QStringLiteral("check-archive"), this);
  auto* close = button("checkClose", own(texts, Text::Close), QStringLiteral("exit"), this);
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
  status_->setText(restore ? own(texts_, Text::Restoring) : own(texts_, Text::Listing));
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
  status_->setText(own(texts_, Text::CheckingFile).arg(done).arg(total));
}

void ArchiveCheckWindow::showResult(const ArchiveCheck& check,
                                    const std::optional<RestoreResult>& restored) {
  // The worker has posted its last word: it ends at once.
  worker_->wait();
  worker_ = nullptr;
  result_ = check;
  progress_->hide();

  QString state = check.passed() ? QStringLiteral("<b style='color:#1d7a3a'>%1</b>")
                                       .arg(own(texts_, Text::EveryFileVerified).toHtmlEscaped())
                                 : QStringLiteral("<b style='color:#a3261b'>%1</b>")
                                       .arg(own(texts_, Text::ProblemsFound).toHtmlEscaped());
  if (restored) {
    const std::size_t count = restored->restored.size();
    state += " " + (count == 1 ? own(texts_, Text::TimeRestored)
                               : own(texts_, Text::TimesRestored).arg(count));
    state += restored->failed.empty()
                 ? QStringLiteral(".")
                 : own(texts_, Text::CouldNotRestore).arg(restored->failed.size());
  }
  status_->setText(fromCore(checkedOnLine(check, texts_)) + QStringLiteral(". ") + state);
  counts_->setText(fromCore(countsLine(check, texts_)) + QStringLiteral(". ") +
                   fromCore(journalLine(check, texts_)) + QStringLiteral("."));

  findings_->clear();
  for (const CheckedFile& file : check.files) {
    if (file.state != FileState::Intact) {
      addRow(findings_, pictureOf(file.state), capitalised(stateName(file.state, texts_)),
             QString::fromStdString(file.path), QString::fromStdString(file.detail));
    }
  }
  for (const JournalProblem& problem : check.journalProblems) {
    addRow(findings_, QStringLiteral("state-journal"), own(texts_, Text::JournalEntryBroken),
           own(texts_, Text::JournalLineNumber).arg(problem.line),
           QString::fromStdString(problem.text));
  }
  for (const CycleGap& gap : check.gaps) {
    addRow(findings_, QStringLiteral("state-gap"), own(texts_, Text::CycleNumbersMissing),
           gap.serial.empty() ? own(texts_, Text::NoSerial) : "E" + fromCore(gap.serial),
           gap.first == gap.last ? own(texts_, Text::CycleGapOne).arg(gap.first)
                                 : own(texts_, Text::CycleGapRange).arg(gap.first).arg(gap.last));
  }
  if (findings_->topLevelItemCount() == 0) {
    addRow(findings_, QStringLiteral("state-intact"), own(texts_, Text::Intact),
           own(texts_, Text::EveryFile), own(texts_, Text::SealedUnchanged));
  }
  fingerprint_->setText(check.fingerprint.empty() ? own(texts_, Text::NoFingerprint)
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
  for (const std::string& line : checkReportLines(*result_, texts_)) {
    job.pairs.push_back({line.empty() ? " " : line, reports::kPrintColumn});
  }
  return reports::render::printJobToPdf(job, file, windowTitle(), error);
}

void ArchiveCheckWindow::askForPdf() {
  const QString file = QFileDialog::getSaveFileName(
      this, own(texts_, Text::SaveCheckPdf),
      platform::fromPath(programFolder_ / "archive-check.pdf"), QStringLiteral("PDF (*.pdf)"));
  QString error;
  if (!file.isEmpty() && !savePdf(platform::toPath(file), &error)) {
    status_->setText(error);
  }
}

}  // namespace vestrim::archive::ui
