#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <random>

#include "ui/port_provider.h"
#include "connection/ui/terminal_dlg.h"
#include "connection/ui/terminal_text.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::TestUi;

class TerminalDlgTest : public QObject {
  Q_OBJECT

 private:
  // A terminal on an open simulated line (nothing identified).
  struct OpenLine {
    CAdapter a;
    TestUi ui{a};
    PortProvider ports;
    CTerminalDlg terminal{a};
    SimulatedPort* port = nullptr;
    OpenLine() {
      ui.SetTerminal(&terminal);
      ports.Select(a, "sim:2");
      port = ports.Simulated(2);
      a.PortNumber = "sim:2";
      a.BaudRate = "9600";
      a.Parity = "Even";
      a.DataBits = "7";
      a.StopBits = "1";
      a.OpenAndIdentify(false);
    }
  };

 private slots:
  void BackspaceErasesThePreviousCharacter() {
    QCOMPARE(AppendTerminalText("AB", "\bC"), std::string("AC"));
    QCOMPARE(AppendTerminalText("", "\bX"), std::string("X"));
    QCOMPARE(AppendTerminalText("", "\b\bX\b\bY"), std::string("Y"));
    // It reaches back into what was shown before.
    QCOMPARE(AppendTerminalText("OK\r\n", "\b\b\bk"), std::string("Ok"));
  }

  void LineEndsBecomeCrLf() {
    QCOMPARE(AppendTerminalText("", "A\nB"), std::string("AB"));
    QCOMPARE(AppendTerminalText("", "A\rB"), std::string("A\r\nB"));
    QCOMPARE(AppendTerminalText("", "A\r\nB\n\r"), std::string("A\r\nB\r\n"));
    // Text already shown keeps its line ends.
    const std::string once = AppendTerminalText("", "X\rY\r");
    QCOMPARE(AppendTerminalText(once, ""), once);
  }

  void OutputKeepsAtMostTenThousandCharacters() {
    std::string shown;
    for (int i = 0; i < 300; ++i) shown = AppendTerminalText(shown, std::string(49, 'a' + i % 26) + "\r");
    QVERIFY(shown.size() <= kTerminalCapacity);
    QVERIFY(shown.size() > kTerminalCapacity - 60);
    QVERIFY(shown.front() != '\n');
    // The newest text is what stays.
    QCOMPARE(shown.substr(shown.size() - 51), std::string(49, 'a' + 299 % 26) + "\r\n");
  }

