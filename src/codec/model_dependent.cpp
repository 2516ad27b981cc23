#include "codec/model_dependent.h"

#include <strings.h>

#include <string>
#include <vector>

#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace zelk::codec {
namespace {

bool IsIso2022Jp(std::string_view name) {
  return name.size() == 11 && strncasecmp(name.data(), "ISO-2022-JP", 11) == 0;
}

bool IsShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

bool IsModelDependent(unsigned char lead, unsigned char trail) {
  switch (lead) {
    case 0x87: return trail >= 0x40 && trail <= 0x9C;  // NEC row 13: circled numbers, units
    case 0xED: return trail >= 0x40;                   // NEC-selected IBM extensions
    case 0xEE: return trail <= 0xFC;
    case 0xFA: return trail >= 0x40;                   // IBM extensions
    case 0xFB: return true;
    case 0xFC: return trail <= 0x4B;
    default: return false;
  }
}

}  // namespace

// The text is brought into CP932 whatever the local code page: these characters are defined by
// its rows. A raw byte kept in the text (invalid UTF-8 or the escape U+DC00 + byte) stands for
// itself, so a pair received as bytes is found too.
std::optional<std::size_t> FindModelDependentChar(std::string_view text, std::string_view headCharset,
                                                  std::string_view bodyCharset) {
  if (!IsIso2022Jp(headCharset) && !IsIso2022Jp(bodyCharset)) return std::nullopt;
  std::string shiftJis;
  std::vector<std::size_t> unitOf;  // for each byte of shiftJis, the UTF-16 position it came from
  std::size_t units = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const platform::Utf8Char c = platform::DecodeUtf8At(text, pos);
    if (!c.valid) {
      shiftJis += static_cast<char>(c.code);
    } else if (c.code >= 0xDC00 && c.code <= 0xDCFF) {
      shiftJis += static_cast<char>(c.code - 0xDC00);
    } else if (c.code < 0x80) {
      shiftJis += static_cast<char>(c.code);
    } else {
      const platform::Conversion one = platform::ConvertCharset(text.substr(pos, c.length), "UTF-8", "CP932",
                                                                platform::Unrepresentable::kReplace);
      shiftJis += one.bytes;
    }
    unitOf.resize(shiftJis.size(), units);
    units += c.code > 0xFFFF ? 2 : 1;
    pos += c.length;
  }
  for (std::size_t i = 0; i + 1 < shiftJis.size(); ++i) {
    const auto lead = static_cast<unsigned char>(shiftJis[i]);
    if (!IsShiftJisLead(lead)) continue;
    if (IsModelDependent(lead, static_cast<unsigned char>(shiftJis[i + 1]))) return unitOf[i];
    ++i;
  }
  return std::nullopt;
}

}  // namespace zelk::codec
