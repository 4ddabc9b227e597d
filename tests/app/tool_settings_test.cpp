#include <QDateTime>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include "ui/tool_settings.h"
#include "test_ui.h"

using namespace kelvane;
using kelvane::testing::ScratchSettings;

class ToolSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstStartTakesEveryDefault() {
    ScratchSettings s;
    ToolOptions o;
    // Start from values that differ from every default.
    o.Tooltip = o.Terminal = o.AutoLoad = o.SearchPorts = o.DTREnable = o.RTSEnable = 7;
    o.Debug = o.AutoDisconnect = o.userAutoConnect = o.FlowControl = 3;
    o.NumberOfPorts = 2;
    o.DelayBeforeAT = 500;
    o.ResponseTimeout = 4;
    o.HexInput = 1;
    LoadToolOptions(*s.settings, o);
    QCOMPARE(o.Tooltip, 1);
    QCOMPARE(o.Terminal, 1);
    QCOMPARE(o.Debug, 0);
    QCOMPARE(o.AutoLoad, 1);
    QCOMPARE(o.AutoDisconnect, 0);
    QCOMPARE(o.SearchPorts, 1);
    QCOMPARE(o.NumberOfPorts, 15);
    QCOMPARE(o.userAutoConnect, 0);
    QCOMPARE(o.FlowControl, 0);
    QCOMPARE(o.DTREnable, 1);
    QCOMPARE(o.RTSEnable, 1);
    QCOMPARE(o.DelayBeforeAT, 0);
    QCOMPARE(o.ResponseTimeout, 1);
    QCOMPARE(o.HexInput, 0);
  }

  void SavingWritesAllThirteenUnderSettings() {
    ScratchSettings s;
    ToolOptions o;
    o.Debug = 1;
    o.HexInput = 1;
    o.NumberOfPorts = 0;
    o.DelayBeforeAT = 250;
    SaveToolOptions(*s.settings, o);
    s.settings->beginGroup("Settings");
    const QStringList keys = s.settings->childKeys();
    QCOMPARE(keys.size(), 13);
    for (const char* name : {"Tooltip", "Terminal", "Debug", "AutoLoad", "AutoDisconnect", "SearchPorts",
                             "NumberOfPorts", "userAutoConnect", "FlowControl", "DTREnable", "RTSEnable",
                             "DelayBeforeAT", "ResponseTimeout"}) {
      QVERIFY2(keys.contains(QLatin1String(name)), name);
    }
    QVERIFY(!keys.contains("HexInput"));
    QCOMPARE(s.settings->value("Debug").toInt(), 1);
    QCOMPARE(s.settings->value("NumberOfPorts").toInt(), 0);
    s.settings->endGroup();

    // And they come back as saved, apart from HexInput.
    ToolOptions back;
    LoadToolOptions(*s.settings, back);
    QCOMPARE(back.Debug, 1);
    QCOMPARE(back.NumberOfPorts, 0);
    QCOMPARE(back.DelayBeforeAT, 250);
    QCOMPARE(back.HexInput, 0);
  }

  void EditedValuesAreReadSafely() {
    ScratchSettings s;
    s.settings->beginGroup("Settings");
    s.settings->setValue("Tooltip", 2);              // kept: shows unchecked
    s.settings->setValue("Terminal", "yes");         // not a number: default
    s.settings->setValue("Debug", "99999999999999");  // out of range: default
    s.settings->setValue("NumberOfPorts", 40);
    s.settings->setValue("FlowControl", -2);
    s.settings->setValue("DelayBeforeAT", 5000);
    s.settings->setValue("ResponseTimeout", 7);
    s.settings->setValue("AutoLoad", " 0 ");
    s.settings->endGroup();
    ToolOptions o;
    LoadToolOptions(*s.settings, o);
    QCOMPARE(o.Tooltip, 2);
    QCOMPARE(o.Terminal, 1);
    QCOMPARE(o.Debug, 0);
    QCOMPARE(o.NumberOfPorts, 15);
    QCOMPARE(o.FlowControl, 0);
    QCOMPARE(o.DelayBeforeAT, 1000);
    QCOMPARE(o.ResponseTimeout, 1);  // taken modulo the six slider positions
    QCOMPARE(o.AutoLoad, 0);

    s.settings->setValue("Settings/DelayBeforeAT", -40);
    s.settings->setValue("Settings/ResponseTimeout", -1);
    LoadToolOptions(*s.settings, o);
    QCOMPARE(o.DelayBeforeAT, 0);
    QCOMPARE(o.ResponseTimeout, 5);
  }

  void VersionTextHasTheConstantsAndTheBuildTime() {
    const QString v = VersionString();
    QVERIFY2(QRegularExpression(R"(^Dalmarin Kelvane 6310\.2774 2\.09 \([A-Z][a-z]{2} [ 0-9]\d \d{4} \d\d:\d\d:\d\d\)$)")
                 .match(v)
                 .hasMatch(),
             qPrintable(v));
    // The build date and time, as the compiler writes them.
    const QString stamp = v.section('(', 1).chopped(1).simplified();
    QVERIFY2(QDateTime::fromString(stamp, "MMM d yyyy hh:mm:ss").isValid(), qPrintable(stamp));
  }
};

QTEST_MAIN(ToolSettingsTest)
#include "tool_settings_test.moc"
