#pragma once
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/code_page.h"

namespace zelk::platform {

// Date and time pictures as users have always written them in DateFormat and TimeFormat.
// Date letters: d dd (day), ddd dddd (day name), M MM (month), MMM MMMM (month name), y (last
// digit), yy, yyyy (year), g gg (era). Time letters: h hh (12-hour), H HH, m mm, s ss, t tt
// (A/P, AM/PM). Text between single quotes is copied without them ('' gives one quote); any other
// character is copied as it stands. Names are English. The day name comes from the date itself.

inline constexpr std::string_view kDefaultDatePicture = "dd/MM/yyyy";
inline constexpr std::string_view kDefaultTimePicture = "HH:mm";

// A picture cut into runs of one repeated character and quoted texts (quotes removed), for
// whoever needs to read back what a picture wrote.
struct PicturePiece {
  char letter = 0;
  std::size_t run = 0;  // 0 for quoted text
  Text quoted;
};
std::vector<PicturePiece> SplitPicture(std::string_view picture);

// An empty picture means the default one. Nothing when the date (or the time of day) is invalid.
std::optional<Text> FormatDatePicture(std::string_view picture, const CalendarTime& time);
std::optional<Text> FormatTimePicture(std::string_view picture, const CalendarTime& time);

}  // namespace zelk::platform
