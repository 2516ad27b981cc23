// The parameter reader on arbitrary header values, under a UTF-8, a Western and a Japanese local
// code page (chosen by the first byte). It must not crash, must never give a zero byte in a file
// name (the name goes on to file paths), and must read back any value it is given as a quoted
// string after a parameter of a longer name that begins with the same letters.
#include <cstdint>
#include <string>

#include "codec/header_params.h"
#include "text_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  zelk::fuzz::UseCodePage(data[0]);
  const std::string value(reinterpret_cast<const char*>(data + 1), size - 1);
  for (const char* name : {"filename", "name"}) {
    const std::optional<std::string> text = zelk::codec::ParamText(value, name, "Windows-1252");
    if (text && text->find('\0') != std::string::npos) zelk::fuzz::Fail("a zero byte in a decoded name");
  }
  (void)zelk::codec::ParamBytes(value, "boundary");

  std::string quoted;
  for (const char c : value) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  const std::string list = "multipart/mixed; boundaryx=\"" + quoted + "\"; boundary=\"" + quoted + "\"";
  if (zelk::codec::ParamBytes(list, "boundary") != value) zelk::fuzz::Fail("a quoted value did not read back");
  return 0;
}
