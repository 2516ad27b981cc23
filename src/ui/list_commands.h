#pragma once
#include <span>

#include "ui/program_state.h"

// The commands that act on the selected rows of the list shown (state.list): rows are positions
// in the list as shown. Each tells the view which rows changed through the list port.
namespace zelk::ui {

// Ctrl+D: marked for download (for sending in the Outbox); a row already marked stays marked.
// Nothing happens in the Savebox, which has no server.
void MarkRowsForDownload(ProgramState& state, std::span<const int> rows, WindowPorts& ports);
// Ctrl+Enter: as above, but a row that carries the mark loses it.
void ToggleDownloadMark(ProgramState& state, std::span<const int> rows, WindowPorts& ports);
// Only an account's mail can be deleted on its server.
void MarkRowsForDelete(ProgramState& state, std::span<const int> rows, WindowPorts& ports);
void CancelMarks(ProgramState& state, std::span<const int> rows, WindowPorts& ports);
// Rows whose body is here become read or unread; the counts follow.
void MarkRowsAsRead(ProgramState& state, std::span<const int> rows, bool read, WindowPorts& ports);

// Ctrl+C. In an account: Copy to Savebox, after the question when SaveMsg is 1. A Savebox item
// with the same Message-Id is replaced, but a whole message by a header-only copy only after a
// second question. With AutoSave 1 the Savebox file is written; "Copy to Savebox failed" when
// memory runs out. In the Outbox: Create copy, each row copied as a new unsent message at the end
// of the list with the first copy selected; "Copy failed" when memory runs out. Nothing in the
// Savebox. True when something was copied.
bool CopyRows(ProgramState& state, std::span<const int> rows, WindowPorts& ports);
// Delete: after the question, the rows' items leave the mailbox (never the server). False when
// the user said No.
bool DeleteFromList(ProgramState& state, std::span<const int> rows, WindowPorts& ports);

}  // namespace zelk::ui
