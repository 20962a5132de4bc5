#include "reports/ui/report_view_window.h"

#include <QAbstractListModel>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

#include "archive/release.h"
#include "archive/ui/release_dialog.h"
#include "platform/qt/qt_text.h"
#include "record/cycle_file.h"
#include "reports/cycle_csv.h"
#include "reports/pdf_document_info.h"
#include "reports/render/cycle_chart.h"
#include "reports/render/print_painter.h"
#include "reports/ui/labels_dialog.h"
#include "shell/safe_file.h"
#include "shell/sha256.h"
#include "shell/ui/captions.h"
#include "shell/ui/icons.h"

namespace vestrim::reports::ui {

using platform::fromCore;
using render::CycleChartPainter;
using render::paintPrintJob;
using render::printJobToPdf;
using shell::Text;
using shell::ui::icon;
using shell::ui::own;

// The report's lines as the list shows them, converted only when drawn, so
// that a report of thousands of lines is on show at once.
class ReportLinesModel final : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  void setTexts(const shell::LanguageTexts& texts) { texts_ = &texts; }
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
      return texts_ ? own(*texts_, shell::Text::ReportColumn) : QString();
    }
    return {};
  }

 private:
  const std::vector<std::string>* lines_ = nullptr;
  const shell::LanguageTexts* texts_ = nullptr;
};

// The cycle chart, drawn by the painter that also draws it on paper.
class CycleChartView final : public QWidget {
 public:
  using QWidget::QWidget;

  void setChart(const CycleChart* chart) {
    chart_ = chart;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (chart_) {
      CycleChartPainter(*chart_).paint(painter, rect());
    } else {
      painter.fillRect(rect(), Qt::white);
    }
  }

 private:
  const CycleChart* chart_ = nullptr;
};

namespace {

// What stays for the rest of the run: whether the chart is on show, and the
// folder the last export went to.
bool chartShown = true;
QString exportFolder;

QFont reportFont() {
  QFont font(QStringLiteral("Courier New"), 10);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

// A printer on the report's page: the default printer's own paper when it
// names one, A4 otherwise; portrait, the report's margins. The print
// dialog may change paper and orientation; printOn keeps those.
void setUpPrinter(QPrinter& printer) {
  const QPageSize own = QPrinterInfo(printer).defaultPageSize();
  printer.setPageLayout(render::reportPageLayout(own.isValid() ? own : QPageSize(QPageSize::A4)));
}

QPushButton* button(const char* name, const QString& picture, QWidget* parent) {
  auto* b = new QPushButton(icon(picture), QString(), parent);
  b->setObjectName(name);
  b->setMinimumWidth(110);
  return b;
}

}  // namespace

ReportViewWindow::ReportViewWindow(const ReportLanguage& language, platform::Prompts& prompts,
                                   std::filesystem::path programFolder, QWidget* parent)
    : QWidget(parent),
      window_(std::make_unique<ReportWindow>(language)),
      prompts_(prompts),
      programFolder_(std::move(programFolder)) {
  setObjectName("frmView");
  setWindowIcon(icon("document"));
  model_ = new ReportLinesModel(this);
  lines_ = new QTreeView(this);
  lines_->setObjectName("reportList");
  const shell::LanguageTexts& texts = language.texts;
  model_->setTexts(texts);
  lines_->setAccessibleName(own(texts, Text::ReportColumn));
  lines_->setModel(model_);
  lines_->setRootIsDecorated(false);
  lines_->setUniformRowHeights(true);
  lines_->setFont(reportFont());
  lines_->setSelectionMode(QAbstractItemView::SingleSelection);
  lines_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lines_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  lines_->header()->setStretchLastSection(true);
  lines_->header()->setAccessibleName(own(texts, Text::ReportColumnHeader));

  chartView_ = new CycleChartView(this);
  chartView_->setObjectName("cycleChart");
  chartView_->setAccessibleName(own(texts, Text::CycleChart));
  chartView_->setMinimumHeight(220);
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->setChildrenCollapsible(false);
  splitter_->addWidget(lines_);
  splitter_->addWidget(chartView_);
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 2);

