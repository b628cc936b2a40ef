#include "cli_session.h"
#include "secret_store_keychain.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    // The program needs root to read and write other users' folders. The
    // results are looked at only to say so once; the commands report their
    // own failures.
    (void)::setuid(0);
    (void)::setgid(0);
    if (::geteuid() != 0)
        std::fprintf(
            stderr, "mobrix: warning: not running as root; commands may fail for want of rights\n");

    QCoreApplication application(argc, argv);
    // Credential items of the OAuth component live in the per-user secret store.
    OAuthKeychain::setDefaultKeychain(std::make_shared<platform::SecretStoreKeychain>());
    std::vector<std::string> words(argv + 1, argv + argc);
    ParsedArguments parsed = parseArguments(words);
    if (!parsed.arguments) {
        std::fprintf(stderr, "mobrix: %s\n%s", parsed.error.c_str(), kUsageText);
        return CliSession::kUsage;
    }
    return CliSession(std::move(*parsed.arguments)).run();
}
