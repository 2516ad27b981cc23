#include "platform/date_picture.h"

#include <gtest/gtest.h>

namespace zelk::platform {
namespace {

constexpr CalendarTime kAfternoon{2006, 1, 0, 3, 13, 5, 9, 0};  // Tuesday; dayOfWeek left wrong on purpose

TEST(DatePicture, FormatsEveryLetterAndCopiesTheRest) {
  const std::pair<const char*, const char*> dates[] = {
      {"", "03/01/2006"},           {"d/M/y", "3/1/6"},          {"dd.MM.yy", "03.01.06"},
      {"ddd dddd ddddd", "Tue Tuesday Tuesday"},                 {"MMM MMMM MMMMM", "Jan January January"},
      {"yyyy yyyyy g gg", "2006 2006 A.D. A.D."},               {"yyyy年M月d日", "2006年1月3日"},
      {"'day' d 'o''clock' '' 'open", "day 3 o'clock ' open"}, {"hh:mm tt", "hh:mm tt"},
  };
  for (const auto& [picture, text] : dates) EXPECT_EQ(FormatDatePicture(picture, kAfternoon), text) << picture;

  const std::pair<const char*, const char*> times[] = {
      {"", "13:05"},    {"H:m:s", "13:5:9"},       {"HH:mm:ss", "13:05:09"}, {"h hh hhh t tt ttt", "1 01 01 P PM PM"},
      {"HH'h'mm", "13h05"}, {"dd/MM yyyy", "dd/MM yyyy"},
  };
  for (const auto& [picture, text] : times) EXPECT_EQ(FormatTimePicture(picture, kAfternoon), text) << picture;
}

TEST(DatePicture, TwelveHourClockAroundMidnightAndNoon) {
  const std::pair<std::uint16_t, const char*> hours[] = {{0, "12 AM"}, {11, "11 AM"}, {12, "12 PM"}, {23, "11 PM"}};
  for (const auto& [hour, text] : hours) {
    EXPECT_EQ(FormatTimePicture("h tt", CalendarTime{2006, 1, 2, 3, hour, 0, 0, 0}), text) << hour;
  }
}

TEST(DatePicture, RefusesInvalidDatesAndTimes) {
  const CalendarTime invalid[] = {
      {2005, 2, 0, 29, 0, 0, 0, 0}, {1900, 2, 0, 29, 0, 0, 0, 0}, {2006, 13, 0, 1, 0, 0, 0, 0},
      {2006, 4, 0, 31, 0, 0, 0, 0}, {2006, 1, 0, 0, 0, 0, 0, 0},  {10000, 1, 0, 1, 0, 0, 0, 0},
  };
  for (const CalendarTime& time : invalid) EXPECT_FALSE(FormatDatePicture("", time)) << time.year << '-' << time.month;
  EXPECT_EQ(FormatDatePicture("", CalendarTime{2000, 2, 0, 29, 0, 0, 0, 0}), "29/02/2000");
  for (const CalendarTime time : {CalendarTime{2006, 1, 0, 3, 24}, CalendarTime{2006, 1, 0, 3, 10, 60}}) {
    EXPECT_FALSE(FormatTimePicture("", time)) << time.hour << ':' << time.minute;
  }
}

}  // namespace
}  // namespace zelk::platform
