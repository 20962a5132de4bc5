#include "shell/ui/focus_marks.h"

#include <QAbstractItemView>
#include <QApplication>

namespace vestrim::shell::ui {
namespace {

// A third of the highlight over the list's background: the selection stays
// readable in light and dark palettes without looking focused.
QColor muted(const QPalette& palette) {
  const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
  const QColor base = palette.color(QPalette::Active, QPalette::Base);
  return QColor::fromRgbF(base.redF() + (highlight.redF() - base.redF()) / 3,
                          base.greenF() + (highlight.greenF() - base.greenF()) / 3,
                          base.blueF() + (highlight.blueF() - base.blueF()) / 3);
}

void showFocus(QAbstractItemView* list, bool focused) {
  QPalette palette = QApplication::palette(list);
  if (!focused) {
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      palette.setColor(group, QPalette::Highlight, muted(palette));
      palette.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
    }
  }
  list->setPalette(palette);
}

// Every list as it is first shown, and at each focus change.
class FocusMarks final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type == QEvent::Polish || type == QEvent::FocusIn || type == QEvent::FocusOut) {
      if (auto* list = qobject_cast<QAbstractItemView*>(watched)) {
        showFocus(list, type == QEvent::FocusIn || (type == QEvent::Polish && list->hasFocus()));
      }
    }
    return false;
  }
};

}  // namespace

void markFocusedLists(QCoreApplication& app) {
  app.installEventFilter(new FocusMarks(&app));
}

}  // namespace vestrim::shell::ui
