#include "net/pop3_login.h"

#include <cstdint>
#include <limits>
#include <new>

#include "codec/md5.h"
#include "platform/ascii.h"

namespace zelk::net {

namespace {

using platform::StartsWithIgnoringAsciiCase;

LoginState Ended(Conversation& conversation, platform::Text& error, platform::Text text) {
  EndWithError(conversation, error, std::move(text));
  return LoginState::kEnded;
}

LoginState SendOrEnd(Conversation& conversation, std::string_view command, const platform::Text& shown,
                     LoginStep next, platform::Text& error) {
  if (!SendCommand(conversation, command, shown, error)) return LoginState::kEnded;
  conversation.step = static_cast<int>(next);
  return LoginState::kGoingOn;
}

// USER, or APOP with the greeting's timestamp.
LoginState SendCredentials(Conversation& conversation, std::optional<std::string_view> timestamp,
                           const store::MailBox& box, platform::Text& error) {
  const platform::Text user = box.User.value_or("");
  if (user.empty()) return Ended(conversation, error, "No username set");
  const platform::Text& password = conversation.Password(box);
  if (password.empty()) return Ended(conversation, error, "No password set");
  if (box.APOP == 1) {
    if (!timestamp) return Ended(conversation, error, "Server does not accept APOP");
    const std::string command =
        platform::TextToLocal("APOP " + user + " ") + ApopDigest(*timestamp, platform::TextToLocal(password)) + "\r\n";
    return SendOrEnd(conversation, command, "APOP ****", LoginStep::kPasswordReply, error);
  }
  const platform::Text command = "USER " + user + "\r\n";
  return SendOrEnd(conversation, platform::TextToLocal(command), command, LoginStep::kUserReply, error);
}

LoginState Greeting(Conversation& conversation, std::string_view line, const store::MailBox& box, bool socLog,
                    platform::Text& error) {
  if (socLog) conversation.LogReceived(line);
  if (!IsPositive(line)) return Ended(conversation, error, WithServerLine("Response not analysed\n\n", line));
  // RFC 2595 4: STLS is offered in the capability list.
  if (conversation.tlsMode() == store::TlsMode::kStartTls) {
    return SendOrEnd(conversation, "CAPA\r\n", "CAPA\r\n", LoginStep::kCapaReply, error);
  }
  return SendCredentials(conversation, ApopTimestamp(line), box, error);
}

// A line of the capability list: its first word names the capability.
LoginState CapabilityLine(Conversation& conversation, std::string_view line, platform::Text& error) {
  if (line == ".") {
    if (static_cast<LoginStep>(conversation.step) == LoginStep::kCapaList) {
      return Ended(conversation, error, platform::Text(kStlsNotOffered));
    }
    return SendOrEnd(conversation, "STLS\r\n", "STLS\r\n", LoginStep::kStlsReply, error);
  }
  if (platform::EqualIgnoringAsciiCase(line.substr(0, line.find(' ')), "STLS")) {
    conversation.step = static_cast<int>(LoginStep::kCapaListWithStls);
  }
  return LoginState::kGoingOn;
}

}  // namespace

LoginState LoginLine(Conversation& conversation, std::string_view line, const store::MailBox& box, bool socLog,
                     platform::Text& error) {
  switch (static_cast<LoginStep>(conversation.step)) {
    case LoginStep::kGreeting:
      return Greeting(conversation, line, box, socLog, error);
    case LoginStep::kUserReply: {
      if (socLog) conversation.LogReceived(line);
      if (!IsPositive(line)) return Ended(conversation, error, WithServerLine("Account was not accepted\n\n", line));
      const std::string command = "PASS " + platform::TextToLocal(conversation.Password(box)) + "\r\n";
      return SendOrEnd(conversation, command, "PASS ****", LoginStep::kPasswordReply, error);
    }
    case LoginStep::kPasswordReply:
      if (socLog) conversation.LogReceived(line);
      if (!IsPositive(line)) return Ended(conversation, error, WithServerLine("Username or password error\n\n", line));
      return LoginState::kLoggedIn;
    case LoginStep::kCapaReply:
      if (socLog) conversation.LogReceived(line);
      // A server without CAPA has no STLS either.
      if (!IsPositive(line)) return Ended(conversation, error, platform::Text(kStlsNotOffered));
      conversation.step = static_cast<int>(LoginStep::kCapaList);
      return LoginState::kGoingOn;
    case LoginStep::kCapaList:
    case LoginStep::kCapaListWithStls:
      if (socLog) conversation.LogReceived(line);
      return CapabilityLine(conversation, line, error);
    case LoginStep::kStlsReply:
      if (socLog) conversation.LogReceived(line);
      if (!IsPositive(line)) return Ended(conversation, error, WithServerLine(kStlsRefused, line));
      // Nothing more is sent in clear, not even QUIT.
      if (!conversation.StartTls(error)) return LoginState::kEnded;
      return LoginState::kGoingOn;
    case LoginStep::kCapabilitiesReply:
    case LoginStep::kCapabilitiesList:
      break;  // the handler's own
  }
  return LoginState::kGoingOn;
}

LoginState LoginSecured(Conversation& conversation, const store::MailBox& box, platform::Text& error) {
  if (box.APOP == 1) return Ended(conversation, error, platform::Text(kApopNeedsImplicitTls));
  return SendCredentials(conversation, std::nullopt, box, error);
}

bool IsLoginStep(int step) {
  switch (static_cast<LoginStep>(step)) {
    case LoginStep::kGreeting:
    case LoginStep::kUserReply:
    case LoginStep::kPasswordReply:
    case LoginStep::kCapaReply:
    case LoginStep::kCapaList:
    case LoginStep::kCapaListWithStls:
    case LoginStep::kStlsReply:
    case LoginStep::kCapabilitiesReply:
    case LoginStep::kCapabilitiesList:
      return true;
  }
  return false;
}

bool IsPositive(std::string_view line) { return line.size() >= 3 && line[0] == '+' && StartsWithIgnoringAsciiCase(line, "+OK"); }

std::optional<int> PlainNumber(std::string_view word) {
  if (word.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int>::max()) return std::nullopt;
  }
  return static_cast<int>(value);
}

