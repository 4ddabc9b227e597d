#pragma once
// The strip along the bottom of the main window: one line of text (the
// version at first, then the change markers) and the CTS, DSR and CD
// indicators on the right.

#include <QLabel>
#include <QWidget>

namespace kelvane {

class CStatusPanel : public QWidget {
  Q_OBJECT

 public:
  explicit CStatusPanel(QWidget* parent = nullptr);

  // What the panel shows: the change markers (or the version at first),
  // then the note.
  QString Text() const;
  QString Markers() const { return text_; }
  QString Note() const { return note_; }
  // Where the text goes: from the left edge to the indicators.
  QRect TextArea() const;
  // The panel's font, made smaller (down to 10 pixels) until the text fits.
  QFont FittingFont() const;
  // Replaces the change markers and repaints at once; the note stays.
  void SetText(const QString& text);
  // What the last command did ("Profile saved to station8.dat."), after the
  // markers, until the next note replaces it; empty: none.
  void SetNote(const QString& note);
  void SetIndicators(bool cts, bool dsr, bool cd);

  // For tests and the screenshots: whether an indicator is lit.
  bool CtsOn() const { return cts_->isEnabled(); }
  bool DsrOn() const { return dsr_->isEnabled(); }
  bool CdOn() const { return cd_->isEnabled(); }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The whole text as the tooltip while it is drawn smaller than usual.
  void UpdateTip();
  void Changed(const QString& before);
  QString text_;
  QString note_;
  bool showsVersion_ = true;
  QFont font_;
  QLabel* cts_;
  QLabel* dsr_;
  QLabel* cd_;
};

}  // namespace kelvane
