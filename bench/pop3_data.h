#pragma once
#include <string>

#include "support/dovecot_server.h"

namespace zelk::bench {

// One Dovecot for every POP3 benchmark of the run, plain and POP3S (from a test authority this
// process trusts): user u1 holds 2,000 messages of about 4 KB, u2 50 messages of 2 MB, u3
// kDistantMessages of about 4 KB; all with the password "pw".
test::DovecotServer& Server();
inline constexpr int kDistantMessages = 300;
// A home whose one account "Work" has never been checked, so every message on the server is new;
// with `tls`, through POP3S; with `port`, through that port of 127.0.0.1 instead.
std::string FreshHome(int lines, const std::string& user = "u1", bool tls = false, int port = 0);

}  // namespace zelk::bench
