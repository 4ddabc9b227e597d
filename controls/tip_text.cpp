#include "controls/tip_text.h"

#include <QFontMetrics>
#include <QStringList>
#include <QToolTip>

namespace kelvane {

QString LimitedTipText(const QString& text, int maxWidth) {
  QString plain = text;
  plain.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  if (maxWidth <= 0) return plain;
  const QFontMetrics fm(QToolTip::font());
  const QStringList lines = plain.split(QLatin1Char('\n'));
  bool tooWide = false;
  for (const QString& line : lines) tooWide = tooWide || fm.horizontalAdvance(line) > maxWidth;
  if (!tooWide) return plain;
  // A table of fixed width makes the tooltip's label wrap there.
  QStringList escaped;
  for (const QString& line : lines) escaped << line.toHtmlEscaped();
  return QStringLiteral("<table width=\"%1\" cellspacing=\"0\" cellpadding=\"0\"><tr><td>%2</td></tr></table>")
      .arg(maxWidth)
      .arg(escaped.join(QStringLiteral("<br>")));
}

}  // namespace kelvane
