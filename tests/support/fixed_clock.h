#pragma once
#include <cstdint>
#include <optional>

#include "platform/clock.h"

namespace zelk::test {

// A clock that always reads the same local time and zone bias (minutes west; nothing = unknown).
class FixedClock final : public platform::Clock {
 public:
  FixedClock(platform::CalendarTime now, std::optional<std::int32_t> bias) : now_(now), bias_(bias) {}
  platform::CalendarTime LocalNow() const override { return now_; }
  std::optional<std::int32_t> ZoneBias() const override { return bias_; }
  void SetBias(std::optional<std::int32_t> bias) { bias_ = bias; }

 private:
  platform::CalendarTime now_;
  std::optional<std::int32_t> bias_;
};

// Tuesday 3 January 2006, 10:00:00.250.
inline constexpr platform::CalendarTime kTuesday{2006, 1, 2, 3, 10, 0, 0, 250};

}  // namespace zelk::test
