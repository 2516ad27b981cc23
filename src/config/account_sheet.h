#pragma once
#include <optional>
#include <string>

#include "config/connection_page.h"
#include "config/settings.h"
#include "filter/filter_page.h"
#include "store/mailbox.h"

// The "Account Settings" sheet without the widgets: what each page shows of an account, and what
// confirming the sheet stores. A page reads the account when it is first shown; only pages that
// were shown store anything.
namespace zelk::config {

enum class MailService { kPop3, kSmtp };

// The port a TLS mode goes with: 110/995 for POP3; 25, 465 and submission's 587 for SMTP.
int UsualPort(MailService service, store::TlsMode mode);
// A port given without a mode: implicit TLS on 995 and 465, plain otherwise.
store::TlsMode ModeForPort(MailService service, int port);
// The port field after the user changed the mode: the new mode's usual port when the field held
// the old mode's usual port (or nothing), else the port as typed.
int PortAfterModeChange(MailService service, store::TlsMode from, store::TlsMode to, int port);
// A pin as the profile keeps it (the form error texts print), empty for no pin; nothing when the
// text is no SHA-256 fingerprint.
std::optional<platform::Text> PinText(std::string_view typed);

struct Pop3Page {
  platform::Text name;
  platform::Text server;
  int port = 110;
  platform::Text user;
  platform::Text password;
  bool apop = false;
  bool exemptFromCheckAll = false;
  store::TlsMode tls = store::TlsMode::kNone;
  platform::Text fingerprint;
};

// The "SMTP-AUTH" dialog: the POP3 login, or one of its own.
struct SmtpAuth {
  bool usePop3Login = true;
  platform::Text user;
  platform::Text password;
};

struct SmtpPage {
  platform::Text name;
  platform::Text address;
  platform::Text server;
  int port = 25;
  bool smtpAuth = false;
  SmtpAuth auth;  // as the "setup" dialog last confirmed it
  bool popBeforeSmtp = false;
  bool copyToSelf = false;
  store::TlsMode tls = store::TlsMode::kNone;
  platform::Text fingerprint;
};

Pop3Page ReadPop3Page(const store::MailBox& account);
SmtpPage ReadSmtpPage(const store::MailBox& account);

// The pages in the order the sheet shows them.
enum class AccountPage { kPop3, kSmtp, kSignature, kFilter, kConnection };

// The pages shown so far, as their controls hold them.
struct AccountSheet {
  std::optional<Pop3Page> pop3;
  std::optional<SmtpPage> smtp;
  std::optional<platform::Text> signature;
  std::optional<filter::FilterPage> filter;
  std::optional<ConnectionPage> connection;
};

// Reads one page from the account when it is shown for the first time; `entries` are the
// device's dial-up entries for the connection page.
void ShowAccountPage(AccountSheet& sheet, AccountPage page, const store::MailBox& account, const Settings& settings,
                     const std::vector<platform::Text>& entries);

// The reason OK cannot store the sheet (a pin that is no fingerprint); nothing when it can.
std::optional<std::string> CheckAccountSheet(const AccountSheet& sheet);

// OK: every page shown stores its values into the account (texts cut to the field limit), in
// page order. A confirmed POP3 page makes the next conversation resolve the server afresh and
// use the new password instead of one typed at a prompt; a confirmed SMTP page resolves its
// server afresh. The sheet must have passed CheckAccountSheet.
void ConfirmAccountSheet(const AccountSheet& sheet, store::MailBox& account, Settings& settings);

}  // namespace zelk::config
