#include "reports/ui/labels_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/qt_text.h"
#include "shell/text_encoding.h"

namespace vestrim::reports::ui {
namespace {

using platform::fromCore;
using shell::Text;

// Pixels of the preview to a millimetre of the label, at 96 dots an inch.
constexpr double kPreviewPixelsPerMm = 96 / 25.4 * 1.5;

QString own(const shell::LanguageTexts& texts, Text text,
            std::initializer_list<std::string> values = {}) {
  return fromCore(shell::ownText(texts, text, values));
}

// A caption without its mnemonic, for screen readers.
QString plain(QString caption) {
  return caption.remove('&');
}

// The folder the last labels were saved in, else the user's documents.
QString labelFolder;

}  // namespace

LabelsDialog* LabelsDialog::open(QWidget* parent, const std::filesystem::path& programFolder,
                                 const std::string& path, const shell::LanguageTexts& texts) {
  const std::vector<archive::PackKind> kinds = archive::readPackKinds(programFolder);
  std::string error;
  const std::optional<archive::PackLabel> label = archive::packLabelFor(
      programFolder, path, kinds.front().days, kinds.front().name, error, texts);
  if (!label) {
    auto* box = new QMessageBox(
        QMessageBox::Warning,
        own(texts, Text::LabelsTitle,
            {shell::utf8ToWindows1252(shell::utf8Of(shell::pathFromUtf8(path).filename()))}),
        fromCore(error), QMessageBox::Ok, parent);
    box->setObjectName("labelsRefused");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
    return nullptr;
  }
  auto* dialog = new LabelsDialog(parent, programFolder, path, *label, texts);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->QDialog::open();
  return dialog;
}

LabelsDialog::LabelsDialog(QWidget* parent, std::filesystem::path programFolder, std::string path,
                           archive::PackLabel label, const shell::LanguageTexts& texts)
    : QDialog(parent),
      programFolder_(std::move(programFolder)),
      path_(std::move(path)),
      texts_(texts),
      label_(std::move(label)) {
  setObjectName("LabelsDialog");
  setWindowTitle(
      own(texts_, Text::LabelsTitle,
          {shell::utf8ToWindows1252(shell::utf8Of(shell::pathFromUtf8(path_).filename()))}));

  kind_ = new QComboBox(this);
  kind_->setObjectName("packKind");
  auto* storageDays = new QPushButton(own(texts_, Text::LabelsStorageDays), this);
  storageDays->setObjectName("storageDays");
  storageDays->setAccessibleName(plain(storageDays->text()));
  storageDays->setAutoDefault(false);
  auto* kindRow = new QHBoxLayout;
  kindRow->addWidget(kind_, 1);
  kindRow->addWidget(storageDays);

  copies_ = new QSpinBox(this);
  copies_->setObjectName("copies");
  copies_->setRange(1, 999);

  const auto millimetres = [this](const char* name, double low, double high, double value,
                                  Text accessible) {
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setDecimals(1);
    box->setValue(value);
    box->setAccessibleName(own(texts_, accessible));
    return box;
  };
  const render::LabelSize standard;
  width_ = millimetres("labelWidth", render::kMinLabelWidthMm, render::kMaxLabelWidthMm,
                       standard.widthMm, Text::LabelsWidth);
  height_ = millimetres("labelHeight", render::kMinLabelHeightMm, render::kMaxLabelHeightMm,
                        standard.heightMm, Text::LabelsHeight);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(width_);
  sizeRow->addWidget(new QLabel(QStringLiteral("x"), this));
  sizeRow->addWidget(height_);
  sizeRow->addStretch();

  auto* form = new QFormLayout;
  const auto row = [&](Text text, QWidget* buddy, QLayout* field) {
    auto* caption = new QLabel(own(texts_, text), this);
    caption->setBuddy(buddy);
    if (buddy->accessibleName().isEmpty()) {
      buddy->setAccessibleName(plain(caption->text()).remove(':'));
    }
    form->addRow(caption, field);
  };
  row(Text::LabelsKind, kind_, kindRow);
  auto* copiesRow = new QHBoxLayout;
  copiesRow->addWidget(copies_);
  copiesRow->addStretch();
  row(Text::LabelsCopies, copies_, copiesRow);
  row(Text::LabelsSize, width_, sizeRow);

  preview_ = new QLabel(this);
  preview_->setObjectName("preview");
  preview_->setAccessibleName(own(texts_, Text::LabelsPreview));
  preview_->setAlignment(Qt::AlignCenter);
  // Room for a label of 60 x 60 mm at full size.
  preview_->setMinimumSize(static_cast<int>(60 * kPreviewPixelsPerMm),
                           static_cast<int>(60 * kPreviewPixelsPerMm));
  preview_->setFrameShape(QFrame::StyledPanel);

  status_ = new QLabel(this);
  status_->setObjectName("labelsStatus");
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(this);
  auto* print = buttons->addButton(own(texts_, Text::LabelsPrint), QDialogButtonBox::ActionRole);
  print->setObjectName("printLabels");
  auto* save = buttons->addButton(own(texts_, Text::LabelsSavePdf), QDialogButtonBox::ActionRole);
  save->setObjectName("saveLabelsPdf");
  auto* close = buttons->addButton(QDialogButtonBox::Close);
  close->setObjectName("closeLabels");
  for (QPushButton* button : {print, save, close}) {
    button->setAccessibleName(plain(button->text()).remove(QChar(0x2026)));
  }
  print->setDefault(true);
  connect(print, &QPushButton::clicked, this, &LabelsDialog::print);
  connect(save, &QPushButton::clicked, this, &LabelsDialog::askForPdf);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(storageDays, &QPushButton::clicked, this, &LabelsDialog::editKinds);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(preview_, 1);
  layout->addWidget(status_);
  layout->addWidget(buttons);

  fillKinds(label_.packKind);
  connect(kind_, &QComboBox::currentIndexChanged, this, [this] { refreshLabel(); });
  connect(width_, &QDoubleSpinBox::valueChanged, this, &LabelsDialog::showPreview);
  connect(height_, &QDoubleSpinBox::valueChanged, this, &LabelsDialog::showPreview);
  showPreview();
  kind_->setFocus();
}

render::LabelSize LabelsDialog::labelSize() const {
  return {width_->value(), height_->value()};
}

int LabelsDialog::copies() const {
  return copies_->value();
}

void LabelsDialog::fillKinds(const std::string& keep) {
  const QSignalBlocker blocker(kind_);
  kinds_ = archive::readPackKinds(programFolder_);
  kind_->clear();
  int chosen = 0;
  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    kind_->addItem(
        own(texts_, Text::LabelsKindItem, {kinds_[i].name, std::to_string(kinds_[i].days)}));
    if (kinds_[i].name == keep) {
      chosen = static_cast<int>(i);
    }
  }
  kind_->setCurrentIndex(chosen);
}

