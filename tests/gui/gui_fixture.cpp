#include "gui_fixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <filesystem>

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(10);
    }
    return true;
}

void GuiTest::SetUp() {
    ASSERT_TRUE(folder_.isValid());
    root_ = folder_.path().toStdString() + "/device";
    QProcess builder;
    builder.start(QStringLiteral(MOBRIX_SOURCE_DIR "/scripts/sample-device"),
                  {QString::fromStdString(root_)});
    ASSERT_TRUE(builder.waitForFinished(60000));
    ASSERT_EQ(builder.exitCode(), 0) << builder.readAllStandardError().toStdString();
    shell_ = std::make_unique<Shell>(root_, runner_, client_);
    shell_->window().show();
}

void GuiTest::TearDown() {
    runner_.duringRun = nullptr;
    shell_.reset();
}

std::string GuiTest::path(const std::string& devicePath) const {
    return root_ + devicePath;
}

bool GuiTest::exists(const std::string& devicePath) const {
    return std::filesystem::exists(std::filesystem::symlink_status(path(devicePath)));
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

QString GuiTest::alertTitle(AlertDialog* alert) const {
    return alert->findChild<QLabel*>(QStringLiteral("alertTitle"))->text();
}

QString GuiTest::alertMessage(AlertDialog* alert) const {
    auto* label = alert->findChild<QLabel*>(QStringLiteral("alertMessage"));
    return label ? label->text() : QString();
}

QStringList GuiTest::alertButtons(AlertDialog* alert) const {
    QStringList titles;
    for (int i = 0; alert->button(i); ++i)
        titles << alert->button(i)->text();
    return titles;
}

void GuiTest::answer(AlertDialog* alert, int index) {
    QTest::mouseClick(alert->button(index), Qt::LeftButton);
}

void GuiTest::answer(const QString& buttonTitle) {
    AlertDialog* alert = topAlert();
    ASSERT_NE(alert, nullptr) << buttonTitle.toStdString();
    const int index = static_cast<int>(alertButtons(alert).indexOf(buttonTitle));
    ASSERT_GE(index, 0) << buttonTitle.toStdString();
    answer(alert, index);
}

int GuiTest::openAlertCount() const {
    return static_cast<int>(shell_->screen().openAlerts().size());
}

void GuiTest::createStoreFolders() {
    press(Shell::kOptionsTab, "createApplicationFolders");
    answer(QStringLiteral("All Folders"));
    answer(QStringLiteral("Close"));
    ASSERT_TRUE(exists("/var/mobile/Library/Preferences/Mobrix/MobrixLibrary"));
}
