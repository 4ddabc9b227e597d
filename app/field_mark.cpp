#include "app/field_mark.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QTextDocumentFragment>
#include <QToolTip>

#include "controls/tip_text.h"

namespace kelvane {

CFieldMark::CFieldMark(QWidget* control, const QString& note)
    : QWidget(control), control_(control), description_(control->accessibleDescription()) {
  setObjectName(QStringLiteral("FieldMark"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(control->rect());
  control->installEventFilter(this);
  SetNote(note);
  raise();
  show();
}

CFieldMark::~CFieldMark() = default;

void CFieldMark::Remove() {
  control_->removeEventFilter(this);
  control_->setAccessibleDescription(description_);
  delete this;
}

CFieldMark* CFieldMark::Of(const QWidget* control) {
  return control ? control->findChild<CFieldMark*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

CFieldMark* CFieldMark::Set(QWidget* control, const QString& note) {
  if (!control) return nullptr;
  if (CFieldMark* mark = Of(control)) {
    mark->SetNote(note);
    return mark;
  }
  return new CFieldMark(control, note);
}

void CFieldMark::ClearAll(QWidget* area) {
  if (!area) return;
  for (CFieldMark* mark : area->findChildren<CFieldMark*>()) mark->Remove();
}

void CFieldMark::SetNote(const QString& note) {
  note_ = note;
  // A screen reader tells the note with the control.
  control_->setAccessibleDescription(description_.isEmpty() ? note : description_ + QLatin1Char('\n') + note);
  update();
}

QString CFieldMark::TipText() const {
  QString own = control_->toolTip();
  // A long page tip is laid out as rich text; the note joins its words.
  if (Qt::mightBeRichText(own)) own = QTextDocumentFragment::fromHtml(own).toPlainText();
  return LimitedTipText(own.isEmpty() ? note_ : own + QLatin1Char('\n') + note_, 300);
}

void CFieldMark::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // A light wash as well as the frame: a frame alone looks like the focus.
  QColor wash = palette().color(QPalette::Highlight);
  wash.setAlpha(56);
  painter.fillRect(rect(), wash);
  QPen pen(palette().color(QPalette::Highlight));
  pen.setWidth(2);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

bool CFieldMark::eventFilter(QObject* watched, QEvent* event) {
  if (watched == control_) {
    switch (event->type()) {
      case QEvent::Resize: setGeometry(control_->rect()); break;
      case QEvent::ChildAdded: raise(); break;
      case QEvent::ToolTip:
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), TipText(), control_);
        return true;
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kelvane
