#include "mime/dates.h"

#include <cstdio>
#include <limits>

#include "platform/ascii.h"
#include "platform/date_picture.h"
#include "platform/decimal.h"

namespace zelk::mime {
namespace {

using platform::CalendarTime;

constexpr std::size_t kMaxDateBytes = 255;  // what the date fields have always held
constexpr std::size_t kCutDateBytes = 254;
constexpr int kFallbackOffset = 9 * 60;
constexpr int kFallbackHhmm = 900;

constexpr const char* kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

// Tried in this order; the first that fits wins.
constexpr std::string_view kHeaderPatterns[] = {
    "w, d m y h:n:s t",  // Tue, 3 Jan 2006 10:00:00 +0900
    "w, d-m-y h:n:s t",  // Tue, 3-Jan-2006 10:00:00 +0900
    "w, d m y h:n t",    // Tue, 3 Jan 2006 10:00 +0900
    "w d m y h:n:s t",   // 3 Jan 2006 10:00:00 GMT
    "w m d h:n:s y t",   // Tue Jan  3 10:00:00 2006 (asctime)
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// hhmm as a signed number to minutes: -430 is -(4 h 30 min).
std::int64_t HhmmToMinutes(std::int64_t hhmm) {
  const std::int64_t magnitude = hhmm < 0 ? -hhmm : hhmm;
  const std::int64_t minutes = magnitude / 100 * 60 + magnitude % 100;
  return hhmm < 0 ? -minutes : minutes;
}

// Bytes of the character at pos. Dates are nearly all ASCII, which is one byte in every local code page.
std::size_t CharLength(std::string_view text, std::size_t pos) {
  return static_cast<unsigned char>(text[pos]) < 0x80 ? 1 : platform::LocalCharLength(text, pos);
}

// Cuts at a character boundary, so a long raw date never ends in half a character.
std::string CutDate(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + CharLength(text, end);
    if (next > kCutDateBytes) break;
    end = next;
  }
  return std::string(text.substr(0, end));
}

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool AtEnd() const { return pos_ >= text_.size(); }
  std::string_view Char() const { return text_.substr(pos_, CharLength(text_, pos_)); }
  void Skip(std::size_t n) { pos_ += n; }

