#pragma once

#include <QString>

#include "platform/qt/qt_text.h"
#include "shell/own_texts.h"

namespace vestrim::shell::ui {

// A caption from a language file with its first letter as the keyboard
// mnemonic: "Save" gives "&Save" (a "&" of its own is kept as one).
inline QString withMnemonic(QString caption) {
  return "&" + caption.replace('&', QStringLiteral("&&"));
}

// One of our own texts in the language of `texts`.
inline QString own(const LanguageTexts& texts, Text text) {
  return platform::fromCore(ownText(texts, text));
}

}  // namespace vestrim::shell::ui
