#pragma once
#include <string>

namespace zelk::test {

// Switches the local code page for one test and restores the previous one afterwards.
class CodePageScope {
 public:
  explicit CodePageScope(const std::string& name);
  ~CodePageScope();
  CodePageScope(const CodePageScope&) = delete;
  CodePageScope& operator=(const CodePageScope&) = delete;

 private:
  std::string previous_;
};

}  // namespace zelk::test
