#include "listing_generator.h"

#include <cstdint>

namespace {

class Random {
public:
    uint32_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33);
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

const char* const kNames[] = {"IMG_",    "Vacances été ", "Notes \\\"brouillon\\\" ",
                              "Résumé ", "report-",       "日本語 ",
                              "a\\/b ",  "Straße ",       "photo\\u00e9 ",
                              "data_"};
const char* const kExtensions[] = {".jpg", ".txt", ".pdf", ".zip", ".plist", ".mov"};
const char* const kIcons[] = {"page_white_picture",    "page_white_text", "page_white_acrobat",
                              "page_white_compressed", "page_white",      "page_white_film"};
const char* const kDays[] = {"Sat, 21 Aug 2010 22:31:20 +0000", "Mon, 02 Jan 2012 08:05:09 +0000",
                             "Fri, 29 Feb 2008 23:59:59 +0000", "Wed, 17 Jul 2013 11:00:41 +0000"};

void appendEntry(std::string& out, Random& random, const std::string& folder, int index,
                 bool isDir) {
    const std::string name = std::string(kNames[random.below(10)]) + std::to_string(index) +
                             (isDir ? "" : kExtensions[random.below(6)]);
    const uint64_t bytes = isDir ? 0 : 1000 + random.next() % 50000000;
    const uint32_t revision = 1 + random.below(100000);
    char rev[16];
    std::snprintf(rev, sizeof rev, "%x%05x", revision, random.below(0xfffff));
    out += "{\"revision\": " + std::to_string(revision) + ", \"rev\": \"" + rev +
           "\", \"thumb_exists\": " + (random.below(2) ? "true" : "false") +
           ", \"bytes\": " + std::to_string(bytes) + ", \"modified\": \"" + kDays[random.below(4)] +
           "\", ";
    if (!isDir)
        out += std::string("\"client_mtime\": \"") + kDays[random.below(4)] + "\", ";
    out += "\"path\": \"" + folder + "/" + name + "\", \"is_dir\": " + (isDir ? "true" : "false") +
           ", \"icon\": \"" + (isDir ? "folder" : kIcons[random.below(6)]) +
           "\", \"root\": \"cloud\", ";
    if (!isDir)
        out += "\"mime_type\": \"application/octet-stream\", ";
    out += "\"size\": \"" + std::to_string(bytes / 1024) + " KB\"";
}

} // namespace

std::string generateListing(std::size_t targetBytes) {
    Random random;
    std::string out;
    out.reserve(targetBytes + 4096);
    out +=
        "{\"hash\": \"37eb1ba1849d4b0fb0b28caf7ef3af52\", \"thumb_exists\": false, \"bytes\": 0, "
        "\"path\": \"/Backups\", \"is_dir\": true, \"size\": \"0 bytes\", \"root\": \"cloud\", "
        "\"icon\": \"folder\", \"contents\": [";
    int index = 0;
    bool firstFolder = true;
    while (out.size() < targetBytes) {
        if (!firstFolder)
            out += ", ";
        firstFolder = false;
        const std::string folder = "/Backups/Dossier " + std::to_string(index);
        appendEntry(out, random, "/Backups", index++, true);
        out += ", \"contents\": [";
        const int files = 20 + static_cast<int>(random.below(40));
        for (int i = 0; i < files; ++i) {
            if (i)
                out += ", ";
            appendEntry(out, random, folder, index++, false);
            out += "}";
        }
        out += "]}";
    }
    out += "]}";
    return out;
}