  print_ = button("Command1", "print", this);
  preview_ = button("printPreview", "preview", this);
  preview_->setText(own(texts, Text::Preview));
  preview_->setAccessibleName(own(texts, Text::PreviewName));
  printChart_ = new QCheckBox(own(texts, Text::ChartOnPrint), this);
  printChart_->setObjectName("printWithChart");
  printChart_->setAccessibleName(QString(printChart_->text()).remove('&'));
  switch_ = button("Command3", "switch-view", this);
  showChart_ = button("showChart", "chart", this);
  showChart_->setText(own(texts, Text::Chart));
  showChart_->setAccessibleName(own(texts, Text::ShowChart));
  showChart_->setCheckable(true);
  showChart_->setChecked(chartShown);
  exportPdf_ = button("exportPdf", "export-pdf", this);
  exportPdf_->setText(own(texts, Text::ExportPdf));
  exportPdf_->setAccessibleName(own(texts, Text::ExportPdfName));
  exportCsv_ = button("exportCsv", "export-csv", this);
  exportCsv_->setText(own(texts, Text::ExportCsv));
  exportCsv_->setAccessibleName(own(texts, Text::ExportCsvName));
  release_ = button("releaseCycle", "release", this);
  release_->setText(own(texts, Text::ReleaseButton));
  release_->setAccessibleName(own(texts, Text::ReleaseButtonName));
  labels_ = button("printLabels", "label", this);
  labels_->setText(own(texts, Text::LabelsButton));
  labels_->setAccessibleName(own(texts, Text::LabelsButtonName));
  exit_ = button("Command2", "exit", this);
  connect(release_, &QPushButton::clicked, this, &ReportViewWindow::openRelease);
  connect(labels_, &QPushButton::clicked, this, &ReportViewWindow::openLabels);
  connect(print_, &QPushButton::clicked, this, &ReportViewWindow::print);
  connect(preview_, &QPushButton::clicked, this, &ReportViewWindow::preview);
  connect(switch_, &QPushButton::clicked, this, [this] {
    window_->pressSwitch();
    if (const auto refused = refusalMessage(fileName(), read_, *window_)) {
      // The other view cannot be built: said, and the one on show stays.
      prompts_.show(*refused);
      window_->pressSwitch();
    }
    updateControls();
  });
  connect(showChart_, &QPushButton::toggled, this, [this](bool shown) {
    chartShown = shown;
    updateControls();
  });
  connect(exportPdf_, &QPushButton::clicked, this, [this] {
    askForFile("exportPdfDialog", own(window_->language().texts, Text::ExportPdfName),
               QStringLiteral("pdf"),
               [this](const std::filesystem::path& target) { exportPdf(target); });
  });
  connect(exportCsv_, &QPushButton::clicked, this, [this] {
    askForFile("exportCsvDialog", own(window_->language().texts, Text::ExportCsvName),
               QStringLiteral("csv"),
               [this](const std::filesystem::path& target) { exportCsv(target); });
  });
  connect(exit_, &QPushButton::clicked, this, &ReportViewWindow::closeRequested);
  // Ctrl+P reaches it through the main window's Print.
  printAction_ = new QAction(this);
  connect(printAction_, &QAction::triggered, this, &ReportViewWindow::print);
  new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &ReportViewWindow::closeRequested);

  auto* printing = new QHBoxLayout;
  printing->addWidget(print_);
  printing->addWidget(preview_);
  printing->addWidget(printChart_);
  printing->addStretch(1);
  printing->addWidget(exit_);
  auto* viewing = new QHBoxLayout;
  viewing->addWidget(switch_);
  viewing->addWidget(showChart_);
  viewing->addStretch(1);
  viewing->addWidget(release_);
  viewing->addWidget(labels_);
  viewing->addWidget(exportPdf_);
  viewing->addWidget(exportCsv_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter_, 1);
  layout->addLayout(viewing);
  layout->addLayout(printing);
}

QSize ReportViewWindow::sizeHint() const {
  // Wide enough for a full report's lines at the list's font.
  const QFontMetrics metrics(reportFont());
  return {std::max(metrics.horizontalAdvance(QString(78, QLatin1Char('0'))) + 60, 760),
          metrics.lineSpacing() * 60};
}

