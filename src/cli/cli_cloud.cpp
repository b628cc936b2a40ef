#include "cli_cloud.h"

#include "app_delegate.h"
#include "cloud_error_text.h"
#include "cloud_listing.h"
#include "cloud_session.h"
#include "cloud_view_controller.h"
#include "command_environment.h"
#include "cs_rest_client.h"
#include "cs_session.h"
#include "exit_status.h"
#include "link_presenter.h"
#include "process_tool_runner.h"
#include "service_options.h"
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

namespace cli {
namespace {

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

// Linking touches no device folder; the screens only need their surroundings.
struct AccountSurroundings {
    AccountSurroundings(const std::string& root, CSClientContext& client)
        : environment(DeviceRoot(root), runner), delegate(environment, screen, client) {}

    ProcessToolRunner runner;
    CommandEnvironment environment;
    TerminalScreen screen;
    AppDelegate delegate;
};

} // namespace

platform::Status applyServiceOptions(const CliArguments& arguments, CSClientContext& client) {
    return cloud::applyServiceOptions(arguments.serviceUrl, arguments.serviceCa, client);
}

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

int linkCloudAccount(const CliArguments& arguments, CSClientContext& client,
                     const std::optional<std::string>&) {
    AccountSurroundings surroundings(arguments.root, client);
    CloudViewController controller(surroundings.environment, surroundings.screen, client);
    return link(controller, surroundings.delegate, client);
}

int showCloudAccount(const CliArguments&, CSClientContext& client,
                     const std::optional<std::string>&) {
    return info(client);
}

int listCloudFolder(const CliArguments&, CSClientContext& client,
                    const std::optional<std::string>& path) {
    return list(client, path.value_or("/Mobrix"));
}

int openLinkAnswer(const CliArguments& arguments, CSClientContext& client,
                   const std::optional<std::string>& answer) {
    AccountSurroundings surroundings(arguments.root, client);
    return reportLink(surroundings.delegate.handleOpenURL(*answer), client);
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

} // namespace cli
