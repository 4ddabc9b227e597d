#pragma once
// ProfileComparison: the configuration in the window compared with a profile
// file. It loads the file with the profile loader, lists the fields that
// differ on the pages that were read (or belong to an open profile), marks
// the controls that show them, and takes the file's values into the records
// on request. Nothing of it talks to the modem.
//
// A page's comparison ends with the next read or write of its section, and
// the whole comparison with the next connect, Open or New Profile: from then
// on the record no longer holds what was compared.

#include <QObject>
#include <QString>

#include <set>
#include <string>
#include <vector>

#include "ui/qt_user_interface.h"
#include "config/page_words.h"

namespace kelvane {

class CConfigPage;
class CPropSheet;

class ProfileComparison : public QObject {
  Q_OBJECT

 public:
  ProfileComparison(QtUserInterface& ui, CPropSheet& sheet, QObject* parent = nullptr);
  ~ProfileComparison() override;

  // A comparison can start: a profile is open, or the modem is identified
  // and at least one of its pages has been read.
  bool Available() const;
  // Loads the profile at `path` (any problem is shown as Open Profile shows
  // it) and compares it with the records; the controls that differ are
  // marked. False when the file could not be loaded; an earlier comparison
  // then stays as it was.
  bool Start(const std::string& path);
  bool Active() const { return !pages_.empty(); }

  // The file's name as the dialog, the marks and the saved page show it.
  QString FileName() const { return fileName_; }
  // Every field that differs, page by page in the sheet's order, on the
  // pages still compared; a field the page does not show (dial backup of
  // another model type) is left out.
  std::vector<WordsDifference> Differences() const;
  // The titles of the pages present that were not compared because they
  // had not been read.
  QStringList PagesNotCompared() const;
  // How many of the differences are in values no page shows (unused bytes,
  // hidden service data), which the list leaves out.
  int UnlistedDifferences() const;

  // Copies the file's values of the differing fields of one page (or of
  // every compared page) into the records; the page refills its controls
  // and shows its change marker as after an edit. The number of fields taken.
  int TakeFileValues(int pageIndex);
  int TakeAllFileValues();

  // Ends the comparison of the pages of `sections` (a read or write of
  // them), or of every page.
  void EndSections(int sections);
  void End();

 private:
  CConfigPage* Page(int pageIndex) const;
  // Marks the controls of a page anew from the differences.
  void MarkPage(int pageIndex);
  void OnTransferRan(int operation, int sections);
  void OnRecordStored();

  QtUserInterface& ui_;
  CAdapter& a_;
  CPropSheet& sheet_;
  ConfigBlock file_{};
  QString fileName_;
  std::set<int> pages_;  // the pages whose comparison holds
};

}  // namespace kelvane
