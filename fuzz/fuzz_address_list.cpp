// Address lists: any bytes load without harm, and what loads saves and loads back the same
// (apart from entries with neither address nor comment, which are empty lines on disk).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
