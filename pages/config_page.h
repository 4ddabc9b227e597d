#pragma once
// CConfigPage: what every configuration page shares. A page is bound to one
// settings record of the adapter and one section bit. It moves values between
// its controls and the record, notices changes against a snapshot taken when
// the record was last read or written, reads and writes its own section
// through the transfer dialog, and runs short page-local commands on the
// modem under the wait window.
//
// A page derives from it, builds its controls, registers its value controls,
// connects each control with Watch() and implements LoadControls and
// StoreControls. The mappings themselves (lists, clipping, searches) live in
// plain functions (config/page_values.h) so they are tested without widgets.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/qt_user_interface.h"
#include "config/adapter.h"

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;

namespace kelvane {

struct FieldInfo;
struct SectionInfo;
class CImageButton;

class CConfigPage : public QWidget {
  Q_OBJECT

 public:
  // The section table gives the page its section bit, its record in the
  // adapter's block (none for the read-only Diagnostic page: no snapshot, no
  // changes) and its name: the button group is captioned "<name> page".
  CConfigPage(QtUserInterface& ui, int pageIndex, QWidget* parent = nullptr);
  ~CConfigPage() override;

  // The field a page names ("IoSettings.Service", element 3). A name the
  // table lacks, or an element past the field's count, is a mistake in the
  // page: the program stops at once, naming it, so every test that builds
  // the page finds it.
  static const FieldInfo& PageField(std::string_view field, std::size_t element = 0);

  int PageIndex() const { return pageIndex_; }
  int SectionBit() const { return sectionBit_; }
  PageState& State() { return a_.Page(pageIndex_); }

  // Fill every control from the record / copy every control into the record.
  virtual void LoadControls() = 0;
  virtual void StoreControls() = 0;

  // snapshot := record, changed := false, change markers redrawn.
  void MarkUnchanged();
  // After a write of all sections: MarkUnchanged for every page in
  // `container` (the sheet's page stack) and for `also` whose section is
  // among `storedSections`, the sections the write sent and stored.
  static void MarkSheetUnchanged(QWidget* container, CConfigPage* also, int storedSections);
  // LoadControls with the control-to-record step held off, so that a refill
  // never stores half-filled controls.
  void RefillControls();
  // True when the record differs from the snapshot, compared as the section
  // table says (the Remote page compares 16-bit units over 54 bytes).
  bool RecordDiffers() const;

  // The sheet shows the page: offline enabling, tooltips, refill after a
  // profile operation, or the section read that is due.
  virtual void OnSetActive();

  // The three buttons of every page.
  void OnRead();
  void OnWrite();
  void OnWriteAll();

  CImageButton* ReadButton() const { return read_; }
  CImageButton* WriteButton() const { return write_; }
  CImageButton* WriteAllButton() const { return writeAll_; }

  // The control-to-record step that runs before every notification of a
  // control: unless a refill is under way (refreshing or reloadPending),
  // StoreControls, recompute changed, and redraw the change markers when it
  // flipped. Connected by Watch(); pages call it themselves before handling
  // a button of their own.
  void SyncFromControls();

  // Enables or disables the value controls (every control registered with
  // AddValueControl). Pages with their own enabling rules override it and
  // call the base first.
  virtual void SetValueControlsEnabled(bool enabled);

  // The control that shows a field of the block ("BasicSettings.S0",
  // "DialSettings.StoredNumbers[2]"), or null when the page shows none.
  QWidget* ControlForField(const std::string& name) const;

 signals:
  // The record was changed by the page (after the sync step), for tests and
  // for pages that derive displays from the record.
  void RecordStored();

 protected:
  // Held by every handler of a page that may run an event loop (a transfer,
  // a page command, a message box, a modal dialog): while one is held the
  // sheet removes no page, so the page outlives its handler even when the
  // link drops meanwhile. Nests.
  class PageOperation {
   public:
    explicit PageOperation(CConfigPage& page);
    ~PageOperation();
    PageOperation(const PageOperation&) = delete;
    PageOperation& operator=(const PageOperation&) = delete;

   private:
    PageSheet* sheet_;
    // The sheet is a widget that may go while the operation runs.
    QPointer<QObject> alive_;
  };

  // Value controls are enabled after a successful read and disabled after a
  // failed one; the Read/Write buttons are not value controls.
  void AddValueControl(QWidget* control);

  // Tells which control shows a field (several fields may share one).
  void ShowsField(const std::string& name, QWidget* control);

