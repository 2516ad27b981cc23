// Mailbox files: any bytes load without harm; what loads saves into a file that loads and saves
// to the same bytes again; and our own files cut off at any point still load.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/mailbox_file.h"
#include "temp_file.h"

namespace {

using namespace zelk::store;

MailBox LoadBytes(std::string_view bytes) {
  MailBox box;
  if (!LoadMailBox(zelk::fuzz::WriteScratch(bytes), box)) std::abort();
  return box;
}

std::string SavedBytes(const MailBox& box) {
  if (!SaveMailBox(zelk::fuzz::ScratchPath(), box, kSaveWithBodies)) std::abort();
  return *zelk::platform::ReadWholeFile(zelk::fuzz::ScratchPath());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string saved = SavedBytes(LoadBytes(input));
  if (SavedBytes(LoadBytes(saved)) != saved) {
    std::fputs("a saved mailbox does not load back to itself\n", stderr);
    std::abort();
  }
  const std::size_t step = saved.size() / 64 + 1;
  for (std::size_t cut = 0; cut < saved.size(); cut += step) (void)LoadBytes(saved.substr(0, cut));
  return 0;
}
