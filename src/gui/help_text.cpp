#include "help_text.h"

#include "store_layout.h"

namespace {

QString path(std::string_view devicePath) {
    return QStringLiteral("<code>%1</code>")
        .arg(QString::fromUtf8(devicePath.data(), static_cast<qsizetype>(devicePath.size()))
                 .toHtmlEscaped());
}

} // namespace

QString helpHtml(const QString& deviceRoot) {
    QString html;
    html += QStringLiteral(
        "<h3>Safeguard</h3>"
        "<p>Saves one category of your data, or all of them, into zip archives in the store: "
        "tweaks' preferences, accounts, contacts, calendar, notes, Safari, SMS, voicemail, call "
        "history, SpringBoard and photos. <b>Package Sources</b> records the package manager's "
        "sources, <b>Packages</b> the list of installed packages. A new archive replaces the "
        "old one only when it was written completely, and the closing message names anything "
        "that failed.</p>"
        "<h3>Restoration</h3>"
        "<p>Puts a category back from its archive, or everything at once, and then offers a "
        "reboot. Restoring the packages re-installs the recorded list and offers a respring. "
        "Restored files belong to the owner of the folder they are put back into.</p>"
        "<h3>Options</h3>"
        "<p>Creates the store's folders (do this once before the first safeguard), removes "
        "every archive, resprings or reboots the device, and deletes the list of sources that "
        "the sources restoration added. Each command asks first.</p>"
        "<h3>Cloud</h3>"
        "<p>Links a cloud storage account and uploads the safeguard to the folder "
        "<code>/Mobrix</code> of that account, downloads it back, or deletes it there. The "
        "upload leaves out the largest archives and one list: <b>SMS</b>, <b>SpringBoard</b>, "
        "the <b>photos</b> (<code>DCIM.zip</code> and <code>PhotoData.zip</code>) and the "
        "recorded <code>sources.list</code>. Keep a copy of those elsewhere.</p>");
    html += QStringLiteral("<h3>Where the store lives</h3><p>%1, with these folders:</p><ul>")
                .arg(path(store::kApplicationFolder));
    const std::pair<std::string_view, const char*> folders[] = {
        {store::kLibraryFolder, "the archives"},
        {store::kSourcesFolder, "the recorded package sources"},
        {store::kPackagesFolder, "the list of installed packages"},
        {store::kStagingFolder, "scratch space during a restoration"},
    };
    for (const auto& [folder, what] : folders)
        html += QStringLiteral("<li>%1: %2</li>")
                    .arg(path(folder.substr(store::kApplicationFolder.size() + 1)),
                         QLatin1String(what));
    html += QStringLiteral("</ul>");
    if (deviceRoot != QLatin1String("/"))
        html += QStringLiteral("<p>This window works on the device root <code>%1</code>: every "
                               "path above lies under it.</p>")
                    .arg(deviceRoot.toHtmlEscaped());
    html += QStringLiteral(
        "<h3>Good to know</h3>"
        "<p>Only one command runs at a time; a button pressed meanwhile only shows a short "
        "notice. The program ends itself when it is sent to the background, so start uploads "
        "and downloads only when you can leave it in front until they are done.</p>");
    return html;
}
