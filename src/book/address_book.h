#pragma once
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/settings.h"
#include "store/mailbox_table.h"

// The address book's rules without its dialogs: the rows the dialog edits, what OK makes of
// them, the addresses of a message and adding them to the book.
namespace zelk::book {

using platform::Text;

inline constexpr std::size_t kEntryUnits = 254;
inline constexpr char kBookFile[] = "Address.lst";

inline constexpr char kNoAddressSelected[] = "No address selected";
inline constexpr char kNoAddressEntered[] = "No mail address entered";
inline constexpr char kAddressNotAdded[] = "Address not added";

// One row of the book's list: an entry's To and Subject.
struct Row {
  Text address;
  Text comment;
};

// A typed address or comment as the book keeps it: one line of at most 254 units, tabs turned
// into spaces, CR and LF removed.
Text CleanEntryText(std::string_view text);

// The entry dialog's OK: the row to store, or nothing when the address is empty (the dialog
// says kNoAddressEntered).
std::optional<Row> EnteredRow(std::string_view address, std::string_view comment);

std::vector<Row> RowsOfBook(const store::MailBox& book);

// "^" and "v": every selected row one place up (from the top down) or down (from the bottom up),
// staying selected; nothing when a selected row is already at that end. `selected` has one flag
// per row. True when something moved.
bool MoveSelectedUp(std::vector<Row>& rows, std::vector<bool>& selected);
bool MoveSelectedDown(std::vector<Row>& rows, std::vector<bool>& selected);

// The addresses joined by ", ".
Text JoinAddresses(std::span<const Text> addresses);

// The selected rows' addresses in list order, joined by ", "; nothing when none is selected.
std::optional<Text> JoinSelectedAddresses(const std::vector<Row>& rows, const std::vector<bool>& selected);

// OK in the book dialog: the book becomes the rows, in order; with AutoSave 1 Address.lst is
// written. False when writing failed (the book in memory is changed all the same).
[[nodiscard]] bool ConfirmRows(store::MailBoxTable& table, const std::vector<Row>& rows,
                               const config::Settings& settings, const std::string& home);

// Address.lst, when AutoSave asks for every change to be written at once; true otherwise.
[[nodiscard]] bool SaveBookIfAutoSave(const store::MailBoxTable& table, const config::Settings& settings,
                                      const std::string& home);

// --- Address information: the addresses of one message ---

struct MessageAddress {
  const char* header;  // "From:", "Reply-To:", "To:" or "Cc:"
  Text address;        // one element of the field, as the user would retype it
};

// From, Reply-To, To and Cc, each split into its elements.
std::vector<MessageAddress> MessageAddresses(const store::MailItem& item);

Text AddAddressesQuestion(std::size_t count);

// Appends each address (cleaned) as an entry without comment. False when one could not be made:
// those before it stay, the rest is not added.
[[nodiscard]] bool AddToBook(store::MailBox& book, std::span<const Text> addresses);

// The copy of a message a reply to chosen addresses answers: its Reply-To is those addresses.
store::MailItem WithReplyTo(const store::MailItem& item, const Text& joinedAddresses);

}  // namespace zelk::book
