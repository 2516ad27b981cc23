#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/code_page.h"

// The INI engine behind Zelk.ini. The whole file becomes a table of sections and entries; lookups
// and changes work on the table and Save writes it back whole. Whatever the program does not know
// (comments, foreign keys, repeated sections) is kept in its place, so hand edits survive a save.
namespace zelk::config::profile {

using platform::Text;

struct ProfileEntry {
  Text key;
  Text value;  // as it stands in the file, quotes included
  bool comment = false;
};

struct ProfileSection {
  Text name;
  std::vector<ProfileEntry> entries;
  std::unordered_map<Text, std::size_t> firstEntry;  // key folded to lower case -> first such entry
};

struct ProfileFile {
  bool hasTable = false;
  std::vector<ProfileSection> sections;  // [0]: the lines before the first header, never looked up
  std::unordered_map<Text, std::size_t> firstSection;
};

// Reads the file (creating it empty when missing). On failure there is no table and every Get
// answers its default.
[[nodiscard]] bool Load(ProfileFile& profile, const std::string& path);
// Builds the table from profile text; Load is this after reading and decoding the file.
void Parse(ProfileFile& profile, std::string_view text);

// The value without surrounding blanks and quotes, cut to size - 1 characters; the default
// (same cut) when the section or key is missing.
Text GetString(const ProfileFile& profile, std::string_view section, std::string_view key,
               std::string_view defaultValue, std::size_t size);
// The value read as a signed decimal number; the default when the section or key is missing.
std::int32_t GetInt(const ProfileFile& profile, std::string_view section, std::string_view key,
                    std::int32_t defaultValue);

// Stored in double quotes; an empty or missing text as an empty value without quotes. A value is
// one line of the file, so line breaks in the text become spaces.
void SetString(ProfileFile& profile, std::string_view section, std::string_view key, std::optional<std::string_view> text);
void SetInt(ProfileFile& profile, std::string_view section, std::string_view key, std::int32_t number);

// The table as file text: CR LF line ends, an empty line after each section, the unnamed
// section first without a header, sections without entries left out.
Text Serialize(const ProfileFile& profile);
// Writes Serialize's text in the local code page, atomically.
[[nodiscard]] bool Save(const ProfileFile& profile, const std::string& path);
void Free(ProfileFile& profile);

}  // namespace zelk::config::profile
