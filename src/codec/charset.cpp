// Charset names found in mail and in the settings, and how text crosses between them and the
// local code page. Japanese and Korean mail go through our own ISO-2022 conversions (they keep the
// shift state per line and widen half-width katakana, which is what Japanese mail expects); every
// other charset goes through iconv.
#include "codec/charset.h"

#include <cctype>
#include <initializer_list>
#include <strings.h>

#include "codec/header_params.h"
#include "codec/iso2022_jp.h"
#include "codec/iso2022_kr.h"
#include "platform/code_page.h"
#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace zelk::codec {
namespace {

using platform::ConvertCharset;
using platform::Conversion;
using platform::Unrepresentable;

enum class Family { kIso2022Jp, kIso2022Kr, kUtf7, kUtf8, kOther };

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// By the beginning of the name, so that ISO-2022-JP-2 and the like take the same road.
Family FamilyOf(std::string_view name) {
  if (StartsWithNoCase(name, "ISO-2022-JP")) return Family::kIso2022Jp;
  if (StartsWithNoCase(name, "ISO-2022-KR")) return Family::kIso2022Kr;
  if (StartsWithNoCase(name, "UTF-7")) return Family::kUtf7;
  if (StartsWithNoCase(name, "UTF-8")) return Family::kUtf8;
  return Family::kOther;
}

// The charset name at the start of `text`: a Content-Type value runs on after it, and RFC 2231
// puts "*language" after the name inside encoded words. Empty when nothing usable is there.
std::string LeadingName(std::string_view text) {
  constexpr std::size_t kLongestName = 64;
  std::size_t n = 0;
  while (n < text.size() && (std::isalnum(static_cast<unsigned char>(text[n])) || std::string_view("-_.:+").find(text[n]) != std::string_view::npos)) {
    ++n;
  }
  return n <= kLongestName ? std::string(text.substr(0, n)) : std::string();
}

// Upper case without "-" and "_", so that spellings of one name compare equal.
std::string Squeezed(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (c != '-' && c != '_') out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

bool OneOf(std::string_view name, std::initializer_list<std::string_view> squeezedNames) {
  const std::string squeezed = Squeezed(name);
  for (const std::string_view candidate : squeezedNames) {
    if (squeezed == candidate) return true;
  }
  return false;
}

bool SameCharset(std::string_view a, std::string_view b) { return Squeezed(a) == Squeezed(b); }

// Local code pages in which our own Shift_JIS and EUC-KR bytes can stand as they are.
bool LocalIsShiftJis() {
  return OneOf(platform::LocalCodePageName(), {"SHIFTJIS", "SJIS", "MSKANJI", "CP932", "WINDOWS31J", "MS932"});
}
bool LocalHoldsEucKr() { return OneOf(platform::LocalCodePageName(), {"EUCKR", "CP949", "UHC"}); }
// For sending, only plain EUC-KR: the extra characters of CP949 have no ISO-2022-KR form.
bool LocalIsEucKr() { return OneOf(platform::LocalCodePageName(), {"EUCKR"}); }

// Shift_JIS here means CP932, the Japanese Windows code page: its NEC and IBM rows are common in
// Japanese mail, and it maps both the wave dash and the full-width tilde to 0x8160.
constexpr const char* kShiftJis = "CP932";
constexpr const char* kEucKr = "EUC-KR";

// The charset that text under a label is read in. Mailers that write these labels mean the Windows
// code page that extends them: Latin-1 text carries quotes, dashes and the euro sign in 0x80-0x9F,
// where Latin-1 has only control characters; Japanese mail carries "①" and the NEC and IBM rows
// of CP932; Korean and Chinese mail the extra characters of CP949 and GBK. Labels on mail that is
// sent stay as the user set them.
std::string ReadingName(const std::string& name) {
  if (OneOf(name, {"ISO88591", "ISO88591:1987", "LATIN1", "L1", "CP819", "IBM819", "ISOIR100", "CSISOLATIN1"})) {
    return "CP1252";
  }
  if (OneOf(name, {"SHIFTJIS", "XSJIS", "SJIS", "MSKANJI", "CSSHIFTJIS"})) return kShiftJis;
  if (OneOf(name, {"EUCKR", "KSC56011987", "KSC5601", "CSEUCKR", "CSKSC56011987"})) return "CP949";
  if (OneOf(name, {"GB2312", "CSGB2312", "EUCCN"})) return "GBK";
  return name;
}

std::string ToLocal(std::string_view bytes, const std::string& from) {
  return ConvertCharset(bytes, from, platform::LocalCodePageName(), Unrepresentable::kReplace).bytes;
}

std::optional<std::string> FromLocalStrictly(std::string_view local, const std::string& to) {
  Conversion converted = ConvertCharset(local, platform::LocalCodePageName(), to, Unrepresentable::kFail);
  if (converted.status != Conversion::Status::kDone) return std::nullopt;
  return std::move(converted.bytes);
}

CharsetText InUtf8(std::string_view local) {
  if (platform::LocalCodePageIsUtf8()) return {std::string(local), std::string(kFallbackCharset)};
  return {ConvertCharset(local, platform::LocalCodePageName(), "UTF-8", Unrepresentable::kReplace).bytes,
          std::string(kFallbackCharset)};
}

}  // namespace

std::optional<std::string> CharsetToLocal(std::string_view bytes, std::string_view charset) {
  switch (FamilyOf(charset)) {
    case Family::kIso2022Jp: {
      std::string shiftJis = JisToShiftJis(bytes);
      return LocalIsShiftJis() ? shiftJis : ToLocal(shiftJis, kShiftJis);
    }
    case Family::kIso2022Kr: {
      std::string eucKr = Iso2022KrToEucKr(bytes);
      return LocalHoldsEucKr() ? eucKr : ToLocal(eucKr, kEucKr);
    }
    case Family::kUtf7:
      return ToLocal(bytes, "UTF-7");
    case Family::kUtf8:
      return platform::LocalCodePageIsUtf8() ? std::string(bytes) : ToLocal(bytes, "UTF-8");
    case Family::kOther:
      break;
  }
  std::string name = LeadingName(charset);
  if (name.empty()) return std::nullopt;
  // ASCII is a part of every local code page; 8-bit bytes under that label are kept as received.
  if (OneOf(name, {"USASCII", "ASCII", "ANSIX3.41968", "ISO646US", "US"})) return std::string(bytes);
  if (SameCharset(name, platform::LocalCodePageName())) return std::string(bytes);
  Conversion converted = ConvertCharset(bytes, ReadingName(name), platform::LocalCodePageName(), Unrepresentable::kReplace);
  if (converted.status != Conversion::Status::kDone) return std::nullopt;
  return std::move(converted.bytes);
}

bool IsUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const platform::Utf8Char c = platform::DecodeUtf8At(bytes, pos);
    // Encoded surrogates are the code page layer's byte escapes, never in mail.
    if (!c.valid || (c.code >= 0xD800 && c.code <= 0xDFFF)) return false;
    pos += c.length;
  }
  return true;
}

