#pragma once
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/code_page.h"

namespace zelk::mime {

// "<yyyyMMddhhmmss.XXXXXXXX.address>" for a message sent now: the local time stamp, eight
// upper-case hex digits that differ between identifiers made in the same second, and the
// sender's address as given.
std::string MakeMessageId(std::string_view address, const platform::Clock& clock);

// "-----_MULTIPART_" + 32 upper-case hex digits + "_" (49 characters): HMAC-MD5 of the
// attachment list in the local code page, keyed by the local time stamp "yyyyMMddhhmmss".
std::string MakeBoundary(const platform::Text& attachList, const platform::Clock& clock);

}  // namespace zelk::mime
