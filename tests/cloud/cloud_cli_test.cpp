// The cloud commands end to end: the real mobrix binary against the local
// test service, with a private home and a temporary device root.
#include "cloud_fixture.h"
#include "qt_wait.h"
#include "transfer_set.h"

#include <QProcess>
#include <fstream>
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

std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

class CloudCliTest : public CloudFixture {
protected:
    CloudCliTest() : caFile((environment.root() / "service-ca.pem").string()) {
        localCloud.root().writePem(caFile);
    }

    QStringList common() {
        return {"--root",       QString::fromStdString(device.root()),
                "--service",    QString::fromStdString(service().baseUrl()),
                "--service-ca", QString::fromStdString(caFile),
                "--test-home",  QString::fromStdString(environment.home().string())};
    }

    void start(QProcess& process, const QStringList& arguments) {
        process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        process.start(MOBRIX_BINARY, common() + arguments);
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

    // `cloud link` up to the printed address, which it returns.
    std::string startLink(QProcess& process, std::string& out) {
        start(process, {"cloud", "link"});
        for (int i = 0; i < 300 && !contains(out, "connect_login"); ++i) {
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput().toStdString();
        }
        auto begin = out.find("https://");
        if (begin == std::string::npos)
            return {};
        return out.substr(begin, out.find('\n', begin) - begin);
    }

    // What a browser does with the address: the service's page sends it on
    // to the app scheme.
    std::string browse(const std::string& address) {
        httplib::SSLClient client("127.0.0.1", service().port());
        client.enable_server_certificate_verification(false);
        client.set_connection_timeout(10);
        client.set_read_timeout(10);
        auto response =
            client.Get(address.substr(address.find('/', std::string("https://").size())).c_str());
        if (!response || response->status != 302)
            return {};
        return response->get_header_value("Location");
    }

    std::string caFile;
};

} // namespace

