// Dates: any pattern, text and pictures are safe; results stay within the date fields' 255 bytes,
// a failure hands back the input as stored, and with the default pictures every display string
// reads back as the sort key of the same date and time.
// Input: two bytes of local zone offset (minutes east, big-endian), then pattern, header text,
// date picture and time picture separated by line feeds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mime/dates.h"

namespace {

using namespace zelk;

void Fail(const char* what, std::string_view input) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(input.size()), input.data());
  std::abort();
}

std::string_view NextField(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  const std::string_view field = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return field;
}

// A failed conversion stores its input, cut to 254 bytes when it was too long for the field.
void CheckStored(const mime::DateText& result, std::string_view input) {
  if (result.text.size() > 255) Fail("longer than a date field", input);
  if (!result.ok && (input.substr(0, result.text.size()) != result.text ||
                     (input.size() <= 254 && result.text.size() != input.size()))) {
    Fail("failure did not keep the input", input);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto offset = static_cast<std::int16_t>(data[0] << 8 | data[1]);
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string_view pattern = NextField(rest);
  const std::string_view text = NextField(rest);
  const mime::DatePictures pictures{platform::Text(NextField(rest)), platform::Text(NextField(rest))};

  if (const auto time = mime::MatchDatePattern(pattern, text, offset)) {
    if (platform::IsValidDate(*time) && time->dayOfWeek != platform::DayOfWeek(time->year, time->month, time->day)) {
      Fail("day of week", text);
    }
  }

  const mime::DateText display = mime::FormatDisplayDate(text, offset, pictures);
  CheckStored(display, text);
  CheckStored(mime::DisplayDateToSortKey(display.text, pictures), display.text);

  const mime::DateText plain = mime::FormatDisplayDate(text, offset, mime::DatePictures{});
  CheckStored(plain, text);
  if (!plain.ok) return 0;
  const mime::DateText key = mime::DisplayDateToSortKey(plain.text, mime::DatePictures{});
  // "dd/MM/yyyy HH:mm" against "yyyyMMddHHmm"; years below 1900 read back corrected.
  const std::string& d = plain.text;
  const auto same = [&](std::size_t keyAt, std::size_t displayAt, std::size_t n) {
    return key.text.compare(keyAt, n, d, displayAt, n) == 0;
  };
  if (!key.ok || key.text.size() != 12 || d.size() != 16 || !same(4, 3, 2) || !same(6, 0, 2) || !same(8, 11, 2) ||
      !same(10, 14, 2) || (d.compare(6, 2, "19") >= 0 && !same(0, 6, 4))) {
    Fail("display does not read back", d);
  }
  return 0;
}
