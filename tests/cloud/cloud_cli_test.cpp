// The cloud commands end to end: the real mobrix binary against the local
// test service, with a private home and a temporary device root. What the
// commands decide is tested on the controller; here are the wiring, the exit
// statuses and the kill trials.
#include "cloud_fixture.h"
#include "qt_wait.h"
#include "transfer_set.h"

#include <QProcess>
#include <httplib.h>

#include <algorithm>
#include <map>
#include <random>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

const std::string kUploadQuestion =
    "Backup Upload to Cloud\nThe upload process will begin if you press Upload now button. Only "
    "SMS, Photo and Springboard safeguard will not be uploaded due to the size\n";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CloudCliTest : public CloudFixture {
protected:
    CloudCliTest() : caFile((environment.root() / "service-ca.pem").string()) {
        localCloud.root().writePem(caFile);
    }

    void start(QProcess& process, const QStringList& arguments) {
        process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        process.start(MOBRIX_BINARY,
                      QStringList{"--root", QString::fromStdString(device.root()), "--service",
                                  QString::fromStdString(service().baseUrl()), "--service-ca",
                                  QString::fromStdString(caFile), "--test-home",
                                  environment.home().c_str()} +
                          arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    Result finish(QProcess& process) {
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    Result mobrix(const QStringList& arguments) {
        QProcess process;
        start(process, arguments);
        return finish(process);
    }

    // Starts `cloud link`, opens the address it prints as a browser would
    // (the service's page sends it on to the app scheme) and returns where
    // the browser was sent.
    std::string linkAnswer(QProcess& process) {
        start(process, {"cloud", "link"});
        std::string out;
        for (int i = 0; i < 300 && !contains(out, "connect_login"); ++i) {
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput().toStdString();
        }
        const std::string page = service().baseUrl() + "/1/connect_login?k=q7w2k9x4m1z8r5t&s=";
        const auto begin = out.find(page);
        EXPECT_NE(begin, std::string::npos) << out;
        if (begin == std::string::npos)
            return {};
        httplib::SSLClient client("127.0.0.1", service().port());
        client.enable_server_certificate_verification(false);
        client.set_connection_timeout(10);
        client.set_read_timeout(10);
        const std::string address = out.substr(begin, out.find('\n', begin) - begin);
        auto response = client.Get(address.substr(service().baseUrl().size()).c_str());
        return response && response->status == 302 ? response->get_header_value("Location") : "";
    }

    std::string caFile;
};

} // namespace

// The answer is taken on the standard input of `cloud link`, or of a new
// `open-url` process without operand, so that the token and secret never
// stand on a command line. A nonce is used once.
TEST_F(CloudCliTest, LinkTakesTheAnswerTheBrowserWasSentTo) {
    QProcess linking;
    const std::string answer = linkAnswer(linking);
    ASSERT_TRUE(answer.starts_with("cs-q7w2k9x4m1z8r5t://1/connect?")) << answer;
    linking.write(QByteArray::fromStdString(answer + "\n"));
    Result linked = finish(linking);
    EXPECT_EQ(linked.status, 0) << linked.err;
    EXPECT_TRUE(contains(linked.out, "Cloud account linked"));
    EXPECT_FALSE(contains(linked.err, answer.substr(answer.find("oauth_token=") + 12, 6)));
    EXPECT_EQ(mobrix({"open-url", QString::fromStdString(answer)}).status, 1);
    Result info = mobrix({"cloud", "info"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, "Display name: Test User\nE-mail: user@cloud.example\nCountry: (unknown)\n"
                        "Quota: 0 bytes used of 1.0 TB\n");

    QProcess relinking;
    const std::string second = linkAnswer(relinking);
    finish(relinking);
    ASSERT_FALSE(second.empty());
    QProcess opening;
    start(opening, {"open-url"});
    opening.write(QByteArray::fromStdString("\n  " + second + "  \n"));
    Result opened = finish(opening);
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_TRUE(contains(opened.out, "Cloud account linked"));
    EXPECT_EQ(mobrix({"open-url", "https://127.0.0.1/elsewhere"}).status, 1);
}

TEST_F(CloudCliTest, ExitStatusesAndWhatEachCommandSends) {
    fillStore();
    Result notLinked = mobrix({"--yes", "cloud", "upload"});
    EXPECT_EQ(notLinked.status, 1);
    EXPECT_EQ(notLinked.out,
              "Backup Upload to Cloud\nFailed !\nnot linked: link a cloud account first\n");
    EXPECT_EQ(mobrix({"cloud", "ls"}).status, 1);
    EXPECT_TRUE(requestLines().empty());

    // Cancelled at the question: only the four folders were asked for.
    linkStoredAccount();
    Result cancelled = mobrix({"cloud", "upload"});
    EXPECT_EQ(cancelled.status, 3);
    EXPECT_EQ(cancelled.out, kUploadQuestion);
    EXPECT_EQ(requestLines().size(), 4u);
    for (const auto& line : requestLines())
        EXPECT_TRUE(line.starts_with("POST /1/fileops/create_folder /Mobrix")) << line;
    // The next upload meets folders that exist: refusals that stay silent.
    Result uploaded = mobrix({"--answer", "upload now", "cloud", "upload"});
    EXPECT_EQ(uploaded.status, 0) << uploaded.out;
    EXPECT_TRUE(contains(uploaded.out, "Backup Upload to Cloud\nDone !\n"));
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Accounts.zip"), "Accounts.zip v1");

    service().clearRequests();
    Result deleted = mobrix({"--answer", "Delete now", "cloud", "delete"});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_TRUE(deleted.out.ends_with("Delete Backup on Cloud\nDone !\n")) << deleted.out;
    EXPECT_EQ(service().tree(), std::vector<std::string>{});
    EXPECT_EQ(requestLines(), (std::vector<std::string>{"POST /1/fileops/delete /Mobrix"}));

    // A refused token fails the command and leaves the local files alone.
    fillRemote();
    service().revokeTokens();
    Result refused = mobrix({"--yes", "cloud", "download"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(
        refused.out, "Failed !\nAccounts.zip: not authorized (HTTP 401): link the account again\n"))
        << refused.out;
    EXPECT_EQ(device.read(storePath("Accounts.zip")), "Accounts.zip v1");
}

TEST_F(CloudCliTest, AnUploadKilledHalfWayGoesOnWhereTheServiceGotTo) {
    linkStoredAccount();
    fillStore();
    std::string big(3 * 2097152 + 5, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 3);
    device.write(storePath("Accounts.zip"), big);
    qputenv("MOBRIX_CHUNKED_UPLOAD_THRESHOLD", "1048576");
    // The second piece is answered late: the program is killed while it waits.
    service().injectFault(testsupport::ServiceFault::Slow, "/1/chunked_upload", 1, 1);
    QProcess process;
    start(process, {"--yes", "cloud", "upload"});
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return service().receivedCount("/1/chunked_upload") == 2; }, 60000));
    process.kill();
    process.waitForFinished(10000);
    // The service still keeps the piece whose answer never reached the program.
    auto pieces = [&] {
        std::vector<std::string> offsets;
        for (const auto& request : service().requests())
            if (request.path == "/1/chunked_upload")
                offsets.push_back(request.param("offset") + " " + std::to_string(request.status));
        return offsets;
    };
    ASSERT_TRUE(testsupport::waitUntil([&] { return pieces().size() == 2; }));
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Accounts.zip"), "");
    service().clearRequests();

    Result resumed = mobrix({"--yes", "cloud", "upload"});
    qunsetenv("MOBRIX_CHUNKED_UPLOAD_THRESHOLD");
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(resumed.out, kUploadQuestion + "Backup Upload to Cloud\nDone !\n");
    EXPECT_FALSE(contains(resumed.err, "matches no running request")) << resumed.err;
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Accounts.zip"), big);
    // From the last acknowledged piece; the service names the one it kept; no byte twice.
    EXPECT_EQ(pieces(), (std::vector<std::string>{"2097152 400", "4194304 200", "6291456 200"}));
}

// A download killed at any moment leaves each file of the store either as it
// was or as the account has it, never cut short; the next download finishes
// the job and leaves none of the engine's temporaries behind.
TEST_F(CloudCliTest, ADownloadKilledAtAnyMomentLeavesEachFileOldOrNew) {
    linkStoredAccount();
    fillStore();
    std::map<std::string, std::string> before, after;
    for (const auto& file : cloud::transferSet()) {
        const std::string name(file.fileName);
        before[name] = name + " v1";
        // Large enough that a kill often lands while bodies are arriving.
        after[name] = std::string(16 << 20, static_cast<char>('a' + after.size())) + name;
        device.write(file.localPath, after[name]);
    }
    ASSERT_EQ(mobrix({"--yes", "cloud", "upload"}).status, 0);
    fillStore();
    std::mt19937 random(20261206);
    for (int trial = 0; trial < 4; ++trial) {
        QProcess process;
        start(process, {"--yes", "cloud", "download"});
        testsupport::runEventsFor(100 + static_cast<int>(random() % 800));
        process.kill();
        process.waitForFinished(10000);
        for (const auto& file : cloud::transferSet()) {
            const std::string name(file.fileName);
            const std::string now = device.read(file.localPath);
            EXPECT_TRUE(now == before[name] || now == after[name])
                << name << " holds " << now.size() << " bytes after kill " << trial;
        }
    }
    Result finished = mobrix({"--yes", "cloud", "download"});
    EXPECT_EQ(finished.status, 0) << finished.err;
    for (const auto& file : cloud::transferSet())
        EXPECT_EQ(device.read(file.localPath), after[std::string(file.fileName)]);
    for (const std::string folder : {"MobrixLibrary", "CydiaSources", "CydiaPackages"})
        for (const auto& name : device.tree("/var/mobile/Library/Preferences/Mobrix/" + folder))
            EXPECT_FALSE(name.starts_with(".")) << folder << "/" << name << " was left behind";
}
