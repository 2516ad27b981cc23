#include "config/account_sheet.h"

#include "config/sheet_fields.h"
#include "platform/line_breaks.h"
#include "net/fingerprint.h"

namespace zelk::config {

namespace {

using store::TlsMode;

// RFC 8314's implicit TLS ports, and mail submission's (RFC 6409), where STARTTLS lives.
constexpr int kPop3Port = 110;
constexpr int kPop3sPort = 995;
constexpr int kSmtpPort = 25;
constexpr int kSmtpsPort = 465;
constexpr int kSubmissionPort = 587;

void StorePop3(const Pop3Page& page, store::MailBox& account) {
  account.Name = CutField(page.name);
  account.Server = CutField(page.server);
  account.PopAddr.clear();
  account.Port = page.port;
  account.User = CutField(page.user);
  account.Pass = CutField(page.password);
  account.APOP = page.apop ? 1 : 0;
  account.CyclicFlag = page.exemptFromCheckAll ? 1 : 0;
  account.PopTls = page.tls;
  account.PopFingerprint = *PinText(page.fingerprint);
  // The next conversation asks no more with the password typed at its prompt.
  account.TmpPass.reset();
  account.SmtpTmpPass.reset();
}

void StoreSmtp(const SmtpPage& page, store::MailBox& account) {
  account.UserName = CutField(page.name);
  account.MailAddress = CutField(page.address);
  account.SmtpServer = CutField(page.server);
  account.SmtpAddr.clear();
  account.SmtpPort = page.port;
  account.SmtpAuth = page.smtpAuth ? 1 : 0;
  account.AuthUserPass = page.auth.usePop3Login ? 0 : 1;
  account.SmtpUser = CutField(page.auth.user);
  account.SmtpPass = CutField(page.auth.password);
  account.PopBeforeSmtp = page.popBeforeSmtp ? 1 : 0;
  account.MyAddr2Bcc = page.copyToSelf ? 1 : 0;
  account.SmtpTls = page.tls;
  account.SmtpFingerprint = *PinText(page.fingerprint);
}

}  // namespace

int UsualPort(MailService service, TlsMode mode) {
  if (service == MailService::kPop3) return mode == TlsMode::kImplicit ? kPop3sPort : kPop3Port;
  switch (mode) {
    case TlsMode::kImplicit: return kSmtpsPort;
    case TlsMode::kStartTls: return kSubmissionPort;
    case TlsMode::kNone: break;
  }
  return kSmtpPort;
}

TlsMode ModeForPort(MailService service, int port) {
  return port == UsualPort(service, TlsMode::kImplicit) ? TlsMode::kImplicit : TlsMode::kNone;
}

int PortAfterModeChange(MailService service, TlsMode from, TlsMode to, int port) {
  return port <= 0 || port == UsualPort(service, from) ? UsualPort(service, to) : port;
}

std::optional<platform::Text> PinText(std::string_view typed) {
  if (typed.find_first_not_of(" \t") == std::string_view::npos) return platform::Text();
  const std::optional<net::Fingerprint> fingerprint = net::ReadFingerprint(typed);
  if (!fingerprint) return std::nullopt;
  return net::FingerprintText(*fingerprint);
}

Pop3Page ReadPop3Page(const store::MailBox& account) {
  return {FieldText(account.Name), FieldText(account.Server), account.Port, FieldText(account.User),
          FieldText(account.Pass), account.APOP == 1, account.CyclicFlag == 1, account.PopTls,
          FieldText(account.PopFingerprint)};
}

SmtpPage ReadSmtpPage(const store::MailBox& account) {
  return {FieldText(account.UserName),
          FieldText(account.MailAddress),
          FieldText(account.SmtpServer),
          account.SmtpPort,
          account.SmtpAuth == 1,
          {account.AuthUserPass == 0, FieldText(account.SmtpUser), FieldText(account.SmtpPass)},
          account.PopBeforeSmtp == 1,
          account.MyAddr2Bcc == 1,
          account.SmtpTls,
          FieldText(account.SmtpFingerprint)};
}

void ShowAccountPage(AccountSheet& sheet, AccountPage page, const store::MailBox& account, const Settings& settings,
                     const std::vector<platform::Text>& entries) {
  switch (page) {
    case AccountPage::kPop3:
      if (!sheet.pop3) sheet.pop3 = ReadPop3Page(account);
      break;
    case AccountPage::kSmtp:
      if (!sheet.smtp) sheet.smtp = ReadSmtpPage(account);
      break;
    case AccountPage::kSignature:
      if (!sheet.signature) sheet.signature = platform::WithLfLineBreaks(FieldText(account.Signature));
      break;
    case AccountPage::kFilter:
      if (!sheet.filter) sheet.filter.emplace(account);
      break;
    case AccountPage::kConnection:
      if (!sheet.connection) sheet.connection.emplace(account, settings, entries);
      break;
  }
}

std::optional<std::string> CheckAccountSheet(const AccountSheet& sheet) {
  if (sheet.pop3 && !PinText(sheet.pop3->fingerprint)) {
    return "The POP3 certificate fingerprint is not a SHA-256 fingerprint";
  }
  if (sheet.smtp && !PinText(sheet.smtp->fingerprint)) {
    return "The SMTP certificate fingerprint is not a SHA-256 fingerprint";
  }
  return std::nullopt;
}

void ConfirmAccountSheet(const AccountSheet& sheet, store::MailBox& account, Settings& settings) {
  if (sheet.pop3) StorePop3(*sheet.pop3, account);
  if (sheet.smtp) StoreSmtp(*sheet.smtp, account);
  if (sheet.signature) account.Signature = platform::WithCrLfLineBreaks(*sheet.signature);
  if (sheet.filter) sheet.filter->Store(account);
  if (sheet.connection) sheet.connection->Store(account, settings);
}

}  // namespace zelk::config
