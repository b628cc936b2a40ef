// The bookkeeping of one cloud command (when it ends, what it says), the
// resume record of a chunked upload, the sweep of what a killed download left,
// and service text shown on the terminal with its control characters escaped.
#include "cloud_error_text.h"
#include "cloud_listing.h"
#include "cloud_transfer.h"
#include "cs_account_info.h"
#include "cs_error.h"
#include "cs_json.h"
#include "cs_log.h"
#include "cs_metadata.h"
#include "download_leftovers.h"
#include "printable_text.h"
#include "upload_resume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using cloud::CloudTransfer;
using cloud::RequestKind;

namespace {

struct Watched {
    CloudTransfer transfer;
    int finishedCount = 0;

    Watched() {
        transfer.onFinished([this] { ++finishedCount; });
    }
};

} // namespace

TEST(CloudTransfer, FinishesOnceSealedWithEveryRequestAnsweredFailuresFirst) {
    Watched w;
    w.transfer.refuse("Notes.zip", "folder is a link");
    w.transfer.expect(RequestKind::Download, "/s/a", "Accounts.zip");
    w.transfer.expect(RequestKind::Download, "/s/m", "metadata.plist");
    w.transfer.expect(RequestKind::Download, "/s/c", "cydia.list");
    // Answers that come while requests are still being issued do not end the command.
    w.transfer.succeeded(RequestKind::Download, "/s/a");
    w.transfer.skipped(RequestKind::Download, "/s/c", "passed over");
    w.transfer.seal();
    EXPECT_EQ(w.finishedCount, 0);
    EXPECT_EQ(w.transfer.inFlight(), 1);
    w.transfer.failed(RequestKind::Download, "/s/m", "not on the cloud");
    EXPECT_EQ(w.finishedCount, 1);
    w.transfer.succeeded(RequestKind::Download, "/s/a"); // late duplicate
    EXPECT_EQ(w.finishedCount, 1);
    // Failures first, one line per file, then notes.
    EXPECT_EQ(w.transfer.closingMessage(),
              "Failed !\nNotes.zip: folder is a link\nmetadata.plist: not on the cloud\n"
              "cydia.list: passed over");

    Watched skipped;
    skipped.transfer.expect(RequestKind::Upload, "/x", "x");
    skipped.transfer.skipped(RequestKind::Upload, "/x", "skipped: not safeguarded yet");
    skipped.transfer.seal();
    EXPECT_EQ(skipped.finishedCount, 1);
    EXPECT_EQ(skipped.transfer.closingMessage(), "Done !\nx: skipped: not safeguarded yet");
    Watched empty;
    empty.transfer.seal();
    EXPECT_EQ(empty.finishedCount, 1);
}

TEST(CloudTransfer, AnAnswerMarksOnlyTheRequestItNames) {
    std::vector<std::string> log;
    CSLogRedirect redirect([&](const std::string& line) { log.push_back(line); });
    Watched w;
    w.transfer.expect(RequestKind::CreateFolder, "/Mobrix", "/Mobrix");
    w.transfer.expect(RequestKind::Upload, "/Mobrix/MobrixLibrary/Accounts.zip", "Accounts.zip");
    w.transfer.expect(RequestKind::Upload, "/Mobrix/MobrixLibrary/Notes.zip", "Notes.zip");
    w.transfer.expect(RequestKind::Download, "/root/var/Notes.zip", "Notes.zip");
    w.transfer.seal();
    // The service answers remote paths in its own letter case and composition.
    w.transfer.succeeded(RequestKind::CreateFolder, "/MOBRIX");
    EXPECT_EQ(w.transfer.inFlight(), 3);
    // Another file, another kind, a local path in another case: nothing is marked.
    w.transfer.succeeded(RequestKind::Upload, "/Mobrix/MobrixLibrary/Calendar.zip");
    w.transfer.succeeded(RequestKind::Delete, "/Mobrix");
    w.transfer.succeeded(RequestKind::Download, "/root/var/notes.zip");
    w.transfer.progressed(RequestKind::Upload, "/Mobrix/Notes.zip", 0.5);
    EXPECT_EQ(w.transfer.inFlight(), 3);
    EXPECT_EQ(w.transfer.unmatched(), 4);
    EXPECT_EQ(log.size(), 4u) << "each one logged";
    EXPECT_EQ(w.transfer.progress().fraction, 0.25);

    w.transfer.failed(RequestKind::Upload, "/mobrix/mobrixlibrary/notes.zip", "HTTP 500");
    w.transfer.succeeded(RequestKind::Upload, "/Mobrix/MobrixLibrary/Accounts.zip");
    w.transfer.succeeded(RequestKind::Download, "/root/var/Notes.zip");
    EXPECT_EQ(w.finishedCount, 1);
    EXPECT_EQ(w.transfer.closingMessage(), "Failed !\nNotes.zip: HTTP 500");
    // A late second answer for a finished request marks nothing either.
    w.transfer.succeeded(RequestKind::Upload, "/Mobrix/MobrixLibrary/Notes.zip");
    EXPECT_TRUE(w.transfer.hasFailures());
}

