#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "config/account_sheet.h"

// The "POP3", "SMTP" and "Signature" pages of the account settings: each shows its page's values
// and writes the controls back into them when the sheet is confirmed.
namespace zelk::gui {

class Pop3PageWidget final : public QObject {
 public:
  Pop3PageWidget(config::Pop3Page& values, QWidget& page);
  void Collect();

 private:
  config::Pop3Page& values_;
  QLineEdit *name_, *server_, *user_, *password_, *fingerprint_;
  QSpinBox* port_;
  QComboBox* tls_;
  QCheckBox *apop_, *exempt_;
  store::TlsMode shownTls_;
};

class SmtpPageWidget final : public QObject {
 public:
  // `settings`: the list font for the "SMTP-AUTH" dialog.
  SmtpPageWidget(config::SmtpPage& values, QWidget& page, const config::Settings& settings);
  void Collect();

 private:
  config::SmtpPage& values_;
  QLineEdit *name_, *address_, *server_, *fingerprint_;
  QSpinBox* port_;
  QComboBox* tls_;
  QCheckBox *auth_, *popBeforeSmtp_, *copyToSelf_;
  QPushButton* setup_;
  store::TlsMode shownTls_;
};

class SignaturePageWidget final : public QObject {
 public:
  SignaturePageWidget(platform::Text& values, QWidget& page);
  void Collect();

 private:
  platform::Text& values_;
  QPlainTextEdit* text_;
};

}  // namespace zelk::gui
