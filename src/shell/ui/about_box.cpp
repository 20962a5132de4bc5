#include "shell/ui/about_box.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/qt/qt_text.h"
#include "shell/own_texts.h"
#include "shell/ui/icons.h"
#include "shell/version_line.h"

namespace vestrim::shell::ui {

AboutBox::AboutBox(const LanguageTexts& texts, QWidget* parent) : QDialog(parent) {
  setObjectName("FrmInfo");
  setWindowTitle(QStringLiteral("Info"));
  setWindowIcon(icon("info"));

  auto* frame = new QGroupBox(QStringLiteral("Program Info"), this);
  frame->setObjectName("programInfo");
  auto* logo = new QLabel(frame);
  logo->setObjectName("logo");
  logo->setPixmap(icon("logo").pixmap(96, 96));
  logo->setAccessibleName(platform::fromCore(ownText(texts, Text::VestrimLogo)));
  auto* title = new QLabel(QStringLiteral("Vestrim"), frame);
  title->setObjectName("programLine");
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  title->setFont(big);
  auto* version = new QLabel(platform::fromCore(versionLine()), frame);
  version->setObjectName("versionLine");
  auto* what = new QLabel(platform::fromCore(ownText(texts, Text::AboutDescription)), frame);
  what->setObjectName("aboutLine1");
  auto* licence = new QLabel(platform::fromCore(ownText(texts, Text::AboutCopyright)), frame);
  licence->setObjectName("aboutLine2");
  for (QLabel* label : {title, version, what, licence}) {
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAccessibleName(label->text());
  }

  auto* grid = new QGridLayout(frame);
  grid->setHorizontalSpacing(18);
  grid->addWidget(logo, 0, 0, 4, 1, Qt::AlignTop);
  grid->addWidget(title, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(what, 2, 1);
  grid->addWidget(licence, 3, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setObjectName("aboutButtons");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);
  setAttribute(Qt::WA_DeleteOnClose);
}

}  // namespace vestrim::shell::ui
