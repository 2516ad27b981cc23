#pragma once
#include <string>
#include <vector>

#include "config/settings.h"
#include "store/mail_item.h"

// The message handed to another program: written to a file in the data folder that the program
// is started with.
namespace zelk::viewer {

// DefViewApp 1 makes the external viewer the default and Shift the way to the window; 0 the
// other way round.
bool UsesExternalViewer(int defViewApp, bool shiftHeld);

// The data folder + "$zelk_view." + ViewFileSuffix.
std::string ExternalViewerFile(const std::string& dataDirectory, const platform::Text& suffix);

// ViewApp with ViewAppCmdLine cut into arguments ("%1" the file, "%%" a "%"; the file alone when
// the command line is empty); without ViewApp, the desktop's program for the file.
std::vector<std::string> ExternalViewerCommand(const platform::Text& viewApp, const platform::Text& commandLine,
                                               const std::string& file);

// Writes the file (with ViewFileHeader as the header template) and starts the program. False
// when either failed.
[[nodiscard]] bool OpenExternalViewer(const store::MailItem& item, const config::Settings& settings,
                                      const std::string& dataDirectory);

}  // namespace zelk::viewer
