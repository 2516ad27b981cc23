#include "config/profile_file.h"

#include <algorithm>

#include "platform/decimal.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace zelk::config::profile {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Names match ignoring the case of A-Z only, whatever the user's locale.
Text Fold(std::string_view s) {
  Text folded(s);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

void StartTable(ProfileFile& profile) {
  Free(profile);
  profile.hasTable = true;
  profile.sections.push_back({});
}

ProfileSection& AddSection(ProfileFile& profile, std::string_view name) {
  profile.firstSection.try_emplace(Fold(name), profile.sections.size());
  return profile.sections.emplace_back(ProfileSection{Text(name), {}, {}});
}

ProfileEntry& AddEntry(ProfileSection& section, std::string_view key, std::string_view value, bool comment) {
  if (!comment) section.firstEntry.try_emplace(Fold(key), section.entries.size());
  return section.entries.emplace_back(ProfileEntry{Text(key), Text(value), comment});
}

// The unnamed section has no entry in the index, so an empty name finds nothing.
std::optional<std::size_t> FindSection(const ProfileFile& profile, std::string_view name) {
  const auto found = profile.firstSection.find(Fold(name));
  if (found == profile.firstSection.end()) return std::nullopt;
  return found->second;
}

const ProfileEntry* FindEntry(const ProfileFile& profile, std::string_view section, std::string_view key) {
  const std::optional<std::size_t> index = FindSection(profile, section);
  if (!index) return nullptr;
  const ProfileSection& s = profile.sections[*index];
  const auto found = s.firstEntry.find(Fold(key));
  return found == s.firstEntry.end() ? nullptr : &s.entries[found->second];
}

// Blanks around the value go, then one leading and one trailing double quote, each on its own.
std::string_view Unquote(std::string_view value) {
  value = TrimBlanks(value);
  if (!value.empty() && value.front() == '"') value.remove_prefix(1);
  if (!value.empty() && value.back() == '"') value.remove_suffix(1);
  return value;
}

void ParseLine(ProfileFile& profile, std::size_t& current, std::string_view line) {
  if (line.front() == '[') {
    // A header must end with "]" and name something; anything else is dropped, and the entries
    // after it stay in the section before.
    if (line.size() < 2 || line.back() != ']') return;
    const std::string_view name = TrimBlanks(line.substr(1, line.size() - 2));
    if (name.empty()) return;
    AddSection(profile, name);
    current = profile.sections.size() - 1;
    return;
  }
  if (line.front() == '#') {
    AddEntry(profile.sections[current], TrimBlanks(line), {}, true);
    return;
  }
  const std::size_t equals = line.find('=');
  const std::string_view key = TrimBlanks(line.substr(0, equals));
  if (key.empty()) return;
  const std::string_view value = equals == std::string_view::npos ? std::string_view{} : line.substr(equals + 1);
  AddEntry(profile.sections[current], key, value, false);
}

void SetValue(ProfileFile& profile, std::string_view section, std::string_view key, std::string_view value) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  if (section.empty() || key.empty()) return;  // such a name could not be read back
  if (!profile.hasTable) StartTable(profile);
  // A line break inside a value would start a new line of the file: a value from mail (an
  // account's last message key) could then plant keys that win over the real ones.
  Text oneLine(value);
  std::replace_if(oneLine.begin(), oneLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  value = oneLine;
  const std::optional<std::size_t> found = FindSection(profile, section);
  ProfileSection& s = found ? profile.sections[*found] : AddSection(profile, section);
  const auto entry = s.firstEntry.find(Fold(key));
  if (entry != s.firstEntry.end()) {
    s.entries[entry->second].value = Text(value);
  } else {
    AddEntry(s, key, value, false);
  }
}

}  // namespace

bool Load(ProfileFile& profile, const std::string& path) {
  Free(profile);
  if (!platform::FileSize(path) && !platform::WriteFileAtomically(path, {})) return false;
  const std::optional<std::string> bytes = platform::ReadWholeFile(path);
  if (!bytes) return false;
  Parse(profile, platform::LocalToText(*bytes));
  return true;
}

void Parse(ProfileFile& profile, std::string_view text) {
  StartTable(profile);
  std::size_t current = 0;  // an index: adding a section may move the list
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    if (end > pos) ParseLine(profile, current, text.substr(pos, end - pos));  // empty lines are skipped
    pos = end + 1;
  }
}

Text GetString(const ProfileFile& profile, std::string_view section, std::string_view key,
               std::string_view defaultValue, std::size_t size) {
  const ProfileEntry* entry = FindEntry(profile, section, key);
  const std::string_view value = entry ? Unquote(entry->value) : defaultValue;
  return Text(platform::CutToUtf16Units(value, size > 0 ? size - 1 : 0));
}

std::int32_t GetInt(const ProfileFile& profile, std::string_view section, std::string_view key,
                    std::int32_t defaultValue) {
  const ProfileEntry* entry = FindEntry(profile, section, key);
  return entry ? platform::ReadDecimal(Unquote(entry->value)) : defaultValue;
}

void SetString(ProfileFile& profile, std::string_view section, std::string_view key, std::optional<std::string_view> text) {
  if (!text || text->empty()) {
    SetValue(profile, section, key, {});
  } else {
    SetValue(profile, section, key, "\"" + Text(*text) + "\"");
  }
}

void SetInt(ProfileFile& profile, std::string_view section, std::string_view key, std::int32_t number) {
  SetValue(profile, section, key, std::to_string(number));
}

Text Serialize(const ProfileFile& profile) {
  Text out;
  for (std::size_t i = 0; i < profile.sections.size(); ++i) {
    const ProfileSection& section = profile.sections[i];
    if (section.entries.empty()) continue;
    if (i != 0) out.append("[").append(section.name).append("]\r\n");
    for (const ProfileEntry& entry : section.entries) {
      // A key can begin with "[" only when its line was indented; written flush left it would be
      // read back as a section header and take the entries after it into a new section.
      if (!entry.comment && entry.key.front() == '[') out += ' ';
      out += entry.key;
      if (!entry.comment) out.append("=").append(entry.value);
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

bool Save(const ProfileFile& profile, const std::string& path) {
  return platform::WriteFileAtomically(path, platform::TextToLocal(Serialize(profile)));
}

void Free(ProfileFile& profile) { profile = ProfileFile{}; }

}  // namespace zelk::config::profile
