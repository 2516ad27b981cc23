#pragma once
#include <cstdint>

#include "ui/program_state.h"

namespace zelk::ui {

// How the list reads the settings; `localOffset` is the local zone (mime::LocalZone).
store::ListSettings ListSettingsFor(const config::Settings& settings, std::int32_t localOffset);

// Shows mailbox `index` (0 Savebox, 1 Outbox, 2 and up accounts): it becomes the selected one,
// its unread marker goes (the selector entry shows its plain name again) and the list is filled
// with its items. False for an index that names no mailbox.
bool SelectMailbox(ProgramState& state, int index, WindowPorts& ports);
// Alt+Up / Alt+Down: the mailbox before or after the selected one, if there is one.
bool SelectPreviousMailbox(ProgramState& state, WindowPorts& ports);
bool SelectNextMailbox(ProgramState& state, WindowPorts& ports);

// The three menu items that change with the mailbox shown: Reply or the Outbox's Property, Mark
// for download or for sending, Copy to Savebox or Create copy.
struct MailMenuTexts {
  const char* reply;
  const char* mark;
  const char* copy;
};
MailMenuTexts MailMenuTextsFor(int mailbox, bool compactLayout);

}  // namespace zelk::ui
