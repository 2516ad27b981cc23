#include "gui/notice/new_mail_notice.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/version.h"

namespace zelk::gui {

NewMailNotice::NewMailNotice(std::function<void(bool yes)> answered)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint), answered_(std::move(answered)) {
  setObjectName("newMailNotice");
  setWindowTitle(platform::kVersionText);
  setModal(false);
  setAttribute(Qt::WA_ShowWithoutActivating);
  auto* picture = new QLabel(this);
  picture->setPixmap(QIcon(":/icons/tray-new-mail.svg").pixmap(48, 48));
  auto* text = new QLabel("You've got new mail!\nWould you like to view it now?", this);
  auto* yes = new QPushButton("&Yes", this);
  auto* no = new QPushButton("&No", this);
  yes->setDefault(true);
  connect(yes, &QPushButton::clicked, this, [this] { Answer(true); });
  connect(no, &QPushButton::clicked, this, [this] { Answer(false); });
  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addWidget(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(yes);
  buttons->addWidget(no);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
}

void NewMailNotice::ShowCentred(bool activate) {
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  setAttribute(Qt::WA_ShowWithoutActivating, !activate);
  show();
  if (activate) {
    raise();
    activateWindow();
  }
}

void NewMailNotice::reject() { Answer(false); }

void NewMailNotice::Answer(bool yes) {
  hide();
  answered_(yes);
}

}  // namespace zelk::gui
