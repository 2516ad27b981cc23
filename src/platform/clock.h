#pragma once
#include <cstdint>
#include <optional>

namespace zelk::platform {

// Broken-down local time as the mail code has always held it: 16-bit fields, month 1-12,
// dayOfWeek 0-6 with Sunday = 0. Parsers start from the all-zero record.
struct CalendarTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t dayOfWeek = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t millisecond = 0;

  bool operator==(const CalendarTime&) const = default;
};

// Proleptic Gregorian calendar, years 1-9999 (displays and sort keys have four-digit years).
bool IsLeapYear(int year);
bool IsValidDate(const CalendarTime& time);       // year, month and day
bool IsValidTimeOfDay(const CalendarTime& time);  // hour, minute, second, millisecond
int DayOfWeek(int year, int month, int day);      // Sunday = 0

// The time moved by `minutes`, carrying into hours, days, months and years, with the day of week
// recomputed. Nothing when the time is not a valid date and time, or the result leaves the years
// 1-9999.
std::optional<CalendarTime> AddMinutes(const CalendarTime& time, std::int64_t minutes);

// What the program asks of the system about time. Tests substitute a fixed clock and zone.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual CalendarTime LocalNow() const = 0;
  // Minutes west of UTC in effect now, daylight saving included (-540 for +09:00); nothing when
  // the system cannot tell.
  virtual std::optional<std::int32_t> ZoneBias() const = 0;
};

class SystemClock final : public Clock {
 public:
  CalendarTime LocalNow() const override;
  std::optional<std::int32_t> ZoneBias() const override;
};

}  // namespace zelk::platform
