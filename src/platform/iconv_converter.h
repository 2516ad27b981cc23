#pragma once
#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace zelk::platform {

// One glibc iconv conversion descriptor between two charsets.
class IconvConverter {
 public:
  IconvConverter(const std::string& to, const std::string& from);
  ~IconvConverter();
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  // False when iconv does not know one of the names.
  bool ok() const;
  // Back to the initial shift state, so nothing leaks from one text into the next.
  void Reset();

  struct Stop {
    std::size_t consumed;
    // 0 when all input was converted; EILSEQ at a byte sequence that does not decode or a
    // character the target lacks; EINVAL when the input ends inside a character.
    int error;
  };
  // Converts as much of `in` as it can, appending to `out`.
  Stop Run(std::string_view in, std::string& out);
  // Appends what a stateful target needs to return to its initial state.
  void Flush(std::string& out);

 private:
  iconv_t cd_;
};

// What to do with a character the target charset cannot hold.
enum class Unrepresentable { kFail, kReplace };

struct Conversion {
  enum class Status { kDone, kUnknownCharset, kUnrepresentable };
  Status status;
  std::string bytes;  // the converted text when done
};

// Converts a whole text. Bytes that do not decode in `from` become U+FFFD, or "?" where `to` has
// no U+FFFD; they never fail a conversion, since they are no character anybody wrote. A character
// `to` lacks fails the conversion (kFail) or becomes "?" (kReplace). Names carrying iconv's "//"
// options are refused as unknown: they would change what counts as a failure. Descriptors are
// cached per thread, so repeated calls for one pair of charsets cost no iconv_open.
Conversion ConvertCharset(std::string_view bytes, const std::string& from, const std::string& to,
                          Unrepresentable unrepresentable);

// "UTF-8" in any letter case, with or without the hyphen.
bool IsUtf8Name(std::string_view name);

}  // namespace zelk::platform
