#include "ui/tool_settings.h"

#include <QSettings>

#include <algorithm>

namespace kelvane {

namespace {

// The stored options in their stored order, with their defaults.
struct StoredOption {
  const char* name;
  int32_t ToolOptions::*member;
  int32_t fallback;
};

constexpr StoredOption kStoredOptions[] = {
    {"Tooltip", &ToolOptions::Tooltip, 1},
    {"Terminal", &ToolOptions::Terminal, 1},
    {"Debug", &ToolOptions::Debug, 0},
    {"AutoLoad", &ToolOptions::AutoLoad, 1},
    {"AutoDisconnect", &ToolOptions::AutoDisconnect, 0},
    {"SearchPorts", &ToolOptions::SearchPorts, 1},
    {"NumberOfPorts", &ToolOptions::NumberOfPorts, 15},
    {"userAutoConnect", &ToolOptions::userAutoConnect, 0},
    {"FlowControl", &ToolOptions::FlowControl, 0},
    {"DTREnable", &ToolOptions::DTREnable, 1},
    {"RTSEnable", &ToolOptions::RTSEnable, 1},
    {"DelayBeforeAT", &ToolOptions::DelayBeforeAT, 0},
    {"ResponseTimeout", &ToolOptions::ResponseTimeout, 1},
};

int32_t ReadInt(QSettings& settings, const char* name, int32_t fallback) {
  const QVariant v = settings.value(QString::fromLatin1(name));
  if (!v.isValid()) return fallback;
  bool ok = false;
  const qlonglong n = v.toString().trimmed().toLongLong(&ok);
  if (!ok || n < INT32_MIN || n > INT32_MAX) return fallback;
  return static_cast<int32_t>(n);
}

}  // namespace

QString VersionString() {
  return QString::asprintf("%s %s %s (%s %s)", kProductName, kArticleNumber, kProductVersion, __DATE__,
                           __TIME__);
}

QSettings* OpenUserSettings() { return new QSettings(QStringLiteral("Dalmarin"), QStringLiteral("kelvane")); }

void LoadToolOptions(QSettings& settings, ToolOptions& options) {
  settings.beginGroup(QStringLiteral("Settings"));
  for (const StoredOption& o : kStoredOptions) options.*o.member = ReadInt(settings, o.name, o.fallback);
  settings.endGroup();
  options.HexInput = 0;

  // These select list items or set a pause before every command; an edited
  // store must not leave a list without a selection or stall each command.
  options.NumberOfPorts = std::clamp(options.NumberOfPorts, 0, 15);
  options.FlowControl = std::clamp(options.FlowControl, 0, 3);
  options.DelayBeforeAT = std::clamp(options.DelayBeforeAT, 0, 1000);
  // The time-out step is taken modulo the six slider positions.
  options.ResponseTimeout = ((options.ResponseTimeout % 6) + 6) % 6;
}

void SaveToolOptions(QSettings& settings, const ToolOptions& options) {
  settings.beginGroup(QStringLiteral("Settings"));
  for (const StoredOption& o : kStoredOptions) settings.setValue(QString::fromLatin1(o.name), options.*o.member);
  settings.endGroup();
  settings.sync();
}

}  // namespace kelvane
