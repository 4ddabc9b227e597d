#pragma once
// CFieldMark: the mark on a page control whose value differs from a compared
// profile file. A frame in the palette's highlight colour is drawn over the
// control's edge (the control keeps its own look and takes every click), and
// the control's tooltip gains the file's value ("In FILE: VALUE") for as long
// as the mark is there, whatever the page sets as its own tooltip meanwhile.

#include <QString>
#include <QWidget>

namespace kelvane {

class CFieldMark : public QWidget {
  Q_OBJECT

 public:
  // Marks `control` with `note`, or replaces the note of its mark.
  static CFieldMark* Set(QWidget* control, const QString& note);
  // The control's mark, or null.
  static CFieldMark* Of(const QWidget* control);
  // Removes every mark on `area` and the controls inside it.
  static void ClearAll(QWidget* area);

  ~CFieldMark() override;
  // Takes the mark off its control, which gets its own description back.
  void Remove();

  QString Note() const { return note_; }
  // What the tooltip shows: the control's own tooltip, then the note.
  QString TipText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CFieldMark(QWidget* control, const QString& note);
  void SetNote(const QString& note);

  QWidget* control_;
  QString note_;
  QString description_;  // the control's accessible description before the mark
};

}  // namespace kelvane
