#pragma once
// What the cloud tests share: a private home (credentials and link nonce), a
// temporary device root with the backup store, and the local test service,
// made the client's endpoints.

#include "cloud_test_service.h"
#include "local_cloud.h"
#include "private_home.h"
#include "temp_device_root.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class CloudFixture : public ::testing::Test {
protected:
    CloudFixture();
    ~CloudFixture() override;

    testsupport::CloudTestService& service() { return localCloud.service(); }
    // The test's own client context, with the service's endpoints.
    CSClientContext& cloudContext() { return localCloud.client(); }

    // An account the service accepts, stored as a link made earlier would
    // have stored it; no shared session is left behind.
    void linkStoredAccount();

    // The store's folders, and every file of the transfer set but the listed
    // ones, each holding "<name> v<version>"; plus the files that are never sent.
    void fillStore(const std::vector<std::string>& missing = {}, const std::string& version = "1");
    // The same files on the account, under "/Mobrix".
    void fillRemote(const std::vector<std::string>& missing = {}, const std::string& version = "2");

    std::string remoteFile(const std::string& remotePath) const;
    // "METHOD path" of each request the service received, in order.
    std::vector<std::string> requestLines();

    static std::string storePath(const std::string& fileName);

    PrivateHome environment;
    TempDeviceRoot device;
    testsupport::LocalCloud localCloud;
};
