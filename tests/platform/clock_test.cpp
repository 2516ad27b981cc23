#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace zelk::platform {
namespace {

TEST(SystemClock, BiasIsMinutesWestOfUtc) {
  const char* old = std::getenv("TZ");
  const std::string previous = old ? old : "";
  const std::pair<const char*, std::int32_t> zones[] = {
      {"UTC0", 0}, {"JST-9", -540}, {"EST5", 300}, {"IST-5:30", -330}, {"NST3:30", 210}};
  for (const auto& [zone, bias] : zones) {
    setenv("TZ", zone, 1);
    EXPECT_EQ(SystemClock().ZoneBias(), bias) << zone;
  }
  if (old) setenv("TZ", previous.c_str(), 1);
  else unsetenv("TZ");
}

}  // namespace
}  // namespace zelk::platform
