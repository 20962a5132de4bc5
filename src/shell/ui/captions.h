#pragma once

#include <QString>

namespace vestrim::shell::ui {

// A caption from a language file with its first letter as the keyboard
// mnemonic: "Save" gives "&Save" (a "&" of its own is kept as one).
inline QString withMnemonic(QString caption) {
  return "&" + caption.replace('&', QStringLiteral("&&"));
}

}  // namespace vestrim::shell::ui
