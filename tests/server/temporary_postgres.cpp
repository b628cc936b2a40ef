#include "temporary_postgres.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace servertest {
namespace fs = std::filesystem;

namespace {

fs::path findServerBinaries() {
    std::error_code ec;
    fs::path found;
    for (auto it = fs::directory_iterator("/usr/lib/postgresql", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (fs::exists(it->path() / "bin" / "initdb") && it->path() / "bin" > found)
            found = it->path() / "bin";
    }
    return found;
}

} // namespace

std::string TemporaryPostgres::asServerUser(const std::string& command) const {
    return root_ ? "runuser -u postgres -- " + command : command;
}

TemporaryPostgres::TemporaryPostgres() {
    bin_ = findServerBinaries();
    if (bin_.empty()) {
        problem_ = "PostgreSQL is not installed (Debian's postgresql package)";
        return;
    }
    root_ = ::geteuid() == 0;
    struct passwd* user = root_ ? ::getpwnam("postgres") : nullptr;
    if (root_ && !user) {
        problem_ = "running as root and there is no postgres user to run the server as";
        return;
    }
    char pattern[] = "/tmp/mobrix-pg-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    if (root_ && ::chown(folder_.c_str(), user->pw_uid, user->pw_gid) != 0) {
        problem_ = "cannot hand the server's folder to the postgres user";
        return;
    }
    const std::string data = (folder_ / "data").string();
    const std::string initdb = asServerUser(bin_.string() + "/initdb -D " + data +
                                            " -A trust -U mobrix -E UTF8 --no-sync >" +
                                            (folder_ / "initdb.log").string() + " 2>&1");
    if (std::system(initdb.c_str()) != 0) {
        problem_ = "initdb failed (see " + (folder_ / "initdb.log").string() + ")";
        return;
    }
    const std::string start =
        asServerUser(bin_.string() + "/pg_ctl -D " + data + " -l " +
                     (folder_ / "server.log").string() + " -w -t 60 -o \"-k " + folder_.string() +
                     " -c listen_addresses='' -c fsync=off\" start >/dev/null 2>&1");
    if (std::system(start.c_str()) != 0) {
        problem_ =
            "the PostgreSQL server did not start (see " + (folder_ / "server.log").string() + ")";
        return;
    }
    running_ = true;
}

TemporaryPostgres::~TemporaryPostgres() {
    if (running_) {
        const std::string stop =
            asServerUser(bin_.string() + "/pg_ctl -D " + (folder_ / "data").string() +
                         " -m immediate -w stop >/dev/null 2>&1");
        (void)std::system(stop.c_str());
    }
    if (!folder_.empty() && problem_.empty()) {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
}

std::string TemporaryPostgres::newDatabase(const std::string& name) {
    const std::string create = asServerUser(bin_.string() + "/createdb -h " + folder_.string() +
                                            " -U mobrix " + name + " >/dev/null 2>&1");
    if (std::system(create.c_str()) != 0)
        return {};
    return "postgresql:///" + name + "?host=" + folder_.string() + "&user=mobrix";
}

} // namespace servertest
