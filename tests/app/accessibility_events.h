#pragma once
// The accessibility events the window sends, recorded as a screen reader's
// bridge would receive them. The offscreen platform has no bridge, so Qt
// sends none unless accessibility is switched on for the platform, as this
// does while it lives.

#include <QAccessible>

#include <vector>

namespace kelvane::testing {

class AccessibilityEvents {
 public:
  AccessibilityEvents();
  ~AccessibilityEvents();
  AccessibilityEvents(const AccessibilityEvents&) = delete;
  AccessibilityEvents& operator=(const AccessibilityEvents&) = delete;

  // How many events of this kind were sent for this object, or for this
  // interface (one that has no object of its own).
  int Count(const QObject* object, QAccessible::Event type) const;
  int Count(QAccessibleInterface* iface, QAccessible::Event type) const;
  void Clear();

 private:
  static void Record(QAccessibleEvent* event);
  struct Sent {
    const QObject* object;
    QAccessibleInterface* iface;
    QAccessible::Event type;
  };
  static std::vector<Sent>& Events();
  QAccessible::UpdateHandler previous_;
};

}  // namespace kelvane::testing
