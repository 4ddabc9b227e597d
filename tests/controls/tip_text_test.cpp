#include <QLabel>
#include <QToolTip>
#include <QTest>

#include "controls/tip_text.h"

using kelvane::LimitedTipText;

class TipTextTest : public QObject {
  Q_OBJECT

 private slots:
  void TextsThatFitStayPlainWithTheirLineBreaks() {
    QCOMPARE(LimitedTipText(QStringLiteral("Number entry\n\rMax 20 characters."), 200),
             QStringLiteral("Number entry\nMax 20 characters."));
    QCOMPARE(LimitedTipText(QStringLiteral("Asynchronous stopbits\n\r Default: 1"), 300),
             QStringLiteral("Asynchronous stopbits\n Default: 1"));
    // Without a limit nothing wraps.
    const QString longText = QString(60, QLatin1Char('w'));
    QCOMPARE(LimitedTipText(longText, 0), longText);
  }

  // A tooltip shows its text in a word-wrapping label: a line wider than the
  // limit wraps there, and every word and markup character is still shown.
  void WideLinesWrapAtTheLimit() {
    const QString text = QStringLiteral(
        "The Autoconnect feature searches selcected port for a Dalmarin modem. Useful if you don't know "
        "the current modem settings.\n\rA <b> & c");
    for (int limit : {150, 200, 400}) {
      QLabel tip;
      tip.setFont(QToolTip::font());
      tip.setWordWrap(true);
      tip.setText(LimitedTipText(text, limit));
      tip.adjustSize();
      QVERIFY2(tip.width() <= limit + 2 * tip.margin() + 4, qPrintable(QString::number(tip.width())));
      QVERIFY(tip.height() > 2 * QFontMetrics(QToolTip::font()).lineSpacing());
      QVERIFY(Qt::mightBeRichText(tip.text()));
      QVERIFY(tip.text().contains(QStringLiteral("A &lt;b&gt; &amp; c")));
      QVERIFY(tip.text().contains(QStringLiteral("selcected port")));
    }
  }
};

QTEST_MAIN(TipTextTest)
#include "tip_text_test.moc"
