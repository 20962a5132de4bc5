// The desktop windows worked as a user works them: the first start and its
// language dialog, the archive's tree and list, reports opened, switched and
// printed. On the offscreen platform, with messages recorded instead of shown.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <functional>

#include "archive/ui/archive_check_window.h"
#include "archive/ui/cycle_search.h"
#include "desktop/file_manager_window.h"
#include "desktop/guide_window.h"
#include "desktop/main_window.h"
#include "platform/qt/qt_text.h"
#include "reports/print_layout.h"
#include "reports/render/print_painter.h"
#include "reports/ui/report_view_window.h"
#include "scripted_prompts.h"
#include "shell/language_files.h"
#include "shell/main_toolbar.h"
#include "shell/own_texts.h"
#include "shell/settings_file.h"
#include "shell/text_encoding.h"
#include "sim/cycle_generator.h"
#include "sim/demo_contents.h"
#include "sim/memory_layout.h"
#include "temp_folder.h"
#include "transfer/seal.h"

namespace fs = std::filesystem;
using namespace vestrim;

namespace {

std::string readText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A sealed cycle in `folder`, as a save leaves it.
fs::path sealCycle(const fs::path& folder, const devsim::content::CycleRequest& request,
                   const shell::LanguageMessages& messages) {
  fs::create_directories(folder);
  const auto cycle = devsim::content::generateCycle({}, request);
  return transfer::ProtectDataLogger(folder.parent_path().parent_path(), folder, cycle.bytes,
                                     messages)
      .file;
}

// The PDF readers (pdftotext, pdffonts, pdfinfo) are Linux programs, which
// the Windows build's tests cannot start under Wine.
#ifdef _WIN32
#define NEEDS_PDF_READERS() QSKIP("pdftotext, pdffonts and pdfinfo are Linux programs")
#else
#define NEEDS_PDF_READERS()
#endif

QString run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(30000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

// A PDF's text as pdftotext gives it, at the width of the report font's
// characters (8 pt x 0.6), so that columns come back as blanks.
QStringList pdfText(const fs::path& pdf) {
  return run("pdftotext", {"-fixed", "4.8", QString::fromStdString(pdf.string()), "-"}).split('\n');
}

// A PDF's pages as pdftotext gives them, each page's text in one string.
QStringList pdfPages(const fs::path& pdf) {
  QStringList pages = pdfText(pdf).join('\n').split('\f');
  pages.removeLast();  // what follows the last page's form feed
  return pages;
}

// pdftotext drops empty lines and trailing blanks, marks page ends with a
// form feed and indents by the page margin: lines compared without those.
QStringList normalised(QStringList lines) {
  lines.replaceInStrings("\f", "");
  qsizetype indent = 1000;
  for (QString& line : lines) {
    while (line.endsWith(' ')) {
      line.chop(1);
    }
    if (!line.isEmpty()) {
      indent = std::min(indent, line.size() - line.trimmed().size());
    }
  }
  lines.removeAll(QString());
  for (QString& line : lines) {
    line.remove(0, indent);
  }
  return lines;
}

QStringList printedJob(const reports::ui::ReportViewWindow* report) {
  QStringList lines;
  for (const std::string& line : reports::printedLines(report->core().print())) {
    lines << platform::fromCore(line);
  }
  return lines;
}

// Picks `file` in the save dialog that `button` opens.
void saveThrough(QWidget* window, const char* button, const char* dialog, const fs::path& file) {
  QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
  auto* chooser = window->findChild<QFileDialog*>(dialog);
  QVERIFY(chooser && chooser->isVisible());
  chooser->selectFile(QString::fromStdString(file.string()));
  static_cast<QDialog*>(chooser)->accept();  // as its Save button does
  QVERIFY(fs::exists(file));
}

QTreeWidgetItem* node(QTreeWidget* tree, const QString& caption) {
  const auto found = tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.first();
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void firstStartAsksForTheLanguageAndStoresIt();
  void storedLanguageOpensTheFileManagerAndNextStartBoxRewritesTheFile();
  void treeNodesKeepTheirFoldersAndListShowsWholeKilobytesPlusOne();
  void compactReportSwitchesToFullAndBackAlarmAndVacuumTestStayFixed();
  void everyCycleOfTheDemoMonthPrintsTheSamePagesAsItsPdf();
  void previewShowsThePdfsPagesAtPageWidth();
  void exportedPdfIsPdfaWithTheLinesTheChartAndTheFilesDigest();
  void searchFindsCyclesOfEveryFolderAndTheCheckRestoresCopiedTimes();
  void accentedFolderIsListedAndItsCycleOpensFromTheListAndTheSearch();
  void everyControlHasAnAccessibleNameInTheLanguageInUse_data();
  void everyControlHasAnAccessibleNameInTheLanguageInUse();
  void f1OpensTheGuideWithItsPicturesAndEscClosesIt();

 private:
  void start(const std::string& language, std::function<void()> then = {});
  desktop::FileManagerWindow* fileManager() const { return window_->fileManager(); }
  reports::ui::ReportViewWindow* openInList(const fs::path& file);

  std::unique_ptr<testing::TempFolder> folder_;
  std::unique_ptr<testing::TempFolder> cache_;
  std::unique_ptr<shell::ShellContext> shell_;
  testing::ScriptedPrompts prompts_;
  std::unique_ptr<desktop::MainWindow> window_;
  shell::LanguageMessages messages_;
  fs::path cycle_, alarm_, vacuum_;
};

void DesktopTest::init() {
  folder_ = std::make_unique<testing::TempFolder>();
  cache_ = std::make_unique<testing::TempFolder>();
  // The user's settings, as the program keeps them (on Windows only with an
  // organisation name), cleared of an earlier test's.
  QCoreApplication::setOrganizationName("Vestrim tests");
  QSettings().clear();
  qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache_->path().string()));
  const fs::path program = folder_->path();
  for (const char* name : {"English.lng", "Italiano.lng"}) {
    fs::copy_file(fs::path(VESTRIM_LANG_DIR) / name, program / name);
  }
  QVERIFY(shell::LoadLanguageMessages(program / "English.lng", messages_));
  devsim::content::CycleRequest request;
  request.start = {8, 10, 7, 3, 25};
  cycle_ = sealCycle(program / "2025" / "03", request, messages_);
  request.alarmCode = devsim::content::kTemperatureLowAlarm;
  request.cycleNumber = 2;
  alarm_ = sealCycle(program / "2025" / "03", request, messages_);
  request = {};
  request.cycleCode = devsim::content::kVacuumTestCode;
  request.start = {7, 40, 9, 11, 26};
  vacuum_ = sealCycle(program / "2026" / "11", request, messages_);
  fs::create_directories(program / "2025" / "SERVICE");
  fs::create_directories(program / "a-b");
  prompts_ = {};
}

