// Korean mail travels as 7-bit ISO-2022-KR, while the display and the editor work in EUC-KR.
// Incoming text is turned into EUC-KR, outgoing text into ISO-2022-KR, one line at a time so that
// every line of a message starts and ends unshifted.
#include "codec/iso2022_kr.h"

#include <algorithm>
#include <cstddef>

#include "codec/up_to_nul.h"

namespace zelk::codec {
namespace {

constexpr char kSo = 0x0E;
constexpr char kSi = 0x0F;
constexpr std::string_view kDesignator = "\x1B$)C";

bool IsEucKrByte(unsigned char b) { return b >= 0xA1 && b <= 0xFE; }

bool SameDesignatorByte(std::size_t i, char c) {
  return c == kDesignator[i] || (i == 3 && c == 'c');  // some senders write the C in lower case
}

// How many leading bytes of text match the designator (0 to 4).
std::size_t DesignatorMatch(std::string_view text) {
  std::size_t n = 0;
  while (n < kDesignator.size() && n < text.size() && SameDesignatorByte(n, text[n])) ++n;
  return n;
}

void ShiftLine(std::string_view line, std::string& out) {
  bool shifted = false;
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (IsEucKrByte(b)) {
      if (!shifted) out.push_back(kSo);
      shifted = true;
      out.push_back(static_cast<char>(b - 0x80));
    } else {
      if (shifted) out.push_back(kSi);
      shifted = false;
      out.push_back(c);
    }
  }
  if (shifted) out.push_back(kSi);
}

}  // namespace

std::string Iso2022KrToEucKr(std::string_view iso2022kr) {
  const std::string_view in = UpToNul(iso2022kr);
  std::string out;
  out.reserve(in.size());
  bool korean = false;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    const std::size_t matched = DesignatorMatch(in.substr(i));
    if (matched == kDesignator.size()) {
      i += matched - 1;
      continue;
    }
    if (matched > 0 && i + matched == in.size()) break;  // designator cut off by the end
    if (c == kSo) {
      korean = true;
    } else if (c == kSi) {
      korean = false;
    } else if (korean && c != ' ' && c != '\t') {
      out.push_back(static_cast<char>(c | 0x80));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string EucKrToIso2022Kr(std::string_view eucKr) {
  std::string_view rest = UpToNul(eucKr);
  std::string out;
  out.reserve(rest.size() + rest.size() / 8 + kDesignator.size());
  bool designated = false;
  for (;;) {
    const std::size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    if (!designated && std::any_of(line.begin(), line.end(), [](char c) {
          return IsEucKrByte(static_cast<unsigned char>(c));
        })) {
      out += kDesignator;
      designated = true;
    }
    ShiftLine(line, out);
    if (lf == std::string_view::npos) break;
    out.push_back('\n');
    rest.remove_prefix(lf + 1);
  }
  return out;
}

}  // namespace zelk::codec
