#include "cli_cloud.h"

#include "app_delegate.h"
#include "cloud_error_text.h"
#include "cloud_listing.h"
#include "cloud_session.h"
#include "cloud_view_controller.h"
#include "command_environment.h"
#include "cs_rest_client.h"
#include "cs_service_endpoints.h"
#include "cs_session.h"
#include "link_presenter.h"
#include "process_tool_runner.h"
#include "terminal_screen.h"
#include "url_opener.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <iostream>
#include <utility>

namespace cli_cloud {
namespace {

constexpr int kSucceeded = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// Each request gives up by itself after a while without progress; this only
// guards against one that never ends.
constexpr qint64 kStallMilliseconds = 180 * 1000;
constexpr int kPollMilliseconds = 20;

// Runs the loop until `done` holds; false when `stalled` said to give up first.
bool runLoopUntil(const std::function<bool()>& done, const std::function<bool()>& stalled) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    bool gaveUp = false;
    poll.setInterval(kPollMilliseconds);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        } else if (stalled()) {
            gaveUp = true;
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    return !gaveUp;
}

// Waits for one answer of a client operation, with the same guard.
bool waitForAnswer(const bool& answered) {
    QElapsedTimer since;
    since.start();
    return runLoopUntil([&] { return answered; },
                        [&] { return since.elapsed() > kStallMilliseconds; });
}

void printNotLinked() {
    std::fprintf(stderr, "mobrix: not linked: link a cloud account first (mobrix cloud link)\n");
}

// Remembers that the web link page was asked for, after printing its address.
class RecordingPresenter : public platform::LinkPresenter {
public:
    void presentLink(const QUrl& url, QObject* fromController, CSSession* session) override {
        printing_.presentLink(url, fromController, session);
        presented = true;
    }
    bool presented = false;

private:
    platform::PrintingLinkPresenter printing_;
};

std::string trimmed(std::string text) {
    const char* blanks = " \t\r\n";
    text.erase(0, text.find_first_not_of(blanks));
    text.erase(text.find_last_not_of(blanks) + 1);
    return text;
}

// The first line of standard input that is not blank, trimmed; "" when none
// comes within a bounded amount of text.
std::string linkAnswerFromInput() {
    constexpr std::size_t kMaxInput = 64 * 1024;
    std::string line;
    char c;
    for (std::size_t seen = 0; seen < kMaxInput && std::cin.get(c); ++seen) {
        if (c != '\n') {
            line += c;
        } else if (std::string answer = trimmed(line); !answer.empty()) {
            return answer;
        } else {
            line.clear();
        }
    }
    return std::cin.eof() ? trimmed(line) : std::string();
}

// The account is linked when the session took the answer and now has a user.
int reportLink(bool taken, const CSClientContext& client) {
    const auto& session = client.sharedSession;
    if (taken && session && session->isLinked()) {
        std::puts("Cloud account linked");
        return kSucceeded;
    }
    std::fprintf(stderr, "mobrix: %s\n",
                 taken ? "the link was cancelled; no account is linked"
                       : "the link answer was refused; no account is linked");
    return kFailed;
}

int link(CloudViewController& controller, AppDelegate& delegate, CSClientContext& client) {
    auto presenter = std::make_shared<RecordingPresenter>();
    auto previous = std::exchange(client.linkPresenter, presenter);
    controller.loadViewIfNeeded();
    controller.LinkCloudAccount();
    client.linkPresenter = std::move(previous);
    if (!presenter->presented) {
        // Either the service's app took the link, or linking could not start.
        if (!client.urlOpener->canOpenURL(QStringLiteral("csapi-2://1/connect"))) {
            std::fprintf(stderr, "mobrix: the link could not be started\n");
            return kFailed;
        }
        std::puts("The link was handed to the cloud service's app; its answer comes back "
                  "through mobrix open-url.");
        return kSucceeded;
    }
    std::fprintf(stderr,
                 "When the browser has been sent to an address beginning with %s://, "
                 "paste that address here: ",
                 client.sharedSession->appScheme().c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer) || trimmed(answer).empty()) {
        std::fprintf(stderr, "\nmobrix: no link answer given; no account is linked\n");
        return kFailed;
    }
    return reportLink(delegate.handleOpenURL(trimmed(answer)), client);
}

// One client operation for the linked account, waited for. `callbacks` fills
// the delegate's success and failure operations, which call answer(succeeded).
using Answer = std::function<void(bool succeeded)>;
int askService(CSClientContext& context, const std::string& subject,
               const std::function<void(CSRestClientDelegate&, const Answer&)>& callbacks,
               const std::function<void(CSRestClient&)>& start) {
    auto session = cloud::sharedSession(context);
    if (!session->isLinked()) {
        printNotLinked();
        return kFailed;
    }
    auto client = CSRestClient::initWithSession(session);
    bool answered = false;
    int status = kFailed;
    CSRestClientDelegate delegate;
    callbacks(delegate, [&](bool succeeded) {
        status = succeeded ? kSucceeded : kFailed;
        answered = true;
    });
    client->setDelegate(std::move(delegate));
    start(*client);
    if (!waitForAnswer(answered))
        std::fprintf(stderr, "mobrix: %s: no answer from the service\n", subject.c_str());
    return status;
}

