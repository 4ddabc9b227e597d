#pragma once
// Small widget helpers of the Dial options, Caller ID and Callback pages:
// Latin-1 texts between edits and the core's value mappings, a text set
// without a notification, and putting a refused entry back.

#include <QLineEdit>
#include <QSignalBlocker>
#include <QString>

#include <string>

#include "config/field_table.h"

namespace kelvane {

inline QString Latin1Text(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string EditText(const QLineEdit* edit) { return edit->text().toLatin1().toStdString(); }

// Sets an edit's text without a change notification.
inline void SetEditQuietly(QLineEdit* edit, const QString& text) {
  const QSignalBlocker hold(edit);
  edit->setText(text);
}

// An entry whose text was refused shows the stored text again, with the
// caret where the refused character was typed.
void PutBackEntry(QLineEdit* edit, const std::string& stored);

// For an edit whose text the modem gets inside double quotes: typing or
// pasting a double quote is refused. A text that already holds one (from a
// profile) stays editable until the quote is taken out.
void RefuseDoubleQuotes(QLineEdit* edit);

// For an edit whose text goes to the modem quoted or bare: what the field's
// command could not carry as it stands (a double quote in a quoted text, in
// a bare one anything beyond its form) is refused as it is typed or pasted.
void RefuseUnsendable(QLineEdit* edit, const FieldInfo& field);

}  // namespace kelvane