bool LabelsDialog::refreshLabel() {
  const archive::PackKind& kind = kinds_.at(static_cast<std::size_t>(kind_->currentIndex()));
  std::string error;
  const std::optional<archive::PackLabel> label =
      archive::packLabelFor(programFolder_, path_, kind.days, kind.name, error, texts_);
  if (!label) {
    failed(fromCore(error));
    return false;
  }
  label_ = *label;
  showPreview();
  return true;
}

void LabelsDialog::showPreview() {
  const QImage image = render::labelImage(label_, labelSize(), kPreviewPixelsPerMm, texts_);
  // Larger labels shrink to the preview's place.
  const QSize room = preview_->contentsRect().size().expandedTo(preview_->minimumSize());
  preview_->setPixmap(
      QPixmap::fromImage(image.width() > room.width() || image.height() > room.height()
                             ? image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : image));
}

void LabelsDialog::failed(const QString& why) {
  status_->setText(why);
  QMessageBox::warning(this, windowTitle(), why);
}

bool LabelsDialog::savePdf(const std::filesystem::path& file) {
  if (!refreshLabel()) {
    return false;
  }
  QString why;
  if (!render::labelsToPdf(label_, copies(), labelSize(), file, &why, texts_)) {
    failed(why);
    return false;
  }
  status_->setText(own(texts_, Text::LabelsSaved,
                       {std::to_string(copies()), shell::utf8ToWindows1252(shell::utf8Of(file))}));
  return true;
}

bool LabelsDialog::printOn(QPrinter& printer) {
  if (!refreshLabel()) {
    return false;
  }
  const std::string printerName = platform::toCore(
      printer.printerName().isEmpty() ? printer.outputFileName() : printer.printerName());
  if (render::paintLabels(printer, label_, copies(), labelSize(), texts_) == 0) {
    failed(own(texts_, Text::LabelsPrintFailed, {printerName}));
    return false;
  }
  status_->setText(own(texts_, Text::LabelsPrinted, {std::to_string(copies()), printerName}));
  return true;
}

void LabelsDialog::print() {
  QPrinter printer(QPrinter::HighResolution);
  // The code holds colons, which a file name on Windows cannot.
  printer.setDocName(fromCore(label_.code).replace(QLatin1Char(':'), QLatin1Char('_')));
  QPrintDialog dialog(&printer, this);
  dialog.setObjectName("labelsPrintDialog");
  dialog.setWindowTitle(windowTitle());
  if (dialog.exec() == QDialog::Accepted) {
    printOn(printer);
  }
}

