#include "config/connection_page.h"

#include <utility>

#include "config/sheet_fields.h"
#include "platform/text_compare.h"
#include "platform/utf8.h"

namespace zelk::config {

namespace {

// The first choice that begins with `text`, ignoring case; the empty entry (the last) for an
// empty text or none.
int ChoiceByLeadingText(const std::vector<platform::Text>& choices, const platform::Text& text) {
  const int empty = static_cast<int>(choices.size()) - 1;
  if (text.empty()) return empty;
  const std::size_t units = platform::Utf16Length(text);
  for (int i = 0; i < empty; ++i) {
    const std::string_view start = platform::CutToUtf16Units(choices[static_cast<std::size_t>(i)], units);
    if (platform::EqualIgnoringCase(start, text)) return i;
  }
  return empty;
}

}  // namespace

ConnectionPage::ConnectionPage(const store::MailBox& account, const Settings& settings,
                               std::vector<platform::Text> entries)
    : dialUp(account.RasMode == 1), hangUpAndDial(account.RasReCon == 1), choices_(std::move(entries)) {
  choices_.emplace_back();
  logins_.RasInfos = settings.RasInfos;
  chosen_ = ChoiceByLeadingText(choices_, FieldText(account.RasEntry));
  // The login of the entry the account names, even when the list found another one by its start.
  const int info = FindRasInfo(logins_, FieldText(account.RasEntry));
  if (info >= 0) {
    user = logins_.RasInfos[static_cast<std::size_t>(info)].RasUser;
    password = logins_.RasInfos[static_cast<std::size_t>(info)].RasPass;
  }
}

void ConnectionPage::KeepLogin() {
  SetRasInfo(logins_, choices_[static_cast<std::size_t>(chosen_)], CutField(user), CutField(password));
}

void ConnectionPage::ShowLogin() {
  const int info = FindRasInfo(logins_, choices_[static_cast<std::size_t>(chosen_)]);
  user = info >= 0 ? logins_.RasInfos[static_cast<std::size_t>(info)].RasUser : platform::Text();
  password = info >= 0 ? logins_.RasInfos[static_cast<std::size_t>(info)].RasPass : platform::Text();
}

void ConnectionPage::ListClosed(int index) {
  if (index < 0 || index >= static_cast<int>(choices_.size())) return;
  KeepLogin();
  chosen_ = index;
  ShowLogin();
}

void ConnectionPage::Store(store::MailBox& account, Settings& settings) const {
  if (!RadioButtonsEnabled()) return;
  account.RasMode = dialUp ? 1 : 0;
  account.RasEntry = choices_[static_cast<std::size_t>(chosen_)];
  account.RasReCon = hangUpAndDial ? 1 : 0;
  settings.RasInfos = logins_.RasInfos;
  SetRasInfo(settings, choices_[static_cast<std::size_t>(chosen_)], CutField(user), CutField(password));
}

}  // namespace zelk::config
