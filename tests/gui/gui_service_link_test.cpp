// The window links an account against mobrix-cloud on the loopback, named
// as --service and --service-ca name it: the link screen shows the service's
// sign-in page (its certificate trusted through the service's file only),
// refuses a page of another host, and once the form is sent the answer
// reaches the session and nothing else.
#include "cloud_session.h"
#include "connect_navigation.h"
#include "cs_client_context.h"
#include "cs_connect_controller.h"
#include "cs_service_endpoints.h"
#include "cs_session.h"
#include "recording_tool_runner.h"
#include "service_harness.h"
#include "service_options.h"
#include "shell.h"
#include "web_link_presenter.h"

#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

TEST(ServiceLink, TheSignInPageShowsAndSigningInLinksTheAccount) {
    servertest::ServiceHarness service;
    ASSERT_TRUE(service.started());
    service.addAccount("ann", "right password");
    CSClientContext client;
    auto applied = cloud::applyServiceOptions(service.baseUrl(), service.caFile(), client);
    ASSERT_TRUE(applied.ok()) << applied.error().message;
    QTemporaryDir device;
    RecordingToolRunner runner;
    Shell shell(device.path().toStdString(), runner, client);
    std::vector<std::string> opened;
    auto presenter = std::make_shared<WebLinkPresenter>(
        &shell.window(), shell.screen(), [&](const std::string& url) {
            opened.push_back(url);
            shell.openUrl(QString::fromStdString(url));
            return true;
        });
    client.linkPresenter = presenter;
    struct Unset { // the presenter goes before the window it shows in
        CSClientContext& client;
        ~Unset() { client.linkPresenter.reset(); }
    } unset{client};
    shell.window().show();

    shell.cloud().LinkCloudAccount();
    auto top = [&] { return presenter->presented() ? presenter->presented()->top() : nullptr; };
    ASSERT_TRUE(QTest::qWaitFor([&] { return top() && top()->hasLoaded(); }, 20000))
        << "the page never showed";
    EXPECT_EQ(presenter->presented()->host(), QStringLiteral("127.0.0.1:%1").arg(service.port()));
    QWebEnginePage* page = top()->webView()->page();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->title() == "Link Mobrix"; }, 20000))
        << page->title().toStdString();
    EXPECT_EQ(page->url().path(), "/1/connect_login");

    // Another host (this very service under another name) is loaded nowhere.
    page->runJavaScript(
        QStringLiteral("location.href='https://localhost:%1/1/connect_login'").arg(service.port()));
    QTest::qWait(500);
    EXPECT_EQ(page->url().host(), "127.0.0.1");
    EXPECT_EQ(presenter->presented()->depth(), 1);
    EXPECT_EQ(top()->shownAlert(), nullptr) << "a refused page is no error";
    EXPECT_TRUE(opened.empty());

    std::optional<bool> sent;
    page->runJavaScript("(function(){var n=document.getElementById('name');"
                        "var p=document.getElementById('password');if(!n||!p)return false;"
                        "n.value='ann';p.value='right password';"
                        "document.querySelector('button[value=allow]').click();return true;})()",
                        [&](const QVariant& value) { sent = value.toBool(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.has_value(); }, 5000));
    ASSERT_TRUE(*sent) << "no sign-in form in the page";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !presenter->presented(); }, 20000))
        << "the answer never came back";
    ASSERT_TRUE(cloud::sharedSession(client)->isLinked());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].starts_with("cs-q7w2k9x4m1z8r5t://1/connect?")) << opened[0];
    // Kept for this service, and for this service only.
    EXPECT_TRUE(cloud::makeSession(client)->isLinked());
    client.endpoints = CSServiceEndpoints::defaults();
    EXPECT_FALSE(cloud::makeSession(client)->isLinked());
}