  void HexViewShowsSixteenBytesPerLine() {
    CAdapter a;
    TestUi ui(a);
    CTerminalDlg terminal(a);
    ui.SetTerminal(&terminal);
    a.Options.HexInput = 1;
    std::string bytes = "0123456789ABCDEF";
    bytes += '\x07';
    for (unsigned char b : bytes) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X ", b);
      a.HexLog += hex;
      a.CharLog += b < 22 ? '.' : static_cast<char>(b);
      ++a.LogCount;
    }
    terminal.AppendToTerminal("ignored");
    const std::string expected =
        "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46    0123456789ABCDEF\r\n"
        "07                                                 .\r\n";
    QCOMPARE(terminal.Content(), expected);
    QCOMPARE(terminal.OutputField()->toPlainText(),
             QString::fromLatin1(expected.c_str()).replace("\r\n", "\n"));
    // A log shorter than it claims is shown as far as it goes.
    const std::string blank = std::string(51, ' ') + "\r\n";
    QCOMPARE(HexDumpView("41 ", "A", 40), "41 " + std::string(48, ' ') + "A\r\n" + blank + blank);
  }

  // With the Debug option the answers of a read reach the pane, and the hex
  // view shows every received byte: neither shows a password, whether it
  // arrives whole or in pieces, and neither hides anything else.
  void PasswordsAreMaskedInTextAndHexViews() {
    struct Case {
      std::vector<std::string> chunks;
      const char* secret;  // never shown
      const char* kept;    // shown as it came
    };
    const Case cases[] = {
        {{"AT*WRCP?\r\r\n*WRCP: owned12\r\n\r\nOK\r\n"}, "owned12", "*WRCP: "},
        {{"1_Number=0123456\r\n1_Password=cbSe", "cret1\r\n\r\nOK\r\n"}, "cret1", "1_Number=0123456"},
        {{"3_Data5=smspw99\r\n3_Data6=Sender\r\n"}, "smspw99", "3_Data6=Sender"},
        {{"AT*WCBTAB=3,\"0123456\",\"abc123x\"\r"}, "abc123x", "AT*WCBTAB=3,\"0123456\","},
        {{"AT*WRCP=owned12\r\r\nOK\r\n"}, "owned12", "AT*WRCP="},
        // The remote login password, wherever it shows.
        {{"C_PASSWORD: farpass1\r\n>"}, "farpass1", "C_PASSWORD: "},
    };
    for (const Case& c : cases) {
      for (int hex : {0, 1}) {
        const QByteArray row = QByteArray(c.secret) + (hex ? " hex" : " text");
        CAdapter a;
        TestUi ui(a);
        CTerminalDlg terminal(a);
        ui.SetTerminal(&terminal);
        terminal.SetLoginSecret("farpass1");
        a.Options.Debug = 1;
        a.Options.HexInput = hex;
        std::string received;
        for (const std::string& chunk : c.chunks) {
          received += chunk;
          for (unsigned char b : hex ? chunk : std::string()) {
            char h[4];
            std::snprintf(h, sizeof h, "%02X ", b);
            a.HexLog += h;
            a.CharLog += b < 22 ? '.' : static_cast<char>(b);
            ++a.LogCount;
          }
          terminal.AppendToTerminal(chunk);
        }
        const std::string& shown = terminal.Content();
        std::string secretHex;
        for (const char* p = c.secret; *p; ++p) {
          char h[4];
          std::snprintf(h, sizeof h, "%02X ", static_cast<unsigned char>(*p));
          secretHex += h;
        }
        // A piece of the secret in any one line of the text view or the
        // character column is enough to fail.
        const std::string tail = std::string(c.secret).substr(std::strlen(c.secret) / 2);
        QVERIFY2(shown.find(tail) == std::string::npos, row + ": " + QByteArray::fromStdString(shown));
        QVERIFY2(shown.find(secretHex.substr(0, 6)) == std::string::npos || !hex, row);
        if (hex) {
          // Every byte keeps its place: as many lines as without masking,
          // and the secret's bytes shown as '*' (2A).
          QCOMPARE(shown.size(), HexDumpView(a.HexLog, a.CharLog, a.LogCount).size());
          QVERIFY2(shown.find("2A 2A 2A") != std::string::npos, row);
        } else {
          QVERIFY2(shown.find(c.kept) != std::string::npos, row + ": " + QByteArray::fromStdString(shown));
          QVERIFY2(shown.find("********") != std::string::npos, row);
        }
      }
    }
  }

  void HistoryKeepsTheLast50() {
    CommandHistory h;
    for (int i = 1; i <= 60; ++i) h.Add("AT" + std::to_string(i));
    QCOMPARE(h.Count(), 50);
    QCOMPARE(h.Index(), 50);
    QCOMPARE(h.At(0), std::string("AT11"));
    QCOMPARE(h.Older(), std::string("AT60"));
    QCOMPARE(h.Older(), std::string("AT59"));
    QCOMPARE(h.Newer(), std::string("AT60"));
    QCOMPARE(h.Newer(), std::string(""));  // the fresh line
    QCOMPARE(h.Newer(), std::string(""));
    for (int i = 0; i < 60; ++i) h.Older();
    QCOMPARE(h.Index(), 0);
    QCOMPARE(h.Current(), std::string("AT11"));
    QVERIFY(!h.MoveTo(51));
    QVERIFY(!h.MoveTo(-1));
    QCOMPARE(h.Index(), 0);
    QVERIFY(h.MoveTo(10));
    QCOMPARE(h.Current(), std::string("AT21"));
  }

  void ArrowKeysAndSpinWalkTheHistory() {
    OpenLine line;
    QLineEdit* field = line.terminal.CommandField();
    for (const char* c : {"ATI9", "AT&V", "ATS0?"}) {
      field->setText(c);
      QTest::keyClick(field, Qt::Key_Return);
    }
    QCOMPARE(line.terminal.HistorySpin()->Position(), 3);
    QTest::keyClick(field, Qt::Key_Up);
    QCOMPARE(field->text(), QString("ATS0?"));
    QCOMPARE(field->cursorPosition(), 5);
    QTest::keyClick(field, Qt::Key_Up);
    QCOMPARE(field->text(), QString("AT&V"));
    QCOMPARE(line.terminal.HistorySpin()->Position(), 1);
    line.terminal.HistorySpin()->StepUp();
    QCOMPARE(field->text(), QString("ATI9"));
    line.terminal.HistorySpin()->StepUp();  // already the oldest
    QCOMPARE(line.terminal.HistorySpin()->Position(), 0);
    for (int i = 0; i < 5; ++i) line.terminal.HistorySpin()->StepDown();
    // Stops at the fresh line after the newest command.
    QCOMPARE(line.terminal.HistorySpin()->Position(), 3);
    QCOMPARE(field->text(), QString(""));
  }

  void CommandLineSendsWithCarriageReturnExceptEscapes() {
    OpenLine line;
    QLineEdit* field = line.terminal.CommandField();
    const size_t start = line.port->Written().size();
    field->setText("+++");
    line.terminal.SendCommandLine();
    QCOMPARE(line.port->Written().substr(start), std::string("+++"));
    field->setText("ATI9");
    line.terminal.SendCommandLine();
    QCOMPARE(line.port->Written().substr(start), std::string("+++ATI9\r"));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(field->text(), QString(QChar(26)));
    line.terminal.SendCommandLine();
    QCOMPARE(line.port->Written().substr(start), std::string("+++ATI9\r\x1a"));
    QVERIFY(field->text().isEmpty());
    QCOMPARE(line.terminal.History().Count(), 3);
  }

  void CommandLineWaitsForABusyLink() {
    OpenLine line;
    const size_t start = line.port->Written().size();
    line.a.Busy = true;
    line.terminal.CommandField()->setText("ATI9");
    line.terminal.SendCommandLine();
    QCOMPARE(line.port->Written().size(), start);
    QCOMPARE(line.terminal.History().Count(), 0);
    QCOMPARE(line.terminal.CommandField()->text(), QString("ATI9"));
  }

  void StatusFieldsFollowTheLink() {
    OpenLine line;
    CTerminalDlg& t = line.terminal;
    QCOMPARE(t.StatusValue(), QString("COM-port open"));
    QCOMPARE(t.ModeValue(), QString("-"));
    QCOMPARE(t.PortValue(), QString("sim:2"));
    QCOMPARE(t.BaudValue(), QString("9600"));
    QCOMPARE(t.ParityValue(), QString("Even"));
    QCOMPARE(t.DataBitsValue(), QString("7"));
    QVERIFY(t.CommandField()->isEnabled());
    QVERIFY(!t.OutputField()->isReadOnly());

    line.a.Parity = "odd";
    line.a.LinkState = LS_PORT_OPEN | LS_IDENTIFIED;
    line.a.ModelType = 3;
    t.RefreshTerminalInfo();
    QCOMPARE(t.StatusValue(), QString("Connected to RM-40 485"));
    QCOMPARE(t.ModeValue(), QString("AT Command set"));
    QCOMPARE(t.ParityValue(), QString("Odd"));
    line.a.LinkState |= LS_REMOTE;
    t.RefreshTerminalInfo();
    QCOMPARE(t.ModeValue(), QString("Remote Configurator"));

    line.a.Options.Terminal = 0;
    t.RefreshTerminalInfo();
    QVERIFY(t.OutputField()->isReadOnly());

    line.a.CloseLink();
    for (const QString& v : {t.StatusValue(), t.ModeValue(), t.PortValue(), t.BaudValue(), t.DataBitsValue(),
                             t.ParityValue(), t.StopBitsValue()}) {
      QCOMPARE(v, QString("-"));
    }
    QVERIFY(!t.CommandField()->isEnabled());
    QVERIFY(!t.HistorySpin()->isEnabled());
  }

  void RawTerminalSendsKeysWithoutInsertingThem() {
    OpenLine line;
    QPlainTextEdit* out = line.terminal.OutputField();
    const size_t start = line.port->Written().size();
    QTest::keyClicks(out, "AT");
    QTest::keyClick(out, Qt::Key_Return);
    QCOMPARE(line.port->Written().substr(start), std::string("AT\r"));
    QVERIFY(out->toPlainText().isEmpty());

    // With the option off, keys do nothing to the port.
    line.a.Options.Terminal = 0;
    line.terminal.RefreshTerminalInfo();
    QTest::keyClicks(out, "X");
    QCOMPARE(line.port->Written().substr(start), std::string("AT\r"));
  }

  void ReceivedTextReachesTheOutputField() {
    OpenLine line;
    line.port->InjectInput("hello\rwor\bld\n");
    line.a.ServiceLineEvents();
    QCOMPARE(line.terminal.Content(), std::string("hello\r\nwold"));
    QCOMPARE(line.terminal.OutputField()->toPlainText(), QString("hello\nwold"));
    line.terminal.ClearTerminal();
    QVERIFY(line.terminal.OutputField()->toPlainText().isEmpty());
    QCOMPARE(line.a.LogCount, 0);
  }

  void HexRowsAreShownWholeInAFixedFont() {
    CAdapter a;
    TestUi ui(a);
    CTerminalDlg terminal(a);
    ui.SetTerminal(&terminal);
    terminal.resize(300, 300);  // narrower than one 16-byte row
    terminal.show();
    a.Options.HexInput = 1;
    terminal.RefreshTerminalInfo();
    for (int i = 0; i < 40; ++i) {
      a.HexLog += "41 ";
      a.CharLog += 'A';
      ++a.LogCount;
    }
    terminal.AppendToTerminal("");
    QPlainTextEdit* out = terminal.OutputField();
    QTRY_COMPARE(out->document()->blockCount(), 4);  // three rows and the empty end
    // Whatever fonts the machine has ("Courier New" may stand for a font that
    // is not fixed-pitch), both fields get a fixed-pitch one when there is any.
    const QStringList families = QFontDatabase::families();
    const bool anyFixed = std::any_of(families.begin(), families.end(), [](const QString& family) {
      return QFontDatabase::isFixedPitch(family) && QFontInfo(QFont(family)).fixedPitch();
    });
    if (anyFixed) {
      QVERIFY2(QFontInfo(out->font()).fixedPitch(), qPrintable(QFontInfo(out->font()).family()));
      QVERIFY2(QFontInfo(terminal.CommandField()->font()).fixedPitch(),
               qPrintable(QFontInfo(terminal.CommandField()->font()).family()));
    }
    QCOMPARE(out->lineWrapMode(), QPlainTextEdit::NoWrap);
    for (QTextBlock b = out->document()->begin(); b.isValid(); b = b.next()) {
      QVERIFY2(b.layout()->lineCount() <= 1, qPrintable(b.text()));
    }
    QVERIFY(out->horizontalScrollBar()->maximum() > 0);

    // Text wraps again once hex input is off.
    a.Options.HexInput = 0;
    terminal.RefreshTerminalInfo();
    QCOMPARE(out->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  }

  void PasteIsSentAsTypedTextOnlyWhileTheTerminalIsActive() {
    struct Case {
      const char* name;
      int terminalOption;
      bool portOpen;
      std::string sent;
    };
    for (const Case& k : {Case{"active", 1, true, "ATI9\rAT&V\r"}, Case{"option off", 0, true, ""},
                          Case{"port closed", 1, false, ""}}) {
      OpenLine line;
      line.a.Options.Terminal = k.terminalOption;
      if (!k.portOpen) line.a.CloseLink();
      line.terminal.RefreshTerminalInfo();
      QPlainTextEdit* out = line.terminal.OutputField();
      const size_t start = line.port->Written().size();
      QGuiApplication::clipboard()->setText(QStringLiteral("ATI9\r\nAT&V\n"));
      QTest::keyClick(out, Qt::Key_V, Qt::ControlModifier);
      out->paste();  // the context menu's Paste
      const std::string twice = k.sent + k.sent;
      QCOMPARE(line.port->Written().substr(start), twice);
      QVERIFY2(out->toPlainText().isEmpty(), k.name);  // never shown as if received
    }
  }

  // The field catches up with what the pane holds (at once, or within its
  // refresh interval while text streams in).
  static QString Expected(const CTerminalDlg& terminal) {
    QString text = QString::fromLatin1(terminal.Content().c_str());
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  }

  void ReceivedTextIsAppendedWithoutRedrawingTheField() {
    CAdapter a;
    TestUi ui(a);
    CTerminalDlg terminal(a);
    terminal.resize(400, 300);
    terminal.show();
    QPlainTextEdit* out = terminal.OutputField();
    for (int i = 0; i < 700; ++i) terminal.AppendToTerminal("line " + std::to_string(i) + " of the stream\r\n");
    QVERIFY(terminal.Content().size() > kTerminalCapacity - 40);  // the front is being cut
    QTRY_COMPARE(out->toPlainText(), Expected(terminal));

    int added = 0, removed = 0;
    QObject::connect(out->document(), &QTextDocument::contentsChange, [&](int, int r, int n) {
      added += n;
      removed += r;
    });
    terminal.AppendToTerminal("OK\r\n");
    QTRY_COMPARE(out->toPlainText(), Expected(terminal));
    QVERIFY2(added <= 10 && removed <= 10, qPrintable(QStringLiteral("%1 added, %2 removed").arg(added).arg(removed)));

    // Whatever arrives, the field shows exactly what the pane holds.
    std::mt19937 random(11);
    const std::string pieces[] = {"AT", "\r", "\n", "\b", "OK", "\b\b\b", "+MS: V34", "x", "\r\n"};
    for (int i = 0; i < 3000; ++i) {
      std::string chunk;
      for (int j = random() % 6; j >= 0; --j) chunk += pieces[random() % std::size(pieces)];
      terminal.AppendToTerminal(chunk);
      if (i % 500 == 0 || i == 2999) QTRY_COMPARE(out->toPlainText(), Expected(terminal));
    }
  }

  void ReadingBackKeepsTheViewAndTheSelection() {
    CAdapter a;
    TestUi ui(a);
    CTerminalDlg terminal(a);
    terminal.resize(400, 300);
    terminal.show();
    QPlainTextEdit* out = terminal.OutputField();
    for (int i = 0; i < 300; ++i) terminal.AppendToTerminal("line " + std::to_string(i) + "\r");
    QTRY_COMPARE(out->toPlainText(), Expected(terminal));
    QCoreApplication::processEvents();
    QScrollBar* bar = out->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());  // following the newest text

    // The user scrolls up and selects a line.
    bar->setValue(bar->maximum() / 2);
    const QString topLine = out->cursorForPosition(QPoint(2, 2)).block().text();
    QTextCursor pick = out->cursorForPosition(QPoint(2, 2));
    pick.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    out->setTextCursor(pick);
    const QString selected = out->textCursor().selectedText();
    QVERIFY(!selected.isEmpty());

    for (int i = 300; i < 330; ++i) terminal.AppendToTerminal("line " + std::to_string(i) + "\r");
    QTRY_COMPARE(out->toPlainText(), Expected(terminal));
    QCoreApplication::processEvents();
    QCOMPARE(out->cursorForPosition(QPoint(2, 2)).block().text(), topLine);
    QCOMPARE(out->textCursor().selectedText(), selected);
    QVERIFY(bar->value() < bar->maximum());

    // Back at the bottom, the view follows again.
    bar->setValue(bar->maximum());
    terminal.AppendToTerminal("line 330\r");
    QTRY_COMPARE(out->toPlainText(), Expected(terminal));
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(out->textCursor().selectedText(), selected);  // still not taken away
  }

  void CtrlTabLeavesTheOutputFieldAndTabIsText() {
    QWidget window;  // outlives the pane it holds
    OpenLine line;
    auto* column = new QVBoxLayout(&window);
    auto* before = new QLineEdit(&window);
    column->addWidget(before);
    line.terminal.setParent(&window);
    column->addWidget(&line.terminal);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QPlainTextEdit* out = line.terminal.OutputField();
    out->setFocus();
    QCOMPARE(QApplication::focusWidget(), out);
    const size_t start = line.port->Written().size();

    QTest::keyClick(out, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), out);
    QCOMPARE(line.port->Written().substr(start), std::string("\t"));

    QTest::keyClick(out, Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(QApplication::focusWidget() != out);
    QCOMPARE(line.port->Written().substr(start), std::string("\t"));

    out->setFocus();
    QTest::keyClick(out, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(QApplication::focusWidget() != out);
    QCOMPARE(line.port->Written().substr(start), std::string("\t"));
  }
};

QTEST_MAIN(TerminalDlgTest)
#include "terminal_dlg_test.moc"