void DesktopTest::cleanup() {
  window_.reset();
  shell_.reset();
  folder_.reset();
}

void DesktopTest::start(const std::string& language, std::function<void()> then) {
  const fs::path program = folder_->path();
  if (!language.empty()) {
    QVERIFY(shell::writeSettingsFile(program, {shell::PortSetting::fromNumber(1), "", language}));
  }
  shell_ = std::make_unique<shell::ShellContext>(program);
  shell_->settings = shell::loadSettingsAtStart(program);
  window_ = std::make_unique<desktop::MainWindow>(*shell_, std::nullopt, &prompts_);
  window_->resize(1200, 800);
  window_->show();
  QVERIFY(window_->start({}, std::move(then)));
}

reports::ui::ReportViewWindow* DesktopTest::openInList(const fs::path& file) {
  if (!fileManager()->showFolder(file.parent_path())) {
    return nullptr;
  }
  auto* list = fileManager()->findChild<QTreeView*>("fileList");
  const QModelIndexList rows =
      list->model()->match(list->model()->index(0, 0), Qt::DisplayRole,
                           platform::fromPath(file.filename()), 1, Qt::MatchExactly);
  if (rows.isEmpty()) {
    return nullptr;
  }
  list->setCurrentIndex(rows.first());
  emit list->activated(rows.first());
  return window_->reportWindow();
}

