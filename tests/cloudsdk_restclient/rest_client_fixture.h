#pragma once
// A REST client on a session linked to the local service, and a delegate
// that records every call it receives.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cs_log.h"
#include "cs_rest_client.h"
#include "cs_trust.h"
#include "link_presenter.h"
#include "local_cloud.h"
#include "private_home.h"
#include "qt_wait.h"

namespace testsupport {

struct Call {
    std::string name;
    std::vector<std::string> args;
    std::optional<CSError> error;
    std::optional<CSMetadata> metadata;
};

class AuthFailures : public CSSessionDelegate {
public:
    void sessionDidReceiveAuthorizationFailure(CSSession*, const std::string& userId) override {
        users.push_back(userId);
    }
    std::vector<std::string> users;
};

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeFile(const std::filesystem::path& p, const std::string& text) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

class RestClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cloud.started());
        token = cloud.service().issueAccessToken("1001");
        session = std::make_shared<CSSession>(cloud.client(), "q7w2k9x4m1z8r5t", "h3n6p0v2c8j5y1f",
                                              "cloud");
        session->setAccessToken(token.token, token.secret, "1001");
        session->setDelegate(&authFailures);
        client = CSRestClient::initWithSession(session);
        ASSERT_TRUE(client);
        client->setDelegate(recordingDelegate());
    }

    void TearDown() override {
        client.reset();
        CSCloseIdleConnections();
    }

    // Waits until `n` calls (progress excluded) have arrived, then lets the loop run a little more.
    bool waitForCalls(std::size_t n) {
        bool ok = waitUntil([&] { return finalCalls() >= n; });
        runEventsFor(50);
        return ok;
    }

    std::size_t finalCalls() const {
        std::size_t n = 0;
        for (const auto& c : calls) {
            if (c.name.find("Progress") == std::string::npos)
                ++n;
        }
        return n;
    }

    std::vector<Call> finals() const {
        std::vector<Call> out;
        for (const auto& c : calls) {
            if (c.name.find("Progress") == std::string::npos)
                out.push_back(c);
        }
        return out;
    }

    CSRestClientDelegate recordingDelegate();

    void record(std::string name, std::vector<std::string> args = {},
                std::optional<CSError> error = std::nullopt,
                std::optional<CSMetadata> metadata = std::nullopt) {
        calls.push_back({std::move(name), std::move(args), std::move(error), std::move(metadata)});
    }

    PrivateHome env;
    std::filesystem::path storage = env.makeFolder("account");
    std::filesystem::path local = env.makeFolder("local");
    LocalCloud cloud{storage};
    CloudTestService::Token token;
    AuthFailures authFailures;
    std::shared_ptr<CSSession> session;
    std::unique_ptr<CSRestClient> client;
    std::vector<Call> calls;
};

} // namespace testsupport
