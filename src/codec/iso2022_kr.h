#pragma once
#include <string>
#include <string_view>

namespace zelk::codec {

std::string Iso2022KrToEucKr(std::string_view iso2022kr);
// The designator is written once, at the head of the first line that needs it; each line ends unshifted.
std::string EucKrToIso2022Kr(std::string_view eucKr);

}  // namespace zelk::codec
