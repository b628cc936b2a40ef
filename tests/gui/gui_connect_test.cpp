#include "connect_navigation.h"
#include "connect_policy.h"
#include "cs_connect_controller.h"
#include "web_link_presenter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <atomic>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

namespace {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Records the alerts instead of showing them.
class AlertRecorder : public Screen {
public:
    void showOverlay(const std::string&) override {}
    void setOverlayProgress(double, const std::string&) override {}
    void hideOverlay() override {}
    void showAlert(const Alert& alert, AlertDelegate* delegate) override {
        alerts.push_back(alert);
        delegates.push_back(delegate);
    }
    void beginIgnoringInteractionEvents() override {}
    void endIgnoringInteractionEvents() override {}
    void setIdleTimerDisabled(bool) override {}
    void showNotice(const std::string&) override {}

    std::vector<Alert> alerts;
    std::vector<AlertDelegate*> delegates;
};

// The service's side of a link, over plain HTTP on the loopback: the link
// page, a page of the same path, a nested page, and the allow step that
// redirects to the app scheme.
class LinkPages {
public:
    LinkPages() {
        server_.Get("/1/connect_login", [this](const httplib::Request& request,
                                               httplib::Response& response) {
            if (request.has_param("slow"))
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            const std::string state = request.get_param_value("state");
            response.set_content("<html><body><h1>Link</h1>"
                                 "<a id='same' href='/1/connect_login?state=" +
                                     state +
                                     "&page=2'>Again</a> "
                                     "<a id='terms' href='/1/terms?embed_title=Terms'>Terms</a> "
                                     "<a id='allow' href='/1/allow?state=" +
                                     state + "'>Allow</a> <a id='away' href='http://localhost:" +
                                     std::to_string(port_) +
                                     "/1/terms'>Away</a> <a id='plain' "
                                     "href='https://127.0.0.1:" +
                                     std::to_string(port_) + "/1/terms'>Plain</a></body></html>",
                                 "text/html");
        });
        server_.Get("/1/terms", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body>Terms</body></html>", "text/html");
        });
        server_.Get("/1/allow", [](const httplib::Request& request, httplib::Response& response) {
            response.status = 302;
            response.set_header(
                "Location", "cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=T1&oauth_token_secret=S1"
                            "&uid=9&state=" +
                                request.get_param_value("state"));
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~LinkPages() { stop(); }
    void stop() {
        server_.stop();
        if (thread_.joinable())
            thread_.join();
    }
    QUrl url(const std::string& extra = {}) const {
        return QUrl(QString::fromStdString("http://127.0.0.1:" + std::to_string(port_) +
                                           "/1/connect_login?k=q7w2k9x4m1z8r5t&state=S7" + extra));
    }
    int port() const { return port_; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

class ConnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_.resize(420, 700);
        window_.show();
    }
    // The pages served here stand for the service's web host.
    void present(const QUrl& url) {
        presenter_.setServiceOrigin(ServiceOrigin{url.scheme(), url.host(), url.port(), {}});
        presenter_.presentLink(url, nullptr, nullptr);
    }
    ConnectNavigation* navigation() const { return presenter_.presented(); }
    CSConnectController* top() const { return navigation() ? navigation()->top() : nullptr; }
    // Clicks the link once the page that holds it is there.
    void click(const char* id) {
        auto clicked = std::make_shared<bool>(false);
        const QString script = QStringLiteral("(function(){var e=document.getElementById('%1');"
                                              "if(!e)return false;e.click();return true;})()")
                                   .arg(QLatin1String(id));
        ASSERT_TRUE(waitUntil([&] {
            auto answered = std::make_shared<bool>(false);
            top()->webView()->page()->runJavaScript(script,
                                                    [clicked, answered](const QVariant& result) {
                                                        *clicked = result.toBool();
                                                        *answered = true;
                                                    });
            waitUntil([&] { return *answered; }, 2000);
            return *clicked;
        })) << id;
    }
    bool loaded() const { return top() && top()->hasLoaded(); }

    QWidget window_;
    AlertRecorder screen_;
    std::vector<std::string> opened_;
    WebLinkPresenter presenter_{&window_, screen_, [this](const std::string& url) {
                                    opened_.push_back(url);
                                    return true;
                                }};
};

} // namespace

TEST_F(ConnectTest, LinkPageEndsWithTheAnswerHandedOver) {
    LinkPages pages;
    present(pages.url());
    ASSERT_TRUE(waitUntil([&] { return loaded(); }));
    EXPECT_TRUE(top()->webView()->isVisible());
    EXPECT_FALSE(top()->activityIndicator()->isVisible());
    EXPECT_EQ(navigation()->title(), "Cloud");
    QTest::qWait(400); // the page fades in
    QDir().mkpath(MOBRIX_SCREENSHOT_DIR);
    EXPECT_TRUE(navigation()->grab().save(MOBRIX_SCREENSHOT_DIR "/8-web-authorization.png"));
    EXPECT_TRUE(navigation()->cancelButton()->isVisible());

    CSConnectController* first = top();
    click("same");
    ASSERT_TRUE(waitUntil([&] { return first->webView()->url().toString().contains("page=2"); }));
    EXPECT_EQ(navigation()->depth(), 1);

    click("terms");
    ASSERT_TRUE(waitUntil([&] { return navigation()->depth() == 2 && loaded(); }));
    EXPECT_EQ(navigation()->title(), "Terms");
    EXPECT_FALSE(navigation()->cancelButton()->isVisible());
    QTest::mouseClick(navigation()->backButton(), Qt::LeftButton);
    EXPECT_EQ(navigation()->depth(), 1);

    click("allow");
    ASSERT_TRUE(waitUntil([&] { return !opened_.empty() && !navigation(); }));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].rfind("cs-q7w2k9x4m1z8r5t://1/connect?", 0), 0u) << opened_[0];
    EXPECT_NE(opened_[0].find("oauth_token=T1"), std::string::npos);
    EXPECT_NE(opened_[0].find("state=S7"), std::string::npos);
    EXPECT_TRUE(screen_.alerts.empty()) << "a refused navigation is no load error";
}

