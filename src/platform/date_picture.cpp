#include "platform/date_picture.h"

#include <string>

namespace zelk::platform {
namespace {

constexpr std::string_view kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
constexpr std::string_view kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};

void AppendNumber(Text& out, int value, int width) {
  const std::string digits = std::to_string(value);
  if (digits.size() < static_cast<std::size_t>(width)) out.append(width - digits.size(), '0');
  out += digits;
}

// Runs of one of `letters` go to emit(out, letter, run length); everything else is copied.
template <typename Emit>
Text Expand(std::string_view picture, std::string_view letters, Emit emit) {
  Text out;
  for (const PicturePiece& piece : SplitPicture(picture)) {
    if (piece.run == 0) out += piece.quoted;
    else if (letters.find(piece.letter) == std::string_view::npos) out.append(piece.run, piece.letter);
    else emit(out, piece.letter, piece.run);
  }
  return out;
}

}  // namespace

std::vector<PicturePiece> SplitPicture(std::string_view picture) {
  std::vector<PicturePiece> pieces;
  for (std::size_t i = 0; i < picture.size();) {
    if (picture[i] != '\'') {
      std::size_t run = 1;
      while (i + run < picture.size() && picture[i + run] == picture[i]) ++run;
      pieces.push_back({picture[i], run, {}});
      i += run;
      continue;
    }
    // '' is one quote, inside quoted text or not; a lone quote opens or closes quoted text.
    PicturePiece piece;
    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
      piece.quoted = "'";
      i += 2;
    } else {
      for (++i; i < picture.size(); ++i) {
        if (picture[i] != '\'') {
          piece.quoted += picture[i];
        } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
          piece.quoted += '\'';
          ++i;
        } else {
          break;
        }
      }
      ++i;
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

std::optional<Text> FormatDatePicture(std::string_view picture, const CalendarTime& time) {
  if (!IsValidDate(time)) return std::nullopt;
  const int weekday = DayOfWeek(time.year, time.month, time.day);
  return Expand(picture.empty() ? kDefaultDatePicture : picture, "dMyg", [&](Text& out, char letter, std::size_t run) {
    switch (letter) {
      case 'd':
        if (run <= 2) AppendNumber(out, time.day, static_cast<int>(run));
        else out += run == 3 ? kDayNames[weekday].substr(0, 3) : kDayNames[weekday];
        break;
      case 'M':
        if (run <= 2) AppendNumber(out, time.month, static_cast<int>(run));
        else out += run == 3 ? kMonthNames[time.month - 1].substr(0, 3) : kMonthNames[time.month - 1];
        break;
      case 'y':
        if (run == 1) AppendNumber(out, time.year % 10, 1);
        else if (run == 2) AppendNumber(out, time.year % 100, 2);
        else AppendNumber(out, time.year, 4);
        break;
      default:  // era
        out += "A.D.";
    }
  });
}

std::optional<Text> FormatTimePicture(std::string_view picture, const CalendarTime& time) {
  if (!IsValidTimeOfDay(time)) return std::nullopt;
  return Expand(picture.empty() ? kDefaultTimePicture : picture, "hHmst", [&](Text& out, char letter, std::size_t run) {
    const int width = run >= 2 ? 2 : 1;
    switch (letter) {
      case 'h': AppendNumber(out, time.hour % 12 == 0 ? 12 : time.hour % 12, width); break;
      case 'H': AppendNumber(out, time.hour, width); break;
      case 'm': AppendNumber(out, time.minute, width); break;
      case 's': AppendNumber(out, time.second, width); break;
      default: out.append(time.hour < 12 ? "AM" : "PM", width);
    }
  });
}

}  // namespace zelk::platform