std::optional<std::string_view> ApopTimestamp(std::string_view greeting) {
  const std::size_t open = greeting.rfind('<');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = greeting.rfind('>');
  if (close == std::string_view::npos || close < open) return std::nullopt;
  return greeting.substr(open, close - open + 1);
}

std::string ApopDigest(std::string_view timestamp, std::string_view password) {
  codec::Md5Context context;
  codec::Md5Init(context);
  codec::Md5Update(context, timestamp.data(), timestamp.size());
  codec::Md5Update(context, password.data(), password.size());
  codec::Md5Digest digest;
  codec::Md5Final(digest, context);
  return codec::Md5Hex(digest);
}

void QuitSentLine(Conversation& conversation, std::string_view line) {
  if (StartsWithIgnoringAsciiCase(line, "+OK") || StartsWithIgnoringAsciiCase(line, "-ER")) conversation.LogReceived(line);
}

void Pop3Handler::Enter(Conversation& conversation, platform::Text& error, store::MailBox& box, bool shown) {
  conversation_ = &conversation;
  box_ = &box;
  error_ = &error;
  shown_ = shown;
}

bool Pop3Handler::Line(Conversation& conversation, std::string_view line, platform::Text& error, store::MailBox& box,
                       bool shown) {
  Enter(conversation, error, box, shown);
  try {
    if (!pipeline_.ForHandler(line)) return true;
    switch (static_cast<LoginStep>(conversation.step)) {
      case LoginStep::kCapabilitiesReply:
      case LoginStep::kCapabilitiesList:
        return CapabilityLine(line);
      default:
        break;
    }
    if (IsLoginStep(conversation.step)) return GoOn(LoginLine(conversation, line, box, socLog_, error));
    return Dispatch(line);
  } catch (const std::bad_alloc&) {
    return Fail("Memory Allocation error");
  }
}

bool Pop3Handler::Secured(Conversation& conversation, platform::Text& error, store::MailBox& box, bool shown) {
  Enter(conversation, error, box, shown);
  try {
    return GoOn(LoginSecured(conversation, box, error));
  } catch (const std::bad_alloc&) {
    return Fail("Memory Allocation error");
  }
}

bool Pop3Handler::GoOn(LoginState state) {
  switch (state) {
    case LoginState::kGoingOn:
      return true;
    case LoginState::kEnded:
      return false;
    case LoginState::kLoggedIn:
      break;
  }
  if (conversation_->loginOnly()) return LoggedIn();
  // RFC 2449: what the server offers may change with the login, so it is asked only now.
  capabilities_ = {};
  if (!pipeline_.Send(*conversation_, "CAPA\r\n", "CAPA\r\n", *error_)) return false;
  conversation_->step = static_cast<int>(LoginStep::kCapabilitiesReply);
  return true;
}

bool Pop3Handler::CapabilityLine(std::string_view line) {
  if (socLog_) conversation_->LogReceived(line);
  if (static_cast<LoginStep>(conversation_->step) == LoginStep::kCapabilitiesReply) {
    if (!IsPositive(line)) return LoggedIn();
    conversation_->step = static_cast<int>(LoginStep::kCapabilitiesList);
    return true;
  }
  if (line == ".") {
    pipeline_.Enable(capabilities_.pipelining);
    return LoggedIn();
  }
  const std::string_view name = line.substr(0, line.find(' '));
  if (platform::EqualIgnoringAsciiCase(name, "PIPELINING")) capabilities_.pipelining = true;
  if (platform::EqualIgnoringAsciiCase(name, "UIDL")) capabilities_.uidl = true;
  return true;
}

}  // namespace zelk::net
