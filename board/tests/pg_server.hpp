// A PostgreSQL server of Debian's `postgresql` for the tests: made in a temporary folder, on a
// free local port, run as the unprivileged user "nobody" when the tests run as root (postgres
// refuses root), stopped at the end. Each test gets a database of its own.
#pragma once

#include <string>

#include "support/process.hpp"

namespace board::test {

class PgServer {
public:
    // The one server of this test program, started at the first call; null when the machine
    // has no postgresql (why then says so).
    static PgServer* Shared(std::string& why);
    ~PgServer();
    // A new empty database's URL.
    std::string NewDatabase();

private:
    PgServer() = default;
    grappix::test::TempDir dir_;
    std::string bin_, url_;
    int port_ = 0, databases_ = 0;
    bool started_ = false;
};

}  // namespace board::test
