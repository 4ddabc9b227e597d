#include "pages/config_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <cstring>

#include "ui/transfer_dlg.h"
#include "config/basic_values.h"
#include "config/entry_rules.h"
#include "config/field_table.h"
#include "config/operation_hold.h"
#include "config/page_values.h"
#include "config/remote_values.h"
#include "ui/wait_dlg.h"
#include "controls/bitmaps.h"
#include "controls/image_button.h"
#include "controls/tip_text.h"
#include "pages/entry_edits.h"

namespace kelvane {

CConfigPage::CConfigPage(QtUserInterface& ui, int pageIndex, QWidget* parent)
    : CConfigPage(ui, *SectionOfPage(pageIndex), parent) {}

CConfigPage::CConfigPage(QtUserInterface& ui, const SectionInfo& section, QWidget* parent)
    : QWidget(parent),
      ui_(ui),
      a_(ui.Adapter()),
      pageIndex_(section.page),
      sectionBit_(section.bit),
      record_(section.size ? reinterpret_cast<unsigned char*>(&a_.Config) + section.offset : nullptr),
      recordSize_(section.size),
      snapshot_(section.size, 0),
      pageName_(QString::fromUtf8(section.pageName)),
      tooltipsOn_(a_.Options.Tooltip == 1) {}

CConfigPage::~CConfigPage() = default;

CConfigPage::PageOperation::PageOperation(CConfigPage& page)
    : sheet_(page.ui_.Sheet()), alive_(dynamic_cast<QObject*>(sheet_)) {
  if (alive_) sheet_->BeginPageOperation();
}

CConfigPage::PageOperation::~PageOperation() {
  if (alive_) sheet_->EndPageOperation();
}

// --- change tracking -------------------------------------------------------

void CConfigPage::MarkUnchanged() {
  if (recordSize_ > 0 && record_) std::memcpy(snapshot_.data(), record_, recordSize_);
  State().changed = 0;
  a_.UpdateChangeMarkers();
}

bool CConfigPage::RecordDiffers() const {
  if (recordSize_ == 0 || !record_) return false;
  const SectionInfo& section = *SectionOfPage(pageIndex_);
  const std::size_t size = section.compareSize ? section.compareSize : recordSize_;
  return RecordsDiffer(record_, snapshot_.data(), size, section.compareUnit);
}

void CConfigPage::SyncFromControls() {
  const PageState& s = a_.Page(pageIndex_);
  if (s.refreshing || s.reloadPending || filling_ > 0) return;
  StoreControls();
  const uint8_t now = RecordDiffers() ? 1 : 0;
  if (now != State().changed) {
    State().changed = now;
    a_.UpdateChangeMarkers();
  }
  emit RecordStored();
}

void CConfigPage::RefillControls() {
  ++filling_;
  LoadControls();
  --filling_;
}

// --- activation and the three buttons --------------------------------------

void CConfigPage::OnSetActive() {
  PageOperation hold(*this);
  const bool offline = a_.LinkState & LS_FILE;
  EnableButtons(offline);
  tooltipsOn_ = a_.Options.Tooltip == 1;
  ApplyTooltips();

  PageState& s = State();
  if (s.reloadPending) {
    // The record now holds a profile: it is shown, and it can be edited even
    // where an earlier read had failed.
    SetValueControlsEnabled(true);
    RefillControls();
    if (offline) MarkUnchanged();
  } else if (s.refreshing) {
    SetValueControlsEnabled(true);
    const bool ok = s.valid || RunTransfer(OP_READ, sectionBit_) == 1;
    if (ok) {
      RefillControls();
      MarkUnchanged();
    } else {
      SetValueControlsEnabled(false);
    }
  }
  s.refreshing = 0;
  s.reloadPending = 0;
  // Enabling the value controls may have enabled Write buttons among them.
  if (offline) EnableButtons(true);
}

void CConfigPage::EnableButtons(bool offline) {
  // Write buttons that are value controls of this page stay disabled after a
  // failed read.
  auto isValueControl = [this](QWidget* w) {
    return std::find(valueControls_.begin(), valueControls_.end(), w) != valueControls_.end();
  };
  if (read_) read_->setEnabled(!offline);
  for (CImageButton* b : {write_, writeAll_}) {
    if (b) b->setEnabled(!offline && (valueControlsEnabled_ || !isValueControl(b)));
  }
}

void CConfigPage::OnRead() {
  PageOperation hold(*this);
  SyncFromControls();
  PageState& s = State();
  s.refreshing = 1;
  SetValueControlsEnabled(true);
  if (RunTransfer(OP_READ, sectionBit_) == 1) {
    RefillControls();
    MarkUnchanged();
  } else {
    SetValueControlsEnabled(false);
  }
  s.refreshing = 0;
}

void CConfigPage::OnWrite() {
  PageOperation hold(*this);
  SyncFromControls();
  // An edit that the modem did not store keeps its change marker.
  if (RunTransfer(OP_WRITE, sectionBit_) == 1) MarkUnchanged();
}

void CConfigPage::OnWriteAll() {
  PageOperation hold(*this);
  SyncFromControls();
  int stored = 0;
  RunTransfer(OP_WRITE, SEC_ALL, &stored);
  MarkSheetUnchanged(parentWidget(), this, stored);
}

void CConfigPage::MarkSheetUnchanged(QWidget* container, CConfigPage* also, int storedSections) {
  // Every page of the sheet was part of the write, not only the one whose
  // button was pressed. A page that was skipped (never read), or a write
  // that was declined or halted, leaves its edits marked: they are not in
  // the modem.
  auto mark = [storedSections](CConfigPage* page) {
    if (page->SectionBit() & storedSections) page->MarkUnchanged();
  };
  if (container) {
    for (CConfigPage* page : container->findChildren<CConfigPage*>(Qt::FindDirectChildrenOnly)) {
      if (page != also) mark(page);
    }
  }
  if (also) mark(also);
}

// --- controls --------------------------------------------------------------

void CConfigPage::SetValueControlsEnabled(bool enabled) {
  valueControlsEnabled_ = enabled;
  for (QWidget* w : valueControls_) w->setEnabled(enabled);
  // A combo that cannot show its record's value stays off.
  for (const Binding& b : bindings_) {
    if (b.combo && b.unshown) b.combo->setEnabled(false);
  }
}

void CConfigPage::ShowsField(const std::string& name, QWidget* control) {
  if (control) fieldControls_[name] = control;
}

QWidget* CConfigPage::ControlForField(const std::string& name) const {
  const auto it = fieldControls_.find(name);
  return it == fieldControls_.end() ? nullptr : it->second;
}

void CConfigPage::AddValueControl(QWidget* control) {
  if (control) valueControls_.push_back(control);
}

void CConfigPage::Watch(QComboBox* combo) {
  connect(combo, &QComboBox::currentIndexChanged, this, [this] { SyncFromControls(); });
  if (combo->isEditable()) {
    connect(combo, &QComboBox::editTextChanged, this, [this] { SyncFromControls(); });
  }
}

void CConfigPage::Watch(QLineEdit* edit) {
  connect(edit, &QLineEdit::textChanged, this, [this] { SyncFromControls(); });
}

void CConfigPage::Watch(QAbstractButton* button) {
  if (button->isCheckable()) {
    connect(button, &QAbstractButton::toggled, this, [this] { SyncFromControls(); });
  } else {
    connect(button, &QAbstractButton::clicked, this, [this] { SyncFromControls(); });
  }
}

void CConfigPage::Watch(QSpinBox* spin) {
  connect(spin, &QSpinBox::valueChanged, this, [this] { SyncFromControls(); });
}

QWidget* CConfigPage::CreateButtonGroups() {
  auto* area = new QWidget(this);
  auto makeButton = [](QWidget* parent, const QString& text, int bitmap) {
    auto* b = new CImageButton(text, parent);
    b->SetLayout(kImageButtonDefaultLayout);
    b->SetBitmap(bitmap, QColor(0xFF, 0x00, 0xFF));
    b->setMinimumSize(76, 30);
    b->setAutoDefault(false);
    return b;
  };

  auto* own = new QGroupBox(pageName_ + QStringLiteral(" page"), area);
  read_ = makeButton(own, QStringLiteral("Read"), IDB_READ);
  read_->setObjectName(QStringLiteral("Read"));
  write_ = makeButton(own, QStringLiteral("Write"), IDB_WRITE_PAGE);
  write_->setObjectName(QStringLiteral("Write"));
  auto* ownRow = new QHBoxLayout(own);
  ownRow->setContentsMargins(6, 4, 6, 6);
  ownRow->setSpacing(4);
  ownRow->addWidget(read_);
  ownRow->addWidget(write_);

  auto* all = new QGroupBox(QStringLiteral("All pages"), area);
  writeAll_ = makeButton(all, QStringLiteral("Write"), IDB_WRITE_ALL);
  writeAll_->setObjectName(QStringLiteral("Write All"));
  auto* allRow = new QHBoxLayout(all);
  allRow->setContentsMargins(6, 4, 6, 6);
  allRow->addWidget(writeAll_);

  auto* row = new QHBoxLayout(area);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  row->addWidget(own);
  row->addWidget(all);

  connect(read_, &QAbstractButton::clicked, this, [this] { OnRead(); });
  connect(write_, &QAbstractButton::clicked, this, [this] { OnWrite(); });
  connect(writeAll_, &QAbstractButton::clicked, this, [this] { OnWriteAll(); });
  SetTip(read_, QStringLiteral("Reads configuration from adapter."));
  SetTip(write_, QStringLiteral("Writes current configuration to adapter."));
  return area;
}

void CConfigPage::SetTip(QWidget* control, const QString& text) {
  if (!control) return;
  for (auto& [w, t] : tips_) {
    if (w == control) {
      t = text;
      ApplyTooltips();
      return;
    }
  }
  tips_.emplace_back(control, text);
  control->setToolTip(tooltipsOn_ ? LimitedTipText(text, maxTipWidth_) : QString());
}

void CConfigPage::SetMaxTipWidth(int pixels) {
  maxTipWidth_ = pixels;
  ApplyTooltips();
}

void CConfigPage::ApplyTooltips() {
  for (const auto& [w, text] : tips_) w->setToolTip(tooltipsOn_ ? LimitedTipText(text, maxTipWidth_) : QString());
}

// --- page-local modem commands ---------------------------------------------

bool CConfigPage::RunModemCommand(const QString& message, int progressMax,
                                  const std::function<bool(std::string& failed)>& action,
                                  CommandOptions options) {
  if (a_.Busy || !(a_.LinkState & LS_IDENTIFIED)) return false;
  PageOperation hold(*this);
  BusyHold busy(a_);
  failureReported_ = false;
  // The page's controls are off while the command runs: a Read would be
  // refused as busy, and an Edit of the entry being deleted would be wiped.
  const bool disabledBefore = testAttribute(Qt::WA_ForceDisabled);
  setEnabled(false);
  const int losses = a_.PortLosses;
  bool ok = true;
  std::string failed;
  {
    CWaitDlg wait(ui_, this);
    wait.SetProgressCaption(QStringLiteral("Wait"));
    wait.SetProgressText(message);
    wait.SetProgressRange(0, progressMax);
    wait.SetProgressStep(1);
    wait.StepProgress();

    // Back to numeric results at the end of the command, after any report.
    VerboseResultsSession verbose(a_);
    if (options.probe) {
      // A probe without an answer leaves no exchange to show.
      if (a_.ProbeModem() < 1) {
        ok = false;
        if (!a_.PortIsOpen()) failed = DisconnectedText;
      } else if (!verbose.Begin(failed)) {
        ok = false;
        // The modem may have switched all the same.
        verbose.SetRestoreNumeric(true);
      }
      wait.StepProgress();
    }
    if (!options.restoreNumeric) verbose.SetRestoreNumeric(false);
    if (ok) ok = action(failed);
    // Reported while the command still holds Busy: no other operation (and
    // no change of the page set) can start inside the box.
    if (!ok && !failureReported_) ReportError(failed);
    // A command whose answer is not looked at (End) still tells of a modem
    // that went away.
    if (ok) ui_.ReportLostLink(losses);
  }
  if (!disabledBefore) setEnabled(true);
  return ok;
}

void CConfigPage::ReportError(const std::string& failedExchange) {
  if (a_.ShuttingDown) return;
  if (!(State().refreshing && a_.Options.AutoLoad == 1)) {
    // A modem that went away is named under the message.
    ui_.MessageBoxWithDetail("Error communicating with adapter.",
                             failedExchange == DisconnectedText ? failedExchange : std::string(),
                             MsgIcon::Warning, MsgButtons::Ok);
  }
  if (a_.Options.Debug == 0 && !failedExchange.empty()) ui_.TerminalOutput(failedExchange);
}

void CConfigPage::ReportCommandFailure(const std::string& failedExchange) {
  ReportError(failedExchange);
  failureReported_ = true;
}

int CConfigPage::RunTransfer(int operation, int sections, int* storedSections) {
  if (storedSections) *storedSections = 0;
  // Without a modem there is nothing to talk to; offline editing never reads.
  // A port that went away during the page's last command (the link closes at
  // the next tick) is not read either: that would only report the loss again.
  if (!(a_.LinkState & LS_IDENTIFIED) || !a_.PortIsOpen()) return 0;
  PageOperation hold(*this);
  CTransferDlg dialog(ui_.DialogParent() ? ui_.DialogParent() : window(), ui_, sections, operation);
  const int result = dialog.Run();
  if (storedSections) *storedSections = dialog.StoredSections();
  return result;
}

// --- controls bound to fields ------------------------------------------------

const FieldInfo& CConfigPage::PageField(std::string_view field, std::size_t element) {
  const FieldInfo* f = FindField(field);
  if (!f || element >= f->count) {
    qFatal("A page names the field %.*s[%zu], which the settings table does not hold", static_cast<int>(field.size()),
           field.data(), element);
  }
  return *f;
}

QString CConfigPage::Caption(std::string_view field) {
  QString text = QString::fromLatin1(PageField(field).caption);
  return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void CConfigPage::AddBinding(const Binding& binding) {
  bindings_.push_back(binding);
  const FieldInfo& f = *binding.field;
  QWidget* control = binding.combo ? static_cast<QWidget*>(binding.combo) : binding.edit;
  ShowsField(f.ElementName(binding.element), control);
  if (f.map == ValueMap::CompressionPart) {
    ShowsField("BasicSettings.CompressionC", control);
    ShowsField("BasicSettings.ErrorCorrectionN", control);
  }
  if (binding.valueControl) AddValueControl(control);
  QString tip = QString::fromLatin1(f.tooltip);
  tip.replace(QStringLiteral("%d"), QString::number(binding.element + static_cast<std::size_t>(f.firstNumber)));
  if (!tip.isEmpty()) SetTip(control, tip);
}

void CConfigPage::Bind(QComboBox* combo, std::string_view field, std::size_t element, bool valueControl) {
  const FieldInfo* f = &PageField(field, element);
  if (!combo) return;
  if (combo->count() == 0 && f->items) {
    for (const std::string& item : f->items()) combo->addItem(QString::fromLatin1(item.c_str()));
  }
  AddBinding({combo, nullptr, f, element, valueControl});
  Watch(combo);
}

void CConfigPage::Bind(QLineEdit* edit, std::string_view field, std::size_t element, bool valueControl) {
  const FieldInfo* f = &PageField(field, element);
  if (!edit) return;
  const int limit = static_cast<int>(f->limit);
  if (limit > 0) edit->setMaxLength(limit);
  // A table number's own rule refuses the quote, and puts the caret back.
  if ((f->quoted && f->map != ValueMap::TableNumber) || f->bare != BareText::None) RefuseUnsendable(edit, *f);
  AddBinding({nullptr, edit, f, element, valueControl});
  Watch(edit);
  if (f->map == ValueMap::Register) {
    const std::size_t at = bindings_.size() - 1;
    connect(edit, &QLineEdit::textEdited, this, [this, at, edit, limit] {
      bindings_[at].unshown = false;
      if (edit->text().size() <= limit) edit->setMaxLength(limit);
      // The change notification may have come before this one.
      SyncFromControls();
    });
  }
}

void CConfigPage::SetBindingActive(QWidget* control, bool active) {
  for (Binding& b : bindings_) {
    if (b.combo == control || b.edit == control) b.active = active;
  }
}

void CConfigPage::LoadEdit(Binding& b) {
  const FieldInfo& f = *b.field;
  const char* text = ElementBytes(a_.Config, f, b.element);
  QLineEdit* edit = b.edit;
  // Shows a field's whole text (up to its terminating zero or `size`).
  auto showWhole = [&](std::size_t size) { edit->setText(Latin1Text(FieldText(text, size))); };
  switch (f.map) {
    case ValueMap::Register: {
      const long long value = ElementNumber(a_.Config, f, b.element);
      const QString shown = QString::number(value);
      edit->setMaxLength(std::max(static_cast<int>(f.limit), static_cast<int>(shown.size())));
      edit->setText(shown);
      b.unshown = ClipRegister(f, value) != value;
      break;
    }
    case ValueMap::Modulation:
      showWhole(f.limit);
      edit->setCursorPosition(0);
      break;
    case ValueMap::Range:
      edit->setText(Latin1Text(ShownNumber(static_cast<int32_t>(ElementNumber(a_.Config, f, b.element)), f.limit)));
      break;
    case ValueMap::Password:
      if (f.shownWhole) {
        edit->setMaxLength(std::max(static_cast<int>(f.limit), static_cast<int>(FieldText(text, f.width).size())));
        showWhole(f.width);
        break;
      }
      [[fallthrough]];
    default: edit->setText(Latin1Text(ShownText(text, f.width, f.limit))); break;
  }
}

void CConfigPage::StoreEdit(Binding& b) {
  const FieldInfo& f = *b.field;
  char* field = ElementBytes(a_.Config, f, b.element);
  const std::string typed = EditText(b.edit);
  switch (f.map) {
    case ValueMap::Register:
    case ValueMap::Range: {
      int32_t value = 0;
      std::memcpy(&value, field, sizeof value);
      if (f.map == ValueMap::Range) {
        StoreNumber(value, f.limit, typed);
      } else if (!b.unshown) {
        value = static_cast<int32_t>(ClipRegister(f, LeadingInt(typed, -1)));
      }
      std::memcpy(field, &value, sizeof value);
      break;
    }
    case ValueMap::TableNumber:
      if (!StoreTableNumber(field, f.width, f.limit, typed)) PutBackEntry(b.edit, ShownText(field, f.width, f.limit));
      break;
    case ValueMap::Text: StoreText(field, f.width, f.limit, typed); break;
    // A password of 1 to 5 characters stays in the edit only: the field keeps
    // the last one that was taken.
    case ValueMap::Password:
      if (!IsStorablePassword(typed)) break;
      if (f.shownWhole) {
        CopyFieldText(field, f.width, typed);
      } else {
        StoreText(field, f.width, f.limit, typed);
      }
      break;
    // The modulation text is stored by its dialog.
    default: break;
  }
}

void CConfigPage::LoadBound() {
  ++filling_;
  for (Binding& b : bindings_) {
    if (!b.active) continue;
    if (b.edit) {
      LoadEdit(b);
      continue;
    }
    const FieldInfo& f = *b.field;
    if (f.map == ValueMap::Country) {
      // Shown as what the page will store for it.
      b.unshown = CountryIndex(static_cast<int>(ElementNumber(a_.Config, f, b.element))) < 0;
      if (b.unshown || b.valueControl) b.combo->setEnabled(!b.unshown && ValueControlsEnabled());
    }
    b.combo->setCurrentIndex(ShownItem(a_.Config, f, b.element));
  }
  --filling_;
}

void CConfigPage::StoreBound() {
  for (Binding& b : bindings_) {
    if (!b.active) continue;
    if (b.edit) {
      StoreEdit(b);
    } else {
      StoreItem(a_.Config, *b.field, b.element, b.combo->currentIndex());
    }
  }
}

}  // namespace kelvane
