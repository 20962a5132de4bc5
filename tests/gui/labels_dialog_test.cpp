// The pack-labels dialog as a user meets it: refused for a cycle not
// released, labels saved as PDF, pack kinds edited and kept, Esc closes.
#include "reports/ui/labels_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "archive/release.h"
#include "shell/text_encoding.h"
#include "sim/cycle_generator.h"
#include "temp_folder.h"
#include "transfer/seal.h"

namespace fs = std::filesystem;
using namespace vestrim;

class LabelsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void aCycleNotReleasedGetsAMessageInstead();
  void releasedCycleSavesItsLabels();
  void storageDaysAreEditedAndKept();

 private:
  // Releases the cycle, then opens its labels dialog.
  reports::ui::LabelsDialog* releasedAndOpened();

  std::unique_ptr<testing::TempFolder> folder_;
  std::unique_ptr<QWidget> parent_;
  std::string path_;  // the sealed cycle, below the program folder
};

void LabelsDialogTest::init() {
  folder_ = std::make_unique<testing::TempFolder>();
  parent_ = std::make_unique<QWidget>();
  devsim::content::CycleRequest request;
  request.cycleNumber = 1571;
  request.start = {8, 10, 7, 3, 25};
  fs::create_directories(folder_->path() / "2025/03");
  const transfer::SealResult sealed =
      transfer::ProtectDataLogger(folder_->path(), folder_->path() / "2025/03",
                                  devsim::content::generateCycle({}, request).bytes, {});
  QVERIFY2(sealed.error.empty(), sealed.error.c_str());
  path_ = sealed.file.lexically_relative(folder_->path()).generic_string();
}

reports::ui::LabelsDialog* LabelsDialogTest::releasedAndOpened() {
  std::string error;
  archive::ReleaseRequest request;
  request.path = path_;
  request.operatorInitials = "AB";
  if (!archive::recordRelease(folder_->path(), request, error)) {
    qWarning("release refused: %s", error.c_str());
    return nullptr;
  }
  return reports::ui::LabelsDialog::open(parent_.get(), folder_->path(), path_,
                                         shell::englishOnly());
}

void LabelsDialogTest::cleanup() {
  parent_.reset();
  folder_.reset();
}

void LabelsDialogTest::aCycleNotReleasedGetsAMessageInstead() {
  QVERIFY(!reports::ui::LabelsDialog::open(parent_.get(), folder_->path(), path_,
                                           shell::englishOnly()));
  auto* box = parent_->findChild<QMessageBox*>("labelsRefused");
  QVERIFY(box);
  QVERIFY(box->isVisible());
  QVERIFY2(box->text().contains("was not released: labels are printed only for released"),
           qPrintable(box->text()));
  QVERIFY(!parent_->findChild<reports::ui::LabelsDialog*>());
}

void LabelsDialogTest::releasedCycleSavesItsLabels() {
  auto* dialog = releasedAndOpened();
  QVERIFY(dialog);
  QVERIFY(dialog->isVisible());
  auto* kind = dialog->findChild<QComboBox*>("packKind");
  QCOMPARE(kind->currentText(), QString("Pouch (180 days)"));
  QCOMPARE(dialog->label().expiryDate, std::string("03/09/2025"));
  QVERIFY(!dialog->findChild<QLabel*>("preview")->pixmap().isNull());
  for (const char* name : {"packKind", "copies", "labelWidth", "labelHeight", "printLabels",
                           "saveLabelsPdf", "closeLabels", "storageDays"}) {
    auto* control = dialog->findChild<QWidget*>(name);
    QVERIFY2(control && !control->accessibleName().isEmpty(), name);
  }

  dialog->findChild<QSpinBox*>("copies")->setValue(4);
  const fs::path pdf = folder_->path() / "labels.pdf";
  QVERIFY(dialog->savePdf(pdf));
  QVERIFY(fs::file_size(pdf) > 1000);
  QCOMPARE(dialog->findChild<QLabel*>("labelsStatus")->text(),
           QString::fromStdString("4 labels written to " + pdf.string() + "."));

  // Not a folder to write in: said in the dialog, which stays.
  QTimer::singleShot(0, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->accept();
    }
  });
  QVERIFY(!dialog->savePdf(folder_->path() / "none" / "labels.pdf"));
  QVERIFY(dialog->findChild<QLabel*>("labelsStatus")
              ->text()
              .contains(QString::fromStdString(shell::utf8Of(fs::path("none") / "labels.pdf"))));

  QPointer<QDialog> guard(dialog);
  QTest::keyClick(dialog, Qt::Key_Escape);
  QTRY_VERIFY(!guard);  // closed and deleted
}

void LabelsDialogTest::storageDaysAreEditedAndKept() {
  auto* dialog = releasedAndOpened();
  QVERIFY(dialog);
  QTest::mouseClick(dialog->findChild<QPushButton*>("storageDays"), Qt::LeftButton);
  auto* kinds = dialog->findChild<reports::ui::PackKindsDialog*>("PackKindsDialog");
  QVERIFY(kinds && kinds->isVisible());
  auto* table = kinds->findChild<QTableWidget*>("packKinds");
  QCOMPARE(table->rowCount(), 3);

  // A second "pouch": refused, said, the dialog stays open.
  QTest::mouseClick(kinds->findChild<QPushButton*>("addKind"), Qt::LeftButton);
  QCOMPARE(table->rowCount(), 4);
  table->item(3, 0)->setText("pouch");
  kinds->accept();
  QVERIFY(kinds->isVisible());
  QVERIFY(kinds->findChild<QLabel*>("kindsProblem")->text().contains("listed twice"));

  table->item(3, 0)->setText("Tray");
  qobject_cast<QSpinBox*>(table->cellWidget(3, 1))->setValue(30);
  table->item(0, 0)->setText("Pouch");
  qobject_cast<QSpinBox*>(table->cellWidget(0, 1))->setValue(90);
  QPointer<QDialog> guard(kinds);
  kinds->accept();
  QTRY_VERIFY(!guard);
  QCOMPARE(archive::readPackKinds(folder_->path()),
           (std::vector<archive::PackKind>{
               {"Pouch", 90}, {"Wrapped", 180}, {"Container", 180}, {"Tray", 30}}));
  // The label follows: the kind stays chosen with its new days.
  auto* kind = dialog->findChild<QComboBox*>("packKind");
  QCOMPARE(kind->count(), 4);
  QCOMPARE(kind->currentText(), QString("Pouch (90 days)"));
  QCOMPARE(dialog->label().expiryDate, std::string("05/06/2025"));
  kind->setCurrentIndex(3);
  QCOMPARE(dialog->label().packKind, std::string("Tray"));
  QCOMPARE(dialog->label().expiryDate, std::string("06/04/2025"));
}

QTEST_MAIN(LabelsDialogTest)
#include "labels_dialog_test.moc"
