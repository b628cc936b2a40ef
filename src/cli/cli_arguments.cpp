#include "cli_arguments.h"

const char* const kUsageText =
    "usage: mobrix [--root DIR] [--yes] [--answer BUTTON]... [--service URL --service-ca FILE] "
    "COMMAND\n"
    "  save    CATEGORY      Safeguard screen\n"
    "  restore CATEGORY      Restoration screen\n"
    "  create-folders | remove-safeguard | respring | reboot | remove-added-sources     Options "
    "screen\n"
    "  cloud link | upload | download | delete | info | ls [PATH]     Cloud screen\n"
    "  open-url URL          hand a link answer (cs-q7w2k9x4m1z8r5t://...) to the program\n"
    "  help | --help | --version\n"
    "CATEGORY: tweaks accounts contacts calendar notes safari sms voicemail call-history "
    "springboard "
    "photos all sources packages\n"
    "  (or the command key: TweaksPref Accounts AddressBook Calendar Notes Safari SMS Voicemail\n"
    "   CallHistory SpringBoard DCIM AllPref CydiaSources CydiaPackages, any letter case)\n"
    "\n"
    "  --root DIR       the device root (default /)\n"
    "  --yes            answer confirmations with their first further button (never a restart "
    "offer)\n"
    "  --answer BUTTON  answer the next alert that asks with this button title (repeatable)\n"
    "  --service URL --service-ca FILE\n"
    "                   talk to the cloud service at URL (https://HOST[:PORT]) trusting only the\n"
    "                   certificates in FILE, for this invocation only\n"
    "Exit status: 0 done, 1 failed, 2 usage error, 3 cancelled at the confirmation,\n"
    "4 another command is running on the same device root.\n";

namespace {

// "--name value" or "--name=value".
bool takeValue(const std::vector<std::string>& argv, size_t& i, const std::string& name,
               std::string& value, std::string& error) {
    const std::string& word = argv[i];
    if (word.starts_with(name + "=")) {
        value = word.substr(name.size() + 1);
        return true;
    }
    if (word != name)
        return false;
    if (i + 1 >= argv.size()) {
        error = name + " needs a value";
        return true;
    }
    value = argv[++i];
    return true;
}

} // namespace

ParsedArguments parseArguments(const std::vector<std::string>& argv) {
    CliArguments arguments;
    std::string error;
    for (size_t i = 0; i < argv.size() && error.empty(); ++i) {
        const std::string& word = argv[i];
        std::string answer;
        if (word == "--yes" || word == "-y") {
            arguments.yes = true;
        } else if (takeValue(argv, i, "--root", arguments.root, error) ||
                   takeValue(argv, i, "--service", arguments.serviceUrl, error) ||
                   takeValue(argv, i, "--service-ca", arguments.serviceCa, error) ||
                   takeValue(argv, i, "--test-home", arguments.testHome, error)) {
        } else if (takeValue(argv, i, "--answer", answer, error)) {
            arguments.answers.push_back(answer);
        } else if (word == "--help" || word == "--version" || word == "-h") {
            arguments.words.push_back(word == "-h" ? "--help" : word);
        } else if (word.starts_with("--")) {
            error = "unknown option " + word;
        } else {
            arguments.words.push_back(word);
        }
    }
    if (error.empty() && arguments.words.empty())
        error = "no command given";
    if (error.empty() && arguments.serviceUrl.empty() != arguments.serviceCa.empty())
        error = "--service and --service-ca go together";
    if (!error.empty())
        return {std::nullopt, error};
    return {std::move(arguments), {}};
}
