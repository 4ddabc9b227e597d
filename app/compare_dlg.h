#pragma once
// CCompareDlg: the differences between the configuration in the window and
// a profile file, page by page in the pages' own words (page, setting, the
// value here, the value in the file). A filter narrows the list; Copy and
// "Save as HTML" give what is listed; "Take the File's Values" copies the
// file's values into the configuration for the page of the selected row or
// for all pages. Nothing here talks to the modem.

#include <QDialog>

#include <vector>

#include "config/page_words.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kelvane {

class ProfileComparison;
class QtUserInterface;

class CCompareDlg : public QDialog {
  Q_OBJECT

 public:
  CCompareDlg(ProfileComparison& comparison, QtUserInterface& ui, QWidget* parent = nullptr);

  // The differences the list shows (after the filter), in its order.
  const std::vector<WordsDifference>& ShownRows() const { return shown_; }
  void SetFilter(const QString& text);

  void OnCopy();
  void OnSaveHtml();
  void OnTakePage();
  void OnTakeAll();

  QTreeWidget* List() const { return list_; }
  QLineEdit* FilterEdit() const { return filter_; }
  QPushButton* TakePageButton() const { return takePage_; }
  QPushButton* TakeAllButton() const { return takeAll_; }
  QGroupBox* PageGroup() const { return pageGroup_; }
  QLabel* Summary() const { return summary_; }

 protected:
  // The columns follow the list's width.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Compares anew and shows the rows that pass the filter; the row of
  // `keepPage` (or the first) becomes current.
  void Refresh(int keepPage = -1);
  void ShowRows(int keepPage);
  void OnCurrentRowChanged();
  void FitColumns();
  std::string FileNameUtf8() const;

  ProfileComparison& comparison_;
  QtUserInterface& ui_;
  std::vector<WordsDifference> rows_;
  std::vector<WordsDifference> shown_;
  QLabel* summary_;
  QLineEdit* filter_;
  QTreeWidget* list_;
  QGroupBox* pageGroup_;
  QPushButton* takePage_;
  QPushButton* takeAll_;
  QPushButton* copy_;
  QPushButton* saveHtml_;
};

}  // namespace kelvane
