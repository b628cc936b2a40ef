#include "bundle_info.h"
#include "cli_session.h"
#include "cs_client_context.h"
#include "hidden_arguments.h"
#include "result.h"
#include "secret_store_keychain.h"
#include "startup_identity.h"
#include "usage_text.h"
#include "user_folders.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

// Link answers (mobrix open-url URL) are copied, then blanked in the
// process's command line, which every local user can read.
void hideLinkAnswers(int argc, char** argv) {
    for (std::string_view scheme : platform::bundle::kURLSchemes)
        platform::hideArgumentsStartingWith(argc, argv, std::string(scheme) + ":");
}

// The test hook --test-home: never taken from a program started with raised
// rights, whose arguments come from a less trusted user.
platform::Status applyTestHome(const std::string& home) {
    if (home.empty())
        return {};
    if (platform::startedWithRaisedRights())
        return platform::Error{"--test-home is refused when started with raised rights"};
    platform::setUserFoldersOverride(platform::UserFolders::underHome(home));
    return {};
}

} // namespace

int main(int argc, char** argv) {
    // The program needs root to read and write other users' folders; the
    // identity is settled before anything reads the environment or arguments.
    if (auto settled = runtime::startup_identity::settle(); !settled) {
        std::fprintf(stderr, "mobrix: %s\n", settled.error().message.c_str());
        return 1;
    }
    if (!runtime::startup_identity::isRoot())
        std::fprintf(
            stderr, "mobrix: warning: not running as root; commands may fail for want of rights\n");
    std::vector<std::string> words(argv + 1, argv + argc);
    hideLinkAnswers(argc, argv);

    QCoreApplication application(argc, argv);
    // What the cloud client works in, for this run. Credential items of the
    // OAuth component live in the per-user secret store.
    CSClientContext client;
    client.keychain = std::make_shared<platform::SecretStoreKeychain>();
    auto parsed = cli::parseArguments(words);
    if (!parsed)
        return cli::usageError(parsed.error().message);
    if (auto applied = applyTestHome(parsed->testHome); !applied) {
        std::fprintf(stderr, "mobrix: %s\n", applied.error().message.c_str());
        return cli::kUsage;
    }
    return cli::CliSession(std::move(*parsed), client).run();
}
