#pragma once

#include <QHash>
#include <QSize>
#include <QWidget>
#include <filesystem>
#include <vector>

class QTextBrowser;

namespace vestrim::desktop {

// Where the user guide is looked for: the installed copy
// (<prefix>/share/doc/vestrim/guide beside the program's bin folder), then
// the source tree the program was built from. Needs a Qt application object.
std::vector<std::filesystem::path> userGuideFolders();

// The user guide, read as Markdown with its pictures beside it, in a window
// of its own that stays open beside the main window. Esc closes it.
class GuideWindow final : public QWidget {
  Q_OBJECT

 public:
  GuideWindow(const QString& title, QWidget* parent);

  // Shows `guide` (read anew) in front, over most of the screen the first
  // time.
  void showGuide(const std::filesystem::path& guide);
  QTextBrowser* browser() const { return browser_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Pictures wider than the page are drawn at its width, so that the guide
  // reads without scrolling sideways.
  void fitPictures();

  QTextBrowser* browser_ = nullptr;
  bool placed_ = false;
  QHash<QString, QSize> pictureSizes_;
};

}  // namespace vestrim::desktop
