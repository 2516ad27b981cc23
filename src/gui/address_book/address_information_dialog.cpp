#include "gui/address_book/address_information_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "book/address_book.h"
#include "compose/mailto.h"
#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

AddressInformationDialog::AddressInformationDialog(ui::ProgramState& state, const store::MailItem& item, int mailbox,
                                                   QWidget* parent)
    : QDialog(parent), state_(state), item_(item), mailbox_(mailbox) {
  setWindowTitle("Address information");
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({"Header", "Mail address"});
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setColumnWidth(0, 70);
  list_->setColumnWidth(1, 140);
  for (const book::MessageAddress& address : book::MessageAddresses(item)) {
    auto* row = new QTreeWidgetItem(list_);
    row->setText(0, address.header);
    row->setText(1, QString::fromUtf8(address.address));
  }
  layout->addWidget(list_);
  auto* buttons = new QHBoxLayout;
  const auto button = [this, buttons](const char* text, auto slot) {
    QPushButton* b = NewButton(text, this);
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
  };
  button("&Address book", [this] { AddToBook(); });
  button("&Reply", [this] { Reply(); });
  button("&New mail", [this] { NewMail(); });
  button("&Close", [this] { reject(); });
  layout->addLayout(buttons);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { NewMail(); });
  new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), list_, [this] { list_->selectAll(); });
  resize(360, 260);
}

std::vector<std::string> AddressInformationDialog::Selected() const {
  std::vector<std::string> addresses;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    if (list_->topLevelItem(i)->isSelected()) addresses.push_back(list_->topLevelItem(i)->text(1).toStdString());
  }
  return addresses;
}

bool AddressInformationDialog::Warn() {
  if (!Selected().empty()) return true;
  QMessageBox::warning(this, "Zelk", book::kNoAddressSelected);
  return false;
}

void AddressInformationDialog::AddToBook() {
  if (!Warn()) return;
  const std::vector<std::string> addresses = Selected();
  if (QMessageBox::question(this, "Zelk", QString::fromUtf8(book::AddAddressesQuestion(addresses.size()))) !=
      QMessageBox::Yes) {
    return;
  }
  if (!book::AddToBook(state_.table.addressBook, addresses)) {
    QMessageBox::warning(this, "Zelk", book::kAddressNotAdded);
    return;
  }
  if (!book::SaveBookIfAutoSave(state_.table, state_.settings, state_.home)) {
    QMessageBox::warning(this, "Error", "Save File error");
  }
}

void AddressInformationDialog::Compose(const ui::ComposeRequest& request) {
  composerOpened_ = compose && compose(request);
  accept();
}

void AddressInformationDialog::Reply() {
  if (!Warn()) return;
  Compose({ui::ComposeKind::kReply, book::WithReplyTo(item_, book::JoinAddresses(Selected())), mailbox_});
}

void AddressInformationDialog::NewMail() {
  if (!Warn()) return;
  ui::ComposeRequest request;
  compose::ParseMailtoText(book::JoinAddresses(Selected()), request.message, compose::MailtoSource::kReceivedMessage);
  Compose(request);
}

}  // namespace zelk::gui