int info(CSClientContext& client) {
    return askService(
        client, "cloud info",
        [](CSRestClientDelegate& delegate, const Answer& answer) {
            delegate.loadedAccountInfo = [answer](CSRestClient*, const CSAccountInfo& account) {
                std::fputs(cloud::formatAccountInfo(account).c_str(), stdout);
                answer(true);
            };
            delegate.loadAccountInfoFailedWithError = [answer](CSRestClient*,
                                                               const CSError& error) {
                std::fprintf(stderr, "mobrix: cloud info: %s\n",
                             cloud::describeError(error).c_str());
                answer(false);
            };
        },
        [](CSRestClient& client) { client.loadAccountInfo(); });
}

int list(CSClientContext& client, std::string path) {
    if (!path.starts_with('/'))
        path.insert(path.begin(), '/');
    return askService(
        client, path,
        [path](CSRestClientDelegate& delegate, const Answer& answer) {
            delegate.loadedMetadata = [answer](CSRestClient*, const CSMetadata& metadata) {
                std::fputs(cloud::formatListing(metadata).c_str(), stdout);
                answer(true);
            };
            delegate.loadMetadataFailedWithError = [path, answer](CSRestClient*,
                                                                  const CSError& error) {
                std::fprintf(stderr, "mobrix: %s: %s\n", path.c_str(),
                             cloud::describeError(error).c_str());
                answer(false);
            };
        },
        [path](CSRestClient& client) { client.loadMetadata(path); });
}

} // namespace

bool applyServiceOptions(const CliArguments& arguments, CSClientContext& client,
                         std::string& error) {
    if (arguments.serviceUrl.empty())
        return true;
    auto endpoints =
        CSServiceEndpoints::forService(arguments.serviceUrl, arguments.serviceCa, &error);
    if (!endpoints)
        return false;
    client.endpoints = std::move(*endpoints);
    return true;
}

bool isAccountCommand(const std::vector<std::string>& words) {
    if (words[0] == "open-url")
        return true;
    if (words[0] != "cloud" || words.size() < 2)
        return false;
    return words[1] == "link" || words[1] == "info" || words[1] == "ls";
}

int runAccountCommand(const CliArguments& arguments, CSClientContext& client) {
    const auto& words = arguments.words;
    const std::string& verb = words[0] == "cloud" ? words[1] : words[0];
    const size_t operands = words.size() - (words[0] == "cloud" ? 2 : 1);
    std::string usage;
    std::string answer;
    if (verb == "open-url") {
        // The answer's token and secret travel best on standard input: a
        // command line is readable by every local user.
        answer = operands == 1 ? words[1] : operands == 0 ? linkAnswerFromInput() : std::string();
        if (answer.empty())
            usage = "open-url takes one URL";
    }
    if ((verb == "link" || verb == "info") && operands != 0)
        usage = "cloud " + verb + " takes no operand";
    if (verb == "ls" && operands > 1)
        usage = "cloud ls takes at most one PATH";
    if (!usage.empty()) {
        std::fprintf(stderr, "mobrix: %s\n%s", usage.c_str(), kUsageText);
        return kUsage;
    }
    if (verb == "info")
        return info(client);
    if (verb == "ls")
        return list(client, operands ? words[2] : "/Mobrix");

    // Linking touches no device folder; the screens only need their surroundings.
    ProcessToolRunner runner;
    CommandEnvironment environment(DeviceRoot(arguments.root), runner);
    TerminalScreen screen;
    AppDelegate delegate(environment, screen, client);
    if (verb == "open-url")
        return reportLink(delegate.handleOpenURL(answer), client);
    CloudViewController controller(environment, screen, client);
    return link(controller, delegate, client);
}

void waitForRequests(CloudViewController& controller, TerminalScreen& screen) {
    QElapsedTimer quiet;
    quiet.start();
    std::uint64_t seen = controller.activity();
    const bool finished =
        runLoopUntil([&] { return screen.hasPendingAlert() || !controller.hasRequestsInFlight(); },
                     [&] {
                         if (controller.activity() != seen) {
                             seen = controller.activity();
                             quiet.restart();
                         }
                         return quiet.elapsed() > kStallMilliseconds;
                     });
    if (!finished)
        controller.abandonRequests("no answer from the service");
}

} // namespace cli_cloud
