#include "gui/composer/property_page_dialogs.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>

#include "config/sheet_fields.h"
#include "gui/adapters/message_boxes.h"
#include "gui/address_book/address_book_dialog.h"
#include "gui/settings/sheet_widgets.h"
#include "ui/composer_commands.h"

namespace zelk::gui {

namespace {

bool AskYes(QWidget* parent, const char* title, const char* question) {
  return MessageBoxes(parent).ShowMessage(title, question, ports::MessageIcon::kQuestion,
                                          ports::MessageButtons::kYesNo) == ports::Answer::kYes;
}

}  // namespace

bool ModelDependentCharsAccepted(QLineEdit& field, const config::Settings& settings) {
  MessageBoxes dialogs(&field);
  const std::optional<std::size_t> refused = ui::RefusedModelDependentChar(FromQt(field.text()), settings, dialogs);
  if (!refused) return true;
  field.setFocus();
  field.setSelection(static_cast<int>(*refused), 1);
  return false;
}

CopyAddressesDialog::CopyAddressesDialog(ui::ProgramState& state, const store::OptionalText& cc,
                                         const store::OptionalText& bcc, QWidget* parent)
    : QDialog(parent),
      state_(state),
      rows_(compose::CopyRowsOf(cc, bcc)),
      field_(NewField({}, "copyAddress", this)),
      type_(new QComboBox(this)),
      list_(new QTreeWidget(this)) {
  setWindowTitle("Cc, Bcc");
  type_->addItems({"Cc", "Bcc"});
  type_->setObjectName("copyType");
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({"Type", "Mail address"});
  list_->setColumnWidth(0, 50);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  auto* layout = new QGridLayout(this);
  QPushButton* address = NewButton("Address:", this);
  QPushButton* add = NewButton("Add", this);
  QPushButton* remove = NewButton("Delete", this);
  layout->addWidget(address, 0, 0);
  layout->addWidget(field_, 0, 1, 1, 2);
  layout->addWidget(type_, 1, 0);
  layout->addWidget(add, 1, 1);
  layout->addWidget(remove, 1, 2);
  layout->addWidget(list_, 2, 0, 1, 3);
  layout->addWidget(NewOkCancel(*this), 3, 0, 1, 3);
  connect(address, &QPushButton::clicked, this, [this] {
    AddressBookDialog book(state_, BookMode::kChoose, this);
    if (book.exec() == QDialog::Accepted && book.chosen()) field_->setText(ToQt(*book.chosen()));
  });
  connect(add, &QPushButton::clicked, this, [this] { (void)Add(); });
  connect(remove, &QPushButton::clicked, this, [this] { Delete(); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OpenRow(list_->indexOfTopLevelItem(item)); });
  new QShortcut(QKeySequence(Qt::Key_Delete), list_, [this] { Delete(); });
  Fill();
  ApplyListFont(this, state.settings);
  resize(380, 300);
}

void CopyAddressesDialog::Fill() {
  list_->clear();
  for (const compose::CopyRow& row : rows_) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, row.bcc ? "Bcc:" : "Cc:");
    item->setText(1, ToQt(row.address));
  }
}

bool CopyAddressesDialog::Add() {
  if (!ModelDependentCharsAccepted(*field_, state_.settings)) return false;
  if (!compose::AddCopyRows(rows_, FromQt(field_->text()), type_->currentIndex() == 1)) {
    MessageBoxes(this).ShowMessage("Error", compose::kNoAddressSet, ports::MessageIcon::kExclamation, ports::MessageButtons::kOk);
    return false;
  }
  field_->clear();
  type_->setCurrentIndex(0);
  Fill();
  list_->setCurrentItem(list_->topLevelItem(list_->topLevelItemCount() - 1));
  return true;
}

void CopyAddressesDialog::Delete() {
  const int row = list_->indexOfTopLevelItem(list_->currentItem());
  if (row < 0 || !list_->currentItem()->isSelected() || !AskYes(this, "Delete", "Delete it?")) return;
  rows_.erase(rows_.begin() + row);
  Fill();
}

void CopyAddressesDialog::OpenRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  field_->setText(ToQt(rows_[static_cast<std::size_t>(row)].address));
  type_->setCurrentIndex(rows_[static_cast<std::size_t>(row)].bcc ? 1 : 0);
  rows_.erase(rows_.begin() + row);
  Fill();
  field_->setFocus();
}

void CopyAddressesDialog::accept() {
  if (!field_->text().trimmed().isEmpty() && !Add()) return;
  QDialog::accept();
}

AttachFilesDialog::AttachFilesDialog(const store::OptionalText& attach, QWidget* parent)
    : QDialog(parent), paths_(compose::AttachPaths(attach)), list_(new QListWidget(this)) {
  setWindowTitle("Attach files");
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* layout = new QGridLayout(this);
  QPushButton* add = NewButton("Add", this);
  QPushButton* remove = NewButton("Delete", this);
  layout->addWidget(list_, 0, 0, 1, 2);
  layout->addWidget(add, 1, 0);
  layout->addWidget(remove, 1, 1);
  layout->addWidget(NewOkCancel(*this), 2, 0, 1, 2);
  connect(add, &QPushButton::clicked, this, [this] { Add(); });
  connect(remove, &QPushButton::clicked, this, [this] { Delete(); });
  new QShortcut(QKeySequence(Qt::Key_Delete), list_, [this] { Delete(); });
  askFiles = [this] { return QFileDialog::getOpenFileNames(this, "Open", QString(), "All Files (*.*)"); };
  Fill();
  resize(420, 260);
}

void AttachFilesDialog::Fill() {
  list_->clear();
  for (const platform::Text& path : paths_) list_->addItem(ToQt(path));
}

void AttachFilesDialog::Add() {
  const QStringList chosen = askFiles();
  for (const QString& path : chosen) compose::AddAttachPath(paths_, FromQt(path));
  Fill();
  if (!chosen.isEmpty()) list_->setCurrentRow(list_->count() - 1);
}

void AttachFilesDialog::Delete() {
  if (list_->selectedItems().isEmpty()) return;
  if (!AskYes(this, "Delete", "Release the link to the attached file?")) return;
  for (int row = list_->count() - 1; row >= 0; --row) {
    if (list_->item(row)->isSelected()) paths_.erase(paths_.begin() + row);
  }
  Fill();
}

OtherHeadersDialog::OtherHeadersDialog(const store::OptionalText& replyTo, QWidget* parent)
    : QDialog(parent), replyTo_(NewField(replyTo.value_or(""), "replyTo", this)) {
  setWindowTitle("Other headers");
  auto* form = new QFormLayout(this);
  form->addRow("Reply-To:", replyTo_);
  form->addRow(NewOkCancel(*this));
  resize(380, 0);
}

store::OptionalText OtherHeadersDialog::replyTo() const {
  const platform::Text text = compose::OneLineText(FromQt(replyTo_->text()));
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace zelk::gui
