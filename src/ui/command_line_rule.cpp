#include "ui/command_line_rule.h"

#include <string_view>

#include "platform/ascii.h"

namespace zelk::ui {

namespace {

std::size_t SkipSpaces(std::string_view text, std::size_t at) {
  while (at < text.size() && text[at] == ' ') ++at;
  return at;
}

// The position just after a word that runs to the next space (or the end).
std::size_t EndOfWord(std::string_view text, std::size_t at) {
  const std::size_t space = text.find(' ', at);
  return space == std::string_view::npos ? text.size() : space;
}

}  // namespace

CommandLineRequest ReadCommandLine(const store::MailBoxTable& table, const platform::Text& commandLine) {
  const std::string_view text = commandLine;
  CommandLineRequest request;
  std::size_t at = SkipSpaces(text, 0);
  if (at < text.size() && text[at] == '/') {
    ++at;
    if (platform::StartsWithIgnoringAsciiCase(text.substr(at), "a:")) {
      at += 2;
      std::string_view name;
      if (at < text.size() && text[at] == '"') {
        const std::size_t quote = text.find('"', at + 1);
        const std::size_t end = quote == std::string_view::npos ? text.size() : quote;
        name = text.substr(at + 1, end - at - 1);
        at = quote == std::string_view::npos ? end : quote + 1;
      } else {
        const std::size_t end = EndOfWord(text, at);
        name = text.substr(at, end - at);
        at = end;
      }
      // An empty name names nothing, not an account that has no name yet.
      if (!name.empty()) request.account = store::FindMailBox(table, platform::Text(name));
    } else {
      at = EndOfWord(text, at);
    }
    at = SkipSpaces(text, at);
  }
  request.address = platform::Text(text.substr(at));
  return request;
}

platform::Text CommandLineOf(const std::vector<std::string>& arguments) {
  platform::Text line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    const bool account = argument.size() > 3 && argument[0] == '/' && (argument[1] == 'a' || argument[1] == 'A') &&
                         argument[2] == ':';
    if (account && argument.find(' ') != std::string::npos && argument[3] != '"') {
      line += argument.substr(0, 3) + '"' + argument.substr(3) + '"';
    } else {
      line += argument;
    }
  }
  return line;
}

}  // namespace zelk::ui
