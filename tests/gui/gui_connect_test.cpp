// The web authorization screen against link pages served on the loopback.
#include "connect_navigation.h"
#include "connect_policy.h"
#include "cs_connect_controller.h"
#include "fake_screen.h"
#include "web_link_presenter.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

namespace {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// The service's side of a link, over plain HTTP on the loopback: the link
// page with links to a page of the same path, a nested page, pages of
// another host or scheme, and the allow step that sends the answer to the
// app scheme.
class LinkPages {
public:
    LinkPages() {
        server_.Get("/1/connect_login",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        if (request.has_param("slow"))
                            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                        const std::string port = std::to_string(port_);
                        response.set_content(
                            "<a id='same' href='/1/connect_login?page=2'>Again</a> <a id='terms' "
                            "href='/1/terms?embed_title=Terms'>Terms</a> <a id='allow' "
                            "href='/1/allow'>Allow</a>"
                            " <a id='away' href='http://localhost:" +
                                port +
                                "/1/terms'>Away</a> <a id='plain' "
                                "href='https://127.0.0.1:" +
                                port + "/1/terms'>Plain</a>",
                            "text/html");
                    });
        server_.Get("/1/terms", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("Terms", "text/html");
        });
        server_.Get("/1/allow", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("cs-q7w2k9x4m1z8r5t://1/connect?oauth_token=T1&state=S7");
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
    // Shows the link page; the pages served here stand for the service's web host.
    void present(const QUrl& url) {
        presenter_.setServiceOrigin(ServiceOrigin{url.scheme(), url.host(), url.port(), {}});
        const std::size_t alerts = screen_.alerts.size();
        presenter_.presentLink(url, nullptr, nullptr);
        ASSERT_TRUE(waitUntil([&] { return loaded() || screen_.alerts.size() > alerts; }));
    }
    ConnectNavigation* navigation() const { return presenter_.presented(); }
    CSConnectController* top() const { return navigation() ? navigation()->top() : nullptr; }
    bool loaded() const { return top() && top()->hasLoaded(); }
    // Clicks the link once the page that holds it is there.
    void click(const char* id) {
        const QString script = QStringLiteral("(function(){var e=document.getElementById('%1');"
                                              "if(!e)return false;e.click();return true;})()")
                                   .arg(QLatin1String(id));
        ASSERT_TRUE(waitUntil([&] {
            auto clicked = std::make_shared<std::optional<bool>>();
            top()->webView()->page()->runJavaScript(
                script, [clicked](const QVariant& result) { *clicked = result.toBool(); });
            waitUntil([&] { return clicked->has_value(); }, 2000);
            return clicked->value_or(false);
        })) << id;
    }

    QWidget window_;
    FakeScreen screen_;
    std::vector<std::string> opened_;
    WebLinkPresenter presenter_{&window_, screen_, [this](const std::string& url) {
                                    opened_.push_back(url);
                                    return true;
                                }};
};

} // namespace

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

// The policy in the web engine: pages of another host, or of the service's
// host by another scheme or port, are loaded nowhere (not in place, not as a
// pushed screen, not by another program); a page of the same path loads in
// place, another one is pushed; the allow step's redirect hands the answer
// over. Neither a refused nor a stopped load is shown as an error.
TEST_F(ConnectTest, LinkPageEndsWithTheAnswerHandedOver) {
    LinkPages pages;
    present(pages.url());
    ASSERT_TRUE(loaded());
    EXPECT_TRUE(top()->webView()->isVisible());
    EXPECT_FALSE(top()->activityIndicator()->isVisible());
    EXPECT_EQ(navigation()->title(), "Cloud");
    const QString host = QStringLiteral("127.0.0.1:%1").arg(pages.port());
    EXPECT_EQ(navigation()->host(), host);
    EXPECT_TRUE(navigation()->cancelButton()->isVisible());
    QTest::qWait(400); // the page fades in
    QDir().mkpath(MOBRIX_SCREENSHOT_DIR);
    EXPECT_TRUE(navigation()->grab().save(MOBRIX_SCREENSHOT_DIR "/8-web-authorization.png"));

    CSConnectController* first = top();
    first->webView()->load(pages.url("&slow=1"));
    QTest::qWait(200);
    first->webView()->stop(); // a stopped load shows nothing
    for (const char* id : {"away", "plain"}) {
        click(id);
        QTest::qWait(500);
        EXPECT_EQ(navigation()->depth(), 1) << id;
        EXPECT_EQ(first->webView()->url().path(), "/1/connect_login") << id;
    }
    click("same");
    ASSERT_TRUE(waitUntil([&] { return first->webView()->url().toString().contains("page=2"); }));
    EXPECT_EQ(navigation()->depth(), 1);

    click("terms");
    ASSERT_TRUE(waitUntil([&] { return navigation()->depth() == 2 && loaded(); }));
    EXPECT_EQ(navigation()->title(), "Terms");
    EXPECT_EQ(navigation()->host(), host);
    EXPECT_FALSE(navigation()->cancelButton()->isVisible());
    QTest::mouseClick(navigation()->backButton(), Qt::LeftButton);
    EXPECT_EQ(navigation()->depth(), 1);

    click("allow");
    ASSERT_TRUE(waitUntil([&] { return !opened_.empty() && !navigation(); }));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_TRUE(opened_[0].starts_with("cs-q7w2k9x4m1z8r5t://1/connect?")) << opened_[0];
    EXPECT_NE(opened_[0].find("oauth_token=T1&state=S7"), std::string::npos);
    EXPECT_TRUE(screen_.alerts.empty());
}

TEST_F(ConnectTest, FailureBeforeTheFirstPageOffersRetryAfterItOnlyOk) {
    int deadPort = 0;
    {
        LinkPages gone;
        deadPort = gone.port();
    }
    present(QUrl(QStringLiteral("http://127.0.0.1:%1/1/connect_login?k=x&state=S").arg(deadPort)));
    ASSERT_FALSE(screen_.alerts.empty());
    EXPECT_EQ(screen_.alerts[0].title, "Internet connection lost");
    EXPECT_EQ(screen_.alerts[0].message, "Please try again.");
    EXPECT_EQ(screen_.alerts[0].cancelButton, "Cancel");
    EXPECT_EQ(screen_.alerts[0].otherButtons, std::vector<std::string>{"Retry"});
    screen_.answer(1);
    ASSERT_TRUE(waitUntil([&] { return screen_.alerts.size() == 2; })) << "Retry loads again";
    screen_.answer(0);
    ASSERT_TRUE(waitUntil([&] { return !navigation(); }));
    EXPECT_EQ(opened_, std::vector<std::string>{"cs-q7w2k9x4m1z8r5t://1/cancel"});

    LinkPages pages;
    present(pages.url());
    pages.stop();
    click("same");
    ASSERT_TRUE(waitUntil([&] { return screen_.alerts.size() == 3; }));
    EXPECT_EQ(screen_.alerts[2].cancelButton, "OK");
    EXPECT_TRUE(screen_.alerts[2].otherButtons.empty());
    screen_.answer(0);
    EXPECT_EQ(navigation()->depth(), 1) << "the page stays";
    // The Cancel button dismisses the screen and hands over the cancel address.
    QTest::mouseClick(navigation()->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !navigation(); }));
    EXPECT_EQ(opened_.size(), 2u);
    EXPECT_EQ(opened_.back(), "cs-q7w2k9x4m1z8r5t://1/cancel");
}
