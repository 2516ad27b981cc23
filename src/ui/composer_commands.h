#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "ui/program_state.h"

// What the composer's commands do to the program beyond its own window: the questions before a
// save, storing the message in the Outbox and showing it there, and what follows the save.
namespace zelk::ui {

inline constexpr char kSendingBarred[] = "Sending barred!  Transmission in progress";
inline constexpr char kModelDependentQuestion[] = "There is a character depending on the model.  Proceed?";
inline constexpr char kCancelEditQuestion[] = "Cancel the edit?";
inline constexpr char kSendItQuestion[] = "Send it?";

// A character that only some machines show, in text sent as ISO-2022-JP: asks whether to go on.
// The character's position (UTF-16 units) when the user said No, to select it; nothing otherwise.
std::optional<std::size_t> RefusedModelDependentChar(std::string_view text, const config::Settings& settings,
                                                     ports::DialogPort& dialogs);

struct SaveSteps {
  // The editor's text; none when the body came back from an external editor already stored.
  std::optional<platform::Text> editedText;
  // No question and no dialog (the program is closing the composer), and the list left as it is.
  bool silent = false;
  std::function<void(std::size_t position)> selectInBody;  // the refused character
  std::function<bool()> property;  // the Property dialog for a message without a subject; false: cancelled
};

// Stores the message in the Outbox (wrapped and escaped from the editor's text) and, unless
// silent, shows it there: the Outbox chosen when SelectSendBox says so, its row selected and
// the main window raised. False when the user stopped the save.
bool SaveToOutbox(ProgramState& state, WindowPorts& ports, const store::ItemRef& item, const SaveSteps& steps);

// The message is no composer's any more; with AutoSave the Outbox file is written at once. False
// when that write failed (the file is written again when the program ends).
[[nodiscard]] bool ReleaseSavedItem(ProgramState& state, store::MailItem& item);

// The row of an Outbox message redrawn (its clip follows Attach) while the Outbox is shown.
void RedrawOutboxRow(ProgramState& state, WindowPorts& ports, const store::MailItem& item);

}  // namespace zelk::ui
