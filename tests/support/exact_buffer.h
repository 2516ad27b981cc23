#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace zelk::test {

// Calls convert on a copy of the input in a buffer of exactly its size: unlike a std::string,
// which keeps a terminator after the end, a read one byte too far then trips the sanitizer.
template <typename Convert>
std::string WithExactBuffer(Convert convert, const std::string& in) {
  const std::vector<char> exact(in.begin(), in.end());
  return convert(std::string_view(exact.data(), exact.size()));
}

}  // namespace zelk::test
