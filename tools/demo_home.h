#pragma once
#include <optional>
#include <string>

// The home directory the demo starts the program on.
namespace zelk::demo {

struct DemoAccount {
  std::string user;
  std::string password;
  std::string address;
  int pop3Port = 0;
  std::optional<int> smtpPort;  // none: no SMTP server could be started
};

// Writes a fresh home directory: a Zelk.ini with the one account "Demo" on 127.0.0.1, and in the
// Outbox an unsent message to the account's own address, so that sending can be tried before the
// composer exists. False with `error` set when the folder already holds a profile or a file
// could not be written.
[[nodiscard]] bool WriteDemoHome(const std::string& home, const DemoAccount& account, std::string& error);

}  // namespace zelk::demo