void DesktopTest::firstStartAsksForTheLanguageAndStoresIt() {
  // What the start is to open next (--pen-drive's window) waits for the language.
  std::string languageThen = "not run";
  start("", [&] { languageThen = shell_->language.DefaultLanguage; });
  // No settings file: the default one is written and the language asked for.
  QCOMPARE(readText(folder_->path() / "Vestrim.ini"),
           " 1 \r\n" + folder_->path().string() + "\r\n\r\n");
  auto* dialog = window_->findChild<QDialog*>("frmSelDefLan");
  QVERIFY(dialog && dialog->isVisible());
  QVERIFY(!fileManager());
  QVERIFY(!window_->findChild<QToolBar*>("Toolbar1")->isEnabled());
  auto* combo = dialog->findChild<QComboBox*>("Combo1");
  QCOMPARE(combo->count(), 2);
  QCOMPARE(combo->currentText(), QString("English"));  // the first, none used before
  combo->setCurrentText("Italiano");
  QCOMPARE(languageThen, "not run");
  QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QVERIFY(fileManager());
  QCOMPARE(languageThen, "Italiano");
  QCOMPARE(shell::readSettingsFile(folder_->path())->DefaultLanguage, "Italiano");
  QCOMPARE(shell_->language.DefaultLanguage, "Italiano");
  QVERIFY(window_->findChild<QToolBar*>("Toolbar1")->isEnabled());
  // Buttons whose windows do not exist stay disabled; Rename and Delete always.
  for (int button = 1; button <= 7; ++button) {
    auto* action = window_->findChild<QAction*>(QString("mainButton%1").arg(button));
    QVERIFY(!action || !action->isEnabled());
  }
  // Asked again at a later start: the language in use comes first.
  window_.reset();
  QVERIFY(shell::writeSettingsFile(folder_->path(), {shell::PortSetting::fromNumber(1), "", ""}));
  start("");
  QCOMPARE(
      window_->findChild<QDialog*>("frmSelDefLan")->findChild<QComboBox*>("Combo1")->currentText(),
      QString("Italiano"));
}

void DesktopTest::storedLanguageOpensTheFileManagerAndNextStartBoxRewritesTheFile() {
  start("English");
  QVERIFY(!window_->findChild<QDialog*>("frmSelDefLan"));
  QVERIFY(fileManager() && fileManager()->isVisible());
  QCOMPARE(fileManager()->windowTitle(), QString("Archive"));
  // Language menu: the check box takes effect at once, OK closes.
  QAction* language = fileManager()->findChild<QAction*>("mnuLingue");
  QCOMPARE(language->text(), QString("&Language"));
  language->trigger();
  auto* dialog = window_->findChild<QDialog*>("frmSiDefault");
  QVERIFY(dialog);
  QVERIFY(!fileManager()->isEnabled());
  auto* box = dialog->findChild<QCheckBox*>("Check1");
  QVERIFY(!box->isChecked());
  box->click();
  QCOMPARE(shell::readSettingsFile(folder_->path())->DefaultLanguage, "");
  box->click();
  QCOMPARE(shell::readSettingsFile(folder_->path())->DefaultLanguage, "English");
  QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QVERIFY(fileManager()->isEnabled());
}

