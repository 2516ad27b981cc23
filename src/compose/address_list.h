#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

// Address lists as headers hold them: comma-separated elements, each a bare address or a display
// name with the address in angle brackets, with comments and quoted strings where RFC 5322 allows.
namespace zelk::compose {

struct AddressElement {
  platform::Text address;  // the bare address
  std::size_t end;         // position of the "," that ends the element, or the text's size
};

// The bare address of the element that starts at pos.
AddressElement ReadAddress(std::string_view list, std::size_t pos);

// Every element's bare address, empty ones left out.
std::vector<platform::Text> BareAddresses(std::string_view list);

struct ListElement {
  platform::Text text;  // the whole element, display name and comments included
  std::size_t end;      // position of the "," that ends the element, or the text's size
};

// The element that starts at pos as the user would retype it: blanks around it removed, tabs, CR
// and LF inside dropped (even after a backslash: a line break would cut a header). A
// "," inside double quotes does not end it, nor one after a backslash.
ListElement CopyListElement(std::string_view list, std::size_t pos);

}  // namespace zelk::compose
