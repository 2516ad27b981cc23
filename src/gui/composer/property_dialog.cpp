#include "gui/composer/property_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "gui/address_book/address_book_dialog.h"
#include "gui/composer/property_page_dialogs.h"
#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

PropertyDialog::PropertyDialog(ui::ProgramState& state, const compose::PropertyValues& values, QWidget* parent)
    : QDialog(parent),
      state_(state),
      values_(values),
      account_(new QComboBox(this)),
      to_(new QLineEdit(ToQt(values.to), this)),
      subject_(new QLineEdit(ToQt(values.subject), this)),
      quote_(NewBox("Quote text", values.quote, "quote", this)),
      copies_(NewButton("Cc, Bcc", this, "copies")),
      attach_(NewButton("Attach", this, "attach")),
      other_(NewButton("Other", this, "other")) {
  setWindowTitle("Property");
  for (const platform::Text& name : compose::AccountChoices(state.table)) account_->addItem(ToQt(name));
  account_->setCurrentIndex(values.account);
  account_->setObjectName("account");
  to_->setObjectName("to");
  subject_->setObjectName("subject");
  QPushButton* toButton = NewButton("To:", this, "toButton");
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel("Account:", this), 0, 0);
  layout->addWidget(account_, 0, 1);
  layout->addWidget(toButton, 1, 0);
  layout->addWidget(to_, 1, 1);
  layout->addWidget(new QLabel("Subject:", this), 2, 0);
  layout->addWidget(subject_, 2, 1);
  auto* pages = new QHBoxLayout;
  pages->addWidget(copies_);
  pages->addWidget(attach_);
  pages->addWidget(other_);
  layout->addLayout(pages, 3, 0, 1, 2);
  layout->addWidget(quote_, 4, 0, 1, 2);
  layout->addWidget(NewOkCancel(*this), 5, 0, 1, 2);
  layout->setColumnStretch(1, 1);
  quote_->setVisible(values.quoteShown);
  connect(toButton, &QPushButton::clicked, this, [this] {
    AddressBookDialog book(state_, BookMode::kChoose, this);
    if (book.exec() == QDialog::Accepted && book.chosen()) to_->setText(ToQt(*book.chosen()));
  });
  connect(copies_, &QPushButton::clicked, this, [this] { EditCopies(); });
  connect(attach_, &QPushButton::clicked, this, [this] { EditAttachments(); });
  connect(other_, &QPushButton::clicked, this, [this] { EditOther(); });
  ApplyCaptions();
  ApplyListFont(this, state.settings);
  resize(420, 0);
  (values.to.empty() ? to_ : subject_)->setFocus();
}

void PropertyDialog::ApplyCaptions() {
  const auto holds = [](const store::OptionalText& field) { return field && !field->empty(); };
  copies_->setText(ToQt(compose::PageCaption("Cc, Bcc", holds(values_.cc) || holds(values_.bcc))));
  attach_->setText(ToQt(compose::PageCaption("Attach", holds(values_.attach))));
  other_->setText(ToQt(compose::PageCaption("Other", holds(values_.replyTo))));
}

void PropertyDialog::EditCopies() {
  CopyAddressesDialog page(state_, values_.cc, values_.bcc, this);
  if (page.exec() != QDialog::Accepted) return;
  values_.cc = page.cc();
  values_.bcc = page.bcc();
  ApplyCaptions();
}

void PropertyDialog::EditAttachments() {
  AttachFilesDialog page(values_.attach, this);
  if (prepareAttachPage) prepareAttachPage(page);
  if (page.exec() != QDialog::Accepted) return;
  values_.attach = page.attach();
  ApplyCaptions();
}

void PropertyDialog::EditOther() {
  OtherHeadersDialog page(values_.replyTo, this);
  if (page.exec() != QDialog::Accepted) return;
  values_.replyTo = page.replyTo();
  ApplyCaptions();
}

void PropertyDialog::accept() {
  if (!ModelDependentCharsAccepted(*to_, state_.settings) || !ModelDependentCharsAccepted(*subject_, state_.settings)) {
    return;
  }
  values_.account = std::max(0, account_->currentIndex());
  values_.to = FromQt(to_->text());
  values_.subject = FromQt(subject_->text());
  values_.quote = quote_->isChecked();
  QDialog::accept();
}

bool EditProperty(ui::ProgramState& state, store::MailItem& item, bool quoteShown, QWidget* parent) {
  PropertyDialog dialog(
      state, compose::PropertyValuesOf(item, state.table, quoteShown, state.settings.AutoQuotation == 1), parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  compose::ConfirmPropertyValues(item, dialog.values(), state.table);
  return true;
}

}  // namespace zelk::gui
