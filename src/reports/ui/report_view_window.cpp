#include "reports/ui/report_view_window.h"

#include <QAbstractListModel>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/qt/qt_text.h"
#include "reports/cycle_file.h"
#include "reports/ui/print_painter.h"
#include "shell/ui/icons.h"

namespace vestrim::reports::ui {

using platform::fromCore;
using shell::ui::icon;

// The report's lines as the list shows them, converted only when drawn, so
// that a report of thousands of lines is on show at once.
class ReportLinesModel final : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  void setLines(const std::vector<std::string>* lines) {
    beginResetModel();
    lines_ = lines;
    endResetModel();
  }
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() || !lines_ ? 0 : static_cast<int>(lines_->size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
      return fromCore((*lines_)[static_cast<std::size_t>(index.row())]);
    }
    return {};
  }
  QVariant headerData(int, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
      return QStringLiteral("Report");
    }
    return {};
  }

 private:
  const std::vector<std::string>* lines_ = nullptr;
};

namespace {

QFont reportFont() {
  QFont font(QStringLiteral("Courier New"), 10);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

QPushButton* button(const char* name, const QString& picture, QWidget* parent) {
  auto* b = new QPushButton(icon(picture), QString(), parent);
  b->setObjectName(name);
  b->setMinimumWidth(110);
  return b;
}

}  // namespace

ReportViewWindow::ReportViewWindow(const ReportLanguage& language, platform::Prompts& prompts,
                                   QWidget* parent)
    : QWidget(parent), window_(language), prompts_(prompts) {
  setObjectName("frmView");
  setWindowIcon(icon("document"));
  model_ = new ReportLinesModel(this);
  lines_ = new QTreeView(this);
  lines_->setObjectName("reportList");
  lines_->setAccessibleName(QStringLiteral("Report"));
  lines_->setModel(model_);
  lines_->setRootIsDecorated(false);
  lines_->setUniformRowHeights(true);
  lines_->setFont(reportFont());
  lines_->setSelectionMode(QAbstractItemView::SingleSelection);
  lines_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lines_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  lines_->header()->setStretchLastSection(true);
  lines_->header()->setAccessibleName(QStringLiteral("Report column"));

  print_ = button("Command1", "print", this);
  preview_ = button("printPreview", "preview", this);
  preview_->setText(QStringLiteral("Preview"));
  preview_->setAccessibleName(QStringLiteral("Print preview"));
  switch_ = button("Command3", "switch-view", this);
  exit_ = button("Command2", "exit", this);
  connect(print_, &QPushButton::clicked, this, &ReportViewWindow::print);
  connect(preview_, &QPushButton::clicked, this, &ReportViewWindow::preview);
  connect(switch_, &QPushButton::clicked, this, [this] {
    window_.pressSwitch();
    showReport();
  });
  connect(exit_, &QPushButton::clicked, this, &ReportViewWindow::closeRequested);
  new QShortcut(QKeySequence::Print, this, this, &ReportViewWindow::print);
  new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &ReportViewWindow::closeRequested);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(print_);
  buttons->addWidget(preview_);
  buttons->addWidget(switch_);
  buttons->addStretch(1);
  buttons->addWidget(exit_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lines_, 1);
  layout->addLayout(buttons);
}

QSize ReportViewWindow::sizeHint() const {
  // Wide enough for a full report's lines at the list's font.
  const QFontMetrics metrics(reportFont());
  return {metrics.horizontalAdvance(QString(78, QLatin1Char('0'))) + 60,
          metrics.lineSpacing() * 48};
}

ReportViewWindow::~ReportViewWindow() = default;

bool ReportViewWindow::load(const std::filesystem::path& file) {
  file_ = file;
  const CycleFile read = LeggiFile(file);
  window_.load(read);
  if (window_.ViewFailed()) {
    model_->setLines(nullptr);
    if (refusalShowsFileError(read)) {
      prompts_.show(fileErrorMessage());
    }
    return false;
  }
  setWindowTitle(QString::fromStdString(file.filename().string()));
  showReport();
  return true;
}

void ReportViewWindow::showReport() {
  updateControls();
  if (!window_.report().ok()) {
    prompts_.show(fileErrorMessage());
    emit hideRequested();
  }
}

void ReportViewWindow::updateControls() {
  const ReportLanguage& language = window_.language();
  print_->setText(fromCore(language.texts[kPrintCaption]));
  exit_->setText(fromCore(language.texts[kExitCaption]));
  switch_->setText(fromCore(window_.switchCaption()));
  switch_->setEnabled(window_.switchEnabled());
  const bool ok = window_.report().ok();
  print_->setEnabled(ok);
  preview_->setEnabled(ok);
  model_->setLines(&window_.report().lines);
}

void ReportViewWindow::printOn(QPrinter& printer) const {
  printer.setDocName(windowTitle());
  paintPrintJob(window_.print(), printer);
}

void ReportViewWindow::print() {
  if (!window_.report().ok()) {
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(windowTitle());
  if (dialog.exec() == QDialog::Accepted) {
    printOn(printer);
  }
}

void ReportViewWindow::preview() {
  if (!window_.report().ok()) {
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  QPrintPreviewDialog dialog(&printer, this);
  dialog.setWindowTitle(windowTitle());
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* target) { printOn(*target); });
  dialog.exec();
}

}  // namespace vestrim::reports::ui
