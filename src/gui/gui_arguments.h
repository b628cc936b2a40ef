#pragma once

#include <QString>
#include <QStringList>

// The window's command line: RootMobrix [--root DIR] [URL]...
// The URLs are link answers (the desktop hands them over through %U).
struct GuiArguments {
    QString root = QStringLiteral("/");
    QStringList urls;
    bool help = false;
    bool version = false;
    QString error; // set when the words make no sense
};

// Parses the words after the program name (Qt's own options already taken out).
GuiArguments parseGuiArguments(const QStringList& words);

inline constexpr const char* kGuiUsage =
    "usage: RootMobrix [--root DIR] [URL]...\n"
    "  --root DIR   the device root (default /)\n"
    "  URL          a link answer, handed to the running window\n";
