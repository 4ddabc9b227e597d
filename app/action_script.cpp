#include "app/action_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <cstdio>
#include <cstdlib>

#include "app/main_dlg.h"
#include "app/prop_sheet.h"
#include "ui/transfer_dlg.h"
#include "config/adapter.h"
#include "connection/ui/tab_connection.h"
#include "connection/ui/terminal_dlg.h"

namespace kelvane {

namespace {

constexpr int kTickMs = 20;
// How long nothing must run before the next action: what the last one
// started (a deferred page update, the terminal's next refresh) is over.
constexpr int kSettleTicks = 10;
constexpr int kStuckMs = 30000;

// One line of output, line ends escaped so that a message is one line.
void Print(const char* label, QString text) {
  text.replace(QLatin1String("\r"), QLatin1String("\\r")).replace(QLatin1String("\n"), QLatin1String("\\n"));
  std::printf("%s: %s\n", label, text.toLocal8Bit().constData());
  std::fflush(stdout);
}

QString ButtonName(const QAbstractButton* b) { return b->text().remove(QLatin1Char('&')); }

}  // namespace

ActionScript::ActionScript(CMainDlg& window, CAdapter& adapter, QStringList actions)
    : window_(window), a_(adapter), actions_(std::move(actions)) {
  tick_.setInterval(kTickMs);
  connect(&tick_, &QTimer::timeout, this, &ActionScript::Step);
  tick_.start();
}

std::unique_ptr<ActionScript> ActionScript::FromEnvironment(CMainDlg& window, CAdapter& adapter) {
  const QString path = qEnvironmentVariable("KELVANE_ACTIONS");
  if (path.isEmpty()) return nullptr;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    Print("script", QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    std::exit(3);
  }
  QStringList actions;
  for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
    if (!line.trimmed().isEmpty()) actions << line.trimmed();
  }
  return std::make_unique<ActionScript>(window, adapter, actions);
}

void ActionScript::Post(std::function<void()> handler) {
  ++running_;
  // Queued: the handler may run modal loops, in which this script goes on
  // (to answer their boxes).
  QTimer::singleShot(0, this, [this, handler = std::move(handler)] {
    handler();
    --running_;
  });
}

bool ActionScript::Idle() const { return running_ == 0 && !a_.Busy && !QApplication::activeModalWidget(); }

void ActionScript::NoteBoxes() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box && box != lastBox_) {
    lastBox_ = box;
    Print("box", box->text());
  }
}

void ActionScript::Fail(const QString& why) {
  Print("script", why);
  std::fflush(stdout);
  std::_Exit(3);
}

void ActionScript::Step() {
  NoteBoxes();
  if (++stalledTicks_ * kTickMs > kStuckMs) {
    Fail(QStringLiteral("no progress at \"%1\"").arg(next_ < actions_.size() ? actions_[next_] : QString()));
  }
  if (next_ >= actions_.size()) return;
  const QString action = actions_[next_];
  const qsizetype blank = action.indexOf(QLatin1Char(' '));
  const QString verb = blank < 0 ? action : action.left(blank);
  const QString argument = blank < 0 ? QString() : action.mid(blank + 1).trimmed();
  settled_ = Idle() ? settled_ + 1 : 0;
  const bool meetsAWindow = verb == QLatin1String("answer") || verb == QLatin1String("cancel");
  if (!meetsAWindow && settled_ < kSettleTicks) return;
  if (Run(verb, argument)) {
    ++next_;
    stalledTicks_ = 0;
  }
}

bool ActionScript::Run(const QString& verb, const QString& argument) {
  CPropSheet& sheet = window_.Sheet();
  if (verb == QLatin1String("answer")) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == answered_) return false;
    for (QAbstractButton* b : box->buttons()) {
      if (ButtonName(b) == argument) {
        answered_ = box;
        // Not from inside this timer's slot: the box's loop clicks it.
        QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
        return true;
      }
    }
    Fail(QStringLiteral("the box has no button \"%1\"").arg(argument));
  } else if (verb == QLatin1String("cancel")) {
    auto* progress = qobject_cast<CTransferDlg*>(QApplication::activeModalWidget());
    if (!progress || !progress->isVisible()) return false;
    // Queued, as a press of the button is: the operation hears it the next
    // time it lets events run.
    QMetaObject::invokeMethod(progress, &QDialog::reject, Qt::QueuedConnection);
    return true;
  } else if (verb == QLatin1String("connect")) {
    Post([this, argument] {
      CTabConnection& page = window_.ConnectionPage();
      page.PortCombo()->setCurrentText(argument);
      page.Connect();
    });
    return true;
  } else if (verb == QLatin1String("page")) {
    for (int i = 0; i < sheet.count(); ++i) {
      if (sheet.tabText(i).remove(QLatin1Char('&')) == argument) {
        Post([&sheet, i] { sheet.setCurrentIndex(i); });
        return true;
      }
    }
    Fail(QStringLiteral("no page \"%1\"").arg(argument));
  } else if (verb == QLatin1String("click")) {
    const qsizetype hash = argument.lastIndexOf(QLatin1Char('#'));
    const QString name = hash < 0 ? argument : argument.left(hash);
    int wanted = hash < 0 ? 1 : argument.mid(hash + 1).toInt();
    QWidget* page = sheet.currentWidget();
    const auto buttons = page ? page->findChildren<QAbstractButton*>() : QList<QAbstractButton*>();
    for (QAbstractButton* b : buttons) {
      if ((b->objectName() == name || ButtonName(b) == name) && --wanted == 0) {
        if (!b->isEnabled()) Fail(QStringLiteral("\"%1\" is disabled").arg(argument));
        QPointer<QAbstractButton> button(b);
        Post([button] {
          if (button) button->click();
        });
        return true;
      }
    }
    Fail(QStringLiteral("no button \"%1\" on the page").arg(argument));
  } else if (verb == QLatin1String("menu")) {
    const int id = argument.toInt();
    Post([this, id] { window_.OnCommand(id); });
    return true;
  } else if (verb == QLatin1String("quit")) {
    for (const QString& line : window_.Terminal().OutputField()->toPlainText().split(QLatin1Char('\n'))) {
      if (!line.trimmed().isEmpty()) Print("terminal", line);
    }
    QStringList titles;
    for (int i = 0; i < sheet.count(); ++i) titles << sheet.tabText(i);
    Print("pages", titles.join(QLatin1Char(',')));
    tick_.stop();
    QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection);
    return true;
  } else {
    Fail(QStringLiteral("unknown action \"%1\"").arg(verb));
  }
  return false;
}

}  // namespace kelvane
