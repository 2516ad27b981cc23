#pragma once
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "store/mailbox_table.h"

namespace zelk::ui {

// What a command line asks of the running program: an account to show ("/a:NAME" or
// /a:"NAME WITH SPACES") and a mail address or "mailto:" text to open a composer from.
struct CommandLineRequest {
  int account = -1;         // the table index to select; -1 for none
  platform::Text address;   // empty: nothing to open
};

// Leading spaces are skipped; a text beginning with "/" carries one option word, and only an
// option beginning with "a:" (any case) means something; the rest after the spaces that follow
// it is the address.
// The program's arguments as one command line, as a second start hands it over: joined by
// spaces, an account name with spaces quoted again after "/a:" (the shell took its quotes off).
platform::Text CommandLineOf(const std::vector<std::string>& arguments);

CommandLineRequest ReadCommandLine(const store::MailBoxTable& table, const platform::Text& commandLine);

}  // namespace zelk::ui
