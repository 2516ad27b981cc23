#include "ui/startup.h"

#include "net/conversation_log.h"
#include "store/mailbox_file.h"
#include "ui/command_line_rule.h"
#include "ui/mailbox_selection.h"

namespace zelk::ui {

config::LoadResult LoadMailStore(const std::string& homeDirectory, config::Settings& settings,
                                 store::MailBoxTable& table) {
  store::Init(table);
  // The selector is filled once everything is read, the local folders first.
  store::NoSelector selector;
  config::LoadResult loaded = config::LoadSettings(homeDirectory, settings, table, selector);
  loaded.ok = loaded.ok && store::LoadLocalBoxes(table, config::DataDirectoryPath(settings, homeDirectory));
  return loaded;
}

StartupPlan StartUp(ProgramState& state, bool haveCommandLine, mime::LocalZone& zone, const platform::Clock& clock,
                    WindowPorts& ports, ports::ShellPort& shell) {
  shell.SetWaitCursor(true);
  const config::LoadResult loaded = LoadMailStore(state.home, state.settings, state.table);
  if (!loaded.ok) {
    shell.SetWaitCursor(false);
    ports.dialogs.ShowMessage("Error", kInitialisationError, ports::MessageIcon::kError, ports::MessageButtons::kOk);
    return {};
  }
  const config::Settings& settings = state.settings;
  for (const auto& box : state.table.boxes) ports.selector.EntryAdded(store::NameOrUntitled(*box));
  state.list.settings = ListSettingsFor(settings, zone.Offset(settings.TimeZone, clock));
  SelectMailbox(state, store::kFirstAccountIndex, ports);
  if (settings.SocLog == 1) net::ConversationLog(state.home, true).DeleteOldLog();
  shell.SetWaitCursor(false);

  StartupPlan plan;
  plan.ok = true;
  plan.trayIcon = settings.ShowTrayIcon == 1;
  plan.autoCheckTimer = settings.AutoCheck == 1;
  plan.openAccountSettings = loaded.needsAccountSetup;
  // The new account's settings need the window on screen.
  plan.showWindow = loaded.needsAccountSetup || !(settings.ShowTrayIcon == 1 && settings.StartHide == 1);
  plan.checkAll = !loaded.needsAccountSetup && settings.StartCheck == 1;
  plan.commandLinePending = !loaded.needsAccountSetup && haveCommandLine;
  return plan;
}

platform::Text CarryOutStartupPlan(const StartupPlan& plan, ProgramState& state, ui::NetworkCommands& commands,
                                   const platform::Text& commandLine, WindowPorts& ports) {
  if (!plan.ok) return {};
  if (plan.autoCheckTimer) commands.ArmAutoCheck();
  if (plan.checkAll) (void)commands.CheckAll();
  if (!plan.commandLinePending) return {};
  const CommandLineRequest request = ReadCommandLine(state.table, commandLine);
  if (request.account >= 0) SelectMailbox(state, request.account, ports);
  return request.address;
}

void SetUpFirstAccount(ProgramState& state, WindowPorts& ports) {
  if (ports.window.EditAccount(store::kFirstAccountIndex)) SelectMailbox(state, store::kFirstAccountIndex, ports);
  // Written now, so the next start finds the account even if this run ends badly; a failed
  // write is tried again at exit.
  (void)config::SaveSettings(state.home, state.settings, state.table, false);
}

}  // namespace zelk::ui
