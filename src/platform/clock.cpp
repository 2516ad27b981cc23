#include "platform/clock.h"

#include <ctime>

namespace zelk::platform {
namespace {

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;
constexpr std::int64_t kMinutesPerDay = 24 * 60;

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 and back (H. Hinnant's civil calendar algorithms), so that a shift of any
// size carries through months, leap days and years in one step.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shifted = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  month = shifted < 10 ? shifted + 3 : shifted - 9;
  year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

int WeekdayFromDays(std::int64_t days) {  // 1970-01-01 was a Thursday
  const std::int64_t weekday = (days + 4) % 7;
  return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool IsValidDate(const CalendarTime& time) {
  return time.year >= kMinYear && time.year <= kMaxYear && time.month >= 1 && time.month <= 12 &&
         time.day >= 1 && time.day <= DaysInMonth(time.year, time.month);
}

bool IsValidTimeOfDay(const CalendarTime& time) {
  return time.hour < 24 && time.minute < 60 && time.second < 60 && time.millisecond < 1000;
}

int DayOfWeek(int year, int month, int day) {
  return WeekdayFromDays(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)));
}

std::optional<CalendarTime> AddMinutes(const CalendarTime& time, std::int64_t minutes) {
  if (!IsValidDate(time) || !IsValidTimeOfDay(time)) return std::nullopt;
  const std::int64_t total =
      DaysFromCivil(time.year, time.month, time.day) * kMinutesPerDay + time.hour * 60 + time.minute + minutes;
  std::int64_t days = total / kMinutesPerDay;
  std::int64_t minuteOfDay = total % kMinutesPerDay;
  if (minuteOfDay < 0) {
    minuteOfDay += kMinutesPerDay;
    --days;
  }
  std::int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(days, year, month, day);
  if (year < kMinYear || year > kMaxYear) return std::nullopt;
  CalendarTime moved = time;
  moved.year = static_cast<std::uint16_t>(year);
  moved.month = static_cast<std::uint16_t>(month);
  moved.day = static_cast<std::uint16_t>(day);
  moved.dayOfWeek = static_cast<std::uint16_t>(WeekdayFromDays(days));
  moved.hour = static_cast<std::uint16_t>(minuteOfDay / 60);
  moved.minute = static_cast<std::uint16_t>(minuteOfDay % 60);
  return moved;
}

CalendarTime SystemClock::LocalNow() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tzset();  // localtime_r does not look at TZ again by itself
  tm local{};
  if (localtime_r(&now.tv_sec, &local) == nullptr) return CalendarTime{};
  CalendarTime time;
  time.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  time.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  time.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
  time.day = static_cast<std::uint16_t>(local.tm_mday);
  time.hour = static_cast<std::uint16_t>(local.tm_hour);
  time.minute = static_cast<std::uint16_t>(local.tm_min);
  time.second = static_cast<std::uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);  // no leap second
  time.millisecond = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
  return time;
}

std::optional<std::int32_t> SystemClock::ZoneBias() const {
  const std::time_t now = std::time(nullptr);
  tzset();
  tm local{};
  if (localtime_r(&now, &local) == nullptr) return std::nullopt;
  return static_cast<std::int32_t>(-local.tm_gmtoff / 60);
}

}  // namespace zelk::platform
