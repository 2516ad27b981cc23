#pragma once

namespace zelk::platform {

// 2 for characters of East Asian Width W or F, else 1.
int CharWidth(char32_t code);

}  // namespace zelk::platform
