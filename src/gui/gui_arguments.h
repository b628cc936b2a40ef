#pragma once

#include <QString>
#include <QStringList>

// The window's command line:
// RootMobrix [--root DIR] [--service URL --service-ca FILE] [--link-stdin] [URL]...
// The URLs are link answers. The desktop hands them to RootMobrix-open, which
// passes them on standard input (--link-stdin), off every command line.
struct GuiArguments {
    QString root = QStringLiteral("/");
    QStringList urls;
    bool linksOnInput = false;
    // The cloud service for this run, as the command line takes it.
    QString serviceUrl;
    QString serviceCa;
    // Test hook, left out of the usage text: the home whose .local/share and
    // .config hold the account and the pending link.
    QString testHome;
    bool help = false;
    bool version = false;
    QString error; // set when the words make no sense
};

// Parses the words after the program name (Qt's own options already taken
// out). Empty words (arguments blanked after they were read) are skipped.
GuiArguments parseGuiArguments(const QStringList& words);

inline constexpr const char* kGuiUsage =
    "usage: RootMobrix [--root DIR] [--service URL --service-ca FILE] [--link-stdin] [URL]...\n"
    "  --root DIR     the device root (default /)\n"
    "  --service URL --service-ca FILE\n"
    "                 talk to the cloud service at URL (https://HOST[:PORT]) trusting only\n"
    "                 the certificates in FILE, for this run only\n"
    "  --link-stdin   read link answers from standard input, one per line\n"
    "  URL            a link answer, handed to the running window\n";
