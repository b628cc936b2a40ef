// mobrix-cloud: the cloud storage service that Mobrix backs up to.
#include "admin_commands.h"
#include "cloud_service.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: mobrix-cloud init DATA [--listen HOST:PORT] [--host NAME]... [--quota BYTES]\n"
    "       mobrix-cloud serve [--config FILE]\n"
    "       mobrix-cloud user add NAME [--quota BYTES] [--email ADDRESS] [--display-name TEXT] "
    "[--config FILE]\n"
    "       mobrix-cloud user password NAME [--config FILE]\n"
    "       mobrix-cloud user unlink NAME [--config FILE]\n"
    "       mobrix-cloud user quota NAME BYTES [--config FILE]\n"
    "       mobrix-cloud user list [--config FILE]\n"
    "FILE defaults to $MOBRIX_CLOUD_CONFIG, else ./mobrix-cloud.conf; BYTES may end in K, M, G "
    "or T.\n";

int usage(const std::string& problem) {
    std::fprintf(stderr, "mobrix-cloud: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

// Words, and the values of the options that take one.
struct Arguments {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> options;
    std::string problem;

    std::string option(const std::string& name, std::string fallback = {}) const {
        for (const auto& [n, v] : options) {
            if (n == name)
                fallback = v;
        }
        return fallback;
    }
};

Arguments parse(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word.rfind("--", 0) != 0) {
            a.words.push_back(word);
        } else if (i + 1 < argc) {
            a.options.emplace_back(word, argv[++i]);
        } else {
            a.problem = word + " needs a value";
        }
    }
    return a;
}

std::string configFile(const Arguments& a) {
    const char* fromEnvironment = std::getenv("MOBRIX_CLOUD_CONFIG");
    return a.option("--config", fromEnvironment ? fromEnvironment : "mobrix-cloud.conf");
}

int serve(const Arguments& a) {
    std::string error;
    auto config = server::ServerConfig::load(configFile(a), &error);
    if (!config) {
        std::fprintf(stderr, "mobrix-cloud: %s\n", error.c_str());
        return 1;
    }
    // Stop signals are taken by one thread, which stops the service; the
    // requests in progress finish first.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    server::CloudService service(*config);
    if (!service.start(&error)) {
        std::fprintf(stderr, "mobrix-cloud: %s\n", error.c_str());
        return 1;
    }
    std::printf("mobrix-cloud: listening on %s:%d\n", config->host().c_str(), service.port());
    std::fflush(stdout);
    std::thread watcher([&service, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        service.stop();
    });
    const bool served = service.run();
    pthread_kill(watcher.native_handle(), SIGTERM);
    watcher.join();
    std::fprintf(stderr, "mobrix-cloud: stopped\n");
    return served ? 0 : 1;
}

int init(const Arguments& a) {
    if (a.words.size() != 2)
        return usage("init takes one data folder");
    server::InitOptions options;
    options.folder = a.words[1];
    options.listen = a.option("--listen", options.listen);
    for (const auto& [name, value] : a.options) {
        if (name == "--host")
            options.hostNames.push_back(value);
    }
    if (auto quota = a.option("--quota"); !quota.empty()) {
        options.defaultQuota = server::parseByteCount(quota);
        if (!options.defaultQuota)
            return usage("cannot read the quota " + quota);
    }
    return server::initDataFolder(options);
}

int user(const Arguments& a) {
    const std::string verb = a.words.size() > 1 ? a.words[1] : "";
    const std::string file = configFile(a);
    if (verb == "list" && a.words.size() == 2)
        return server::listUsers(file);
    if (verb == "password" && a.words.size() == 3)
        return server::resetPassword(file, a.words[2]);
    if (verb == "unlink" && a.words.size() == 3)
        return server::revokeTokens(file, a.words[2]);
    if (verb == "quota" && a.words.size() == 4) {
        auto bytes = server::parseByteCount(a.words[3]);
        return bytes ? server::setQuota(file, a.words[2], *bytes)
                     : usage("cannot read the quota " + a.words[3]);
    }
    if (verb == "add" && a.words.size() == 3) {
        server::UserOptions options{a.words[2], a.option("--display-name"), a.option("--email"),
                                    std::nullopt};
        if (auto quota = a.option("--quota"); !quota.empty()) {
            options.quota = server::parseByteCount(quota);
            if (!options.quota)
                return usage("cannot read the quota " + quota);
        }
        return server::addUser(file, options);
    }
    return usage("unknown user command");
}

} // namespace

int main(int argc, char** argv) {
    const Arguments a = parse(argc, argv);
    if (!a.problem.empty())
        return usage(a.problem);
    if (a.words.empty())
        return usage("no command");
    if (a.words[0] == "serve" && a.words.size() == 1)
        return serve(a);
    if (a.words[0] == "init")
        return init(a);
    if (a.words[0] == "user")
        return user(a);
    return usage("unknown command " + a.words[0]);
}
