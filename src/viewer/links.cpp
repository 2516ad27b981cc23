#include "viewer/links.h"

#include <algorithm>
#include <array>

#include "platform/ascii.h"
#include "platform/process.h"

namespace zelk::viewer {

namespace {

constexpr std::array<std::string_view, 3> kWebSchemes = {"http://", "https://", "ftp://"};
constexpr std::string_view kMailScheme = "mailto:";

bool IsFrame(char c) { return c == ' ' || c == '\t' || c == '"' || c == '(' || c == ')' || c == '<' || c == '>'; }

bool EndsLink(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || IsFrame(c);
}

bool StartsWithScheme(std::string_view text, bool webOnly) {
  for (const std::string_view scheme : kWebSchemes) {
    if (platform::StartsWithIgnoringAsciiCase(text, scheme)) return true;
  }
  return !webOnly && platform::StartsWithIgnoringAsciiCase(text, kMailScheme);
}

// The first position where a scheme begins; one pass over the text, however long.
std::size_t FirstScheme(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = platform::AsciiLower(text[i]);
    if ((c == 'h' || c == 'f' || c == 'm') && StartsWithScheme(text.substr(i), false)) return i;
  }
  return std::string_view::npos;
}

}  // namespace

Link LinkInSelection(std::string_view selection) {
  std::size_t start = 0;
  while (start < selection.size() && IsFrame(selection[start])) ++start;
  std::string_view rest = selection.substr(start);
  const std::size_t scheme = FirstScheme(rest);
  if (scheme != std::string_view::npos) rest.remove_prefix(scheme);
  const std::size_t end = static_cast<std::size_t>(std::find_if(rest.begin(), rest.end(), EndsLink) - rest.begin());
  const std::string_view link = rest.substr(0, end);

  Link found;
  if (StartsWithScheme(link, true)) {
    found.kind = LinkKind::kWeb;
  } else if (platform::StartsWithIgnoringAsciiCase(link, kMailScheme) || std::count(link.begin(), link.end(), '@') == 1) {
    found.kind = LinkKind::kMail;
  } else {
    return found;
  }
  found.text = link;
  return found;
}

WordSpan WordAround(std::u16string_view line, std::size_t position) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == 0x3000 || c == 0xA0; };
  position = std::min(position, line.size());
  std::size_t start = position;
  while (start > 0 && !blank(line[start - 1])) --start;
  std::size_t end = position;
  while (end < line.size() && !blank(line[end])) ++end;
  return {start, end};
}

std::vector<std::string> WebLinkCommand(const platform::Text& urlApp, const platform::Text& link) {
  const std::string program = platform::TextToLocal(urlApp);
  if (!program.empty() && platform::FindProgram(program)) return {program, platform::TextToLocal(link)};
  return {"xdg-open", platform::TextToLocal(link)};
}

}  // namespace zelk::viewer
