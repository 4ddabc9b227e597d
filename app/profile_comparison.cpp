#include "app/profile_comparison.h"

#include <QFileInfo>

#include <algorithm>
#include <map>

#include "app/field_mark.h"
#include "app/prop_sheet.h"
#include "ui/transfer_dlg.h"
#include "config/field_copy.h"
#include "config/profile.h"
#include "pages/config_page.h"
#include "pages/entry_edits.h"

namespace kelvane {

namespace {

// The pages that show a part of the block (the Diagnostic page shows none).
constexpr int kRecordPages[] = {PG_BASIC, PG_SERIAL, PG_DIAL, PG_CALLERID, PG_REMOTE, PG_CALLBACK, PG_IO};

}  // namespace

ProfileComparison::ProfileComparison(QtUserInterface& ui, CPropSheet& sheet, QObject* parent)
    : QObject(parent), ui_(ui), a_(ui.Adapter()), sheet_(sheet) {
  connect(&ui_, &QtUserInterface::TransferRan, this, &ProfileComparison::OnTransferRan);
}

ProfileComparison::~ProfileComparison() = default;

CConfigPage* ProfileComparison::Page(int pageIndex) const {
  return qobject_cast<CConfigPage*>(sheet_.Page(pageIndex));
}

bool ProfileComparison::Available() const {
  if (a_.Busy) return false;
  const bool profile = a_.LinkState & LS_FILE;
  if (!profile && !(a_.LinkState & LS_IDENTIFIED)) return false;
  return std::any_of(std::begin(kRecordPages), std::end(kRecordPages), [&](int index) {
    return Page(index) && (profile || a_.Page(index).valid);
  });
}

bool ProfileComparison::Start(const std::string& path) {
  ConfigBlock loaded;
  FileProblem problem;
  size_t size = 0;
  if (!LoadProfileFile(path, loaded, problem, &size)) {
    ui_.MessageBoxWithDetail(problem.message, problem.detail, MsgIcon::Warning, MsgButtons::Ok);
    return false;
  }
  // The sections a short file lacks hold defaults, which would show as
  // differences the file never stated.
  if (const auto note = ShortProfileNote(path, size)) {
    ui_.MessageBoxWithDetail(note->message, note->detail, MsgIcon::Warning, MsgButtons::Ok);
  }
  End();
  file_ = loaded;
  fileName_ = QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).fileName();
  const bool profile = a_.LinkState & LS_FILE;
  for (int index : kRecordPages) {
    CConfigPage* page = Page(index);
    if (!page || !(profile || a_.Page(index).valid)) continue;
    pages_.insert(index);
    // An edit that brings a value to the file's (or away from it) moves the mark.
    connect(page, &CConfigPage::RecordStored, this, &ProfileComparison::OnRecordStored, Qt::UniqueConnection);
  }
  for (int index : pages_) MarkPage(index);
  return true;
}

std::vector<WordsDifference> ProfileComparison::Differences() const {
  std::vector<WordsDifference> rows;
  if (pages_.empty()) return rows;
  for (WordsDifference& d : CompareInWords(a_.Config, file_)) {
    if (!pages_.count(d.here.pageIndex)) continue;
    CConfigPage* page = Page(d.here.pageIndex);
    if (!page) continue;
    QWidget* control = page->ControlForField(d.here.name);
    if (control && !control->isVisibleTo(page)) continue;
    rows.push_back(std::move(d));
  }
  std::stable_sort(rows.begin(), rows.end(), [this](const WordsDifference& x, const WordsDifference& y) {
    return sheet_.indexOf(Page(x.here.pageIndex)) < sheet_.indexOf(Page(y.here.pageIndex));
  });
  return rows;
}

QStringList ProfileComparison::PagesNotCompared() const {
  QStringList titles;
  if (pages_.empty()) return titles;
  for (int i = 0; i < sheet_.count(); ++i) {
    for (int index : kRecordPages) {
      if (sheet_.widget(i) == Page(index) && !pages_.count(index)) titles << sheet_.tabText(i);
    }
  }
  return titles;
}

int ProfileComparison::UnlistedDifferences() const {
  if (pages_.empty()) return 0;
  const auto all = CompareInWords(a_.Config, file_);
  return static_cast<int>(
      std::count_if(all.begin(), all.end(), [](const WordsDifference& d) { return d.here.pageIndex == kNotShownPage; }));
}

void ProfileComparison::MarkPage(int pageIndex) {
  CConfigPage* page = Page(pageIndex);
  if (!page) return;
  CFieldMark::ClearAll(page);
  if (!pages_.count(pageIndex)) return;
  // A control may show several fields (the compression pair, an I/O
  // entry's service data): one note names them all.
  std::map<QWidget*, std::vector<const WordsDifference*>> byControl;
  const std::vector<WordsDifference> rows = Differences();
  for (const WordsDifference& d : rows) {
    if (d.here.pageIndex != pageIndex) continue;
    if (QWidget* control = page->ControlForField(d.here.name)) byControl[control].push_back(&d);
  }
  const QString in = QStringLiteral("In %1: ").arg(fileName_);
  for (const auto& [control, fields] : byControl) {
    const bool oneValue = std::all_of(fields.begin(), fields.end(),
                                      [&](const WordsDifference* d) { return d->there == fields.front()->there; });
    QStringList lines;
    if (oneValue) {
      lines << in + Latin1Text(fields.front()->there);
    } else {
      for (const WordsDifference* d : fields) lines << in + Latin1Text(d->here.caption + ": " + d->there);
    }
    CFieldMark::Set(control, lines.join(QLatin1Char('\n')));
  }
}

int ProfileComparison::TakeFileValues(int pageIndex) {
  CConfigPage* page = Page(pageIndex);
  if (!page || !pages_.count(pageIndex) || a_.Busy) return 0;
  // A page not shown since its record was read or loaded takes that record
  // as unchanged first, so the values taken now count as changes. With the
  // record valid this reads nothing.
  PageState& s = page->State();
  if (s.reloadPending || (s.refreshing && s.valid)) page->OnSetActive();
  int taken = 0;
  for (const WordsDifference& d : Differences()) {
    if (d.here.pageIndex == pageIndex && CopyFieldValue(file_, a_.Config, d.here.name)) ++taken;
  }
  if (taken == 0) return 0;
  page->RefillControls();
  // The usual change tracking: the controls go back into the record (with
  // the page's own rules) and the change marker follows.
  page->SyncFromControls();
  MarkPage(pageIndex);
  return taken;
}

int ProfileComparison::TakeAllFileValues() {
  int taken = 0;
  const std::set<int> pages = pages_;
  for (int index : pages) taken += TakeFileValues(index);
  return taken;
}

void ProfileComparison::EndSections(int sections) {
  for (auto it = pages_.begin(); it != pages_.end();) {
    CConfigPage* page = Page(*it);
    if (page && !(page->SectionBit() & sections)) {
      ++it;
      continue;
    }
    if (page) CFieldMark::ClearAll(page);
    it = pages_.erase(it);
  }
}

void ProfileComparison::End() { EndSections(SEC_ALL); }

void ProfileComparison::OnTransferRan(int operation, int sections) {
  switch (operation) {
    case OP_READ:
    case OP_WRITE: EndSections(sections); break;
    // Another link (or new firmware) and the records no longer stand for
    // what was compared.
    case OP_CONNECT:
    case OP_REMOTE_CONNECT:
    case OP_FLASH: End(); break;
    default: break;
  }
}

void ProfileComparison::OnRecordStored() {
  if (auto* page = qobject_cast<CConfigPage*>(sender())) MarkPage(page->PageIndex());
}

}  // namespace kelvane
