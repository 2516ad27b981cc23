#pragma once

// Unicode case and character classes, the same whatever the user's locale (glibc's C.UTF-8).
namespace zelk::platform {

char32_t FoldCase(char32_t code);
bool IsLetterOrDigit(char32_t code);

}  // namespace zelk::platform
