#include "mime/dates.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/fixed_clock.h"
#include "support/code_page_scope.h"

namespace zelk::mime {
namespace {

using platform::CalendarTime;
constexpr std::int32_t kTokyo = 540, kNewYork = -300, kUtc = 0;

std::string Show(const std::optional<CalendarTime>& time) {
  if (!time) return "no match";
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d w%d", time->year, time->month, time->day, time->hour,
                time->minute, time->second, time->dayOfWeek);
  return text;
}

TEST(LocalZone, SettingWinsThenSystemZoneThenPlusNine) {
  struct Case {
    const char* setting;
    std::optional<std::int32_t> bias;
    std::int32_t offset;
  };
  const Case cases[] = {
      {"+0900", 0, 540}, {"-0330", 0, -210}, {"900", 0, 540},   {"530", 0, 330},         {"-0500", -540, -300},
      {"0", -540, 0},    {"abc", -540, 0},   {"", -540, 540},   {"", 0, 0},              {"", 240, -240},
      {"", std::nullopt, 540},
  };
  for (const Case& c : cases) {
    const test::FixedClock clock(test::kTuesday, c.bias);
    EXPECT_EQ(LocalZoneOffset(c.setting, clock), c.offset) << '"' << c.setting << '"';
  }
}

TEST(LocalZone, KeepsItsOffsetUntilARefresh) {
  test::FixedClock clock(test::kTuesday, 0);
  LocalZone zone;
  EXPECT_EQ(zone.Offset("", clock), 0);
  clock.SetBias(-540);
  EXPECT_EQ(zone.Offset("-0500", clock), 0);
  EXPECT_EQ(zone.Offset("", clock, true), 540);
  EXPECT_EQ(zone.Offset("-0500", clock, true), -300);
}

TEST(MatchDatePattern, ReadsEachLetter) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"y", "01", "2001-00-00 00:00:00 w0"},       {"y", "70", "2070-00-00 00:00:00 w0"},
      {"y", "71", "1971-00-00 00:00:00 w0"},       {"y", "99", "1999-00-00 00:00:00 w0"},
      {"y", "100", "2000-00-00 00:00:00 w0"},      {"d M y h:n:s", "3 1 2006 0:07:09", "2006-01-03 00:07:09 w2"},
      {"d M y", "0 1 2006", "no match"},           {"d M y", "3 0 2006", "no match"},
      {"d/M", "3-1", "no match"},                  {"d M y", " 1 2006", "no match"},
      {"d m y", "3 jAN 2006 and more", "2006-01-03 00:00:00 w2"},
      {"d m y", "3 January 2006", "no match"},     {"d N y", "3 January 2006", "2006-01-03 00:00:00 w2"},
      {"*, d m y", "Tuesday, 3 Jan 2006", "2006-01-03 00:00:00 w2"},
      {"d*", "3", "0000-00-03 00:00:00 w0"},       {"w d", "3", "0000-00-03 00:00:00 w0"},
      {"h:n p", "12:30 am", "0000-00-00 00:30:00 w0"}, {"p h", "PM 1", "0000-00-00 13:00:00 w0"},
      {"h p", "12 P", "0000-00-00 12:00:00 w0"},   {"h p", "1 X", "no match"},
      {"d m y h t", "30 Feb 2004 10 GMT", "2004-02-30 10:00:00 w0"},  // not a date: not shifted
      {"d m y h:n t", "28 Feb 2004 19:35 -0430", "2004-02-29 09:05:00 w0"},
      {"d m y h t", "1 Mar 2004 1 +1400", "2004-02-29 20:00:00 w0"},
      {"d m y h t", "3 Jan 2006 10 +12", "2006-01-03 18:48:00 w2"},  // "+12" is 12 minutes
      {"d m y h t", "3 Jan 2006 10 EST", "2006-01-03 10:00:00 w2"},
  };
  for (const auto& [pattern, text, shown] : cases) {
    EXPECT_EQ(Show(MatchDatePattern(pattern, text, kTokyo)), shown) << pattern << " / " << text;
  }
}

TEST(FormatDisplayDate, TriesTheFivePatternsAndShiftsIntoTheLocalZone) {
  const std::tuple<std::int32_t, const char*, const char*> cases[] = {
      {kTokyo, "Tue, 3 Jan 2006 10:00:00 +0900", "03/01/2006 10:00"},
      {kTokyo, "Tue, 3 Jan 2006 10:00:00 GMT", "03/01/2006 19:00"},
      {kTokyo, "Mon, 31 Dec 2001 23:30:00 -0500", "01/01/2002 13:30"},
      {kTokyo, "Tue, 3-Jan-2006 01:00:00 ut", "03/01/2006 10:00"},
      {kTokyo, "3 Jan 2006 10:00:00 GMT", "03/01/2006 19:00"},
      {kTokyo, "Tue Jan  3 10:00:00 2006", "03/01/2006 10:00"},
      {kNewYork, "Tue, 3 Jan 2006 10:00:00 JST", "03/01/2006 10:00"},
      {kNewYork, "Sat, 1 Jan 2000 02:00:00 +0000", "31/12/1999 21:00"},
      {kNewYork, "Mon, 1 Mar 2100 03:00:00 GMT", "28/02/2100 22:00"},
      {kNewYork, "Tue, 3 Jan 06 10:00:00 -0500", "03/01/2006 10:00"},
      {kUtc, "Tue, 3 Jan 2006 10:00:00 +0900", "03/01/2006 01:00"},
      {kUtc, "Mon, 1 Mar 2004 04:00:00 +0500", "29/02/2004 23:00"},
      {kUtc, "Wed, 31 Dec 2008 23:59:60 +0000", nullptr},  // a second the formatter will not show
      {kUtc, "3 Jan 2006 10:00 +0900", nullptr},
      {kUtc, "Tue, 3 January 2006 10:00:00 +0900", nullptr},
      {kUtc, "Tue, 30 Feb 2006 10:00:00 +0900", nullptr},
  };
  for (const auto& [local, header, display] : cases) {
    const DateText result = FormatDisplayDate(header, local, DatePictures{});
    EXPECT_EQ(result.ok, display != nullptr) << header;
    EXPECT_EQ(result.text, display ? display : header) << header;
  }
}

