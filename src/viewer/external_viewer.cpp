#include "viewer/external_viewer.h"

#include "compose/command_line.h"
#include "platform/launch.h"
#include "viewer/saving.h"

namespace zelk::viewer {

bool UsesExternalViewer(int defViewApp, bool shiftHeld) { return compose::UsesOtherProgram(defViewApp, shiftHeld); }

std::string ExternalViewerFile(const std::string& dataDirectory, const platform::Text& suffix) {
  return compose::HandedOverFile(dataDirectory, "view", suffix);
}

std::vector<std::string> ExternalViewerCommand(const platform::Text& viewApp, const platform::Text& commandLine,
                                               const std::string& file) {
  if (viewApp.empty()) return {"xdg-open", file};
  return compose::UserProgramCommand(viewApp, commandLine, file);
}

bool OpenExternalViewer(const store::MailItem& item, const config::Settings& settings,
                        const std::string& dataDirectory) {
  const std::string file = ExternalViewerFile(dataDirectory, settings.ViewFileSuffix);
  // Written whole to a fresh file (mode 0600) renamed into place: a link planted at the name is
  // replaced, never followed.
  if (!SaveMessageAsText(file, item, settings.ViewFileHeader, settings.UndeclaredCharset)) return false;
  return platform::LaunchProgram(ExternalViewerCommand(settings.ViewApp, settings.ViewAppCmdLine, file));
}

}  // namespace zelk::viewer
