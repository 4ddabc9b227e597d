#include "pages/entry_edits.h"

#include "config/entry_rules.h"

namespace kelvane {

void PutBackEntry(QLineEdit* edit, const std::string& stored) {
  const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
  const QString text = Latin1Text(stored);
  SetEditQuietly(edit, text);
  // QLineEdit keeps the caret in view by itself.
  edit->setCursorPosition(RefusedCaret(start, static_cast<int>(text.size())));
}

}  // namespace kelvane
