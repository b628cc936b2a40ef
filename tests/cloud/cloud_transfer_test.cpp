// The bookkeeping of one cloud command: when it ends and what it says.
#include "cloud_transfer.h"
#include "cs_log.h"

#include <gtest/gtest.h>

using cloud::CloudTransfer;
using cloud::RequestKind;

namespace {

struct Watched {
    CloudTransfer transfer;
    int finishedCount = 0;
    std::vector<cloud::TransferProgress> progress;

    Watched() {
        transfer.onFinished([this] { ++finishedCount; });
        transfer.onProgress([this](const cloud::TransferProgress& p) { progress.push_back(p); });
    }
};

} // namespace

TEST(CloudTransfer, FinishesOnlyWhenSealedAndEveryRequestCompleted) {
    Watched w;
    w.transfer.expect(RequestKind::Upload, "/Mobrix/a", "a");
    w.transfer.expect(RequestKind::Upload, "/Mobrix/b", "b");
    // An answer that comes while requests are still being issued does not end the command.
    w.transfer.succeeded(RequestKind::Upload, "/Mobrix/a");
    EXPECT_EQ(w.finishedCount, 0);
    w.transfer.seal();
    EXPECT_EQ(w.finishedCount, 0);
    EXPECT_EQ(w.transfer.inFlight(), 1);
    w.transfer.succeeded(RequestKind::Upload, "/Mobrix/b");
    EXPECT_EQ(w.finishedCount, 1);
    // A late duplicate answer finishes nothing twice.
    w.transfer.succeeded(RequestKind::Upload, "/Mobrix/b");
    EXPECT_EQ(w.finishedCount, 1);
    EXPECT_EQ(w.transfer.closingMessage(), "Done !");
}

TEST(CloudTransfer, AnsweredBeforeSealFinishesAtSealAndEmptyFinishesAtOnce) {
    Watched w;
    w.transfer.expect(RequestKind::Upload, "/x", "x");
    w.transfer.skipped(RequestKind::Upload, "/x", "skipped: not safeguarded yet");
    w.transfer.seal();
    EXPECT_EQ(w.finishedCount, 1);
    EXPECT_FALSE(w.transfer.hasFailures());
    EXPECT_EQ(w.transfer.closingMessage(), "Done !\nx: skipped: not safeguarded yet");

    Watched empty;
    empty.transfer.seal();
    EXPECT_EQ(empty.finishedCount, 1);
}

TEST(CloudTransfer, FailuresComeFirstOneLinePerFileThenNotes) {
    Watched w;
    w.transfer.refuse("Notes.zip", "folder is a link");
    w.transfer.expect(RequestKind::Download, "/s/a", "Accounts.zip");
    w.transfer.expect(RequestKind::Download, "/s/m", "metadata.plist");
    w.transfer.expect(RequestKind::Download, "/s/c", "cydia.list");
    w.transfer.seal();
    w.transfer.skipped(RequestKind::Download, "/s/c", "passed over");
    w.transfer.failed(RequestKind::Download, "/s/m", "not on the cloud");
    w.transfer.succeeded(RequestKind::Download, "/s/a");
    EXPECT_EQ(w.finishedCount, 1);
    EXPECT_EQ(w.transfer.closingMessage(),
              "Failed !\nNotes.zip: folder is a link\nmetadata.plist: not on the cloud\n"
              "cydia.list: passed over");
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
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "[WARNING] Mobrix: an answer of the cloud service for "
                      "/Mobrix/MobrixLibrary/Calendar.zip matches no running request");
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

TEST(CloudTransfer, ProgressCountsFilesAndBytesWhenEverySizeIsKnown) {
    Watched w;
    w.transfer.expect(RequestKind::Upload, "/a", "a", 1000);
    w.transfer.expect(RequestKind::Upload, "/b", "b", 3000);
    w.transfer.seal();
    w.transfer.progressed(RequestKind::Upload, "/b", 0.5);
    ASSERT_FALSE(w.progress.empty());
    EXPECT_EQ(w.progress.back().filesDone, 0);
    EXPECT_EQ(w.progress.back().bytesDone, 1500);
    EXPECT_DOUBLE_EQ(w.progress.back().fraction, 1500.0 / 4000.0);
    EXPECT_EQ(w.progress.back().details(), "0 of 2 files, 1.5 KB of 3.9 KB");
    w.transfer.succeeded(RequestKind::Upload, "/a");
    EXPECT_EQ(w.progress.back().details(), "1 of 2 files, 2.4 KB of 3.9 KB");
    // Fractions out of range are held to 0..1.
    w.transfer.progressed(RequestKind::Upload, "/b", 7);
    EXPECT_DOUBLE_EQ(w.progress.back().fraction, 1.0);
}

TEST(CloudTransfer, ProgressByFilesWhenSizesAreUnknown) {
    Watched w;
    w.transfer.expect(RequestKind::Download, "/a", "a");
    w.transfer.expect(RequestKind::Download, "/b", "b", 10);
    w.transfer.refuse("c", "unsafe");
    w.transfer.seal();
    w.transfer.progressed(RequestKind::Download, "/a", 0.5);
    EXPECT_EQ(w.progress.back().bytesTotal, 0);
    EXPECT_DOUBLE_EQ(w.progress.back().fraction, 1.5 / 3);
    EXPECT_EQ(w.progress.back().details(), "1 of 3 files");
}
