#include "net/pop3_login.h"

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

LoginState Greeting(Conversation& conversation, std::string_view line, const store::MailBox& box, bool socLog,
                    platform::Text& error) {
  if (socLog) conversation.LogReceived(line);
  if (!IsPositive(line)) return Ended(conversation, error, WithServerLine("Response not analysed\n\n", line));
  const platform::Text user = box.User.value_or("");
  if (user.empty()) return Ended(conversation, error, "No username set");
  const platform::Text& password = conversation.Password(box);
  if (password.empty()) return Ended(conversation, error, "No password set");
  if (box.APOP == 1) {
    const std::optional<std::string_view> timestamp = ApopTimestamp(line);
    if (!timestamp) return Ended(conversation, error, "Server does not accept APOP");
    const std::string command =
        platform::TextToLocal("APOP " + user + " ") + ApopDigest(*timestamp, platform::TextToLocal(password)) + "\r\n";
    return SendOrEnd(conversation, command, "APOP ****", LoginStep::kPasswordReply, error);
  }
  const platform::Text command = "USER " + user + "\r\n";
  return SendOrEnd(conversation, platform::TextToLocal(command), command, LoginStep::kUserReply, error);
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
  }
  return LoginState::kGoingOn;
}

bool IsPositive(std::string_view line) { return line.size() >= 3 && line[0] == '+' && StartsWithIgnoringAsciiCase(line, "+OK"); }

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

bool Pop3Handler::Line(Conversation& conversation, std::string_view line, platform::Text& error, store::MailBox& box,
                       bool shown) {
  conversation_ = &conversation;
  box_ = &box;
  error_ = &error;
  shown_ = shown;
  try {
    return Dispatch(line);
  } catch (const std::bad_alloc&) {
    return Fail("Memory Allocation error");
  }
}

bool Pop3Handler::LoginReply(std::string_view line) {
  switch (LoginLine(*conversation_, line, *box_, socLog_, *error_)) {
    case LoginState::kGoingOn:
      return true;
    case LoginState::kEnded:
      return false;
    case LoginState::kLoggedIn:
      break;
  }
  return LoggedIn();
}

}  // namespace zelk::net
