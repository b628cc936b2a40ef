#include "cli_session.h"
#include "process_identity.h"
#include "secret_store_keychain.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    // The program needs root to read and write other users' folders; the
    // identity is settled before anything reads the environment or arguments.
    if (std::string refusal = process_identity::settle(); !refusal.empty()) {
        std::fprintf(stderr, "mobrix: %s\n", refusal.c_str());
        return 1;
    }
    if (!process_identity::isRoot())
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
