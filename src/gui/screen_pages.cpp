#include "screen_pages.h"

#include "category_table.h"
#include "cloud_view_controller.h"
#include "first_view_controller.h"
#include "help_text.h"
#include "options_view_controller.h"
#include "second_view_controller.h"

#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// The buttons of the eleven categories, then all, sources and packages, each
// calling the controller's command of that key ("Save" or "Restore" + key).
struct KeyedButtons {
    std::vector<CommandButton> categories;
    CommandButton all, sources, packages;
};

template <class Controller>
CommandButton keyedButton(Controller& controller, const QString& verb, std::string_view key,
                          const QString& title) {
    typename Controller::Command command = Controller::commandForKey(key);
    return {title, verb + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())),
            [&controller, command] { (controller.*command)(); }};
}

template <class Controller> KeyedButtons keyedButtons(Controller& controller, const QString& verb) {
    KeyedButtons buttons;
    for (const store::Category& category : store::categoryTable())
        buttons.categories.push_back(
            keyedButton(controller, verb, category.key,
                        QString::fromUtf8(category.displayName.data(),
                                          static_cast<qsizetype>(category.displayName.size()))));
    buttons.all = keyedButton(controller, verb, "AllPref", QStringLiteral("All Preferences"));
    buttons.sources =
        keyedButton(controller, verb, "CydiaSources", QStringLiteral("Package Sources"));
    buttons.packages = keyedButton(controller, verb, "CydiaPackages", QStringLiteral("Packages"));
    return buttons;
}

} // namespace

namespace gui::screen_pages {

CommandPage* safeguard(FirstViewController& controller, CommandPage::Gate gate) {
    auto buttons = keyedButtons(controller, QStringLiteral("Save"));
    auto* page = new CommandPage(
        QStringLiteral("Safeguard"),
        QStringLiteral("Save your data into archives in the store. A new safeguard replaces the "
                       "old one only once it is complete."),
        std::move(gate));
    page->addPrimary(buttons.all);
    page->addSection(QStringLiteral("One category"), buttons.categories, 2);
    page->addSection(QStringLiteral("Package manager"), {buttons.sources, buttons.packages}, 2,
                     QStringLiteral("Records the package sources and the list of installed "
                                    "packages."));
    page->finish();
    return page;
}

CommandPage* restoration(SecondViewController& controller, CommandPage::Gate gate) {
    auto buttons = keyedButtons(controller, QStringLiteral("Restore"));
    auto* page = new CommandPage(
        QStringLiteral("Restoration"),
        QStringLiteral("Put your data back from the archives in the store. Restoring everything "
                       "offers a reboot at the end."),
        std::move(gate));
    page->addPrimary(buttons.all);
    page->addSection(QStringLiteral("One category"), buttons.categories, 2);
    page->addSection(QStringLiteral("Package manager"), {buttons.sources, buttons.packages}, 2,
                     QStringLiteral("Puts the recorded sources back and re-installs the recorded "
                                    "packages; a respring is offered afterwards."));
    page->finish();
    return page;
}

CommandPage* options(OptionsViewController& controller, CommandPage::Gate gate) {
    auto call = [&controller](void (OptionsViewController::*method)()) {
        return [&controller, method] { (controller.*method)(); };
    };
    auto* page = new CommandPage(
        QStringLiteral("Options"),
        QStringLiteral("Look after the store and the device. Every command asks before it acts."),
        std::move(gate));
    page->addSection(
        QStringLiteral("Store"),
        {{QStringLiteral("Create Application Folders"), QStringLiteral("createApplicationFolders"),
          call(&OptionsViewController::createApplicationFolders)},
         {QStringLiteral("Remove Safeguard"), QStringLiteral("removeSafeguard"),
          call(&OptionsViewController::removeSafeguard)}},
        1);
    page->addSection(QStringLiteral("Device"),
                     {{QStringLiteral("Respring"), QStringLiteral("Respring"),
                       call(&OptionsViewController::Respring)},
                      {QStringLiteral("Reboot"), QStringLiteral("Reboot"),
                       call(&OptionsViewController::Reboot)}},
                     2);
    page->addSection(QStringLiteral("Package sources"),
                     {{QStringLiteral("Remove Added Sources"), QStringLiteral("removeMOXSources"),
                       call(&OptionsViewController::removeMOXSources)}},
                     1,
                     QStringLiteral("Deletes the list of sources that the sources restoration "
                                    "added."));
    page->finish();
    return page;
}

CommandPage* cloud(CloudViewController& controller, CommandPage::Gate gate) {
    auto call = [&controller](void (CloudViewController::*method)()) {
        return [&controller, method] { (controller.*method)(); };
    };
    auto* page = new CommandPage(
        QStringLiteral("Cloud"),
        QStringLiteral("Link a cloud storage account, then copy your safeguard to it, copy it "
                       "back or delete it there."),
        std::move(gate));
    page->addPrimary({QStringLiteral("Link Cloud Account"), QStringLiteral("LinkCloudAccount"),
                      call(&CloudViewController::LinkCloudAccount)});
    page->addSection(QStringLiteral("Backup on the cloud"),
                     {{QStringLiteral("Upload Backup"), QStringLiteral("UploadBackupToCloud"),
                       call(&CloudViewController::UploadBackupToCloud)},
                      {QStringLiteral("Download Backup"), QStringLiteral("DownloadBackupFromCloud"),
                       call(&CloudViewController::DownloadBackupFromCloud)},
                      {QStringLiteral("Delete Backup"), QStringLiteral("DeleteBackupOnCloud"),
                       call(&CloudViewController::DeleteBackupOnCloud)}},
                     1,
                     QStringLiteral("The upload leaves out SMS, SpringBoard, the photos and the "
                                    "recorded sources.list. Keep the program in front until a "
                                    "transfer has ended."));
    page->finish();
    return page;
}

QWidget* help(const QString& deviceRoot) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageHelp"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CommandPage::titleBar(QStringLiteral("Help")));
    auto* text = new QTextBrowser;
    text->setObjectName(QStringLiteral("helpText"));
    text->setFrameShape(QFrame::NoFrame);
    text->setOpenLinks(false);
    text->document()->setDocumentMargin(14);
    text->setHtml(helpHtml(deviceRoot));
    layout->addWidget(text, 1);
    return page;
}

} // namespace gui::screen_pages
