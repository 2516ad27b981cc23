#include "ui/exit_sequence.h"

#include "ui/save_all.h"

namespace zelk::ui {

namespace {

bool ContinueAfterFailedSave(ports::DialogPort& dialogs) {
  return dialogs.ShowMessage("Error", "Save File error \nContinue?", ports::MessageIcon::kQuestion, ports::MessageButtons::kYesNo) ==
         ports::Answer::kYes;
}

}  // namespace

bool RunExitSequence(ProgramState& state, ExitPort& exit, ports::DialogPort& dialogs, ports::ShellPort& shell) {
  shell.SetWaitCursor(true);
  const config::Settings& settings = state.settings;
  if (exit.StopConversation() && settings.RasCheckEndDisCon == 1) exit.HangUp();
  if (exit.Dialing() || settings.RasEndDisCon == 1) exit.HangUp();
  exit.CloseViewerAndComposers();

  bool goOn = SaveLocalFiles(state.home, settings, state.table) || ContinueAfterFailedSave(dialogs);
  if (goOn) {
    state.settings.LvColSize = exit.ColumnWidths();
    goOn = config::SaveSettings(state.home, settings, state.table, true) || ContinueAfterFailedSave(dialogs);
  }
  shell.SetWaitCursor(false);
  return goOn;
}

}  // namespace zelk::ui
