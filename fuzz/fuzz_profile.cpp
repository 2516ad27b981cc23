// Profile text: parsing anything is safe, saving settles (from the second save on, a save writes
// back what it read), and a save keeps every lookup the program can make, apart from the
// normalisations a save is meant to make: indented "#" lines become comments, and a section
// without entries is dropped, so a later section of the same name becomes the one lookups find.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "config/profile_file.h"

namespace {

using namespace zelk::config::profile;

void Fail(const char* what, const std::string& section, const std::string& key) {
  std::fprintf(stderr, "%s: [%s] %s\n", what, section.c_str(), key.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ProfileFile before;
  Parse(before, std::string(reinterpret_cast<const char*>(data), size));
  ProfileFile after;
  Parse(after, Serialize(before));
  // An indented "#" line saved as "key=value" comes back a comment, trimmed; from then on every
  // save writes what it read.
  const Text settled = Serialize(after);
  ProfileFile again;
  Parse(again, settled);
  if (Serialize(again) != settled) Fail("saves do not settle", "", "");

  std::set<std::size_t> firstOfTheirName;  // the sections lookups can reach
  for (const auto& [name, index] : before.firstSection) firstOfTheirName.insert(index);
  for (const std::size_t i : firstOfTheirName) {
    const ProfileSection& section = before.sections[i];
    for (const ProfileEntry& entry : section.entries) {
      if (entry.comment || entry.key.front() == '#') continue;
      const Text expected = GetString(before, section.name, entry.key, "\x01missing", 100000);
      if (GetString(after, section.name, entry.key, "\x01missing", 100000) != expected) {
        Fail("lookup changed by save", section.name, entry.key);
      }
    }
  }
  return 0;
}
