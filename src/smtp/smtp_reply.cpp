#include "smtp/smtp_reply.h"

#include "codec/base64.h"
#include "codec/hmac_md5.h"
#include "platform/ascii.h"

namespace zelk::smtp {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipOver(std::string_view text, std::size_t at, std::string_view characters) {
  at = text.find_first_not_of(characters, at);
  return at == std::string_view::npos ? text.size() : at;
}

std::size_t SkipTo(std::string_view text, std::size_t at, std::string_view characters) {
  at = text.find_first_of(characters, at);
  return at == std::string_view::npos ? text.size() : at;
}

}  // namespace

Reply ReplyCode(std::string_view line) {
  Reply reply;
  reply.continuation = line.size() > 3 && line[3] == '-';
  // RFC 5321 codes are three digits; a shorter or garbled code is no success.
  if (line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2])) {
    reply.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  }
  return reply;
}

bool OffersStartTls(std::string_view line) {
  const std::size_t at = SkipOver(line, SkipTo(line, 0, " -"), " -");
  const std::string_view keyword = line.substr(at, SkipTo(line, at, " ") - at);
  return platform::EqualIgnoringAsciiCase(keyword, "STARTTLS");
}

void ParseAuthLine(std::string_view line, AuthMethod& chosen) {
  // "250-AUTH=PLAIN LOGIN": past the code and its separator, then the keyword.
  std::size_t at = SkipOver(line, SkipTo(line, 0, " -"), " -");
  if (!platform::StartsWithIgnoringAsciiCase(line.substr(at), "AUTH")) return;
  at = SkipOver(line, SkipTo(line, at + 4, " ="), " =");
  while (at < line.size()) {
    const std::size_t end = SkipTo(line, at, " ");
    const std::string_view word = line.substr(at, end - at);
    AuthMethod named = AuthMethod::kNone;
    if (platform::StartsWithIgnoringAsciiCase(word, "CRAM-MD5")) {
      named = AuthMethod::kCramMd5;
    } else if (platform::StartsWithIgnoringAsciiCase(word, "LOGIN")) {
      named = AuthMethod::kLogin;
    } else if (platform::StartsWithIgnoringAsciiCase(word, "PLAIN")) {
      named = AuthMethod::kPlain;
    }
    if (named < chosen) chosen = named;
    at = SkipOver(line, end, " ");
  }
}

platform::Text CramMd5Answer(std::string_view challengeLine, const platform::Text& user,
                             const platform::Text& password) {
  // S: 334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+
  const std::size_t at = SkipOver(challengeLine, SkipTo(challengeLine, 0, " "), " ");
  const std::string challenge = codec::Base64Decode(challengeLine.substr(at));
  const codec::Md5Digest digest = codec::HmacMd5(challenge, platform::TextToLocal(password));
  return user + " " + codec::Md5Hex(digest);
}

std::string PlainToken(const platform::Text& user, const platform::Text& password) {
  std::string token(1, '\0');
  token += platform::TextToLocal(user);
  token += '\0';
  token += platform::TextToLocal(password);
  return codec::Base64Encode(token);
}

AuthCredentials Credentials(store::MailBox& account) {
  if (account.AuthUserPass == 1) return {account.SmtpUser, account.SmtpPass, account.SmtpTmpPass};
  return {account.User, account.Pass, account.TmpPass};
}

std::optional<platform::Text> HeloName(const platform::Text& sendHelo, const platform::Text& mailAddress) {
  if (!sendHelo.empty()) return sendHelo;
  const std::size_t at = mailAddress.find('@');
  if (at == platform::Text::npos) return std::nullopt;
  return mailAddress.substr(at + 1);
}

bool HasControlCharacter(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace zelk::smtp
