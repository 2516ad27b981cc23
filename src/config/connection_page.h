#pragma once
#include <vector>

#include "config/settings.h"
#include "store/mailbox.h"

// The account's connection page without the widgets: LAN or dial-up, which of the device's
// dial-up entries, and the login each entry dials with.
namespace zelk::config {

class ConnectionPage {
 public:
  // `entries`: the device's dial-up entries; the list offers them and one empty entry after them.
  // The account's entry is chosen by leading text, ignoring case; the login shown is that of the
  // entry named exactly so.
  ConnectionPage(const store::MailBox& account, const Settings& settings, std::vector<platform::Text> entries);

  bool dialUp = false;       // "Dial-up" chosen rather than "LAN"
  bool hangUpAndDial = false;
  platform::Text user;       // the fields as shown and edited
  platform::Text password;

  const std::vector<platform::Text>& choices() const { return choices_; }
  int chosen() const { return chosen_; }

  // Without dial-up entries nothing on the page can be changed.
  bool RadioButtonsEnabled() const { return choices_.size() > 1; }
  bool ListEnabled() const { return RadioButtonsEnabled() && dialUp; }
  // The login and the box belong to an entry: not for the empty one.
  bool LoginEnabled() const { return ListEnabled() && chosen_ < static_cast<int>(choices_.size()) - 1; }

  // The drop-down list closed on `index`: the login shown so far is kept for the entry chosen
  // before, and the login of the entry now chosen is shown.
  void ListClosed(int index);

  // The settings confirmed: the mode, the entry, its login and the box into the account, and
  // every login typed on the page into the settings. Without dial-up entries nothing changes.
  void Store(store::MailBox& account, Settings& settings) const;

 private:
  void KeepLogin();
  void ShowLogin();

  std::vector<platform::Text> choices_;
  int chosen_ = 0;
  Settings logins_;  // RasInfos only: the logins as edited here, kept until the sheet is confirmed
};

}  // namespace zelk::config
