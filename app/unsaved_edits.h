#pragma once
// The question a careful editor asks before it drops a technician's work:
// before a command that would discard the edits that the change markers
// show, and after the port went away under them.

#include <QString>

#include <memory>
#include <vector>

class QMessageBox;
class QWidget;

namespace kelvane {

class CAdapter;
class CPropSheet;
class QtUserInterface;

// The pages whose records differ from what was last read, loaded or
// written, in sheet order: the six with change markers and the Remote page,
// whose edits show no marker but are lost all the same.
std::vector<int> ChangedPages(const CAdapter& a);
// "the Basic page", "the Basic and Serial pages", "the Basic, Serial and I/O
// pages": the pages by their tab titles.
QString PagesPhrase(const std::vector<int>& pages);

class UnsavedEdits {
 public:
  UnsavedEdits(QtUserInterface& ui, CPropSheet& sheet, QWidget* window);

  // Before a command that drops the edits; `doing` ends the question ("Write
  // them before disconnecting?"). With a modem connected the edits may be
  // written to it, otherwise saved as a profile. True when the command may
  // go on: nothing was changed, the edits were written or saved, or the user
  // discarded them. A write or save that fails or is cancelled keeps the
  // edits and stops the command.
  bool MayDrop(const char* doing);
  // The port went away: while markers are shown, offers to save the edited
  // configuration as a profile, to be written once the modem is back.
  void OfferAfterLoss();

  // The questions' texts: connected (write to the modem), offline (save a
  // profile), after a loss.
  static QString WriteQuestion(const std::vector<int>& pages, const char* doing);
  static QString SaveQuestion(const std::vector<int>& pages, const char* doing);
  static QString LossQuestion(const std::vector<int>& pages);

 private:
  bool WriteToModem(const std::vector<int>& pages);
  bool SaveAsProfile();
  // The edits are kept in a file or dropped: no marker stays.
  void ClearMarkers();

  QtUserInterface& ui_;
  CPropSheet& sheet_;
  QWidget* window_;
};

}  // namespace kelvane
