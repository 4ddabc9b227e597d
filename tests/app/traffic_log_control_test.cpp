#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "ui/port_provider.h"
#include "connection/ui/traffic_log_control.h"
#include "config/traffic_file_log.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::TestUi;

class TrafficLogControlTest : public QObject {
  Q_OBJECT

 private:
  // The control of the terminal pane with the run's port provider behind it.
  struct Pane {
    CAdapter a;
    TestUi ui{a};
    PortProvider ports;
    // As the main window does: the log is attached before the pane exists.
    bool attached = (ports.AttachTrafficLog(a), true);
    CTrafficLogControl control{a};
    QTemporaryDir dir;
    std::string Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
    // An exchange with the simulated modem on sim:2, through the adapter.
    void Exchange(const std::string& command) {
      ports.Select(a, "sim:2");
      a.PortNumber = "sim:2";
      a.BaudRate = "9600";
      a.Parity = "None";
      a.DataBits = "8";
      a.StopBits = "1";
      if (!a.PortIsOpen()) a.OpenAndIdentify(false);
      std::string c = command;
      a.Transact(c, 2, "OK");
    }
  };

  static QByteArray Contents(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

 private slots:
  void StartAndStopFromTheButtonLogsTheSessionBetween() {
    Pane p;
    const std::string path = p.Path("session.log");
    p.ui.fileAnswers.push_back(path);
    QVERIFY(!p.control.Button()->isChecked());
    p.control.Button()->click();
    QVERIFY(p.control.Logging());
    QVERIFY(p.control.Button()->isChecked());
    QCOMPARE(p.control.FileText(), QStringLiteral("session.log"));
    QCOMPARE(p.ui.fileRequests.size(), size_t(1));
    QCOMPARE(p.ui.fileRequests[0].promptOverwrite, false);

    p.Exchange("ATI3");
    p.control.Button()->click();
    QVERIFY(!p.control.Logging());
    QVERIFY(!p.control.Button()->isChecked());
    QCOMPARE(p.control.FileText(), QString());

    // Traffic after the stop is not logged.
    p.Exchange("ATI9");
    const QByteArray text = Contents(path);
    QVERIFY2(text.contains(" TX ATI3\\r\n"), text.constData());
    QVERIFY2(text.contains(" RX OK\\r\\n\n"), text.constData());
    QVERIFY(!text.contains("ATI9"));
    QVERIFY(text.contains("-- traffic log ended"));
  }

  void ALogStartedWhileConnectedSeesTheRestOfTheSession() {
    Pane p;
    p.Exchange("ATI3");
    p.ui.fileAnswers.push_back(p.Path("late.log"));
    QVERIFY(p.control.StartLogging());
    p.Exchange("ATI9");
    p.control.StopLogging();
    const QByteArray text = Contents(p.Path("late.log"));
    QVERIFY2(text.contains(" TX ATI9\\r\n"), text.constData());
    QVERIFY(!text.contains("ATI3"));
  }

  void CancelledOrRefusedFileLeavesTheLogOff() {
    Pane p;
    p.ui.fileAnswers.push_back(std::nullopt);
    p.control.Button()->click();
    QVERIFY(!p.control.Logging());
    QVERIFY(!p.control.Button()->isChecked());
    QVERIFY(p.ui.boxes.empty());

    p.ui.fileAnswers.push_back(p.Path("no-such-folder/x.log"));
    p.control.Button()->click();
    QVERIFY(!p.control.Logging());
    QVERIFY(!p.control.Button()->isChecked());
    QCOMPARE(p.ui.boxes.size(), size_t(1));
    QVERIFY(p.ui.boxes[0].text.find("no-such-folder/x.log") != std::string::npos);
  }

  void WithoutALogTheButtonIsDisabled() {
    CAdapter a;
    TestUi ui{a};
    CTrafficLogControl control{a};
    QVERIFY(!control.Button()->isEnabled());
    QVERIFY(!control.StartLogging());
    QVERIFY(ui.fileRequests.empty());
  }

  void TheProviderTakesItsLogBackWhenItGoes() {
    CAdapter a;
    {
      PortProvider ports;
      ports.Select(a, "sim:1");
      QVERIFY(a.TrafficFile == &ports.TrafficLog());
      QVERIFY(a.Port() != nullptr);
    }
    QVERIFY(a.TrafficFile == nullptr);
    QVERIFY(a.Port() == nullptr);
  }
};

QTEST_MAIN(TrafficLogControlTest)
#include "traffic_log_control_test.moc"
