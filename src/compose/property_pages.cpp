#include "compose/property_pages.h"

#include <algorithm>

#include "compose/address_list.h"
#include "mime/multipart_builder.h"
#include "platform/text_compare.h"

namespace zelk::compose {

namespace {

constexpr char kRowSeparator[] = ",\r\n ";

std::vector<platform::Text> ListElements(std::string_view list) {
  std::vector<platform::Text> elements;
  for (std::size_t pos = 0; pos < list.size();) {
    ListElement element = CopyListElement(list, pos);
    if (!element.text.empty()) elements.push_back(OneLineText(element.text));
    pos = element.end + 1;
  }
  return elements;
}

}  // namespace

platform::Text SenderText(const store::MailBox& account) {
  if (!account.MailAddress || account.MailAddress->empty()) return {};
  const platform::Text address = "<" + *account.MailAddress + ">";
  return account.UserName && !account.UserName->empty() ? *account.UserName + " " + address : address;
}

platform::Text OneLineText(std::string_view text) {
  platform::Text line(text);
  std::replace(line.begin(), line.end(), '\t', ' ');
  std::erase_if(line, [](char c) { return c == '\r' || c == '\n'; });
  return line;
}

platform::Text PageCaption(std::string_view caption, bool holdsSomething) {
  return platform::Text(caption) + (holdsSomething ? " *" : "");
}

std::vector<CopyRow> CopyRowsOf(const store::OptionalText& cc, const store::OptionalText& bcc) {
  std::vector<CopyRow> rows;
  for (const bool isBcc : {false, true}) {
    const store::OptionalText& list = isBcc ? bcc : cc;
    if (!list) continue;
    for (platform::Text& element : ListElements(*list)) {
      while (!element.empty() && element.back() == ' ') element.pop_back();
      rows.push_back({isBcc, std::move(element)});
    }
  }
  return rows;
}

bool AddCopyRows(std::vector<CopyRow>& rows, std::string_view typed, bool bcc) {
  const std::vector<platform::Text> elements = ListElements(typed);
  for (const platform::Text& element : elements) rows.push_back({bcc, element});
  return !elements.empty();
}

store::OptionalText JoinCopyRows(const std::vector<CopyRow>& rows, bool bcc) {
  store::OptionalText joined;
  for (const CopyRow& row : rows) {
    if (row.bcc != bcc) continue;
    joined = joined ? *joined + kRowSeparator + row.address : row.address;
  }
  return joined;
}

std::vector<platform::Text> AttachPaths(const store::OptionalText& attach) {
  std::vector<platform::Text> paths = mime::AttachmentPaths(attach);
  std::erase_if(paths, [](const platform::Text& path) { return path.empty(); });
  return paths;
}

void AddAttachPath(std::vector<platform::Text>& paths, const platform::Text& path) {
  std::erase_if(paths, [&](const platform::Text& held) { return platform::EqualIgnoringCase(held, path); });
  paths.push_back(path);
}

store::OptionalText JoinAttachPaths(const std::vector<platform::Text>& paths) {
  if (paths.empty()) return std::nullopt;
  platform::Text joined;
  for (const platform::Text& path : paths) {
    if (!joined.empty()) joined += mime::kAttachSeparator;
    joined += path;
  }
  return joined;
}

std::vector<platform::Text> AccountChoices(const store::MailBoxTable& table) {
  std::vector<platform::Text> names;
  for (std::size_t i = store::kFirstAccountIndex; i < table.boxes.size(); ++i) {
    const store::OptionalText& name = table.boxes[i]->Name;
    names.push_back(name && !name->empty() ? *name : "Untitled");
  }
  return names;
}

PropertyValues PropertyValuesOf(const store::MailItem& item, const store::MailBoxTable& table, bool quoteShown,
                                bool autoQuotation) {
  PropertyValues values;
  int account = store::FindMailBox(table, item.MailBoxName);
  if (account < store::kFirstAccountIndex) account = table.selected;
  values.account = std::max(0, account - store::kFirstAccountIndex);
  values.to = item.To.value_or("");
  values.subject = item.Subject.value_or("");
  values.quoteShown = quoteShown;
  values.quote = quoteShown && autoQuotation;
  values.cc = item.Cc;
  values.bcc = item.Bcc;
  values.attach = item.Attach;
  values.replyTo = item.ReplyTo;
  return values;
}

void ConfirmPropertyValues(store::MailItem& item, const PropertyValues& values, const store::MailBoxTable& table) {
  const std::size_t index = static_cast<std::size_t>(values.account + store::kFirstAccountIndex);
  if (index < table.boxes.size()) {
    const store::MailBox& account = *table.boxes[index];
    item.MailBoxName = account.Name;
    item.From = SenderText(account);
  }
  item.To = OneLineText(values.to);
  item.Subject = OneLineText(values.subject);
  item.Cc = values.cc;
  item.Bcc = values.bcc;
  item.Attach = values.attach;
  item.ReplyTo = values.replyTo ? store::OptionalText(OneLineText(*values.replyTo)) : std::nullopt;
  item.Multipart = item.Attach && !item.Attach->empty() ? 1 : 0;
  if (values.quoteShown) item.Mark = values.quote ? 1 : 0;
}

}  // namespace zelk::compose
