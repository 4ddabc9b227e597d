#include "accessibility_events.h"

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <algorithm>

namespace kelvane::testing {

namespace {

void SetPlatformActive(bool active) {
  if (QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration()) {
    if (QPlatformAccessibility* accessibility = platform->accessibility()) accessibility->setActive(active);
  }
}

}  // namespace

AccessibilityEvents::AccessibilityEvents() : previous_(QAccessible::installUpdateHandler(&Record)) {
  Events().clear();
  SetPlatformActive(true);
}

AccessibilityEvents::~AccessibilityEvents() {
  SetPlatformActive(false);
  QAccessible::installUpdateHandler(previous_);
  Events().clear();
}

std::vector<AccessibilityEvents::Sent>& AccessibilityEvents::Events() {
  static std::vector<Sent> events;
  return events;
}

void AccessibilityEvents::Record(QAccessibleEvent* event) {
  Events().push_back({event->object(), event->object() ? nullptr : event->accessibleInterface(), event->type()});
}

int AccessibilityEvents::Count(const QObject* object, QAccessible::Event type) const {
  return static_cast<int>(std::count_if(Events().begin(), Events().end(), [&](const Sent& s) {
    return s.object == object && s.type == type;
  }));
}

int AccessibilityEvents::Count(QAccessibleInterface* iface, QAccessible::Event type) const {
  return static_cast<int>(std::count_if(Events().begin(), Events().end(), [&](const Sent& s) {
    return s.iface == iface && s.type == type;
  }));
}

void AccessibilityEvents::Clear() { Events().clear(); }

}  // namespace kelvane::testing
