#include "gui_fixture.h"

#include <QProcess>
#include <filesystem>

void GuiTest::SetUp() {
    ASSERT_TRUE(folder_.isValid());
    root_ = folder_.path().toStdString() + "/device";
    QProcess builder;
    builder.start(MOBRIX_SOURCE_DIR "/scripts/sample-device", {QString::fromStdString(root_)});
    ASSERT_TRUE(builder.waitForFinished(60000));
    ASSERT_EQ(builder.exitCode(), 0) << builder.readAllStandardError().toStdString();
    shell_ = std::make_unique<Shell>(root_, runner_, client_);
    shell_->window().show();
}

void GuiTest::TearDown() {
    runner_.duringRun = nullptr;
    shell_.reset();
}

bool GuiTest::exists(const std::string& devicePath) const {
    return std::filesystem::exists(std::filesystem::symlink_status(root_ + devicePath));
}

QPushButton* GuiTest::button(const char* method) const {
    return shell_->window().findChild<QPushButton*>(QLatin1String(method));
}

void GuiTest::press(Shell::Tab tab, const char* method) {
    QTest::mouseClick(shell_->window().tabButton(tab), Qt::LeftButton);
    QPushButton* target = button(method);
    ASSERT_NE(target, nullptr) << method;
    QTest::mouseClick(target, Qt::LeftButton);
}

AlertDialog* GuiTest::topAlert() const {
    const auto alerts = shell_->screen().openAlerts();
    return alerts.isEmpty() ? nullptr : alerts.back();
}

void GuiTest::answer(const std::string& buttonTitle) {
    AlertDialog* alert = topAlert();
    ASSERT_NE(alert, nullptr) << buttonTitle;
    for (int i = 0; i < alert->alert().buttonCount(); ++i)
        if (alert->alert().buttonTitle(i) == buttonTitle)
            return QTest::mouseClick(alert->button(i), Qt::LeftButton);
    FAIL() << "no button " << buttonTitle;
}

int GuiTest::openAlertCount() const {
    return static_cast<int>(shell_->screen().openAlerts().size());
}

void GuiTest::createStoreFolders() {
    press(Shell::kOptionsTab, "createApplicationFolders");
    answer("All Folders");
    answer("Close");
    ASSERT_TRUE(exists("/var/mobile/Library/Preferences/Mobrix/MobrixLibrary"));
}
