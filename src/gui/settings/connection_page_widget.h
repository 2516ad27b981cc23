#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "config/connection_page.h"

namespace zelk::gui {

// The "Connection" page: LAN or dial-up, the dial-up entry with its login, and whether to hang up
// another connection this program dialled.
class ConnectionPageWidget final : public QObject {
 public:
  ConnectionPageWidget(config::ConnectionPage& values, QWidget& page);
  void Collect();

 private:
  void ApplyEnabling();
  void ListClosed();

  config::ConnectionPage& values_;
  QRadioButton* lan_;
  QRadioButton* dialUp_;
  QComboBox* entries_;
  QLineEdit* user_;
  QLineEdit* password_;
  QCheckBox* hangUpAndDial_;
};

}  // namespace zelk::gui
