#include "support/code_page_scope.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace zelk::test {

CodePageScope::CodePageScope(const std::string& name) : previous_(platform::LocalCodePageName()) {
  if (!platform::SelectLocalCodePage(name)) ADD_FAILURE() << "iconv does not know the code page " << name;
}

CodePageScope::~CodePageScope() { (void)platform::SelectLocalCodePage(previous_); }

}  // namespace zelk::test
