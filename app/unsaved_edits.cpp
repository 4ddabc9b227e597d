#include "app/unsaved_edits.h"

#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "app/prop_sheet.h"
#include "ui/qt_user_interface.h"
#include "ui/transfer_dlg.h"
#include "config/io_values.h"
#include "config/operation_hold.h"
#include "config/page_words.h"
#include "config/profile.h"
#include "pages/config_page.h"

namespace kelvane {

namespace {

// The pages that hold edits, in sheet order (Diagnostic edits nothing).
constexpr int kEditedPages[] = {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_REMOTE, PG_CALLBACK, PG_IO};

}  // namespace

std::vector<int> ChangedPages(const CAdapter& a) {
  std::vector<int> out;
  for (int page : kEditedPages) {
    if (a.pages[static_cast<size_t>(page)].changed) out.push_back(page);
  }
  return out;
}

QString PagesPhrase(const std::vector<int>& pages) {
  QStringList names;
  for (int page : pages) names << QString::fromStdString(PageTitle(page));
  if (names.isEmpty()) return {};
  if (names.size() == 1) return QStringLiteral("the %1 page").arg(names.front());
  const QString last = names.takeLast();
  return QStringLiteral("the %1 and %2 pages").arg(names.join(QStringLiteral(", ")), last);
}

UnsavedEdits::UnsavedEdits(QtUserInterface& ui, CPropSheet& sheet, QWidget* window)
    : ui_(ui), sheet_(sheet), window_(window) {}

QString UnsavedEdits::WriteQuestion(const std::vector<int>& pages, const char* doing) {
  return QStringLiteral("The changes on %1 are not written to the modem.\nWrite them before %2?")
      .arg(PagesPhrase(pages), QLatin1String(doing));
}

QString UnsavedEdits::SaveQuestion(const std::vector<int>& pages, const char* doing) {
  return QStringLiteral("The changes on %1 are not saved in a profile.\nSave them before %2?")
      .arg(PagesPhrase(pages), QLatin1String(doing));
}

QString UnsavedEdits::LossQuestion(const std::vector<int>& pages) {
  return QStringLiteral(
             "The modem went away before the changes on %1 were written.\n"
             "Save them as a profile, to write them once the modem is back?")
      .arg(PagesPhrase(pages));
}

bool UnsavedEdits::MayDrop(const char* doing) {
  CAdapter& a = ui_.Adapter();
  const std::vector<int> pages = ChangedPages(a);
  if (pages.empty()) return true;
  const bool connected = (a.LinkState & LS_IDENTIFIED) && a.PortIsOpen();
  MsgAnswer answer;
  {
    // Busy while the question is up: the pages stay, whatever the port does.
    BusyHold busy(a);
    answer = connected ? ui_.AskKeepEdits(WriteQuestion(pages, doing), QStringLiteral("&Write to Modem"), true)
                       : ui_.AskKeepEdits(SaveQuestion(pages, doing), QStringLiteral("&Save Profile..."), true);
  }
  switch (answer) {
    case MsgAnswer::Yes:
      // The modem may have gone while the question was up: the loss offer
      // follows, and the command waits for the technician.
      if (connected) return a.PortIsOpen() && WriteToModem(pages);
      return SaveAsProfile();
    case MsgAnswer::No:
      ClearMarkers();
      return true;
    default:
      return false;
  }
}

void UnsavedEdits::OfferAfterLoss() {
  CAdapter& a = ui_.Adapter();
  const std::vector<int> pages = ChangedPages(a);
  if (pages.empty() || (a.LinkState & LS_IDENTIFIED)) return;
  switch (ui_.AskKeepEdits(LossQuestion(pages), QStringLiteral("&Save Profile..."), false)) {
    case MsgAnswer::Yes: SaveAsProfile(); break;
    case MsgAnswer::No: ClearMarkers(); break;
    default: break;  // asked again before the edits are dropped
  }
}

bool UnsavedEdits::WriteToModem(const std::vector<int>& pages) {
  int sections = 0;
  for (int page : pages) {
    if (auto* config = qobject_cast<CConfigPage*>(sheet_.Page(page))) sections |= config->SectionBit();
  }
  // The I/O section's bit alone selects neither the parameters nor the
  // entries: the page's own Write covers both.
  if (sections & SEC_IO) sections |= kIoPageMask;
  CTransferDlg write(window_, ui_, sections, OP_WRITE);
  write.Run();
  sheet_.MarkPagesUnchanged(write.StoredSections());
  // A section the modem did not store keeps its marker (the write said
  // which), and the command waits.
  return ChangedPages(ui_.Adapter()).empty();
}

bool UnsavedEdits::SaveAsProfile() {
  if (SaveProfile(ui_.Adapter()) != 1) return false;
  ClearMarkers();
  return true;
}

void UnsavedEdits::ClearMarkers() {
  CAdapter& a = ui_.Adapter();
  sheet_.MarkPagesUnchanged(SEC_ALL);
  // Pages no longer in the sheet (the port went away) keep their flags.
  for (int page : kEditedPages) a.Page(page).changed = 0;
  a.UpdateChangeMarkers();
}

}  // namespace kelvane
