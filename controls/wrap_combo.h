#pragma once
// A drop-down list whose closed box shows the chosen entry over as many
// lines as it has been given, wrapped at word boundaries, so long sentence
// entries stay readable in a narrow page. The open list is as wide as the
// entries.

#include <QComboBox>

namespace kelvane {

class CWrapComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit CWrapComboBox(int lines, QWidget* parent = nullptr);

  int LineCount() const { return lines_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSize WithLines(QSize oneLine) const;

  int lines_;
};

}  // namespace kelvane
