#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QString>

// The fields the release and operators dialogs share: a PIN field, a form
// label that names its field for screen readers, and the red line that says
// what went wrong.
namespace vestrim::archive::ui {

// Digits only, at most 12, not echoed.
inline QLineEdit* pinField(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setEchoMode(QLineEdit::Password);
  field->setMaxLength(12);
  field->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,12}")), field));
  return field;
}

inline QLabel* formLabel(const QString& text, QWidget* field, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(field);
  field->setAccessibleName(QString(text).remove('&').remove(':'));
  return label;
}

// Hidden until it has something to say.
inline QLabel* problemLine(const char* name, QWidget* parent) {
  auto* line = new QLabel(parent);
  line->setObjectName(name);
  line->setWordWrap(true);
  line->setStyleSheet(QStringLiteral("QLabel { color: #a01010; }"));
  line->hide();
  return line;
}

inline void showProblemLine(QLabel* line, const QString& text) {
  line->setText(text);
  line->setVisible(!text.isEmpty());
}

}  // namespace vestrim::archive::ui
