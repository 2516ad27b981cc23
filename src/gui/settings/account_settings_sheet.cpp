#include "gui/settings/account_settings_sheet.h"

#include "gui/adapters/message_boxes.h"
#include "gui/settings/account_pages.h"
#include "gui/settings/connection_page_widget.h"
#include "gui/settings/filter_page_widget.h"

namespace zelk::gui {

AccountSettingsSheet::AccountSettingsSheet(store::MailBox& account, config::Settings& settings, net::DialLink& link,
                                           QWidget* parent)
    : PropertySheet("Account Settings", settings, parent), account_(account), settings_(settings), link_(link) {
  setObjectName("accountSettings");
  using P = config::AccountPage;
  AddPage("POP3", [this](QWidget& page) {
    Show(P::kPop3);
    pop3_ = new Pop3PageWidget(*sheet_.pop3, page);
  });
  AddPage("SMTP", [this](QWidget& page) {
    Show(P::kSmtp);
    smtp_ = new SmtpPageWidget(*sheet_.smtp, page, settings_);
  });
  AddPage("Signature", [this](QWidget& page) {
    Show(P::kSignature);
    signature_ = new SignaturePageWidget(*sheet_.signature, page);
  });
  AddPage("Filter", [this](QWidget& page) {
    Show(P::kFilter);
    filter_ = new FilterPageWidget(*sheet_.filter, page, settings_);
  });
  AddPage("Connection", [this](QWidget& page) {
    Show(P::kConnection);
    connection_ = new ConnectionPageWidget(*sheet_.connection, page);
  });
  resize(560, 420);
}

AccountSettingsSheet::~AccountSettingsSheet() = default;

void AccountSettingsSheet::Show(config::AccountPage page) {
  // Asked only for the page that lists them: NetworkManager answers through a process.
  const std::vector<platform::Text> entries =
      page == config::AccountPage::kConnection && link_.Available() ? link_.Entries() : std::vector<platform::Text>{};
  config::ShowAccountPage(sheet_, page, account_, settings_, entries);
}

bool AccountSettingsSheet::Confirm() {
  if (pop3_) pop3_->Collect();
  if (smtp_) smtp_->Collect();
  if (signature_) signature_->Collect();
  if (filter_) filter_->Collect();
  if (connection_) connection_->Collect();
  if (const std::optional<std::string> error = config::CheckAccountSheet(sheet_)) {
    MessageBoxes(this).ShowMessage("Account Settings", *error, ports::MessageIcon::kExclamation,
                                   ports::MessageButtons::kOk);
    return false;
  }
  config::ConfirmAccountSheet(sheet_, account_, settings_);
  return true;
}

}  // namespace zelk::gui
