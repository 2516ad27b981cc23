#include "compose/command_line.h"

#include "platform/code_page.h"

namespace zelk::compose {

namespace {

struct Argument {
  std::string text;
  bool quoted = false;  // '""' is an argument even when empty
};

std::vector<Argument> SplitArguments(std::string_view parameters) {
  std::vector<Argument> arguments;
  Argument current;
  bool started = false;
  bool inQuotes = false;
  for (const char c : parameters) {
    if (c == '"') {
      inQuotes = !inQuotes;
      current.quoted = started = true;
    } else if ((c == ' ' || c == '\t') && !inQuotes) {
      if (started) arguments.push_back(std::move(current));
      current = {};
      started = false;
    } else {
      current.text += c;
      started = true;
    }
  }
  if (started) arguments.push_back(std::move(current));
  return arguments;
}

std::string Expanded(std::string_view argument, std::string_view path) {
  std::string out;
  for (std::size_t pos = 0; pos < argument.size();) {
    const std::size_t percent = argument.find('%', pos);
    out.append(argument.substr(pos, percent - pos));
    if (percent == std::string_view::npos || percent + 1 == argument.size()) break;
    const char code = argument[percent + 1];
    if (code == '1') {
      out.append(path);
    } else if (code == '%') {
      out += '%';
    }
    pos = percent + 1 + platform::LocalCharLength(argument, percent + 1);
  }
  return out;
}

}  // namespace

std::vector<std::string> ExpandCommandLine(std::string_view program, std::string_view parameters,
                                           std::string_view path) {
  std::vector<std::string> argv{std::string(program)};
  const std::vector<Argument> arguments = SplitArguments(parameters);
  if (arguments.empty()) {
    argv.emplace_back(path);
    return argv;
  }
  for (const Argument& argument : arguments) {
    std::string text = Expanded(argument.text, path);
    // Where a dropped code stood alone, no empty argument is left behind.
    if (!text.empty() || argument.quoted) argv.push_back(std::move(text));
  }
  return argv;
}

bool UsesOtherProgram(int otherByDefault, bool shiftHeld) { return (otherByDefault == 1) != shiftHeld; }

std::string HandedOverFile(const std::string& dataDirectory, std::string_view role, const platform::Text& suffix) {
  return dataDirectory + "$zelk_" + std::string(role) + "." + platform::TextToLocal(suffix);
}

std::vector<std::string> UserProgramCommand(const platform::Text& program, const platform::Text& parameters,
                                            const std::string& file) {
  if (program.empty()) return {};
  return ExpandCommandLine(platform::TextToLocal(program), platform::TextToLocal(parameters), file);
}

}  // namespace zelk::compose
