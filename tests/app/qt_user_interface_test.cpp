#include <sys/resource.h>

#include <QElapsedTimer>
#include <QTest>

#include "ui/port_provider.h"
#include "ui/qt_user_interface.h"
#include "connection/ui/terminal_dlg.h"
#include "ui/wait_dlg.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::RunEventsFor;
using kelvane::testing::TestUi;

namespace {

long long CpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000LL + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

}  // namespace

class QtUserInterfaceTest : public QObject {
  Q_OBJECT

 private:
  struct Line {
    CAdapter a;
    TestUi ui{a};
    PortProvider ports;
    CTerminalDlg terminal{a};
    SimulatedPort* port = nullptr;
    Line() {
      ui.SetTerminal(&terminal);
      ui.StartTicks();
      ports.Select(a, "sim:2");
      port = ports.Simulated(2);
      a.PortNumber = "sim:2";
      a.BaudRate = "115200";
      a.Parity = "None";
      a.DataBits = "8";
      a.StopBits = "1";
      a.OpenAndIdentify(false);
      ui.SyncPortWatch();
    }
  };

 private slots:
  void FileFiltersBecomeQtNameFilters() {
    QCOMPARE(QtNameFilters("Config files (*.dat)|*.dat|All files (*.*)|*.*||"),
             QStringList({"Config files (*.dat)", "All files (*)"}));
    QCOMPARE(QtNameFilters("Reports|*.htm;*.html||"), QStringList{"Reports (*.htm *.html)"});
    QCOMPARE(QtNameFilters(""), QStringList{});
    QCOMPARE(QtNameFilters("broken|"), QStringList{});
  }

  void PumpWaitsForTheNextTickWithoutSpinning() {
    CAdapter a;
    TestUi ui(a);
    ui.StartTicks();
    a.TickCount = 0;
    QElapsedTimer clock;
    clock.start();
    const long long cpu = CpuMs();
    for (int i = 0; i < 10; ++i) ui.PumpEvents(-1);
    QVERIFY2(clock.elapsed() >= 350, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(a.TickCount >= 8);
    QVERIFY2(CpuMs() - cpu < clock.elapsed() / 2, "the wait must block, not spin");
  }

  void PumpReturnsAtOnceWhenInputWaits() {
    Line line;
    line.port->InjectInput("OK\r\n");
    const int ticks = line.a.TickCount;
    line.ui.PumpEvents(line.port->PollFd());
    // It returned for the input, not for the next tick.
    QCOMPARE(line.a.TickCount, ticks);
  }

  void SleepKeepsTheTicksRunning() {
    CAdapter a;
    TestUi ui(a);
    a.TickCount = 0;
    QElapsedTimer clock;
    clock.start();
    ui.Sleep(300);
    QVERIFY(clock.elapsed() >= 290);
    QVERIFY(a.TickCount >= 4);
  }

  void InputOutsideATransactionReachesTheTerminal() {
    Line line;
    line.port->InjectInput("RING\r\n");
    QTRY_COMPARE(line.terminal.Content(), std::string("RING\r\n"));
  }

  void UnreadInputDoesNotSpinTheEventLoop() {
    Line line;
    // Hex input without byte mode: a receive event reads nothing, so the
    // input stays waiting.
    line.a.Options.HexInput = 1;
    line.a.InputMode = 0;
    line.port->InjectInput("stays");
    const long long cpu = CpuMs();
    RunEventsFor(500);
    QVERIFY2(CpuMs() - cpu < 150, qPrintable(QString::number(CpuMs() - cpu)));
    QVERIFY(line.terminal.Content().empty());
  }

  void ProgressGoesToTheTopmostWindow() {
    CAdapter a;
    TestUi ui(a);
    ui.SetProgressText("nobody listens");  // no window: ignored
    {
      CWaitDlg outer(ui, nullptr);
      ui.SetProgressText("outer");
      {
        CWaitDlg inner(ui, nullptr);
        ui.SetProgressCaption("Wait");
        ui.SetProgressText("Disconnecting...");
        ui.SetProgressRange(0, 3);
        ui.SetProgressStep(1);
        ui.StepProgress();
        QCOMPARE(inner.Message(), QString("Disconnecting..."));
        QCOMPARE(inner.windowTitle(), QString("Wait"));
        QCOMPARE(inner.Bar().value(), 1);
        QCOMPARE(inner.Bar().maximum(), 3);
        QCOMPARE(outer.Message(), QString("outer"));
      }
      ui.SetProgressText("back");
      QCOMPARE(outer.Message(), QString("back"));
      // Steps never run past the end of the bar.
      ui.SetProgressRange(0, 1);
      ui.StepProgress();
      ui.StepProgress();
      QCOMPARE(outer.Bar().value(), 1);
    }
    ui.StepProgress();
  }

  void ALostPortIsClosed() {
    Line line;
    QCOMPARE(line.a.LinkState, int(LS_PORT_OPEN));
    line.port->LoseDevice();
    QTRY_COMPARE(line.a.LinkState, int(LS_IDLE));
    QVERIFY(line.terminal.Content().find("went away") != std::string::npos);
  }
};

QTEST_MAIN(QtUserInterfaceTest)
#include "qt_user_interface_test.moc"
