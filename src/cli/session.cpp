#include "cli/session.h"

#include "platform/home_directory.h"
#include "ui/mailbox_selection.h"
#include "ui/startup.h"

namespace zelk::cli {

std::optional<Session> OpenSession(const std::optional<std::string>& homeOption, std::string& error) {
  Session session;
  session.home = platform::HomeDirectoryFor(homeOption);
  if (!platform::EnsureDirectory(session.home)) {
    error = "Cannot create the directory " + session.home;
    return std::nullopt;
  }
  if (!ui::LoadMailStore(session.home, session.settings, session.table).ok) {
    error = "Cannot read the mailbox files in " + config::DataDirectoryPath(session.settings, session.home);
    return std::nullopt;
  }
  return session;
}

store::ListSettings ListSettingsOf(Session& session) {
  return ui::ListSettingsFor(session.settings, session.zone.Offset(session.settings.TimeZone, session.clock));
}

}  // namespace zelk::cli