  template <typename Accept>
  std::string_view Run(Accept accept) {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && accept(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A run of digits; values past 16 bits stay at 65535, which no valid date holds.
  unsigned Number() {
    unsigned value = 0;
    for (const char c : Run(IsDigit)) {
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (value > 65535) value = 65535;
    }
    return value;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

int MonthFromName(std::string_view name, bool fullNamesToo) {
  for (int month = 0; month < 12; ++month) {
    if (platform::EqualIgnoringAsciiCase(name, kShortMonths[month])) return month + 1;
    if (fullNamesToo && platform::EqualIgnoringAsciiCase(name, kLongMonths[month])) return month + 1;
  }
  return 0;
}

// Minutes east of UTC that the zone text states, or nothing when it states none we apply.
std::optional<std::int64_t> ZoneOffset(std::string_view zone) {
  if (!zone.empty() && (zone.front() == '+' || zone.front() == '-')) return HhmmToMinutes(platform::ReadDecimal(zone));
  if (platform::EqualIgnoringAsciiCase(zone, "GMT") || platform::EqualIgnoringAsciiCase(zone, "UT")) return 0;
  return std::nullopt;  // JST, EST, Z...: the time stays as written
}

// localOffset empty: no zone shift at all, whatever the pattern holds.
std::optional<CalendarTime> Match(std::string_view pattern, std::string_view text,
                                  std::optional<std::int32_t> localOffset) {
  CalendarTime time;
  Cursor cursor(text);
  std::string_view zone;
  char marker = 0;  // 'a' or 'p' once an AM/PM marker has been read
  const auto store = [](std::uint16_t& field, unsigned value) { field = static_cast<std::uint16_t>(value); };
  for (std::size_t p = 0; p < pattern.size(); p += CharLength(pattern, p)) {
    // A character of several bytes is matched whole: its trailing bytes may look like letters.
    const std::size_t length = CharLength(pattern, p);
    switch (length == 1 ? pattern[p] : '\0') {
      case ' ': cursor.Run([](char c) { return c == ' '; }); break;
      case 'w': cursor.Run(IsLetter); break;
      case 'd':
        store(time.day, cursor.Number());
        if (time.day == 0) return std::nullopt;
        break;
      case 'M':
        store(time.month, cursor.Number());
        if (time.month == 0) return std::nullopt;
        break;
      case 'm':
      case 'N': {
        const int month = MonthFromName(cursor.Run(IsLetter), pattern[p] == 'N');
        if (month == 0) return std::nullopt;
        store(time.month, static_cast<unsigned>(month));
        break;
      }
      case 'y': {
        unsigned year = cursor.Number();
        if (year <= 70) year += 2000;
        else if (year < 1900) year += 1900;
        store(time.year, year);
        break;
      }
      case 'h':
      case 'H': store(time.hour, cursor.Number()); break;
      case 'n': store(time.minute, cursor.Number()); break;
      case 's': store(time.second, cursor.Number()); break;
      case 't': zone = cursor.Run([](char c) { return IsDigit(c) || IsLetter(c) || c == '+' || c == '-'; }); break;
      case 'p': {
        const std::string_view word = cursor.Run(IsLetter);
        if (platform::EqualIgnoringAsciiCase(word, "A") || platform::EqualIgnoringAsciiCase(word, "AM")) marker = 'a';
        else if (platform::EqualIgnoringAsciiCase(word, "P") || platform::EqualIgnoringAsciiCase(word, "PM")) marker = 'p';
        else return std::nullopt;
        break;
      }
      case '*': {
        const std::string_view stop = pattern.substr(p + 1, p + 1 < pattern.size() ? CharLength(pattern, p + 1) : 0);
        while (!cursor.AtEnd() && (stop.empty() || cursor.Char() != stop)) cursor.Skip(cursor.Char().size());
        break;
      }
      default:
        if (cursor.AtEnd() || cursor.Char() != pattern.substr(p, length)) return std::nullopt;
        cursor.Skip(length);
    }
  }
  // A 12-hour clock: 12 AM is midnight, 1-11 PM are 13-23. Other hours are left as they are.
  if (marker != 0 && time.hour >= 1 && time.hour <= 12) {
    if (marker == 'a' && time.hour == 12) time.hour = 0;
    if (marker == 'p' && time.hour < 12) time.hour = static_cast<std::uint16_t>(time.hour + 12);
  }
  if (localOffset) {
    if (const auto offset = ZoneOffset(zone)) {
      const std::int64_t shift = *localOffset - *offset;
      if (shift != 0) {
        if (const auto moved = platform::AddMinutes(time, shift)) time = *moved;
      }
    }
  }
  if (platform::IsValidDate(time)) {
    time.dayOfWeek = static_cast<std::uint16_t>(platform::DayOfWeek(time.year, time.month, time.day));
  }
  return time;
}

// A picture to the pattern that reads back what it wrote. A letter that the picture copies (in
// quotes or not) would be read as a field of the pattern and give a wrong key, so such a picture
// gives none.
std::optional<std::string> PatternFromPicture(std::string_view picture, char (*translate)(char, std::size_t)) {
  constexpr std::string_view kFieldLetters = "wdMmNyhHnstp*";
  std::string pattern;
  const auto copy = [&](std::string_view literal) {
    if (literal.find_first_of(kFieldLetters) != std::string_view::npos) return false;
    pattern += literal;
    return true;
  };
  for (const platform::PicturePiece& piece : platform::SplitPicture(picture)) {
    if (piece.run == 0) {
      if (!copy(piece.quoted)) return std::nullopt;
    } else if (const char token = translate(piece.letter, piece.run); token != 0) {
      pattern += token;
    } else if (!copy(std::string(piece.run, piece.letter))) {  // each one copied
      return std::nullopt;
    }
  }
  return pattern;
}

char DateToken(char letter, std::size_t run) {
  switch (letter) {
    case ' ': return ' ';
    case 'y': return 'y';
    case 'M': return run >= 4 ? 'N' : run == 3 ? 'm' : 'M';
    case 'd': return run >= 3 ? '*' : 'd';  // day names are skipped
    case 'g': return '*';
    default: return 0;
  }
}

char TimeToken(char letter, std::size_t) {
  switch (letter) {
    case ' ':
    case 'H':
    case 'h':
    case 's': return letter;
    case 'm': return 'n';
    case 't': return 'p';
    default: return 0;
  }
}

std::int32_t ClampToInt32(std::int64_t value) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value < kMin ? kMin : value > kMax ? kMax : value);
}

}  // namespace

std::int32_t LocalZoneOffset(const platform::Text& timeZone, const platform::Clock& clock) {
  if (!timeZone.empty()) return ClampToInt32(HhmmToMinutes(platform::ReadDecimal(timeZone)));
  if (const auto bias = clock.ZoneBias()) return ClampToInt32(-static_cast<std::int64_t>(*bias));
  return kFallbackOffset;
}

std::int32_t LocalZone::Offset(const platform::Text& timeZone, const platform::Clock& clock, bool refresh) {
  if (refresh || offset_ == kNotComputed) offset_ = LocalZoneOffset(timeZone, clock);
  return offset_;
}

std::optional<CalendarTime> MatchDatePattern(std::string_view pattern, std::string_view text,
                                             std::int32_t localOffset) {
  return Match(pattern, text, localOffset);
}

DateText FormatDisplayDate(std::string_view headerDate, std::int32_t localOffset, const DatePictures& pictures) {
  if (headerDate.size() > kMaxDateBytes) return {CutDate(headerDate), false};
  const DateText raw{std::string(headerDate), false};
  for (const std::string_view pattern : kHeaderPatterns) {
    const auto time = Match(pattern, headerDate, localOffset);
    if (!time) continue;
    const auto date = platform::FormatDatePicture(pictures.date, *time);
    const auto clock = platform::FormatTimePicture(pictures.time, *time);
    if (!date || !clock) return raw;
    std::string display = platform::TextToLocal(*date + ' ' + *clock);
    // Too long for a date field: the raw date is stored rather than a cut display.
    if (display.size() > kMaxDateBytes) return raw;
    return {std::move(display), true};
  }
  return raw;
}

std::optional<std::string> SortKeyPattern(const DatePictures& pictures) {
  if (pictures.date.empty() || pictures.time.empty()) return std::nullopt;
  const auto datePattern = PatternFromPicture(pictures.date, DateToken);
  const auto timePattern = PatternFromPicture(pictures.time, TimeToken);
  if (!datePattern || !timePattern) return std::nullopt;
  return platform::TextToLocal(*datePattern + ' ' + *timePattern);
}

DateText DisplayDateToSortKeyByPattern(std::string_view displayDate, const std::optional<std::string>& pattern) {
  if (displayDate.size() > kMaxDateBytes || !pattern) return {CutDate(displayDate), false};
  const DateText raw{std::string(displayDate), false};
  const auto time = Match(*pattern, displayDate, std::nullopt);
  if (!time) return raw;
  const auto date = platform::FormatDatePicture("yyyyMMdd", *time);
  const auto clock = platform::FormatTimePicture("HHmm", *time);
  if (!date || !clock) return raw;
  return {*date + *clock, true};
}

DateText DisplayDateToSortKey(std::string_view displayDate, const DatePictures& pictures) {
  return DisplayDateToSortKeyByPattern(displayDate, SortKeyPattern(pictures));
}

std::string FormatDateHeader(const platform::Text& timeZone, const platform::Clock& clock) {
  const CalendarTime now = clock.LocalNow();
  char sign = '+';
  std::int64_t zone = kFallbackHhmm;
  if (!timeZone.empty()) {
    const std::int64_t value = platform::ReadDecimal(timeZone);
    sign = value < 0 ? '-' : '+';
    zone = value < 0 ? -value : value;
  } else if (const auto bias = clock.ZoneBias()) {
    // Only a bias below zero gives "+", so a system at UTC writes "-0000".
    std::int64_t minutes = *bias;
    sign = minutes < 0 ? '+' : '-';
    if (minutes < 0) minutes = -minutes;
    zone = minutes / 60 * 100 + minutes % 60;
  }
  char text[96];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %c%04lld", kShortDays[now.dayOfWeek % 7], now.day,
                kShortMonths[(now.month + 11) % 12], now.year, now.hour, now.minute, now.second, sign,
                static_cast<long long>(zone));
  return text;
}

}  // namespace zelk::mime