void DesktopTest::treeNodesKeepTheirFoldersAndListShowsWholeKilobytesPlusOne() {
  const fs::path march = folder_->path() / "2025" / "03";
  folder_->write("2025/03/small.dtl", std::string(999, 'x'));
  folder_->write("2025/03/even.dtl", std::string(1000, 'x'));
  folder_->write("2025/03/other.txt", "not a stored file");
  start("English");
  auto* tree = fileManager()->findChild<QTreeWidget*>("folderTree");
  QCOMPARE(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree->topLevelItem(0);
  QCOMPARE(root->text(0), QString("Archive"));
  QStringList years;
  for (int i = 0; i < root->childCount(); ++i) {
    years << root->child(i)->text(0);
  }
  QCOMPARE(years, QStringList({"2025", "2026", "a-b"}));
  QTreeWidgetItem* y2025 = node(tree, "2025");
  QCOMPARE(y2025->childCount(), 2);
  QCOMPARE(y2025->child(0)->text(0), QString("03 March"));
  QCOMPARE(y2025->child(1)->text(0), QString("SERVICE"));
  QCOMPARE(node(tree, "11 November")->parent()->text(0), QString("2026"));

  tree->setCurrentItem(node(tree, "03 March"));
  QCOMPARE(*fileManager()->listedFolder(), march);
  auto* list = fileManager()->findChild<QTreeView*>("fileList");
  QAbstractItemModel* model = list->model();
  QCOMPARE(model->rowCount(), 4);
  QStringList header;
  for (int c = 0; c < 4; ++c) {
    header << model->headerData(c, Qt::Horizontal).toString();
  }
  QCOMPARE(header, QStringList({"Name", "Type", "Size", "Modified"}));
  const auto row = [&](const QString& name) {
    const auto found = model->match(model->index(0, 0), Qt::DisplayRole, name);
    return found.isEmpty() ? -1 : found.first().row();
  };
  QCOMPARE(model->index(row("small.dtl"), 2).data().toString(), QString("1KB"));
  QCOMPARE(model->index(row("even.dtl"), 2).data().toString(), QString("2KB"));
  QCOMPARE(model->index(row("even.dtl"), 1).data().toString(), QString("File register"));
  QCOMPARE(model->index(row("even.dtl"), 3).data().toString().size(), 16);  // no seconds
  // Sorting by size puts the smallest first whatever the names.
  list->sortByColumn(2, Qt::AscendingOrder);
  QCOMPARE(model->index(0, 0).data().toString(), QString("small.dtl"));
  // A folder saved meanwhile appears at the next activation, the listed one stays listed.
  fs::create_directories(folder_->path() / "2027" / "01");
  fileManager()->activate();
  QVERIFY(node(tree, "2027"));
  QCOMPARE(*fileManager()->listedFolder(), march);
  tree->setCurrentItem(tree->topLevelItem(0));  // the root: nothing listed
  QCOMPARE(model->rowCount(), 0);
}

void DesktopTest::compactReportSwitchesToFullAndBackAlarmAndVacuumTestStayFixed() {
  start("English");
  auto* report = openInList(cycle_);
  QVERIFY(report && report->isVisible());
  QCOMPARE(report->windowTitle(), QString::fromStdString(cycle_.filename().string()));
  QVERIFY(!fileManager()->findChild<QAction*>("mnuLingue")->isEnabled());
  auto* list = report->findChild<QTreeView*>("reportList");
  auto* switchButton = report->findChild<QPushButton*>("Command3");
  const auto shownLines = [&] {
    std::vector<std::string> lines;
    for (int r = 0; r < list->model()->rowCount(); ++r) {
      lines.push_back(platform::toCore(list->model()->index(r, 0).data().toString()));
    }
    return lines;
  };
  QCOMPARE(report->core().shown(), reports::ReportKind::Compact);
  QCOMPARE(shownLines(), report->core().report().lines);
  // The chart under the lines is drawn: its curves are not the blank of a chart-less widget.
  const QImage chart = report->findChild<QWidget*>("cycleChart")->grab().toImage();
  QVERIFY(chart.pixelColor(chart.width() / 2, chart.height() / 2) != QColor(Qt::white) ||
          chart.pixelColor(10, 10) != QColor(Qt::white));
  const int compactRows = list->model()->rowCount();
  QVERIFY(switchButton->isEnabled());
  QCOMPARE(switchButton->text(), QString("&Extended view"));
  QTest::mouseClick(switchButton, Qt::LeftButton);
  QCOMPARE(report->core().shown(), reports::ReportKind::Full);
  QCOMPARE(switchButton->text(), QString("&Compact view"));
  QCOMPARE(shownLines(), report->core().report().lines);
  QVERIFY(list->model()->rowCount() > compactRows);
  QTest::mouseClick(switchButton, Qt::LeftButton);
  QCOMPARE(list->model()->rowCount(), compactRows);

  // Another file while a report is on show: that file is loaded.
  QVERIFY(openInList(alarm_) == report);
  QCOMPARE(report->windowTitle(), QString::fromStdString(alarm_.filename().string()));
  QCOMPARE(report->core().shown(), reports::ReportKind::Full);
  QVERIFY(!switchButton->isEnabled());
  QVERIFY(openInList(vacuum_) == report);
  QCOMPARE(report->core().shown(), reports::ReportKind::VacuumTestCompact);
  QVERIFY(!switchButton->isEnabled());
  QTest::mouseClick(report->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  QTRY_VERIFY(!window_->reportWindow());
  QVERIFY(fileManager()->findChild<QAction*>("mnuLingue")->isEnabled());
  QVERIFY(prompts_.shown.empty());
}

void DesktopTest::everyCycleOfTheDemoMonthPrintsTheSamePagesAsItsPdf() {
  NEEDS_PDF_READERS();
  // The demo month's cycles, sealed as a save seals them.
  devsim::Memory memory(2097152);
  devsim::content::fillDemoContents(memory, devsim::content::demoOptions());
  const std::vector<std::uint32_t> chain = devsim::layout::chainAddresses(memory);
  const fs::path month = folder_->path() / "2025" / "03";
  std::vector<fs::path> sealed;
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
    const devsim::Bytes file = memory.read(devsim::Area::Flash, chain[i], chain[i + 1] - chain[i]);
    if (file[devsim::layout::kFileTypeOffset] == devsim::content::kCycleFileType) {
      sealed.push_back(transfer::ProtectDataLogger(folder_->path(), month, file, messages_).file);
    }
  }
  QVERIFY(sealed.size() >= 30);
  start("English");
  const fs::path printed = folder_->path() / "printed.pdf";
  const fs::path exported = folder_->path() / "exported.pdf";
  int multiPage = 0;
  for (std::size_t i = 0; i < sealed.size(); ++i) {
    const std::string nameText = shell::utf8Of(sealed[i]);
    const char* name = nameText.c_str();
    auto* report = openInList(sealed[i]);
    QVERIFY2(report && report->core().report().ok(), name);
    // Compact reports on odd cycles, full ones on even cycles; the chart
    // after the lines on every third.
    if (report->core().switchEnabled() && i % 2 == 0) {
      QTest::mouseClick(report->findChild<QPushButton*>("Command3"), Qt::LeftButton);
      QCOMPARE(report->core().shown(), reports::ReportKind::Full);
    }
    auto* chart = report->findChild<QCheckBox*>("printWithChart");
    chart->setChecked(chart->isEnabled() && i % 3 == 0);
    // The print as the Print button sends it to a PDF printer; at screen
    // resolution on every other cycle without the chart, which must not
    // change the pages (the chart's labels sit at the device's pixels).
    QPrinter printer(i % 2 && !chart->isChecked() ? QPrinter::ScreenResolution
                                                  : QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(printed.string()));
    report->printOn(printer);
    QVERIFY2(report->exportPdf(exported), name);

    const QStringList pages = pdfPages(printed);
    QCOMPARE(pages, pdfPages(exported));  // as many pages, each with the same text
    // The job's lines, in pages of as many lines as the report's A4 page holds.
    const QStringList expected = printedJob(report);
    QVERIFY(expected.size() > 20);
    const int perPage =
        reports::render::linesPerPage(report->core().print(), reports::render::reportPageLayout());
    const qsizetype linePages = (expected.size() + perPage - 1) / perPage;
    QCOMPARE(pages.size(), linePages + (chart->isChecked() ? 1 : 0));
    for (qsizetype page = 0; page < linePages; ++page) {
      QCOMPARE(normalised(pages[page].split('\n')),
               normalised(expected.mid(page * perPage, perPage)));
    }
    multiPage += linePages > 1;
  }
  QVERIFY(multiPage >= 10);
  QVERIFY(prompts_.shown.empty());
}

void DesktopTest::previewShowsThePdfsPagesAtPageWidth() {
  NEEDS_PDF_READERS();
  start("English");
  auto* report = openInList(cycle_);
  QVERIFY(report);
  QTest::mouseClick(report->findChild<QPushButton*>("Command3"), Qt::LeftButton);
  const fs::path pdf = folder_->path() / "report.pdf";
  QVERIFY(report->exportPdf(pdf));
  QSize size;
  int pages = 0;
  double pageWidth = 0;
  QPrintPreviewWidget::ZoomMode zoomMode = QPrintPreviewWidget::CustomZoom;
  QTimer::singleShot(0, report, [&] {
    auto* dialog = report->findChild<QPrintPreviewDialog*>("printPreviewDialog");
    if (auto* preview = dialog ? dialog->findChild<QPrintPreviewWidget*>() : nullptr) {
      size = dialog->size();
      pages = preview->pageCount();
      zoomMode = preview->zoomMode();
      // The zoom factor is the page's size on screen over its printed size (A4, 210 mm wide).
      pageWidth = preview->zoomFactor() * 210 / 25.4 * preview->logicalDpiX();
      dialog->reject();
    }
  });
  QTest::mouseClick(report->findChild<QPushButton*>("printPreview"), Qt::LeftButton);
  QCOMPARE(pages, pdfPages(pdf).size());
  // Most of the main window, as far as the screen allows; the page across it.
  const QSize room = window_->size().boundedTo(report->screen()->availableGeometry().size());
  QVERIFY2(size.width() >= room.width() * 0.85 && size.height() >= room.height() * 0.85,
           qPrintable(QString("%1x%2").arg(size.width()).arg(size.height())));
  QCOMPARE(zoomMode, QPrintPreviewWidget::FitToWidth);
  QVERIFY2(pageWidth >= size.width() * 0.8, qPrintable(QString::number(pageWidth)));
}

void DesktopTest::exportedPdfIsPdfaWithTheLinesTheChartAndTheFilesDigest() {
  NEEDS_PDF_READERS();
  start("English");
  auto* report = openInList(alarm_);
  QVERIFY(report);
  auto* chart = report->findChild<QWidget*>("cycleChart");
  QVERIFY(chart->isVisible());
  auto* showChart = report->findChild<QPushButton*>("showChart");
  showChart->click();
  QVERIFY(!chart->isVisible());
  showChart->click();  // the choice holds for the run: leave it as found
  QVERIFY(chart->isVisible());

  report->findChild<QCheckBox*>("printWithChart")->setChecked(true);
  const fs::path pdf = folder_->path() / "out" / "report.pdf";
  fs::create_directories(pdf.parent_path());
  saveThrough(report, "exportPdf", "exportPdfDialog", pdf);
  // The report's pages, then the chart's page.
  QStringList pages = pdfPages(pdf);
  QVERIFY(pages.size() >= 2);
  QVERIFY(pages.last().contains("PT1 (\u00B0C)") && pages.last().contains("A10"));
  pages.removeLast();
  QCOMPARE(normalised(pages.join('\n').split('\n')), normalised(printedJob(report)));

  const QStringList fonts = run("pdffonts", {QString::fromStdString(pdf.string())}).split('\n');
  const qsizetype embedded = fonts[0].indexOf("emb");
  QVERIFY(fonts.size() > 3);  // the report's fixed-pitch face and the chart's
  for (const QString& font : fonts.mid(2)) {
    QVERIFY2(font.isEmpty() || font.mid(embedded, 3) == "yes", qPrintable(font));
  }
  const QString xmp = run("pdfinfo", {"-meta", QString::fromStdString(pdf.string())});
  QVERIFY(xmp.contains(R"(pdfaid:part="1")") && xmp.contains(R"(pdfaid:conformance="B")"));
  QFile stored(QString::fromStdString(alarm_.string()));
  QVERIFY(stored.open(QIODevice::ReadOnly));
  const QString digest =
      QCryptographicHash::hash(stored.readAll(), QCryptographicHash::Sha256).toHex();
  const QString info = run("pdfinfo", {QString::fromStdString(pdf.string())});
  const QString name = QString::fromStdString(alarm_.filename().string());
  QVERIFY2(info.contains("Title:           " + name), qPrintable(info));
  QVERIFY(info.contains(QRegularExpression("Subject: .*cycle number [0-9]{5}/00002.*" + digest)));
  QVERIFY(info.contains(
      QRegularExpression("Keywords: .*" + QRegularExpression::escape(name) + ".*" + digest)));

  const fs::path csv = folder_->path() / "out" / "samples.csv";
  saveThrough(report, "exportCsv", "exportCsvDialog", csv);
  QCOMPARE(QString::fromStdString(readText(csv)).count("\r\n"),
           qsizetype(report->core().record()->samples.size() + 1));
  QVERIFY(prompts_.shown.empty());
}

void DesktopTest::searchFindsCyclesOfEveryFolderAndTheCheckRestoresCopiedTimes() {
  start("English");
  archive::ui::CycleSearch* search = fileManager()->search();
  QSignalSpy found(search, &archive::ui::CycleSearch::searchFinished);
  QTest::mouseClick(search->findChild<QPushButton*>("searchButton"), Qt::LeftButton);
  QVERIFY(found.wait(20000));
  QCOMPARE(found.takeFirst().first().toInt(), 3);  // 2025/03 and 2026/11
  search->findChild<QComboBox*>("searchResult")->setCurrentText("Alarm");
  QTest::keyClick(search->findChild<QLineEdit*>("searchName"), Qt::Key_Return);
  QVERIFY(found.wait(20000));
  QTreeView* results = search->results();
  QVERIFY(results->isVisible());
  QCOMPARE(results->model()->rowCount(), 1);
  QCOMPARE(results->model()->index(0, 8).data().toString(),
           QString::fromStdString(alarm_.filename().string()));
  emit results->activated(results->model()->index(0, 0));
  QVERIFY(window_->reportWindow() && window_->reportWindow()->isVisible());
  QCOMPARE(window_->reportWindow()->windowTitle(),
           QString::fromStdString(alarm_.filename().string()));

  fs::last_write_time(cycle_, fs::last_write_time(cycle_) + std::chrono::hours(3));
  fileManager()->findChild<QAction*>("mnuCheckArchive")->trigger();
  archive::ui::ArchiveCheckWindow* check = window_->archiveCheckWindow();
  QVERIFY(check && check->running());
  QSignalSpy done(check, &archive::ui::ArchiveCheckWindow::checkFinished);
  QVERIFY(done.wait(20000));
  auto* findings = check->findChild<QTreeWidget*>("checkFindings");
  QCOMPARE(findings->topLevelItemCount(), 1);
  QCOMPARE(findings->topLevelItem(0)->text(0), QString("Copied without its times"));
  auto* restore = check->findChild<QPushButton*>("checkRestoreTimes");
  QVERIFY(restore->isEnabled());
  QTest::mouseClick(restore, Qt::LeftButton);
  QVERIFY(done.wait(20000));
  QCOMPARE(findings->topLevelItem(0)->text(0), QString("Intact"));
  QVERIFY(!restore->isEnabled());
  QCOMPARE(check->result()->count(archive::FileState::Intact), 3u);
  QCOMPARE(check->findChild<QLineEdit*>("checkFingerprint")->text(),
           QString::fromStdString(check->result()->fingerprint));
}

void DesktopTest::accentedFolderIsListedAndItsCycleOpensFromTheListAndTheSearch() {
  // On Windows such a name survives only as UTF-8 between Qt and the files.
  const fs::path month = folder_->path() / shell::pathFromUtf8("Clínica Año") / "05";
  devsim::content::CycleRequest request;
  request.start = {9, 15, 4, 5, 25};
  request.cycleNumber = 7;
  const fs::path cycle = sealCycle(month, request, messages_);
  QVERIFY(fs::is_regular_file(cycle));
  start("English");
  QVERIFY(node(fileManager()->findChild<QTreeWidget*>("folderTree"), "Clínica Año"));
  auto* report = openInList(cycle);
  QCOMPARE(*fileManager()->listedFolder(), month);
  QVERIFY(report && report->isVisible());
  QCOMPARE(report->windowTitle(), platform::fromPath(cycle.filename()));
  QTest::mouseClick(report->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  QTRY_VERIFY(!window_->reportWindow());

  archive::ui::CycleSearch* search = fileManager()->search();
  QSignalSpy found(search, &archive::ui::CycleSearch::searchFinished);
  QTest::mouseClick(search->findChild<QPushButton*>("searchButton"), Qt::LeftButton);
  QVERIFY(found.wait(20000));
  QAbstractItemModel* results = search->results()->model();
  const QModelIndexList row =
      results->match(results->index(0, 8), Qt::DisplayRole, platform::fromPath(cycle.filename()));
  QCOMPARE(row.size(), 1);
  QCOMPARE(row.first().data(Qt::ToolTipRole).toString(),
           QString::fromStdString(shell::genericUtf8Of(cycle.lexically_relative(folder_->path()))));
  emit search->results()->activated(row.first());
  QVERIFY(window_->reportWindow() && window_->reportWindow()->isVisible());
  QCOMPARE(window_->reportWindow()->windowTitle(), platform::fromPath(cycle.filename()));
  QVERIFY(prompts_.shown.empty());
}

// Every accessible name and description under `node`, and those of its children.
void collectNames(QAccessibleInterface* node, QStringList& names, int depth = 0) {
  if (!node || depth > 40) {
    return;
  }
  for (QAccessible::Text what : {QAccessible::Name, QAccessible::Description}) {
    if (const QString text = node->text(what); !text.isEmpty()) {
      names << text;
    }
  }
  for (int i = 0; i < node->childCount(); ++i) {
    collectNames(node->child(i), names, depth + 1);
  }
}

void DesktopTest::everyControlHasAnAccessibleNameInTheLanguageInUse_data() {
  QTest::addColumn<QString>("language");
  QTest::newRow("English") << "English";
  QTest::newRow("Italiano") << "Italiano";
}

void DesktopTest::everyControlHasAnAccessibleNameInTheLanguageInUse() {
  QFETCH(QString, language);
  start(language.toStdString());
  QVERIFY(openInList(cycle_));
  window_->showArchiveCheck();
  QSignalSpy checked(window_->archiveCheckWindow(),
                     &archive::ui::ArchiveCheckWindow::checkFinished);
  QVERIFY(checked.wait(20000));
  window_->showAbout();
  QStringList unnamed;
  for (QWidget* widget : window_->findChildren<QWidget*>()) {
    if (!widget->isVisible() || !widget->isEnabled()) {
      continue;
    }
    const bool control =
        qobject_cast<QAbstractButton*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
        qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
        qobject_cast<QLineEdit*>(widget);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if (control && (!accessible || accessible->text(QAccessible::Name).isEmpty())) {
      unnamed << widget->objectName() + " (" + widget->metaObject()->className() + ")";
    }
  }
  QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
  if (language == "English") {
    return;
  }
  // None of our English texts is left in another language: not in what a
  // screen reader reads of the windows, nor in a menu item.
  QStringList names;
  for (QWidget* top : QApplication::topLevelWidgets()) {  // the about box too
    if (top->isVisible()) {
      collectNames(QAccessible::queryAccessibleInterface(top), names);
    }
  }
  for (QAction* action : window_->findChildren<QAction*>()) {
    names << action->text() << action->toolTip();
  }
  names.replaceInStrings("&", "");
  QVERIFY(names.size() > 200);
  // The system's own texts stand as they are in every language: the main
  // toolbar's, the About box's, and the language file's first lines.
  QStringList own{"Info", "Program Info"};
  for (const shell::MainToolbarButton& button : shell::kMainToolbar) {
    own << QString(button.caption).trimmed() << QString(button.toolTip).trimmed();
  }
  for (std::size_t line = 1; line < shell::kFirstOwnText; ++line) {
    own << platform::fromCore(shell_->language.texts[line]).trimmed();
  }
  QStringList english;
  for (std::size_t line = shell::kFirstOwnText; line <= shell::kLastOwnText; ++line) {
    const auto text = static_cast<shell::Text>(line);
    const QString ours = platform::fromCore(shell::englishText(text)).remove('&');
    if (ours == platform::fromCore(shell::ownText(shell_->language.texts, text)).remove('&')) {
      continue;  // the same word in both languages
    }
    // The words between the values a text takes (%1, %2).
    for (const QString& words : ours.split(QRegularExpression("%[1-9]"))) {
      if (words.count(QRegularExpression("[A-Za-z]{2,}")) >= 1 && words.trimmed().size() >= 4) {
        english << words.trimmed();
      }
    }
  }
  QStringList left;
  for (const QString& name : names) {
    if (own.contains(name.trimmed())) {
      continue;
    }
    for (const QString& words : english) {
      if (name.contains(QRegularExpression("\\b" + QRegularExpression::escape(words) + "\\b"))) {
        left << name + " <- " + words;
      }
    }
  }
  left.removeDuplicates();
  QVERIFY2(left.isEmpty(), qPrintable(left.join("\n")));
}

void DesktopTest::f1OpensTheGuideWithItsPicturesAndEscClosesIt() {
  start("English");
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_F1);
  auto* guide = window_->findChild<desktop::GuideWindow*>("guideWindow");
  QVERIFY(guide && guide->isVisible());
  QCOMPARE(guide->windowTitle(), QString("Vestrim user guide"));
  // Large enough to read, and the keys scroll it at once.
  QVERIFY(guide->width() >= guide->screen()->availableGeometry().width() * 6 / 10);
  QTRY_VERIFY(guide->browser()->hasFocus());
  QTest::keyClick(guide->browser(), Qt::Key_PageDown);
  QVERIFY(guide->browser()->verticalScrollBar()->value() > 0);
  // The shipped guide, its first heading on top, every picture loaded and
  // fitted to the page.
  QTextDocument* document = guide->browser()->document();
  QCOMPARE(document->firstBlock().text(), QString("Vestrim user guide"));
  QVERIFY(document->firstBlock().blockFormat().headingLevel() == 1);
  int pictures = 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFormat format = it.fragment().charFormat();
      if (!format.isImageFormat()) {
        continue;
      }
      const QString name = format.toImageFormat().name();
      const QVariant data = document->resource(QTextDocument::ImageResource, QUrl(name));
      const QImage image = data.typeId() == QMetaType::QByteArray
                               ? QImage::fromData(data.toByteArray())
                               : data.value<QImage>();
      QVERIFY2(!image.isNull(), qPrintable(name));
      // Drawn no wider than the page.
      const qreal width = format.toImageFormat().width();
      QVERIFY(width > 0 && width <= guide->browser()->viewport()->width());
      ++pictures;
    }
  }
  QVERIFY(pictures >= 5);
  QTest::keyClick(guide->browser(), Qt::Key_Escape);
  QVERIFY(!guide->isVisible());

  // No guide where it is looked for: said, naming the place.
  const fs::path nowhere = folder_->path() / "guide";
  window_->setGuideFolders({nowhere});
  prompts_.shown.clear();
  window_->findChild<QAction*>("mnuGuide")->trigger();
  QCOMPARE(prompts_.shown.size(), std::size_t{1});
  QVERIFY(prompts_.shown[0].text.ends_with(":\n" + (nowhere / "guide.md").string()));
  QVERIFY(!guide->isVisible());
}

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
