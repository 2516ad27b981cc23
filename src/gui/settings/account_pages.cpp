#include "gui/settings/account_pages.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/settings/sheet_widgets.h"
#include "gui/settings/smtp_auth_dialog.h"

namespace zelk::gui {

namespace {

constexpr int kHighestPort = 65535;

// The port and the TLS mode on one row: choosing a mode proposes its usual port.
QWidget* PortRow(QSpinBox* port, QComboBox* tls, QWidget& page) {
  auto* row = new QWidget(&page);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(port);
  layout->addWidget(new QLabel("TLS:", row));
  layout->addWidget(tls, 1);
  return row;
}

void FollowTlsChoice(QObject* owner, config::MailService service, QSpinBox* port, QComboBox* tls,
                     store::TlsMode& shown) {
  QObject::connect(tls, &QComboBox::currentIndexChanged, owner, [service, port, &shown](int index) {
    const auto chosen = static_cast<store::TlsMode>(index);
    port->setValue(config::PortAfterModeChange(service, shown, chosen, port->value()));
    shown = chosen;
  });
}

// Tab goes down the page as it reads, whatever order the fields were made in.
void TabInOrder(std::initializer_list<QWidget*> fields) {
  QWidget* previous = nullptr;
  for (QWidget* field : fields) {
    if (previous) QWidget::setTabOrder(previous, field);
    previous = field;
  }
}

store::TlsMode ChosenTls(const QComboBox* tls) { return static_cast<store::TlsMode>(tls->currentIndex()); }

}  // namespace

Pop3PageWidget::Pop3PageWidget(config::Pop3Page& values, QWidget& page)
    : QObject(&page),
      values_(values),
      name_(NewField(values.name, "accountName", &page)),
      server_(NewField(values.server, "popServer", &page)),
      user_(NewField(values.user, "popUser", &page)),
      password_(NewPasswordField(values.password, "popPassword", &page)),
      fingerprint_(NewField(values.fingerprint, "popFingerprint", &page)),
      port_(NewNumberField(values.port, 0, kHighestPort, "popPort", &page)),
      tls_(NewTlsChoice(values.tls, "popTls", &page)),
      apop_(NewBox("Enable APOP", values.apop, "apop", &page)),
      exempt_(NewBox("Exempt from Check All", values.exemptFromCheckAll, "exemptFromCheckAll", &page)),
      shownTls_(values.tls) {
  fingerprint_->setPlaceholderText("SHA-256, when the certificate is pinned");
  auto* form = new QFormLayout(&page);
  form->addRow("Account:", name_);
  form->addRow("POP3 server:", server_);
  form->addRow("Port:", PortRow(port_, tls_, page));
  form->addRow("Username:", user_);
  form->addRow("Password:", password_);
  form->addRow(apop_);
  form->addRow(exempt_);
  form->addRow("Certificate:", fingerprint_);
  FollowTlsChoice(this, config::MailService::kPop3, port_, tls_, shownTls_);
  TabInOrder({name_, server_, port_, tls_, user_, password_, apop_, exempt_, fingerprint_});
  name_->setFocus();
}

void Pop3PageWidget::Collect() {
  values_ = {FromQt(name_->text()), FromQt(server_->text()), port_->value(),      FromQt(user_->text()),
             FromQt(password_->text()), apop_->isChecked(), exempt_->isChecked(), ChosenTls(tls_),
             FromQt(fingerprint_->text())};
}

SmtpPageWidget::SmtpPageWidget(config::SmtpPage& values, QWidget& page, const config::Settings& settings)
    : QObject(&page),
      values_(values),
      name_(NewField(values.name, "userName", &page)),
      address_(NewField(values.address, "mailAddress", &page)),
      server_(NewField(values.server, "smtpServer", &page)),
      fingerprint_(NewField(values.fingerprint, "smtpFingerprint", &page)),
      port_(NewNumberField(values.port, 0, kHighestPort, "smtpPort", &page)),
      tls_(NewTlsChoice(values.tls, "smtpTls", &page)),
      auth_(NewBox("Enable SMTP-AUTH", values.smtpAuth, "smtpAuth", &page)),
      popBeforeSmtp_(NewBox("POP before SMTP", values.popBeforeSmtp, "popBeforeSmtp", &page)),
      copyToSelf_(NewBox("Send copy to self", values.copyToSelf, "copyToSelf", &page)),
      setup_(new QPushButton("setup", &page)),
      shownTls_(values.tls) {
  setup_->setObjectName("smtpAuthSetup");
  fingerprint_->setPlaceholderText("SHA-256, when the certificate is pinned");
  auto* authRow = new QWidget(&page);
  auto* authLayout = new QHBoxLayout(authRow);
  authLayout->setContentsMargins(0, 0, 0, 0);
  authLayout->addWidget(auth_, 1);
  authLayout->addWidget(setup_);
  auto* form = new QFormLayout(&page);
  form->addRow("Name:", name_);
  form->addRow("Address:", address_);
  form->addRow("SMTP server:", server_);
  form->addRow("Port:", PortRow(port_, tls_, page));
  form->addRow(authRow);
  form->addRow(popBeforeSmtp_);
  form->addRow(copyToSelf_);
  form->addRow("Certificate:", fingerprint_);
  FollowTlsChoice(this, config::MailService::kSmtp, port_, tls_, shownTls_);
  TabInOrder({name_, address_, server_, port_, tls_, auth_, setup_, popBeforeSmtp_, copyToSelf_, fingerprint_});
  setup_->setEnabled(auth_->isChecked());
  connect(auth_, &QCheckBox::toggled, setup_, &QWidget::setEnabled);
  connect(setup_, &QPushButton::clicked, this, [this, &settings] {
    SmtpAuthDialog dialog(values_.auth, setup_->window());
    ApplyListFont(&dialog, settings);
    if (dialog.exec() == QDialog::Accepted) values_.auth = dialog.Values();
  });
}

void SmtpPageWidget::Collect() {
  const config::SmtpAuth auth = values_.auth;
  values_ = {FromQt(name_->text()),   FromQt(address_->text()),     FromQt(server_->text()),
             port_->value(),          auth_->isChecked(),           auth,
             popBeforeSmtp_->isChecked(), copyToSelf_->isChecked(), ChosenTls(tls_),
             FromQt(fingerprint_->text())};
}

SignaturePageWidget::SignaturePageWidget(platform::Text& values, QWidget& page)
    : QObject(&page), values_(values), text_(new QPlainTextEdit(ToQt(values), &page)) {
  text_->setObjectName("signature");
  auto* layout = new QVBoxLayout(&page);
  layout->addWidget(new QLabel("Signature:", &page));
  layout->addWidget(text_, 1);
}

void SignaturePageWidget::Collect() { values_ = FromQt(text_->toPlainText()); }

}  // namespace zelk::gui