std::string UndeclaredToLocal(std::string_view bytes, std::string_view fallbackCharset) {
  if (!platform::LocalCodePageIsUtf8() || IsUtf8(bytes)) return std::string(bytes);
  if (std::optional<std::string> local = CharsetToLocal(bytes, fallbackCharset)) return std::move(*local);
  return *CharsetToLocal(bytes, kDefaultUndeclaredCharset);
}

std::string ContentCharsetToLocal(std::string_view body, std::string_view contentType, std::string_view fallbackCharset) {
  if (const std::optional<std::string> charset = ParamBytes(contentType, "charset")) {
    const std::size_t start = std::min(charset->find_first_not_of(" \t"), charset->size());
    if (std::optional<std::string> local = CharsetToLocal(body, std::string_view(*charset).substr(start))) return std::move(*local);
  }
  // No usable charset: JIS is recognised by its escapes.
  if (body.find_first_of("\x1B\x0E") == std::string_view::npos) return UndeclaredToLocal(body, fallbackCharset);
  return *CharsetToLocal(body, "ISO-2022-JP");
}

std::optional<CharsetText> LocalToCharset(std::string_view local, std::string_view charset) {
  // The label goes into header lines: only the name itself, nothing that runs on after it.
  const std::string name = LeadingName(charset);
  switch (FamilyOf(charset)) {
    case Family::kIso2022Jp: {
      std::optional<std::string> shiftJis = LocalIsShiftJis() ? std::string(local) : FromLocalStrictly(local, kShiftJis);
      if (!shiftJis) return InUtf8(local);
      return CharsetText{ShiftJisToJis(*shiftJis), name};
    }
    case Family::kIso2022Kr: {
      std::optional<std::string> eucKr = LocalIsEucKr() ? std::string(local) : FromLocalStrictly(local, kEucKr);
      if (!eucKr) return InUtf8(local);
      return CharsetText{EucKrToIso2022Kr(*eucKr), name};
    }
    case Family::kUtf7:
      if (std::optional<std::string> utf7 = FromLocalStrictly(local, "UTF-7")) return CharsetText{std::move(*utf7), name};
      return InUtf8(local);
    case Family::kUtf8:
      return CharsetText{InUtf8(local).bytes, name};
    case Family::kOther:
      break;
  }
  if (name.empty()) return std::nullopt;
  if (SameCharset(name, platform::LocalCodePageName())) return CharsetText{std::string(local), name};
  Conversion converted = ConvertCharset(local, platform::LocalCodePageName(), name, Unrepresentable::kFail);
  switch (converted.status) {
    case Conversion::Status::kDone:
      return CharsetText{std::move(converted.bytes), name};
    case Conversion::Status::kUnrepresentable:
      return InUtf8(local);
    case Conversion::Status::kUnknownCharset:
      break;
  }
  return std::nullopt;
}

}  // namespace zelk::codec
