#include "book/address_book.h"

#include <new>

#include "compose/address_list.h"
#include "compose/property_pages.h"
#include "platform/utf8.h"
#include "store/mailbox_file.h"

namespace zelk::book {

Text CleanEntryText(std::string_view text) {
  return Text(platform::CutToUtf16Units(compose::OneLineText(text), kEntryUnits));
}

std::optional<Row> EnteredRow(std::string_view address, std::string_view comment) {
  Row row{CleanEntryText(address), CleanEntryText(comment)};
  if (row.address.empty()) return std::nullopt;
  return row;
}

std::vector<Row> RowsOfBook(const store::MailBox& book) {
  std::vector<Row> rows;
  rows.reserve(book.Items.size());
  for (const store::ItemRef& entry : book.Items) {
    if (entry) rows.push_back({entry->To.value_or(""), entry->Subject.value_or("")});
  }
  return rows;
}

bool MoveSelectedUp(std::vector<Row>& rows, std::vector<bool>& selected) {
  if (selected.empty() || selected.size() != rows.size() || selected.front()) return false;
  bool moved = false;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (!selected[i]) continue;
    std::swap(rows[i - 1], rows[i]);
    selected[i - 1] = true;
    selected[i] = false;
    moved = true;
  }
  return moved;
}

bool MoveSelectedDown(std::vector<Row>& rows, std::vector<bool>& selected) {
  if (selected.empty() || selected.size() != rows.size() || selected.back()) return false;
  bool moved = false;
  for (std::size_t i = rows.size() - 1; i-- > 0;) {
    if (!selected[i]) continue;
    std::swap(rows[i], rows[i + 1]);
    selected[i + 1] = true;
    selected[i] = false;
    moved = true;
  }
  return moved;
}

Text JoinAddresses(std::span<const Text> addresses) {
  Text joined;
  for (const Text& address : addresses) {
    if (!joined.empty()) joined += ", ";
    joined += address;
  }
  return joined;
}

std::optional<Text> JoinSelectedAddresses(const std::vector<Row>& rows, const std::vector<bool>& selected) {
  std::vector<Text> addresses;
  for (std::size_t i = 0; i < rows.size() && i < selected.size(); ++i) {
    if (selected[i]) addresses.push_back(rows[i].address);
  }
  if (addresses.empty()) return std::nullopt;
  return JoinAddresses(addresses);
}

bool SaveBookIfAutoSave(const store::MailBoxTable& table, const config::Settings& settings, const std::string& home) {
  if (settings.AutoSave != 1) return true;
  return store::SaveAddressList(config::DataDirectoryPath(settings, home) + kBookFile, table.addressBook);
}

bool ConfirmRows(store::MailBoxTable& table, const std::vector<Row>& rows, const config::Settings& settings,
                 const std::string& home) {
  // Built aside first: running out of memory half-way leaves the book as it was.
  std::vector<store::ItemRef> entries;
  entries.reserve(rows.size());
  for (const Row& row : rows) {
    auto entry = std::make_shared<store::MailItem>();
    entry->To = row.address;
    entry->Subject = row.comment;
    entries.push_back(std::move(entry));
  }
  table.addressBook.Items = std::move(entries);
  return SaveBookIfAutoSave(table, settings, home);
}

std::vector<MessageAddress> MessageAddresses(const store::MailItem& item) {
  std::vector<MessageAddress> rows;
  const std::pair<const char*, const store::OptionalText*> fields[] = {
      {"From:", &item.From}, {"Reply-To:", &item.ReplyTo}, {"To:", &item.To}, {"Cc:", &item.Cc}};
  for (const auto& [header, field] : fields) {
    if (!*field) continue;
    const std::string_view list = **field;
    for (std::size_t pos = 0; pos < list.size();) {
      compose::ListElement element = compose::CopyListElement(list, pos);
      if (!element.text.empty()) rows.push_back({header, std::move(element.text)});
      pos = element.end + 1;
    }
  }
  return rows;
}

Text AddAddressesQuestion(std::size_t count) {
  return "Add " + std::to_string(count) + " mail addresses to the address book?";
}

bool AddToBook(store::MailBox& book, std::span<const Text> addresses) {
  try {
    for (const Text& address : addresses) {
      auto entry = std::make_shared<store::MailItem>();
      entry->To = CleanEntryText(address);
      store::Append(book, std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

store::MailItem WithReplyTo(const store::MailItem& item, const Text& joinedAddresses) {
  store::MailItem copy = item;
  copy.ReplyTo = joinedAddresses;
  return copy;
}

}  // namespace zelk::book
