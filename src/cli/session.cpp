#include "cli/session.h"

#include "platform/home_directory.h"
#include "store/mailbox_file.h"

namespace zelk::cli {

std::string HomeDirectory(const std::optional<std::string>& homeOption) {
  return platform::ChooseHomeDirectory(platform::HomeDirectoryInputsFromEnvironment(homeOption));
}

std::optional<Session> OpenSession(const std::optional<std::string>& homeOption, std::string& error) {
  Session session;
  session.home = HomeDirectory(homeOption);
  if (!platform::EnsureDirectory(session.home)) {
    error = "Cannot create the directory " + session.home;
    return std::nullopt;
  }
  store::Init(session.table);
  store::NoSelector selector;
  const config::LoadResult loaded = config::LoadSettings(session.home, session.settings, session.table, selector);
  const std::string data = config::DataDirectoryPath(session.settings, session.home);
  if (!loaded.ok || !store::LoadLocalBoxes(session.table, data)) {
    error = "Cannot read the mailbox files in " + data;
    return std::nullopt;
  }
  return session;
}

store::ListSettings ListSettingsOf(Session& session) {
  const config::Settings& s = session.settings;
  store::ListSettings list;
  list.LvAutoSort = s.LvAutoSort;
  list.LvSortItem = s.LvSortItem;
  list.LvThreadView = s.LvThreadView;
  list.LvDefSelectPos = s.LvDefSelectPos;
  list.datePictures = {s.DateFormat, s.TimeFormat};
  list.localOffset = session.zone.Offset(s.TimeZone, session.clock);
  return list;
}

}  // namespace zelk::cli
