#pragma once
#include "ui/program_state.h"

// The Account menu: what each command does to the mailbox table and the profile.
namespace zelk::ui {

// Add: a new account is shown and its settings sheet opened; cancelled, the account goes again;
// confirmed, it is shown anew and with AutoSave 1 the profile written. True when it stays.
bool AddAccount(ProgramState& state, WindowPorts& ports);
// Edit: the settings of the selected account, unless a conversation serves it. Confirmed, the
// account is shown anew and with AutoSave 1 the profile written.
bool EditAccount(ProgramState& state, int conversationMailbox, WindowPorts& ports);
// Delete: the selected account after "Delete account?", unless it is a local folder or a
// conversation serves it; the mailbox before it is shown. Returns the index of the mailbox the
// conversation serves afterwards (an account after the deleted one moves down by one); the
// front-end tells ui::NetworkCommands::MailboxDeleted, which moves the conversation and a cycle.
int DeleteAccount(ProgramState& state, int conversationMailbox, WindowPorts& ports);
// Initialise: after the dialog set where the next check starts, the last message seen is
// forgotten. True when confirmed.
bool InitialiseAccount(ProgramState& state, WindowPorts& ports);

}  // namespace zelk::ui
