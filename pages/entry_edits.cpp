#include "pages/entry_edits.h"

#include <QValidator>

#include "config/entry_rules.h"

namespace kelvane {

void PutBackEntry(QLineEdit* edit, const std::string& stored) {
  const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
  const QString text = Latin1Text(stored);
  SetEditQuietly(edit, text);
  // QLineEdit keeps the caret in view by itself.
  edit->setCursorPosition(RefusedCaret(start, static_cast<int>(text.size())));
}

namespace {

class NoDoubleQuote : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    return input.contains(QLatin1Char('"')) ? Invalid : Acceptable;
  }
};

class SendableText : public QValidator {
 public:
  SendableText(const FieldInfo& field, QObject* parent) : QValidator(parent), field_(field) {}
  State validate(QString& input, int&) const override {
    for (const QChar c : input) {
      if (c.unicode() > 0xFF) return Invalid;
    }
    return CommandCharacterProblem(field_, input.toLatin1().toStdString()).empty() ? Acceptable : Invalid;
  }

 private:
  const FieldInfo& field_;
};

}  // namespace

void RefuseUnsendable(QLineEdit* edit, const FieldInfo& field) {
  edit->setValidator(new SendableText(field, edit));
}

void RefuseDoubleQuotes(QLineEdit* edit) {
  // A line edit undoes a change only when its text was acceptable before it,
  // so a quote that came with the text does not lock the edit.
  edit->setValidator(new NoDoubleQuote(edit));
}

}  // namespace kelvane