// Pages of another host, or of the service's host by another scheme or
// port, are loaded nowhere: not in place, not as a pushed screen, not by
// another program. The bar shows the host of the page on display.
TEST_F(ConnectTest, PagesOutsideTheServiceAreRefused) {
    LinkPages pages;
    present(pages.url());
    ASSERT_TRUE(waitUntil([&] { return loaded(); }));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(pages.port());
    EXPECT_EQ(navigation()->host(), host);
    CSConnectController* first = top();
    for (const char* id : {"away", "plain"}) {
        click(id);
        QTest::qWait(500);
        EXPECT_EQ(navigation()->depth(), 1) << id;
        EXPECT_EQ(first->webView()->url().path(), "/1/connect_login") << id;
    }
    EXPECT_TRUE(opened_.empty());
    EXPECT_TRUE(screen_.alerts.empty());

    click("terms");
    ASSERT_TRUE(waitUntil([&] { return navigation()->depth() == 2 && loaded(); }));
    EXPECT_EQ(navigation()->host(), host);
}

TEST(ConnectPolicy, OnlyHttpsPagesOfTheServicesWebHost) {
    const ServiceOrigin origin{
        QStringLiteral("https"), QStringLiteral("www.cloud.example"), 443, {}};
    const QUrl screen(QStringLiteral("https://www.cloud.example/1/connect_login?k=x"));
    const QString app = QStringLiteral("cs-q7w2k9x4m1z8r5t");
    auto decide = [&](const char* target) {
        return decideNavigation(QUrl(QString::fromLatin1(target)), screen, app, origin);
    };
    EXPECT_EQ(decide("cs-q7w2k9x4m1z8r5t://1/connect?x=1"), ConnectDecision::LinkAnswer);
    EXPECT_EQ(decide("itms-apps://itunes.example/app"), ConnectDecision::StoreLink);
    EXPECT_EQ(decide("https://WWW.cloud.example/1/connect_login?page=2"),
              ConnectDecision::LoadInPlace);
    EXPECT_EQ(decide("https://www.cloud.example:443/1/terms"), ConnectDecision::PushScreen);
    for (const char* refused :
         {"http://www.cloud.example/1/terms", "https://www.cloud.example:8443/1/terms",
          "https://evil.example/1/connect_login", "https://www.cloud.example.evil.example/1/x",
          "file:///etc/passwd", "javascript:alert(1)", "data:text/html,hi",
          "https://api.cloud.example/1/connect_login"}) {
        EXPECT_EQ(decide(refused), ConnectDecision::Refuse) << refused;
    }
    EXPECT_TRUE(allowFrame(QUrl(QStringLiteral("about:blank")), origin));
    EXPECT_TRUE(allowFrame(QUrl(QStringLiteral("https://www.cloud.example/frame")), origin));
    EXPECT_FALSE(allowFrame(QUrl(QStringLiteral("https://ads.example/frame")), origin));
    EXPECT_EQ(displayedHost(QUrl(QStringLiteral("https://www.cloud.example/a?b"))),
              "www.cloud.example");
    EXPECT_EQ(displayedHost(QUrl(QStringLiteral("https://127.0.0.1:8443/a"))), "127.0.0.1:8443");
}