TEST(FormatDisplayDate, LongTextsAreKeptRawAndCutOnCharacterBoundaries) {
  const std::string longDate = std::string(253, 'a') + "\xC3\xA9" + std::string(10, 'b');
  EXPECT_EQ(FormatDisplayDate(longDate, kUtc, {}).text, std::string(253, 'a'));
  EXPECT_EQ(DisplayDateToSortKey(longDate, {}).text, std::string(253, 'a'));
  EXPECT_EQ(DisplayDateToSortKey(std::string(255, 'x'), {"dd/MM/yyyy", ""}).text, std::string(254, 'x'));
  const std::string header = "Tue, 3 Jan 2006 10:00:00 +0900";
  const DateText tooLong = FormatDisplayDate(header, kUtc, {std::string(250, '-') + "dd/MM", "HH:mm"});
  EXPECT_FALSE(tooLong.ok);
  EXPECT_EQ(tooLong.text, header);
}

TEST(DisplayDateToSortKey, ReadsBackWhatEachPictureWrote) {
  const std::pair<const char*, const char*> pictures[] = {
      {"dd/MM/yyyy", "HH:mm"},         {"yyyy-MM-dd", "HH:mm:ss"},   {"d.M.yy", "H.m"},
      {"ddd, d MMM yyyy", "hh:mm tt"}, {"dddd d MMMM yyyy", "h:mm t"}, {"gg yyyy/MM/dd", "tt h:mm"},
      {"yyyy年M月d日", "H時mm分"},     {"dd-MM-yyyy (ddd)", "HH:mm"},     {"'le' dd 'of' MM yyyy", "HH' o''clock 'mm"},
  };
  // Under CP932 the second byte of 年 is "N", which must not be read as a pattern letter.
  for (const char* codePage : {"UTF-8", "CP932"}) {
    test::CodePageScope scope(codePage);
    for (const auto& [date, time] : pictures) {
      const DatePictures chosen{date, time};
      const DateText display = FormatDisplayDate("Tue, 3 Jan 2006 13:07:00 +0900", kTokyo, chosen);
      ASSERT_TRUE(display.ok) << date << ' ' << time;
      const DateText key = DisplayDateToSortKey(display.text, chosen);
      EXPECT_TRUE(key.ok) << codePage << ' ' << display.text;
      EXPECT_EQ(key.text, "200601031307") << codePage << ' ' << display.text;
    }
  }
  EXPECT_EQ(DisplayDateToSortKey("03/01/2006 12:15 AM", {"dd/MM/yyyy", "hh:mm tt"}).text, "200601030015");
}

TEST(DisplayDateToSortKey, LeavesTheTextAloneWhenItCannot) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"dd/MM/yyyy", "", "03/01/2006 10:00"},
      {"", "HH:mm", "03/01/2006 10:00"},
      {"dd/MM/yyyy", "HH:mm", "Tue, 3 Jan 2006 10:00:00 +0900"},
      {"dd/MM/yyyy", "HH:mm", "31/02/2006 10:00"},
      {"dd/MM/yyyy", "HH:mm", "03/01/2006"},
      {"dd/MM/yyyy", "HH'h'mm", "03/01/2006 10h00"},  // the "h" would be read as the hour
  };
  for (const auto& [date, time, display] : cases) {
    const DateText key = DisplayDateToSortKey(display, {date, time});
    EXPECT_FALSE(key.ok) << display;
    EXPECT_EQ(key.text, display);
  }
}

TEST(FormatDateHeader, ZoneFromTheSettingOrTheSystem) {
  const std::tuple<const char*, std::optional<std::int32_t>, const char*> cases[] = {
      {"-500", -540, "-0500"}, {"0", -540, "+0000"},   {"+0900", 0, "+0900"},  {"530", 0, "+0530"},
      {"", -540, "+0900"},     {"", 300, "-0500"},     {"", -330, "+0530"},    {"", 0, "-0000"},
      {"", std::nullopt, "+0900"},
  };
  for (const auto& [setting, bias, zone] : cases) {
    EXPECT_EQ(FormatDateHeader(setting, test::FixedClock(test::kTuesday, bias)),
              std::string("Tue, 3 Jan 2006 10:00:00 ") + zone)
        << '"' << setting << '"';
  }
  EXPECT_EQ(FormatDateHeader("", test::FixedClock({1999, 12, 5, 31, 23, 5, 9, 0}, 0)),
            "Fri, 31 Dec 1999 23:05:09 -0000");
}

}  // namespace
}  // namespace zelk::mime