TEST(UploadResume, RecordsRoundTripPrivatelyOnePerFileAndIncompleteOnesAreRefused) {
    cloud::UploadResume first{"/root/var/Notes.zip",
                              "/Mobrix/MobrixLibrary/Notes.zip",
                              "127.0.0.1:4443",
                              "1001",
                              {314572900, 1767225600123456789, 18446744073709551615ull, 2049},
                              "up42",
                              4194304,
                              1767229200};
    const std::string text = cloud::serializeResume(first);
    EXPECT_EQ(cloud::parseResume(text), first);
    EXPECT_FALSE(cloud::parseResume(text.substr(0, text.size() / 2)));
    EXPECT_FALSE(cloud::parseResume("{\"version\": 1}"));

    const auto folder =
        fs::temp_directory_path() / ("resume-test-" + std::to_string(::getpid())) / "uploads";
    const cloud::UploadResumeStore store(folder);
    cloud::UploadResume second = first;
    second.localPath += ".other";
    ASSERT_EQ(store.save(first), "");
    ASSERT_EQ(store.save(second), "");
    first.offset = 6291456; // replaced, not added
    ASSERT_EQ(store.save(first), "");
    EXPECT_EQ(store.load(first.localPath), first);
    struct stat status {};
    ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++files;
        ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
    }
    EXPECT_EQ(files, 2);
    store.remove(first.localPath);
    EXPECT_FALSE(store.load(first.localPath));
    EXPECT_EQ(store.load(second.localPath), second);
    fs::remove_all(folder.parent_path());
}

TEST(DownloadLeftovers, OnlyOwnRegularFilesOfTheEnginesExactTemporaryName) {
    for (const char* name : {".Notes.zip.a1B2c", ".Notes.zip.a1B2c34", ".Notes.zip.a1B2c-",
                             "..Notes.zip.a1B2c3", ".notes.zip.a1B2c3", ".Notes.zipXa1B2c3"})
        EXPECT_FALSE(cloud::isDownloadTemporaryName(name, "Notes.zip")) << name;

    const fs::path base = fs::temp_directory_path() / ("sweep-test-" + std::to_string(::getpid()));
    const fs::path folder = base / "MobrixLibrary";
    fs::create_directories(folder / ".Notes.zip.dir123");
    auto write = [](const fs::path& path) { std::ofstream(path) << "x"; };
    for (const char* name : {".Notes.zip.a1B2c3", ".Accounts.zip.Q9w8E7", ".SMS.zip.a1B2c3",
                             ".Notes.zip.partial", ".Notes.zip.theirs"})
        write(folder / name);
    write(base / "target");
    fs::create_symlink(base / "target", folder / ".Notes.zip.link12");
    if (::geteuid() == 0)
        ASSERT_EQ(::chown((folder / ".Notes.zip.theirs").c_str(), 501, 501), 0);
    else
        fs::remove(folder / ".Notes.zip.theirs");

    const std::vector<std::string> names = {"Notes.zip", "Accounts.zip"};
    auto sweep = cloud::removeDownloadLeftovers(folder.string(), names);
    EXPECT_EQ(sweep.problem, "");
    std::sort(sweep.removed.begin(), sweep.removed.end());
    EXPECT_EQ(sweep.removed,
              (std::vector<std::string>{".Accounts.zip.Q9w8E7", ".Notes.zip.a1B2c3"}));
    EXPECT_TRUE(fs::exists(base / "target"));
    // A folder reached through a link is not swept; a missing one is no problem.
    fs::create_symlink(folder, base / "linked");
    write(folder / ".Notes.zip.zzzzzz");
    EXPECT_NE(cloud::removeDownloadLeftovers((base / "linked").string(), names).problem, "");
    EXPECT_TRUE(fs::exists(folder / ".Notes.zip.zzzzzz"));
    EXPECT_EQ(cloud::removeDownloadLeftovers((base / "absent").string(), names).problem, "");
    fs::remove_all(base);
}