TEST_F(CloudCliTest, LinkTakesTheAddressTheBrowserWasSentTo) {
    QProcess process;
    std::string out;
    const std::string address = startLink(process, out);
    ASSERT_TRUE(address.starts_with(service().baseUrl() + "/1/connect_login?k=q7w2k9x4m1z8r5t&s="))
        << out;
    const std::string answer = browse(address);
    ASSERT_TRUE(answer.starts_with("cs-q7w2k9x4m1z8r5t://1/connect?")) << answer;
    process.write(QByteArray::fromStdString(answer + "\n"));
    Result linked = finish(process);
    EXPECT_EQ(linked.status, 0) << linked.err;
    EXPECT_TRUE(contains(linked.out, "Cloud account linked"));
    // Nothing secret is printed.
    auto token = answer.substr(answer.find("oauth_token=") + 12, 6);
    EXPECT_FALSE(contains(linked.err, token));

    Result info = mobrix({"cloud", "info"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, "Display name: Test User\nE-mail: user@cloud.example\nCountry: US\n"
                        "Quota: 1.0 KB used of 1.9 MB\n");
}

// The answer arrives in a new process. `open-url` without its operand reads
// it from standard input, so the token and secret never stand on a command
// line; with nothing there it is the usage error it always was.
TEST_F(CloudCliTest, ALinkAnswerOnStandardInput) {
    QProcess linking;
    std::string out;
    const std::string address = startLink(linking, out);
    finish(linking);
    const std::string answer = browse(address);
    ASSERT_FALSE(answer.empty());

    QProcess process;
    start(process, {"open-url"});
    process.write(QByteArray::fromStdString("\n  " + answer + "  \n"));
    Result opened = finish(process);
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_TRUE(contains(opened.out, "Cloud account linked"));
    EXPECT_EQ(mobrix({"cloud", "info"}).status, 0);
    // The nonce is used once; an address that is no link answer is refused.
    EXPECT_EQ(mobrix({"open-url", QString::fromStdString(answer)}).status, 1);
    EXPECT_EQ(mobrix({"open-url", "https://127.0.0.1/elsewhere"}).status, 1);
    Result nothing = mobrix({"open-url"});
    EXPECT_TRUE(contains(nothing.err, "open-url takes one URL"));
}

TEST_F(CloudCliTest, CancelAtTheQuestionSendsOnlyTheFourCreateFolderRequests) {
    linkStoredAccount();
    fillStore();
    Result cancelled = mobrix({"cloud", "upload"});
    EXPECT_EQ(cancelled.status, 3);
    EXPECT_EQ(cancelled.out, kUploadQuestion);
    EXPECT_EQ(sorted(requestLines()), (std::vector<std::string>{
                                          "POST /1/fileops/create_folder /Mobrix",
                                          "POST /1/fileops/create_folder /Mobrix/CydiaPackages",
                                          "POST /1/fileops/create_folder /Mobrix/CydiaSources",
                                          "POST /1/fileops/create_folder /Mobrix/MobrixLibrary",
                                      }));
    // A second upload meets folders that exist: refusals that stay silent.
    Result again = mobrix({"--answer", "upload now", "cloud", "upload"});
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_TRUE(contains(again.out, "Backup Upload to Cloud\nDone !\n"));
}

TEST_F(CloudCliTest, DeleteRemovesTheWholeRemoteBackupFolder) {
    linkStoredAccount();
    fillRemote();
    std::ofstream(account / "Mobrix" / "not-ours.txt") << "x";
    std::ofstream(account / "elsewhere.txt") << "kept";
    Result deleted = mobrix({"--answer", "Delete now", "cloud", "delete"});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(deleted.out, "Delete Backup on Cloud\nThis will delete backup that has been saved on "
                           "Cloud previously, continue ?\nDelete Backup on Cloud\nDone !\n");
    EXPECT_EQ(remoteTree(), (std::vector<std::string>{"elsewhere.txt"}));
    EXPECT_EQ(requestLines(), (std::vector<std::string>{"POST /1/fileops/delete /Mobrix"}));
}

TEST_F(CloudCliTest, ARefusedTokenIsAFailureAndTouchesNothingLocal) {
    linkStoredAccount();
    fillStore();
    fillRemote();
    service().revokeTokens();
    Result downloaded = mobrix({"--yes", "cloud", "download"});
    EXPECT_EQ(downloaded.status, 1);
    EXPECT_TRUE(
        contains(downloaded.out,
                 "Failed !\nAccounts.zip: not authorized (HTTP 401): link the account again\n"))
        << downloaded.out;
    EXPECT_EQ(device.read(storePath("Accounts.zip")), "Accounts.zip v1");
    Result uploaded = mobrix({"--yes", "cloud", "upload"});
    EXPECT_EQ(uploaded.status, 1);
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Accounts.zip"), "Accounts.zip v2");
}

TEST_F(CloudCliTest, WithoutALinkedAccountNothingIsRequested) {
    fillStore();
    const std::string notLinked = "Failed !\nnot linked: link a cloud account first\n";
    Result uploaded = mobrix({"--yes", "cloud", "upload"});
    EXPECT_EQ(uploaded.status, 1);
    EXPECT_EQ(uploaded.out, "Backup Upload to Cloud\n" + notLinked);
    Result downloaded = mobrix({"--yes", "cloud", "download"});
    EXPECT_EQ(downloaded.status, 1);
    EXPECT_EQ(downloaded.out, "Backup Download from Cloud\n" + notLinked);
    EXPECT_EQ(mobrix({"--yes", "cloud", "delete"}).status, 1);
    Result info = mobrix({"cloud", "info"});
    EXPECT_EQ(info.status, 1);
    EXPECT_TRUE(contains(info.err, "not linked"));
    EXPECT_EQ(mobrix({"cloud", "ls"}).status, 1);
    EXPECT_TRUE(requestLines().empty());
    EXPECT_EQ(device.read(storePath("Accounts.zip")), "Accounts.zip v1");
}

TEST_F(CloudCliTest, CloudUsageErrors) {
    for (const QStringList& words : {QStringList{"cloud"},
                                     {"cloud", "sync"},
                                     {"cloud", "upload", "now"},
                                     {"cloud", "ls", "/a", "/b"},
                                     {"open-url"}})
        EXPECT_EQ(mobrix(words).status, 2) << words.join(' ').toStdString();
    QProcess process;
    process.start(MOBRIX_BINARY, {"--service", "https://127.0.0.1:1", "--service-ca",
                                  "/nonexistent.pem", "cloud", "info"});
    process.waitForFinished(30000);
    EXPECT_EQ(process.exitCode(), 2);
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
    ASSERT_TRUE(testsupport::waitUntil([&] {
        auto all = service().requests();
        return std::count_if(all.begin(), all.end(),
                             [](const auto& r) { return r.path == "/1/chunked_upload"; }) == 2;
    }));
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Accounts.zip"), "");
    service().clearRequests();

    Result resumed = mobrix({"--yes", "cloud", "upload"});
    qunsetenv("MOBRIX_CHUNKED_UPLOAD_THRESHOLD");
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(resumed.out, kUploadQuestion + "Backup Upload to Cloud\nDone !\n");
    EXPECT_FALSE(contains(resumed.err, "matches no running request")) << resumed.err;
    EXPECT_EQ(remoteFile("/Mobrix/MobrixLibrary/Accounts.zip"), big);
    std::vector<std::string> offsets;
    for (const auto& request : service().requests())
        if (request.path == "/1/chunked_upload")
            offsets.push_back(request.param("offset") + " " + std::to_string(request.status));
    // From the last acknowledged piece; the service names the one it kept; no byte twice.
    EXPECT_EQ(offsets, (std::vector<std::string>{"2097152 400", "4194304 200", "6291456 200"}));
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
        const std::filesystem::path remote = service().localPath(std::string(file.remotePath));
        std::filesystem::create_directories(remote.parent_path());
        std::ofstream(remote, std::ios::binary) << after[name];
    }
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
