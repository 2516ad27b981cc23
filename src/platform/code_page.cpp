#include "platform/code_page.h"

#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <strings.h>

#include "platform/char_width.h"
#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace zelk::platform {

namespace {

constexpr char32_t kEscapeBase = 0xDC00;  // U+DC00 + byte stands for a byte that did not decode


class CodePage {
 public:
  explicit CodePage(std::string name) : name_(std::move(name)), utf8_(IsUtf8Name(name_)) {
    if (!utf8_) {
      toText_ = std::make_unique<IconvConverter>("UTF-8", name_);
      toLocal_ = std::make_unique<IconvConverter>(name_, "UTF-8");
    }
  }
  bool ok() const { return utf8_ || (toText_->ok() && toLocal_->ok()); }
  const std::string& name() const { return name_; }
  bool utf8() const { return utf8_; }

  Text ToText(std::string_view bytes) {
    if (utf8_) return Text(bytes);
    Text text = BulkToText(bytes);
    // Some code pages map two byte sequences to one character (CP932, BIG5); only a checked,
    // character-by-character decode keeps such bytes exact.
    if (ToLocal(text) != bytes) text = CheckedToText(bytes);
    return text;
  }

  std::string ToLocal(std::string_view text) {
    if (utf8_) return std::string(text);
    std::string out;
    out.reserve(text.size());
    toLocal_->Reset();
    for (std::size_t pos = 0; pos < text.size();) {
      const IconvConverter::Stop stop = toLocal_->Run(text.substr(pos), out);
      pos += stop.consumed;
      if (stop.error == 0) break;
      const Utf8Char c = DecodeUtf8At(text, pos);
      const bool escape = c.valid && c.code >= kEscapeBase && c.code <= kEscapeBase + 0xFF;
      out += escape ? static_cast<char>(c.code - kEscapeBase) : '?';
      pos += c.length;
      toLocal_->Reset();
    }
    toLocal_->Flush(out);
    return out;
  }

  std::size_t CharLength(std::string_view bytes, std::size_t pos) {
    if (utf8_) return DecodeUtf8At(bytes, pos).length;
    for (std::size_t length = 1; length <= 4 && pos + length <= bytes.size(); ++length) {
      std::string ignored;
      toText_->Reset();
      const IconvConverter::Stop stop = toText_->Run(bytes.substr(pos, length), ignored);
      if (stop.error == 0) return length;
      if (stop.error != EINVAL) break;
    }
    return 1;
  }

  char32_t FirstCode(std::string_view bytes, std::size_t pos, std::size_t length) {
    if (utf8_) {
      const Utf8Char c = DecodeUtf8At(bytes, pos);
      return c.valid ? c.code : kEscapeBase + c.code;
    }
    const Text text = ToText(bytes.substr(pos, length));
    return DecodeUtf8At(text, 0).code;
  }

 private:
  static void AppendEscape(Text& out, unsigned char byte) { AppendUtf8(out, kEscapeBase + byte); }

  Text BulkToText(std::string_view bytes) {
    Text out;
    out.reserve(bytes.size() * 2);
    toText_->Reset();
    for (std::size_t pos = 0; pos < bytes.size();) {
      const IconvConverter::Stop stop = toText_->Run(bytes.substr(pos), out);
      pos += stop.consumed;
      if (stop.error == 0) break;
      AppendEscape(out, static_cast<unsigned char>(bytes[pos++]));
      toText_->Reset();
    }
    return out;
  }

  Text CheckedToText(std::string_view bytes) {
    Text out;
    for (std::size_t pos = 0; pos < bytes.size();) {
      const std::size_t length = CharLength(bytes, pos);
      const std::string_view one = bytes.substr(pos, length);
      Text decoded;
      toText_->Reset();
      const bool exact = toText_->Run(one, decoded).error == 0 && ToLocal(decoded) == one;
      if (exact) {
        out += decoded;
      } else {
        for (const char byte : one) AppendEscape(out, static_cast<unsigned char>(byte));
      }
      pos += length;
    }
    return out;
  }

  std::string name_;
  bool utf8_;
  std::unique_ptr<IconvConverter> toText_;
  std::unique_ptr<IconvConverter> toLocal_;
};

std::unique_ptr<CodePage>& CurrentSlot() {
  static std::unique_ptr<CodePage> current;
  return current;
}

CodePage& Current() {
  auto& slot = CurrentSlot();
  if (!slot) {
    slot = std::make_unique<CodePage>(LocalCodePageFromEnvironment());
    if (!slot->ok()) slot = std::make_unique<CodePage>("UTF-8");
  }
  return *slot;
}

}  // namespace

std::string LocalCodePageFromEnvironment() {
  if (const char* chosen = std::getenv("ZELK_CODEPAGE"); chosen && *chosen) return chosen;
  // Read the locale's codeset without changing the process's own locale.
  std::string codeset = "UTF-8";
  if (locale_t locale = newlocale(LC_CTYPE_MASK, "", nullptr)) {
    codeset = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
  }
  if (codeset.empty() || codeset == "ANSI_X3.4-1968" || strcasecmp(codeset.c_str(), "ASCII") == 0) return "UTF-8";
  return codeset;
}

bool SelectLocalCodePage(std::string_view name) {
  auto candidate = std::make_unique<CodePage>(std::string(name));
  if (name.empty() || !candidate->ok()) return false;
  CurrentSlot() = std::move(candidate);
  return true;
}

const std::string& LocalCodePageName() { return Current().name(); }

bool LocalCodePageIsUtf8() { return Current().utf8(); }

Text LocalToText(std::string_view bytes) { return Current().ToText(bytes); }

std::string TextToLocal(std::string_view text) { return Current().ToLocal(text); }

std::size_t LocalCharLength(std::string_view bytes, std::size_t pos) { return Current().CharLength(bytes, pos); }

int LocalCharWidth(std::string_view bytes, std::size_t pos) {
  CodePage& codePage = Current();
  const char32_t code = codePage.FirstCode(bytes, pos, codePage.CharLength(bytes, pos));
  return CharWidth(code);
}

}  // namespace zelk::platform
