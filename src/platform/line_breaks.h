#pragma once
#include <string>
#include <string_view>

// Mail and the profile keep CR LF line breaks; edit controls and a terminal want LF alone.
namespace zelk::platform {

// Every CR LF as LF; a CR alone stays.
std::string WithLfLineBreaks(std::string_view text);
// Every LF not yet after a CR as CR LF.
std::string WithCrLfLineBreaks(std::string_view text);

}  // namespace zelk::platform
