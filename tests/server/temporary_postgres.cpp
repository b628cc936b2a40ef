#include "temporary_postgres.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace servertest {
namespace fs = std::filesystem;

bool TemporaryPostgres::run(const std::string& binary, const std::string& arguments) const {
    const std::string command = (root_ ? "runuser -u postgres -- " : "") +
                                (bin_ / binary).string() + " " + arguments + " >>" +
                                (folder_ / "log").string() + " 2>&1";
    return std::system(command.c_str()) == 0;
}

TemporaryPostgres::TemporaryPostgres() {
    std::error_code ec;
    for (const auto& version : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(version.path() / "bin" / "initdb") && version.path() / "bin" > bin_)
            bin_ = version.path() / "bin";
    root_ = ::geteuid() == 0;
    const struct passwd* user = root_ ? ::getpwnam("postgres") : nullptr;
    char pattern[] = "/tmp/mobrix-pg-XXXXXX";
    if (bin_.empty() || (root_ && !user)) {
        problem_ = "PostgreSQL is not installed (Debian's postgresql package) or has no user";
        return;
    }
    folder_ = ::mkdtemp(pattern);
    const std::string data = (folder_ / "data").string();
    if (root_ && ::chown(folder_.c_str(), user->pw_uid, user->pw_gid) != 0)
        problem_ = "cannot hand the server's folder to the postgres user";
    else if (!run("initdb", "-D " + data + " -A trust -U mobrix -E UTF8 --no-sync"))
        problem_ = "initdb failed (see " + (folder_ / "log").string() + ")";
    else if (!run("pg_ctl", "-D " + data + " -w -t 60 -o \"-k " + folder_.string() +
                                " -c listen_addresses='' -c fsync=off\" start"))
        problem_ = "the server did not start (see " + (folder_ / "log").string() + ")";
    running_ = problem_.empty();
}

TemporaryPostgres::~TemporaryPostgres() {
    if (running_) {
        run("pg_ctl", "-D " + (folder_ / "data").string() + " -m immediate -w stop");
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
}

std::string TemporaryPostgres::newDatabase(const std::string& name) {
    return run("createdb", "-h " + folder_.string() + " -U mobrix " + name)
               ? "postgresql:///" + name + "?host=" + folder_.string() + "&user=mobrix"
               : "";
}

} // namespace servertest