  // --- controls bound to fields of the block --------------------------------
  // Binds a control to a field ("SerialSettings.DtrControl"), or to one
  // element of an array: the control shows that field (ControlForField),
  // carries its tooltip ("%d" in it stands for the element's number), is
  // watched, is a value control unless `valueControl` is false, and
  // LoadBound / StoreBound move its value through the field's mapping.
  // A combo without items takes the field's list. The combo hooks: a country
  // code the list lacks shows "C7 - Universal" with the combo disabled, and
  // stores that; one combo shows both halves of the compression pair.
  void Bind(QComboBox* combo, std::string_view field, std::size_t element = 0, bool valueControl = true);
  // An edit takes the field's characters (its limit); a quoted text refuses
  // a double quote. By the field's mapping:
  //  - a text or a number shows what fits the edit and leaves the field alone
  //    while the edit still shows that (config/entry_rules.h);
  //  - a table number that breaks the number rule is refused: the field keeps
  //    its value and the edit shows it again, the caret where the refused
  //    character was typed;
  //  - an S-register is clipped into its range; a record value the edit
  //    cannot hold as it stands is shown whole and kept until that edit is
  //    typed into;
  //  - a password of 1 to 5 characters is not stored: the field keeps the
  //    last one taken; a field shown whole shows a longer password it holds
  //    whole and stores the edit's text whole;
  //  - the modulation text is only shown (its dialog stores it).
  void Bind(QLineEdit* edit, std::string_view field, std::size_t element = 0, bool valueControl = true);
  // A control whose field this model lacks (hidden) is neither filled nor
  // stored while inactive.
  void SetBindingActive(QWidget* control, bool active);
  // Fills every bound control from the record / stores every bound control
  // into the record; a combo without a selection leaves its field alone.
  // Filling stores nothing back.
  void LoadBound();
  void StoreBound();
  // A field's caption as a label shows it: an ampersand doubled.
  static QString Caption(std::string_view field);

  // Connects a control's change notification to SyncFromControls.
  void Watch(QComboBox* combo);
  void Watch(QLineEdit* edit);
  void Watch(QAbstractButton* button);
  void Watch(QSpinBox* spin);

  // The two button groups for the bottom right of the page: "<name> page"
  // with Read and Write, and "All pages" with Write. The page places the
  // returned widget in its layout.
  QWidget* CreateButtonGroups();

  // Registers a tooltip; "\n\r" in the text breaks the line, and lines
  // wider than the page's maximum tip width wrap. Shown only while the
  // "Tooltip" option is 1.
  void SetTip(QWidget* control, const QString& text);
  // The maximum tip width in pixels (300 unless the page sets another).
  void SetMaxTipWidth(int pixels);

  // A page-local command on the modem: only when Busy is clear and the modem
  // is identified. Sets Busy, shows the "Wait" window with `message` and a
  // progress range 0..progressMax, probes the modem (unless probe is false),
  // switches a numeric-mode modem to verbose results, runs `action` (which
  // sends its commands through the adapter's Transact and returns true on
  // success), restores numeric results when the modem was numeric before
  // (unless restoreNumeric is false), clears Busy and closes the window.
  // A false from `action` or a failed probe is reported with ReportError
  // and the answer text the action left in `failed`, while Busy is still set
  // and the window is still up (unless the action reported it itself with
  // ReportCommandFailure, to keep its own order of steps).
  struct CommandOptions {
    bool probe = true;
    bool restoreNumeric = true;
  };
  bool RunModemCommand(const QString& message, int progressMax,
                       const std::function<bool(std::string& failed)>& action,
                       CommandOptions options);
  bool RunModemCommand(const QString& message, int progressMax,
                       const std::function<bool(std::string& failed)>& action) {
    return RunModemCommand(message, progressMax, action, CommandOptions{});
  }
  // The page's error report for a failed page-local command: nothing while
  // shutting down; "Error communicating with adapter." (not while refreshing
  // with AutoLoad 1); with Debug 0 the failed exchange goes to the terminal.
  void ReportError(const std::string& failedExchange);
  // Inside a RunModemCommand action: reports the failure now, and not again
  // when the command ends.
  void ReportCommandFailure(const std::string& failedExchange);

  // Runs a transfer (operation 1 read or 2 write) for `sections`; its result.
  // `storedSections` receives what a write sent and stored.
  int RunTransfer(int operation, int sections, int* storedSections = nullptr);

  // Whether the value controls are enabled (by a read, activation or
  // profile) or disabled after a failed read.
  bool ValueControlsEnabled() const { return valueControlsEnabled_; }

  QtUserInterface& ui_;
  CAdapter& a_;

 private:
  CConfigPage(QtUserInterface& ui, const SectionInfo& section, QWidget* parent);
  void ApplyTooltips();
  // Read, page Write and All pages Write as activation leaves them.
  void EnableButtons(bool offline);

  int pageIndex_;
  int sectionBit_;
  void* record_;
  const std::size_t recordSize_;
  std::vector<unsigned char> snapshot_;
  QString pageName_;
  std::vector<QWidget*> valueControls_;
  std::vector<std::pair<QWidget*, QString>> tips_;
  std::map<std::string, QWidget*> fieldControls_;
  struct Binding {
    QComboBox* combo;  // one of the two
    QLineEdit* edit;
    const FieldInfo* field;
    std::size_t element;
    bool valueControl;
    bool active = true;
    // The record holds what the control cannot show: a register kept as it
    // is, a country code the list lacks.
    bool unshown = false;
  };
  void AddBinding(const Binding& binding);
  void LoadEdit(Binding& b);
  void StoreEdit(Binding& b);
  std::vector<Binding> bindings_;
  bool tooltipsOn_ = false;
  int maxTipWidth_ = 300;
  int filling_ = 0;
  bool failureReported_ = false;
  bool valueControlsEnabled_ = true;
  CImageButton* read_ = nullptr;
  CImageButton* write_ = nullptr;
  CImageButton* writeAll_ = nullptr;
};

}  // namespace kelvane
