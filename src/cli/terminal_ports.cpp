#include "cli/terminal_ports.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace zelk::cli {

ports::Answer TerminalPorts::ShowMessage(const platform::Text& title, const platform::Text& text, ports::MessageIcon icon,
                                      ports::MessageButtons buttons, bool) {
  progress_.Clear();
  if (icon == ports::MessageIcon::kError) {
    ++errorsShown;
    if (!error) error = text;
  }
  std::fprintf(stderr, "zelk-cli: %s: %s\n", title.c_str(), text.c_str());
  if (buttons == ports::MessageButtons::kOk) return ports::Answer::kOk;
  std::fprintf(stderr, "zelk-cli: answered %s\n", answerYes ? "Yes" : "No");
  return answerYes ? ports::Answer::kYes : ports::Answer::kNo;
}

std::optional<ports::DialogPort::Password> TerminalPorts::AskPassword(const platform::Text& title) {
  // Nobody to ask: the prompt counts as cancelled.
  if (!::isatty(STDIN_FILENO)) {
    passwordsRefused.push_back(title);
    return std::nullopt;
  }
  progress_.Clear();
  std::fprintf(stderr, "%s password: ", title.c_str());
  std::fflush(stderr);
  termios saved{};
  const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  // Ctrl+C at the prompt ends the program as usual, although a conversation blocks it otherwise.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigset_t before;
  ::sigprocmask(SIG_UNBLOCK, &stop, &before);
  std::string line;
  const bool read = static_cast<bool>(std::getline(std::cin, line));
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
  if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::fputc('\n', stderr);
  if (!read) {
    passwordsRefused.push_back(title);
    return std::nullopt;
  }
  return Password{line, true};  // kept for this run only, never written to the profile
}

}  // namespace zelk::cli
