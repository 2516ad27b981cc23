#include "platform/decimal.h"

#include <gtest/gtest.h>

namespace zelk::platform {
namespace {

TEST(ReadDecimal, ReadsLeadingDigitsWithSignAndClampsToThirtyTwoBits) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"42", 42},  {"-7", -7},          {"+5", 5},    {" \t12abc", 12}, {"abc", 0},
      {"", 0},     {"-", 0},            {"0x10", 0},  {"1 2", 1},       {"--1", 0},
      {"2147483647", 2147483647},       {"2147483648", 2147483647},     {"99999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1}, {"-99999999999", -2147483647 - 1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ReadDecimal(text), value) << '"' << text << '"';
}

}  // namespace
}  // namespace zelk::platform
