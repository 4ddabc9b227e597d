#include "controls/wrap_combo.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QTextLayout>

#include <algorithm>

namespace kelvane {

CWrapComboBox::CWrapComboBox(int lines, QWidget* parent) : QComboBox(parent), lines_(std::max(lines, 1)) {}

QSize CWrapComboBox::WithLines(QSize oneLine) const {
  oneLine.rheight() += (lines_ - 1) * fontMetrics().lineSpacing();
  return oneLine;
}

QSize CWrapComboBox::sizeHint() const { return WithLines(QComboBox::sizeHint()); }

QSize CWrapComboBox::minimumSizeHint() const { return WithLines(QComboBox::minimumSizeHint()); }

void CWrapComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QString text = option.currentText;
  // The frame, the arrow and the focus without the text; the text follows.
  option.currentText.clear();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).adjusted(1, 0, -1, 0);
  if (text.isEmpty() || field.width() <= 0) return;

  // Lines broken at word boundaries; what is left after the last line that
  // fits is shortened with an ellipsis on that line.
  const QFontMetrics fm = fontMetrics();
  QTextLayout layout(text, font());
  QTextOption wrap;
  wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(wrap);
  QStringList lines;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(field.width());
    if (lines.size() + 1 == lines_) {
      lines << fm.elidedText(text.mid(line.textStart()), Qt::ElideRight, field.width());
      break;
    }
    lines << text.mid(line.textStart(), line.textLength()).trimmed();
  }
  layout.endLayout();

  const int height = static_cast<int>(lines.size()) * fm.lineSpacing();
  int y = field.top() + (field.height() - height) / 2;
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  for (const QString& line : lines) {
    painter.drawText(QRect(field.left(), y, field.width(), fm.lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter,
                     line);
    y += fm.lineSpacing();
  }
}

}  // namespace kelvane
