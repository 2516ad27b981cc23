#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "store/list_model.h"

// Find in the viewer: in the text shown, then (when asked) through the following messages of the
// list. Positions count UTF-16 units, as the text pane counts them.
namespace zelk::viewer {

struct FindRequest {
  std::u16string text;
  bool matchCase = false;
  bool subjectFind = false;  // a message's subject is searched before its text
};

std::u16string ToUtf16(std::string_view text);

// The first hit at or after `from`; nothing when there is none.
std::optional<std::size_t> FindInText(std::u16string_view text, std::u16string_view needle, std::size_t from,
                                      bool matchCase);

// Where a search of the shown text starts: the last hit's start + 1 (findPosition), unless the
// user moved the caret since, then the start of the selection.
std::size_t SearchStart(std::size_t findPosition, std::size_t selectionStart);

enum class ShownOutcome {
  kHit,         // select it
  kSearchRows,  // nothing more here: on through the following messages (AllFind)
  kNotFound,    // not in this text at all: say so
};

struct ShownResult {
  ShownOutcome outcome = ShownOutcome::kNotFound;
  std::size_t position = 0;  // of the hit
};

// A search of the text shown, from SearchStart; without AllFind a miss starts once more from the
// top of the text.
ShownResult FindInShownText(std::u16string_view pane, std::u16string_view needle, std::size_t findPosition,
                            std::size_t selectionStart, bool matchCase, bool allFind);

enum class RowsOutcome { kFound, kNotFound, kAborted };

struct RowsResult {
  RowsOutcome outcome = RowsOutcome::kNotFound;
  int row = -1;
  bool inSubject = false;  // the hit is in the subject: the message is shown, nothing selected
};

// Searches the rows from `from` to the end of the list, those whose item has a body, by the text
// the pane would show for each. Messages passed over are not touched (nor marked read).
// `aborted` is asked before each message.
RowsResult FindInRows(const store::ListModel& list, int from, const FindRequest& request,
                      std::string_view fallbackCharset, const std::function<bool()>& aborted);

// "Search all mails in folder": FindInRows from `from`; when nothing is found, `redoFromStart`
// (the question "Search completed! Redo from the start?") decides whether it goes on from the top,
// again and again until a hit, a No or an abort.
RowsResult FindThroughRows(const store::ListModel& list, int from, const FindRequest& request,
                           std::string_view fallbackCharset, const std::function<bool()>& aborted,
                           const std::function<bool()>& redoFromStart);

inline constexpr char kFindCaption[] = "Find";
inline constexpr char kNoFindText[] = "No 'Find' string entered";
platform::Text NotFoundText(const platform::Text& findText);
inline constexpr char kRedoQuestion[] = "Search completed!\nRedo from the start?";
platform::Text RedoCaption(const platform::Text& findText);

}  // namespace zelk::viewer
