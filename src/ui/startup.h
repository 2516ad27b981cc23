#pragma once
#include <string>

#include "config/settings.h"
#include "mime/dates.h"
#include "ui/network_commands.h"
#include "platform/clock.h"
#include "store/mailbox_table.h"
#include "ports/ports.h"
#include "ui/program_state.h"

namespace zelk::ui {

inline constexpr char kInitialisationError[] = "Initialisation error";

// Everything the program keeps between runs, read in the order it is stored: the profile with
// each account followed by its mailbox file, then the Savebox, the Outbox and the address book.
// Not ok when a file that exists cannot be read. A profile without accounts gets one empty
// account, and needsAccountSetup says so.
config::LoadResult LoadMailStore(const std::string& homeDirectory, config::Settings& settings,
                                 store::MailBoxTable& table);

// What the front-end does once the main window's data is loaded.
struct StartupPlan {
  bool ok = false;                   // false: "Initialisation error" was shown, the program ends
  bool showWindow = true;            // not hidden at start (a tray icon with StartHide hides it)
  bool trayIcon = false;
  bool autoCheckTimer = false;
  bool openAccountSettings = false;  // the first start: SetUpFirstAccount, and nothing below
  bool checkAll = false;             // StartCheck
  bool commandLinePending = false;   // ReadCommandLine, then a composer from what is left
};

// The main window's start: the mail store loaded into state (under the wait cursor), every
// mailbox in the selector, the first account shown, and the old log gone when SocLog is 1.
StartupPlan StartUp(ProgramState& state, bool haveCommandLine, mime::LocalZone& zone, const platform::Clock& clock,
                    WindowPorts& ports, ports::ShellPort& shell);

// What follows once the window is up: the AutoCheck timer armed, "Check all accounts" with
// StartCheck, then the command line read, its account shown. The answer is the address a
// composer opens with; empty: none.
platform::Text CarryOutStartupPlan(const StartupPlan& plan, ProgramState& state, ui::NetworkCommands& commands,
                                   const platform::Text& commandLine, WindowPorts& ports);

// The first start: the settings of the one empty account, then the profile written whatever the
// user chose, so the next start finds an account.
void SetUpFirstAccount(ProgramState& state, WindowPorts& ports);

}  // namespace zelk::ui
