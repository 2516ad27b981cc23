// Stored passwords come from the profile: any text descrambles without harm, and a scrambled
// password descrambles to itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/password.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % (input.size() + 1);
  const std::string key = input.substr(0, split);
  const std::string text = input.substr(split);
  (void)zelk::config::DecodePassword(key, text);
  if (zelk::config::DecodePassword(key, zelk::config::EncodePassword(key, text)) != text) {
    std::fputs("a scrambled password does not descramble to itself\n", stderr);
    std::abort();
  }
  return 0;
}
