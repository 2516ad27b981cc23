#include "mime/message_id.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include <unistd.h>

#include "codec/hex_digit.h"
#include "codec/hmac_md5.h"

namespace zelk::mime {
namespace {

std::string TimeStamp(const platform::CalendarTime& now) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day, now.hour, now.minute,
                now.second);
  return stamp;
}

// One more each identifier. It starts from the process id and the start time so that two
// programs sending at the same moment are unlikely to agree either.
std::uint32_t NextSerial() {
  static std::atomic<std::uint32_t> serial{
      static_cast<std::uint32_t>(getpid()) * 0x10001u ^
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
  return serial.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

std::string MakeMessageId(std::string_view address, const platform::Clock& clock) {
  const platform::CalendarTime now = clock.LocalNow();
  // The serial grows by one per identifier and the millisecond never falls within a second, so
  // their sum differs within a second; an odd multiplier keeps that difference, and spreads it.
  const std::uint32_t mix = (now.second + now.millisecond + NextSerial()) * 2654435761u;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(mix));
  std::string id = "<" + TimeStamp(now) + "." + hex + ".";
  id += address;
  id += '>';
  return id;
}

std::string MakeBoundary(const platform::Text& attachList, const platform::Clock& clock) {
  const codec::Md5Digest digest = codec::HmacMd5(platform::TextToLocal(attachList), TimeStamp(clock.LocalNow()));
  std::string boundary = "-----_MULTIPART_";
  for (const std::uint8_t byte : digest) codec::AppendHexByte(boundary, byte);
  boundary += '_';
  return boundary;
}

}  // namespace zelk::mime
