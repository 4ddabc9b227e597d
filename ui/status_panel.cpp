#include "ui/status_panel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>

#include "ui/tool_settings.h"

namespace kelvane {

namespace {

QLabel* MakeIndicator(const QString& name, QWidget* parent) {
  auto* label = new QLabel(name, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameShape(QFrame::StyledPanel);
  label->setFrameShadow(QFrame::Sunken);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("DSR")) + 14);
  label->setEnabled(false);
  label->setToolTip(name == QLatin1String("CD") ? QStringLiteral("Carrier detect")
                    : name == QLatin1String("CTS") ? QStringLiteral("Clear to send")
                                                   : QStringLiteral("Data set ready"));
  return label;
}

// The panel reads as a status bar whose name is the text it shows, so a
// screen reader can read the change markers and hears when they change.
class StatusPanelAccessible : public QAccessibleWidget {
 public:
  explicit StatusPanelAccessible(CStatusPanel* panel) : QAccessibleWidget(panel, QAccessible::StatusBar) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return static_cast<const CStatusPanel*>(widget())->Text();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* StatusPanelAccessibleFactory(const QString&, QObject* object) {
  auto* panel = qobject_cast<CStatusPanel*>(object);
  return panel ? new StatusPanelAccessible(panel) : nullptr;
}

}  // namespace

CStatusPanel::CStatusPanel(QWidget* parent) : QWidget(parent), text_(VersionString()) {
  // A sans-serif of 14 pixels; the system's general font where there is none.
  QAccessible::installFactory(StatusPanelAccessibleFactory);
  font_ = QFont(QStringLiteral("Arial"));
  font_.setPixelSize(14);
  font_.setWeight(QFont::Normal);
  if (!QFontInfo(font_).exactMatch() && QFontInfo(font_).family() != QLatin1String("Arial")) {
    font_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font_.setPixelSize(14);
  }

  cts_ = MakeIndicator(QStringLiteral("CTS"), this);
  dsr_ = MakeIndicator(QStringLiteral("DSR"), this);
  cd_ = MakeIndicator(QStringLiteral("CD"), this);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 2, 4, 2);
  row->setSpacing(3);
  row->addStretch(1);
  row->addWidget(cts_);
  row->addWidget(dsr_);
  row->addWidget(cd_);
}

QSize CStatusPanel::sizeHint() const {
  const int h = std::max(QFontMetrics(font_).height(), cts_->sizeHint().height()) + 6;
  return {400, h};
}

void CStatusPanel::SetText(const QString& text) {
  const QString before = Text();
  text_ = text;
  showsVersion_ = false;
  Changed(before);
}

void CStatusPanel::SetNote(const QString& note) {
  const QString before = Text();
  // The version gives way to the first thing there is to say.
  if (showsVersion_) text_.clear();
  showsVersion_ = false;
  note_ = note;
  Changed(before);
}

QString CStatusPanel::Text() const {
  // The markers end in a blank of their own.
  if (note_.isEmpty() || text_.isEmpty() || text_.endsWith(QLatin1Char(' '))) return text_ + note_;
  return text_ + QLatin1Char(' ') + note_;
}

void CStatusPanel::Changed(const QString& before) {
  UpdateTip();
  repaint();
  if (Text() != before) {
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
  }
}

void CStatusPanel::SetIndicators(bool cts, bool dsr, bool cd) {
  cts_->setEnabled(cts);
  dsr_->setEnabled(dsr);
  cd_->setEnabled(cd);
}

QRect CStatusPanel::TextArea() const {
  // The text ends before the indicators.
  const int right = cts_->geometry().left() - 8;
  return {10, 0, std::max(0, right - 10), height()};
}

QFont CStatusPanel::FittingFont() const {
  // All six change markers are wider than a small window's panel: they are
  // drawn smaller before anything is cut.
  const int width = TextArea().width();
  QFont font = font_;
  const QString text = Text();
  while (font.pixelSize() > 10 && QFontMetrics(font).horizontalAdvance(text) > width) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  return font;
}

void CStatusPanel::UpdateTip() {
  const QString tip = FittingFont().pixelSize() < font_.pixelSize() ? Text().simplified() : QString();
  if (toolTip() != tip) setToolTip(tip);
}

void CStatusPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateTip();
}

void CStatusPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFont font = FittingFont();
  p.setFont(font);
  p.setPen(palette().color(QPalette::WindowText));
  const QRect area = TextArea();
  const QString shown = QFontMetrics(font).elidedText(Text(), Qt::ElideRight, area.width());
  p.drawText(area, Qt::AlignVCenter | Qt::AlignLeft, shown);
}

}  // namespace kelvane