TEST(PrintableText, EscapesControlsAndReorderingKeepsTheRest) {
    EXPECT_EQ(cloud::printable("plain \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
              "plain \xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(cloud::printable("\x1b[2J\r\n\t\x7f"), "\\x1b[2J\\x0d\\x0a\\x09\\x7f");
    EXPECT_EQ(cloud::printable(std::string_view("a\0b", 3)), "a\\x00b");
    // C1 controls (a CSI) and a right-to-left override, as UTF-8.
    EXPECT_EQ(cloud::printable("\xc2\x9b"
                               "31m"),
              "\\u009b31m");
    EXPECT_EQ(cloud::printable("evil\xe2\x80\xaegpj.zip"), "evil\\u202egpj.zip");
    // Bytes that are not UTF-8: stray continuation, overlong, truncated.
    EXPECT_EQ(cloud::printable("\x80\xc0\xaf\xe2\x82"), "\\x80\\xc0\\xaf\\xe2\\x82");
}

TEST(PrintableText, AccountInfoListingAndServiceErrorsAreEscaped) {
    auto account = CSAccountInfo::initWithDictionary(*JSONValue(
        R"({"display_name":"Eve\u001b]0;owned\u0007","email":"e@x\r\nQuota: 0","country":"US",)"
        R"("uid":1,"quota_info":{"quota":2048,"normal":1024,"shared":0}})"));
    ASSERT_TRUE(account);
    const std::string info = cloud::formatAccountInfo(*account);
    EXPECT_EQ(info.find('\x1b'), std::string::npos);
    EXPECT_NE(info.find("Display name: Eve\\x1b]0;owned\\x07\n"), std::string::npos);
    EXPECT_NE(info.find("E-mail: e@x\\x0d\\x0aQuota: 0\n"), std::string::npos);

    auto folder = CSMetadata::initWithDictionary(
        *JSONValue(R"({"path":"/Mobrix","is_dir":true,"contents":[)"
                   R"({"path":"/Mobrix/a\u001b[8mb","is_dir":false,"bytes":3},)"
                   R"({"path":"/Mobrix/sub\nname","is_dir":true}]})"));
    ASSERT_TRUE(folder);
    const std::string listing = cloud::formatListing(*folder);
    EXPECT_EQ(listing.find('\x1b'), std::string::npos);
    EXPECT_NE(listing.find("a\\x1b[8mb"), std::string::npos);
    EXPECT_NE(listing.find("sub\\x0aname/"), std::string::npos);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 2);

    CSError refused;
    refused.domain = CSErrorDomain;
    refused.code = 500;
    refused.userInfo = CSJsonValue::object({{"error", "boom\x1b[1A"}});
    EXPECT_EQ(cloud::describeError(refused), "refused by the service (HTTP 500: boom\\x1b[1A)");
}
