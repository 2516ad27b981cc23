// Address lists: any bytes load without harm, and what loads saves and loads back the same
// (apart from entries with neither address nor comment, which are empty lines on disk). The same
// bytes read as an address header split into elements that end at a "," or the end, with no line
// break, tab or outer space left in an element.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "compose/address_list.h"
#include "store/mailbox_file.h"
#include "temp_file.h"

namespace {

using namespace zelk::store;

std::vector<std::pair<Text, Text>> Entries(const MailBox& book) {
  std::vector<std::pair<Text, Text>> entries;
  for (const ItemRef& item : book.Items) {
    if (item->To->empty() && item->Subject->empty()) continue;
    entries.emplace_back(*item->To, *item->Subject);
  }
  return entries;
}

MailBox LoadBytes(std::string_view bytes) {
  MailBox book;
  if (LoadAddressList(zelk::fuzz::WriteScratch(bytes), book) != AddressListLoad::kLoaded) std::abort();
  return book;
}

void Fail(const char* why) {
  std::fputs(why, stderr);
  std::abort();
}

bool EndsElement(std::string_view list, std::size_t end) { return end == list.size() || (end < list.size() && list[end] == ','); }

void SplitHeader(std::string_view list) {
  for (std::size_t pos = 0; pos <= list.size();) {
    const zelk::compose::ListElement element = zelk::compose::CopyListElement(list, pos);
    if (element.end < pos || !EndsElement(list, element.end)) Fail("an element does not end at a comma\n");
    const std::string_view text = element.text;
    if (text.find_first_of("\r\n\t") != std::string_view::npos || text.starts_with(' ') || text.ends_with(' ')) {
      Fail("an element keeps blanks it should drop\n");
    }
    if (!EndsElement(list, zelk::compose::ReadAddress(list, pos).end)) Fail("an address does not end at a comma\n");
    pos = element.end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SplitHeader(std::string_view(reinterpret_cast<const char*>(data), size));
  const MailBox book = LoadBytes(std::string(reinterpret_cast<const char*>(data), size));
  if (!SaveAddressList(zelk::fuzz::ScratchPath(), book)) std::abort();
  MailBox again;
  if (LoadAddressList(zelk::fuzz::ScratchPath(), again) != AddressListLoad::kLoaded) std::abort();
  if (Entries(again) != Entries(book)) {
    std::fputs("an address list does not load back to itself\n", stderr);
    std::abort();
  }
  return 0;
}
