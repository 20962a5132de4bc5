#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "pendrive/pen_drive_session.h"
#include "shell/ui/child_menus.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;

namespace vestrim::catalogue::ui {
class CatalogueList;
}

namespace vestrim::pendrive::ui {

// The pen-drive window (FrmPrgPD): the device files a pen drive holds,
// listed like the device's catalogue, with the drive's figures; Read, Save
// and Erase. The reading, saving and erasing of thousands of files run off
// the window's thread and report their progress, so the window keeps
// drawing.
class PenDriveWindow final : public QWidget, public shell::ui::DeviceMenus {
  Q_OBJECT

 public:
  PenDriveWindow(std::unique_ptr<PenDriveSession> session, const shell::LanguageTexts& texts,
                 platform::Prompts& prompts, QWidget* parent = nullptr);
  ~PenDriveWindow() override;

  PenDriveSession& session() { return *session_; }
  QSize sizeHint() const override;
  // Work off the window's thread is under way.
  bool working() const { return working_; }

 signals:
  void closeRequested();
  void aboutRequested();
  // Files were saved, or the window closed: the file manager lists anew.
  void refreshRequested();
  // A piece of work ended (for those who wait on it).
  void workDone();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs `work` on a thread of its own with the busy state shown, then
  // `done` with its result on the window's thread.
  template <typename Result>
  void runOffThread(std::function<Result(const Progress&)> work, std::function<void(Result)> done);
  void showProgress(std::size_t done, std::size_t total);
  void setBusy(bool busy);
  void showFigures(bool withUnit);
  void read(bool first);
  void save();
  // The drive is gone: the list cleared and the user told, after `before` when given.
  void driveGone(const std::string& before = {});
  void eraseListed();
  void eraseRoot();

  std::unique_ptr<PenDriveSession> session_;
  platform::Prompts& prompts_;
  bool working_ = false;
  bool closeWhenDone_ = false;
  bool closing_ = false;
  bool firstShown_ = false;

  QToolBar* toolbar_ = nullptr;
  catalogue::ui::CatalogueList* list_ = nullptr;
  QLabel* size_ = nullptr;
  QProgressBar* usage_ = nullptr;
  QLabel* panels_[2] = {nullptr, nullptr};
  QProgressBar* progress_ = nullptr;
};

}  // namespace vestrim::pendrive::ui