ReportViewWindow::~ReportViewWindow() = default;

bool ReportViewWindow::load(const std::filesystem::path& file) {
  const record::CycleFile read = record::LeggiFile(file);
  auto loaded = std::make_unique<ReportWindow>(window_->language());
  loaded->load(read);
  if (const auto refused =
          refusalMessage(platform::toCore(platform::fromPath(file.filename())), read, *loaded)) {
    prompts_.show(*refused);
    return false;
  }
  // The lines on show belong to the report about to be replaced.
  model_->setLines(nullptr);
  window_ = std::move(loaded);
  file_ = file;
  read_ = read;
  sha256_ = shell::sha256OfFile(file).value_or("");
  const std::optional<CycleRecord> record = window_->record();
  chart_ = record ? std::optional(cycleChart(*record, window_->language())) : std::nullopt;
  chartView_->setChart(chart_ ? &*chart_ : nullptr);
  setWindowTitle(platform::fromPath(file.filename()));
  archivePath_ = archive::archivePathOf(programFolder_, file);
  showRelease();
  lines_->scrollToTop();  // another file starts at its first line
  return true;
}

void ReportViewWindow::showRelease() {
  released_ = false;
  if (archivePath_) {
    const archive::ReleaseBook book = archive::ReleaseBook::read(programFolder_);
    const archive::Release* latest = book.latest(*archivePath_);
    const archive::ReleaseState state = archive::releaseState(latest, sha256_);
    released_ = state == archive::ReleaseState::Released;
    model_->setLines(nullptr);
    std::vector<std::string> block;
    if (latest != nullptr) {
      const shell::LanguageTexts& texts = window_->language().texts;
      block = archive::releaseLines(*latest, state, texts);
      const std::vector<std::string> earlier =
          archive::earlierReleaseLines(book.history(*archivePath_), texts);
      block.insert(block.end(), earlier.begin(), earlier.end());
    }
    window_->setRelease(std::move(block));
  }
  updateControls();
}

