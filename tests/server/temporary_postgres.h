#pragma once
// A PostgreSQL server of Debian's postgresql package, made for a test in a
// temporary folder and listening only on a Unix socket there; stopped and
// removed when it goes. Runs the server as the "postgres" user when the test
// runs as root (PostgreSQL refuses root).

#include <filesystem>
#include <string>

namespace servertest {

class TemporaryPostgres {
public:
    TemporaryPostgres();
    ~TemporaryPostgres();
    TemporaryPostgres(const TemporaryPostgres&) = delete;
    TemporaryPostgres& operator=(const TemporaryPostgres&) = delete;

    // Empty when it runs; else why it could not be started.
    const std::string& problem() const { return problem_; }
    // A "postgresql://" URL of a fresh database.
    std::string newDatabase(const std::string& name);

private:
    std::string asServerUser(const std::string& command) const;

    std::filesystem::path folder_;
    std::filesystem::path bin_;
    std::string problem_;
    bool running_ = false;
    bool root_ = false;
};

} // namespace servertest