void LabelsDialog::askForPdf() {
  if (labelFolder.isEmpty() || !QFileInfo(labelFolder).isDir()) {
    labelFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(labelFolder).isDir()) {
      labelFolder = QDir::homePath();
    }
  }
  const QString suggested =
      labelFolder + "/" + platform::fromPath(shell::pathFromUtf8(path_).stem()) + "-labels.pdf";
  auto* dialog =
      new QFileDialog(this, plain(own(texts_, Text::LabelsSavePdf)).remove(QChar(0x2026)),
                      suggested, own(texts_, Text::LabelsPdfFilter));
  dialog->setObjectName("labelsPdfFile");
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix("pdf");
  dialog->setWindowModality(Qt::WindowModal);
  connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
    labelFolder = QFileInfo(file).absolutePath();
    savePdf(platform::toPath(file));
  });
  dialog->open();
}

void LabelsDialog::editKinds() {
  auto* dialog = new PackKindsDialog(this, programFolder_, texts_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  connect(dialog, &QDialog::accepted, this, [this] {
    const std::string chosen = kinds_.at(static_cast<std::size_t>(kind_->currentIndex())).name;
    fillKinds(chosen);
    refreshLabel();
  });
  dialog->open();
}

PackKindsDialog::PackKindsDialog(QWidget* parent, std::filesystem::path programFolder,
                                 const shell::LanguageTexts& texts)
    : QDialog(parent), programFolder_(std::move(programFolder)), texts_(texts) {
  setObjectName("PackKindsDialog");
  setWindowTitle(own(texts_, Text::KindsTitle));

  table_ = new QTableWidget(0, 2, this);
  table_->setObjectName("packKinds");
  table_->setAccessibleName(own(texts_, Text::KindsList));
  table_->setHorizontalHeaderLabels(
      {own(texts_, Text::KindsNameColumn), own(texts_, Text::KindsDaysColumn)});
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setTabKeyNavigation(false);
  for (const archive::PackKind& kind : archive::readPackKinds(programFolder_)) {
    addRow(kind);
  }

  auto* add = new QPushButton(own(texts_, Text::KindsAdd), this);
  add->setObjectName("addKind");
  auto* remove = new QPushButton(own(texts_, Text::KindsRemove), this);
  remove->setObjectName("removeKind");
  for (QPushButton* button : {add, remove}) {
    button->setAccessibleName(plain(button->text()));
    button->setAutoDefault(false);
  }
  connect(add, &QPushButton::clicked, this, [this] {
    addRow({shell::ownText(texts_, Text::KindsNewName), 180});
    const int last = table_->rowCount() - 1;
    table_->setCurrentCell(last, 0);
    table_->editItem(table_->item(last, 0));
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    if (table_->currentRow() >= 0) {
      table_->removeRow(table_->currentRow());
    }
  });
  auto* side = new QVBoxLayout;
  side->addWidget(add);
  side->addWidget(remove);
  side->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(table_, 1);
  top->addLayout(side);

  problem_ = new QLabel(this);
  problem_->setObjectName("kindsProblem");
  problem_->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("keepKinds");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelKinds");
  for (QAbstractButton* button : buttons->buttons()) {
    button->setAccessibleName(plain(button->text()));
  }
  connect(buttons, &QDialogButtonBox::accepted, this, &PackKindsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(problem_);
  layout->addWidget(buttons);
  resize(420, 280);
}

void PackKindsDialog::addRow(const archive::PackKind& kind) {
  const int row = table_->rowCount();
  table_->insertRow(row);
  auto* name = new QTableWidgetItem(fromCore(kind.name));
  name->setData(Qt::AccessibleTextRole, own(texts_, Text::KindsNameColumn));
  table_->setItem(row, 0, name);
  auto* days = new QSpinBox(table_);
  days->setObjectName(QString("days%1").arg(row));
  days->setRange(archive::kMinStorageDays, archive::kMaxStorageDays);
  days->setValue(kind.days);
  days->setAccessibleName(own(texts_, Text::KindsDaysColumn));
  days->setFrame(false);
  table_->setCellWidget(row, 1, days);
}

std::vector<archive::PackKind> PackKindsDialog::kinds() const {
  std::vector<archive::PackKind> kinds;
  for (int row = 0; row < table_->rowCount(); ++row) {
    const QTableWidgetItem* name = table_->item(row, 0);
    const auto* days = qobject_cast<const QSpinBox*>(table_->cellWidget(row, 1));
    kinds.push_back(
        {platform::toCore(name ? name->text().trimmed() : QString()), days ? days->value() : 0});
  }
  return kinds;
}

void PackKindsDialog::accept() {
  std::string error;
  if (!archive::writePackKinds(programFolder_, kinds(), error, texts_)) {
    problem_->setText(own(texts_, Text::KindsNotSaved, {error}));
    return;
  }
  QDialog::accept();
}

}  // namespace vestrim::reports::ui
