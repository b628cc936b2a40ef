#pragma once
// A PostgreSQL server of Debian's postgresql package in a temporary folder,
// on a Unix socket there only; stopped and removed when it goes. As root it
// runs as the "postgres" user (PostgreSQL refuses root).

#include <filesystem>
#include <string>

namespace servertest {

class TemporaryPostgres {
public:
    TemporaryPostgres();
    ~TemporaryPostgres();

    // Empty when it runs; else why it could not be started.
    const std::string& problem() const { return problem_; }
    // A "postgresql://" URL of a fresh database ("" on failure).
    std::string newDatabase(const std::string& name);

private:
    bool run(const std::string& binary, const std::string& arguments) const;

    std::filesystem::path folder_, bin_;
    std::string problem_;
    bool running_ = false, root_ = false;
};

} // namespace servertest