void ReportViewWindow::openRelease() {
  if (!archivePath_ || !release_->isEnabled()) {
    return;
  }
  auto* dialog = new archive::ui::ReleaseDialog(programFolder_, *archivePath_,
                                                window_->language().texts, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(
      dialog, &archive::ui::ReleaseDialog::recorded, this, [this](const archive::Release& release) {
        showRelease();
        const shell::LanguageTexts& texts = window_->language().texts;
        emit statusMessage(fromCore(
            shell::ownText(texts, Text::ReleaseRecorded,
                           {shell::ownText(texts, release.result == archive::ReleaseResult::Released
                                                      ? Text::WordReleased
                                                      : Text::WordRejected),
                            std::to_string(release.sequence)})));
        emit releaseRecorded();
      });
  dialog->open();
}

void ReportViewWindow::openLabels() {
  if (!archivePath_ || !labels_->isEnabled()) {
    return;
  }
  LabelsDialog::open(this, programFolder_, *archivePath_, window_->language().texts);
}

std::string ReportViewWindow::fileName() const {
  return platform::toCore(platform::fromPath(file_.filename()));
}

void ReportViewWindow::updateControls() {
  const ReportLanguage& language = window_->language();
  print_->setText(shell::ui::withMnemonic(fromCore(language.texts[kPrintCaption])));
  exit_->setText(fromCore(language.texts[kExitCaption]));
  switch_->setText(shell::ui::withMnemonic(fromCore(window_->switchCaption())));
  switch_->setEnabled(window_->switchEnabled());
  const bool ok = window_->report().ok();
  print_->setEnabled(ok);
  printAction_->setEnabled(ok);
  preview_->setEnabled(ok);
  exportPdf_->setEnabled(ok);
  // Only cycles of the archive are released, and only released ones labelled.
  release_->setEnabled(ok && archivePath_ && chart_.has_value());
  labels_->setEnabled(ok && released_);
  // Technical reports have no samples and no chart.
  const bool charted = ok && chart_.has_value();
  exportCsv_->setEnabled(charted);
  printChart_->setEnabled(charted);
  showChart_->setEnabled(charted);
  chartView_->setVisible(charted && showChart_->isChecked());
  model_->setLines(&window_->report().lines);
}

const CycleChart* ReportViewWindow::printedChart() const {
  return chart_ && printChart_->isChecked() ? &*chart_ : nullptr;
}

void ReportViewWindow::printOn(QPrinter& printer) const {
  printer.setDocName(windowTitle());
  paintPrintJob(window_->print(), printer, printedChart());
}

bool ReportViewWindow::written(bool ok, const std::filesystem::path& target, const QString& why) {
  const QString path = platform::fromPath(target);
  if (!ok) {
    // The reason as a sentence: "Cannot write F: No space left on device".
    const QString text = why.isEmpty() ? "cannot write " + path : why;
    prompts_.show({.text = platform::toCore(text.left(1).toUpper() + text.mid(1)),
                   .title = {},
                   .icon = platform::MessageIcon::Exclamation,
                   .buttons = platform::MessageButtons::Ok});
    return false;
  }
  emit statusMessage(own(window_->language().texts, Text::Exported).arg(path));
  return true;
}

bool ReportViewWindow::exportPdf(const std::filesystem::path& target) {
  const PdfDocumentInfo info = reportDocumentInfo(shell::utf8Of(file_.filename()), read_, sha256_);
  QString why;
  return written(window_->report().ok() && !sha256_.empty() &&
                     printJobToPdf(window_->print(), target, info, printedChart(), &why),
                 target, why);
}

bool ReportViewWindow::exportCsv(const std::filesystem::path& target) {
  const std::optional<CycleRecord> record = window_->record();
  std::string why;
  return written(record && shell::replaceFile(target, cycleCsv(*record, window_->language()), &why),
                 target, QString::fromStdString(why));
}

void ReportViewWindow::askForFile(const char* name, const QString& caption, const QString& suffix,
                                  std::function<void(const std::filesystem::path&)> chosen) {
  // The folder of the last export, else the user's documents, else home:
  // never the folder the program happened to be started in.
  if (exportFolder.isEmpty() || !QFileInfo(exportFolder).isDir()) {
    exportFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(exportFolder).isDir()) {
      exportFolder = QDir::homePath();
    }
  }
  const QString suggested = exportFolder + "/" + platform::fromPath(file_.stem()) + "." + suffix;
  auto* dialog = new QFileDialog(this, caption, suggested,
                                 suffix.toUpper() + QStringLiteral(" (*.") + suffix + ")");
  dialog->setObjectName(name);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix(suffix);
  dialog->setWindowModality(Qt::WindowModal);
  connect(dialog, &QFileDialog::fileSelected, this, [chosen](const QString& file) {
    exportFolder = QFileInfo(file).absolutePath();
    chosen(platform::toPath(file));
  });
  dialog->open();
}

void ReportViewWindow::print() {
  if (!window_->report().ok()) {
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  setUpPrinter(printer);
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(windowTitle());
  if (dialog.exec() == QDialog::Accepted) {
    printOn(printer);
  }
}

void ReportViewWindow::preview() {
  if (!window_->report().ok()) {
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  setUpPrinter(printer);
  QPrintPreviewDialog dialog(&printer, this);
  dialog.setObjectName("printPreviewDialog");
  dialog.setWindowTitle(windowTitle());
  // Most of the main window, and at least two thirds of the screen, with the
  // page at its width: the lines are read at about their printed size.
  const QSize screen = this->screen()->availableGeometry().size();
  dialog.resize((window()->size() * 0.9).expandedTo(screen * 2 / 3).boundedTo(screen));
  if (auto* fitWidth = dialog.findChild<QAction*>("fitWidthAction")) {
    fitWidth->trigger();  // as its toolbar button does, which shows it chosen
  } else {
    dialog.findChild<QPrintPreviewWidget*>()->fitToWidth();
  }
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* target) { printOn(*target); });
  dialog.exec();
}

}  // namespace vestrim::reports::ui
