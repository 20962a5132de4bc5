#include "desktop/guide_window.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeySequence>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/ui/icons.h"

namespace vestrim::desktop {
namespace {

// A picture's own size, from what the document loaded for it.
QSize sizeOf(const QVariant& picture) {
  switch (picture.typeId()) {
    case QMetaType::QImage:
      return picture.value<QImage>().size();
    case QMetaType::QPixmap:
      return picture.value<QPixmap>().size();
    case QMetaType::QByteArray:
      return QImage::fromData(picture.toByteArray()).size();
    default:
      return {};
  }
}

}  // namespace

std::vector<std::filesystem::path> userGuideFolders() {
  const std::filesystem::path bin = QCoreApplication::applicationDirPath().toStdU16String();
  return {(bin / ".." / "share" / "doc" / "vestrim" / "guide").lexically_normal(),
          std::filesystem::path(VESTRIM_GUIDE_SOURCE_DIR)};
}

GuideWindow::GuideWindow(const QString& title, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("guideWindow");
  setWindowTitle(title);
  setWindowIcon(shell::ui::icon("help"));
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("guideText");
  browser_->setAccessibleName(title);
  browser_->setOpenExternalLinks(true);
  browser_->setUndoRedoEnabled(false);  // fitting the pictures is no edit
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);
}

void GuideWindow::showGuide(const std::filesystem::path& guide) {
  // Pictures and links resolve against the guide's own folder.
  browser_->setSource(QUrl::fromLocalFile(QString::fromStdU16String(guide.u16string())),
                      QTextDocument::MarkdownResource);
  pictureSizes_.clear();
  if (!placed_) {
    placed_ = true;
    // Large enough to read beside the program: 70% of the screen, centred.
    if (const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen()) {
      const QRect area = screen->availableGeometry();
      resize(area.size() * 0.7);
      move(area.center() - rect().center());
    }
  }
  show();
  raise();
  activateWindow();
  browser_->setFocus();
  fitPictures();
}

void GuideWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitPictures();
}

void GuideWindow::fitPictures() {
  QTextDocument* document = browser_->document();
  const qreal room = browser_->viewport()->width() - 2 * document->documentMargin();
  struct Picture {
    int position;
    int length;
    QTextImageFormat format;
  };
  std::vector<Picture> pictures;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.charFormat().isImageFormat()) {
        pictures.push_back(
            {fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
      }
    }
  }
  QTextCursor cursor(document);
  for (Picture& picture : pictures) {
    const QString name = picture.format.name();
    if (!pictureSizes_.contains(name)) {
      pictureSizes_.insert(name,
                           sizeOf(document->resource(QTextDocument::ImageResource, QUrl(name))));
    }
    const QSize own = pictureSizes_.value(name);
    if (own.isEmpty()) {
      continue;  // not loaded: the browser shows its mark for a missing picture
    }
    // The width alone: the height follows in proportion.
    picture.format.setWidth(std::min<qreal>(own.width(), std::max<qreal>(room, 100)));
    cursor.setPosition(picture.position);
    cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(picture.format);
  }
}

}  // namespace vestrim::desktop
