#include "pg_server.hpp"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <pqxx/pqxx>

namespace board::test {

namespace {

namespace fs = std::filesystem;

int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    close(s);
    return ntohs(a.sin_port);
}

// argv run as nobody when we are root.
grappix::test::ProcessResult RunAsServerUser(std::vector<std::string> argv) {
    if (geteuid() == 0) argv.insert(argv.begin(), {"/usr/sbin/runuser", "-u", "nobody", "--"});
    return grappix::test::RunProcess(argv, "/", {{"LC_ALL", "C"}}, 60.0);
}

}  // namespace

PgServer* PgServer::Shared(std::string& why) {
    static std::unique_ptr<PgServer> server;
    static std::string fault;
    if (server == nullptr && fault.empty()) {
        auto s = std::unique_ptr<PgServer>(new PgServer());
        std::error_code none;
        for (const auto& version : fs::directory_iterator("/usr/lib/postgresql", none))
            if (fs::exists(version.path() / "bin/initdb")) s->bin_ = (version.path() / "bin").string();
        if (s->bin_.empty()) fault = "no PostgreSQL server installed (Debian's postgresql)";
        const std::string data = s->dir_ / "data";
        if (fault.empty() && geteuid() == 0) chown(s->dir_.Path().c_str(), 65534, 65534);
        if (fault.empty()) {
            auto r = RunAsServerUser(
                {s->bin_ + "/initdb", "-D", data, "-A", "trust", "-U", "board", "-E", "UTF8", "--no-sync"});
            if (r.status != 0) fault = "initdb failed: " + r.err;
        }
        s->port_ = FreePort();
        if (fault.empty()) {
            auto r =
                RunAsServerUser({s->bin_ + "/pg_ctl", "-D", data, "-l", s->dir_ / "log", "-w", "-o",
                                 "-p " + std::to_string(s->port_) + " -k " + s->dir_.Path() +
                                     " -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200",
                                 "start"});
            if (r.status != 0)
                fault = "the server did not start: " + grappix::test::ReadFile(s->dir_ / "log");
        }
        s->started_ = fault.empty();
        s->url_ = "postgresql://board@127.0.0.1:" + std::to_string(s->port_) + "/";
        if (fault.empty()) server = std::move(s);
    }
    why = fault;
    return server.get();
}

PgServer::~PgServer() {
    if (started_) RunAsServerUser({bin_ + "/pg_ctl", "-D", dir_ / "data", "-m", "immediate", "stop"});
}

std::string PgServer::NewDatabase() {
    const std::string name = "test" + std::to_string(++databases_);
    pqxx::connection c(url_ + "postgres");
    pqxx::nontransaction w(c);
    w.exec("CREATE DATABASE " + name);
    return url_ + name;
}

}  // namespace board::test
