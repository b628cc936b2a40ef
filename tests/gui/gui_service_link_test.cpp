// The window links an account against mobrix-cloud on the loopback, named
// as --service and --service-ca name it: the link screen shows the service's
// sign-in page (its certificate trusted through the service's file only),
// the form is filled and sent, and the answer reaches the session.
#include "cloud_session.h"
#include "connect_navigation.h"
#include "cs_client_context.h"
#include "cs_connect_controller.h"
#include "cs_service_endpoints.h"
#include "cs_session.h"
#include "link_presenter.h"
#include "qt_wait.h"
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

namespace {

// Runs a script in the page and gives its answer (empty when none came).
QVariant runScript(QWebEnginePage* page, const QString& script) {
    auto answer = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [answer](const QVariant& value) { *answer = value; });
    testsupport::waitUntil([&] { return answer->has_value(); }, 5000);
    return answer->value_or(QVariant());
}

class ServiceLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started());
        service.addAccount("ann", "right password");
        auto applied = cloud::applyServiceOptions(service.baseUrl(), service.caFile(), client);
        ASSERT_TRUE(applied.ok()) << applied.error().message;
        ASSERT_TRUE(device.isValid());
        shell = std::make_unique<Shell>(device.path().toStdString(), runner, client);
        presenter = std::make_shared<WebLinkPresenter>(
            &shell->window(), shell->screen(), [this](const std::string& url) {
                shell->openUrl(QString::fromStdString(url));
                return true;
            });
        client.linkPresenter = presenter;
        shell->window().show();
    }
    void TearDown() override {
        client.linkPresenter.reset();
        presenter.reset();
        shell.reset();
    }

    ConnectNavigation* navigation() const { return presenter->presented(); }
    CSConnectController* top() const { return navigation() ? navigation()->top() : nullptr; }

    CSClientContext client;
    servertest::ServiceHarness service;
    QTemporaryDir device;
    RecordingToolRunner runner;
    std::unique_ptr<Shell> shell;
    std::shared_ptr<WebLinkPresenter> presenter;
};

} // namespace

TEST_F(ServiceLink, TheSignInPageShowsAndSigningInLinksTheAccount) {
    shell->cloud().LinkCloudAccount();
    ASSERT_TRUE(testsupport::waitUntil([&] { return top() && top()->hasLoaded(); }, 20000))
        << "the page never showed";
    EXPECT_EQ(navigation()->title(), "Cloud");
    EXPECT_EQ(navigation()->host(), QStringLiteral("127.0.0.1:%1").arg(service.port()));
    EXPECT_TRUE(top()->shownAlert() == nullptr);
    QWebEnginePage* page = top()->webView()->page();
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return page->title() == QLatin1String("Link Mobrix"); }, 20000))
        << page->title().toStdString();
    EXPECT_EQ(page->url().path(), "/1/connect_login");

    const QVariant sent = runScript(
        page, QStringLiteral("(function(){var n=document.getElementById('name');"
                             "var p=document.getElementById('password');if(!n||!p)return false;"
                             "n.value='ann';p.value='right password';"
                             "document.querySelector('button[value=allow]').click();"
                             "return true;})()"));
    ASSERT_TRUE(sent.toBool()) << "no sign-in form in the page";
    ASSERT_TRUE(testsupport::waitUntil([&] { return !navigation(); }, 20000))
        << "the answer never came back";
    auto session = cloud::sharedSession(client);
    ASSERT_TRUE(session->isLinked());

    // Kept for this service, and for this service only.
    EXPECT_TRUE(cloud::makeSession(client)->isLinked());
    client.endpoints = CSServiceEndpoints::defaults();
    EXPECT_FALSE(cloud::makeSession(client)->isLinked());
}
