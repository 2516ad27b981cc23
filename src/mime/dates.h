#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/code_page.h"

namespace zelk::mime {

// The DateFormat and TimeFormat settings. Empty pictures display in the default form and give no
// sort keys.
struct DatePictures {
  platform::Text date = "dd/MM/yyyy";
  platform::Text time = "HH:mm";
};

// A date text in the local code page. When ok is false, text is the input as the caller should
// store it instead (cut to 254 bytes, at a character boundary, when it was 256 bytes or longer).
struct DateText {
  std::string text;
  bool ok = false;
};

// Minutes east of UTC for the TimeZone setting: a signed hhmm number ("+0900", "-0330", "530").
// An empty setting asks the clock for its zone, and means +0900 when the clock cannot tell.
std::int32_t LocalZoneOffset(const platform::Text& timeZone, const platform::Clock& clock);

// LocalZoneOffset, cached until a refresh is asked for (each POP3 check asks for one), so that a
// changed TimeZone setting or a daylight-saving change takes effect at the next check. The
// application object owns one.
class LocalZone {
 public:
  std::int32_t Offset(const platform::Text& timeZone, const platform::Clock& clock, bool refresh = false);

 private:
  static constexpr std::int32_t kNotComputed = -1;
  std::int32_t offset_ = kNotComputed;
};

// Matches 8-bit text against a pattern, left to right; text after the pattern is ignored.
//   " "  any number of spaces        "w"  any ASCII letters (weekday)
//   "d"  digits, day (0 fails)       "M"  digits, month (0 fails)
//   "m"  "Jan".."Dec", case ignored  "N"  a month's full English name or "Jan".."Dec"
//   "y"  digits, year: 0-70 -> 20xx, 71-1899 -> +1900
//   "h" "H" hour   "n" minute   "s" second (digits)
//   "t"  zone: letters, digits, "+" and "-"
//   "p"  "A", "P", "AM" or "PM", case ignored: makes the hour (1-12) a 24-hour one
//   "*"  skips up to the character the next pattern character names, or to the end
//   any other character matches itself.
// A numeric zone ("+0900", "-0430") or GMT/UT moves the time into the local zone (minutes east),
// carrying into days, months and years; other zones, and dates that are not valid, stay as written.
std::optional<platform::CalendarTime> MatchDatePattern(std::string_view pattern, std::string_view text,
                                                       std::int32_t localOffset);

// The value of a received "Date:" header as the message list shows it, in the local zone, e.g.
// "03/01/2006 10:00". Not ok for a date of no known form.
[[nodiscard]] DateText FormatDisplayDate(std::string_view headerDate, std::int32_t localOffset,
                                         const DatePictures& pictures);

// A display string back to "yyyyMMddHHmm" for sorting, read with the same pictures that made it.
// Not ok (and the caller compares the display strings) when either picture is empty or the text
// does not fit them.
[[nodiscard]] DateText DisplayDateToSortKey(std::string_view displayDate, const DatePictures& pictures);

// The pattern DisplayDateToSortKey reads display strings with, made once for sorting many items;
// nothing when the pictures give no sort keys.
std::optional<std::string> SortKeyPattern(const DatePictures& pictures);
[[nodiscard]] DateText DisplayDateToSortKeyByPattern(std::string_view displayDate, const std::optional<std::string>& pattern);

// The "Date:" value for a message sent now: "Tue, 3 Jan 2006 10:00:00 +0900". The zone is the
// TimeZone setting, or the clock's zone when it is empty ("-0000" at UTC).
std::string FormatDateHeader(const platform::Text& timeZone, const platform::Clock& clock);

}  // namespace zelk::mime