TEST_F(ConnectTest, CancelDismissesThenHandsOverTheCancelAddress) {
    LinkPages pages;
    present(pages.url());
    ASSERT_TRUE(waitUntil([&] { return loaded(); }));
    QTest::mouseClick(navigation()->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !navigation(); }));
    EXPECT_EQ(opened_, std::vector<std::string>{"cs-q7w2k9x4m1z8r5t://1/cancel"});
}

TEST_F(ConnectTest, FailureBeforeTheFirstPageOffersRetryAfterItOnlyOk) {
    int deadPort = 0;
    {
        LinkPages gone;
        deadPort = gone.port();
    }
    present(QUrl(QStringLiteral("http://127.0.0.1:%1/1/connect_login?k=x&state=S").arg(deadPort)));
    ASSERT_TRUE(waitUntil([&] { return !screen_.alerts.empty(); }));
    EXPECT_EQ(screen_.alerts[0].title, "Internet connection lost");
    EXPECT_EQ(screen_.alerts[0].message, "Please try again.");
    EXPECT_EQ(screen_.alerts[0].cancelButton, "Cancel");
    EXPECT_EQ(screen_.alerts[0].otherButtons, std::vector<std::string>{"Retry"});
    ASSERT_NE(screen_.delegates[0], nullptr);
    screen_.delegates[0]->alertView(screen_.alerts[0], 1);
    ASSERT_TRUE(waitUntil([&] { return screen_.alerts.size() == 2; })) << "Retry loads again";
    screen_.delegates[1]->alertView(screen_.alerts[1], 0);
    ASSERT_TRUE(waitUntil([&] { return !navigation(); }));
    EXPECT_EQ(opened_, std::vector<std::string>{"cs-q7w2k9x4m1z8r5t://1/cancel"});

    LinkPages pages;
    present(pages.url());
    ASSERT_TRUE(waitUntil([&] { return loaded(); }));
    pages.stop();
    click("same");
    ASSERT_TRUE(waitUntil([&] { return screen_.alerts.size() == 3; }));
    EXPECT_EQ(screen_.alerts[2].cancelButton, "OK");
    EXPECT_TRUE(screen_.alerts[2].otherButtons.empty());
    EXPECT_EQ(screen_.delegates[2], nullptr);
}

TEST_F(ConnectTest, ACancelledLoadShowsNothing) {
    LinkPages pages;
    present(pages.url());
    ASSERT_TRUE(waitUntil([&] { return loaded(); }));
    top()->webView()->load(pages.url("&slow=1"));
    QTest::qWait(200);
    top()->webView()->stop();
    QTest::qWait(2000);
    EXPECT_TRUE(screen_.alerts.empty());
}
