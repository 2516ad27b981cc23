#pragma once
#include <memory>

#include "config/account_sheet.h"
#include "gui/settings/sheet_widgets.h"
#include "net/dial_link.h"

namespace zelk::gui {

class Pop3PageWidget;
class SmtpPageWidget;
class SignaturePageWidget;
class FilterPageWidget;
class ConnectionPageWidget;

// "Account Settings": the pages "POP3", "SMTP", "Signature", "Filter" and "Connection" of one
// account. OK stores the pages that were shown into the account (and the dial-up logins into the
// settings); Cancel leaves both as they were.
class AccountSettingsSheet final : public PropertySheet {
 public:
  AccountSettingsSheet(store::MailBox& account, config::Settings& settings, net::DialLink& link, QWidget* parent);
  ~AccountSettingsSheet() override;

 private:
  bool Confirm() override;
  void Show(config::AccountPage page);

  store::MailBox& account_;
  config::Settings& settings_;
  net::DialLink& link_;
  config::AccountSheet sheet_;
  Pop3PageWidget* pop3_ = nullptr;
  SmtpPageWidget* smtp_ = nullptr;
  SignaturePageWidget* signature_ = nullptr;
  FilterPageWidget* filter_ = nullptr;
  ConnectionPageWidget* connection_ = nullptr;
};

}  // namespace zelk::gui
