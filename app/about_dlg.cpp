#include "app/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/tool_settings.h"
#include "controls/bitmaps.h"

namespace kelvane {

QIcon ProgramIcon() {
  InitKelvaneResources();
  return QIcon(BitmapResourcePath(IDI_KELVANE));
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Kelvane 2"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);
  icon->setAccessibleName(QStringLiteral("Kelvane 2"));
  text_ = new QLabel(VersionString(), this);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* note = new QLabel(QStringLiteral("Configuration tool for Dalmarin telephone modems."), this);
  note->setForegroundRole(QPalette::PlaceholderText);

  auto* texts = new QVBoxLayout;
  texts->addWidget(text_);
  texts->addWidget(note);
  texts->addStretch(1);
  auto* row = new QHBoxLayout;
  row->setSpacing(16);
  row->addWidget(icon);
  row->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(18, 18, 18, 12);
  column->addLayout(row);
  column->addSpacing(8);
  column->addWidget(buttons);
  setFixedSize(sizeHint());
}

QString CAboutDlg::Text() const { return text_->text(); }

}  // namespace kelvane
