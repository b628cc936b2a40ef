// `make screenshots`: every screen of the window, an alert and the overlay
// as PNG files under <build>/screenshots for a person to look at. Not a test:
// nothing is checked but that each image is written.
#include "gui_fixture.h"

#include "lum_progress_hud.h"

#include <QDir>
#include <QPainter>
#include <QTest>
#include <QToolButton>

namespace {

QString screenshotFolder() {
    QDir().mkpath(MOBRIX_SCREENSHOT_DIR);
    return MOBRIX_SCREENSHOT_DIR;
}

void save(const QPixmap& pixmap, const QString& name) {
    const QString file = screenshotFolder() + "/" + name + ".png";
    EXPECT_TRUE(pixmap.save(file)) << file.toStdString();
}

// The window with a dialog drawn over it, dimmed, as a user sees it.
QPixmap withDialog(QWidget& window, QWidget& dialog) {
    QPixmap shot = window.grab();
    QPainter painter(&shot);
    painter.fillRect(shot.rect(), QColor(0, 0, 0, 90));
    const QPixmap box = dialog.grab();
    painter.drawPixmap((shot.width() - box.width()) / 2, (shot.height() - box.height()) / 2, box);
    return shot;
}

} // namespace

TEST_F(GuiTest, EveryScreenAnAlertAndTheOverlay) {
    MainWindow& window = shell_->window();
    window.resize(420, 760);
    const char* names[] = {"1-safeguard", "2-restoration", "3-options", "4-cloud", "5-help"};
    for (int tab = 0; tab < window.count(); ++tab) {
        QTest::mouseClick(window.tabButton(tab), Qt::LeftButton);
        QTest::qWait(50);
        save(window.grab(), names[tab]);
    }

    press(Shell::kOptionsTab, "removeSafeguard");
    ASSERT_NE(topAlert(), nullptr);
    QTest::qWait(50);
    save(withDialog(window, *topAlert()), "6-alert");
    answer("Cancel");

    createStoreFolders();
    bool shot = false;
    runner_.duringRun = [&](const ToolRun&) {
        if (shot)
            return;
        shot = true;
        // Let the overlay finish fading in.
        QTest::qWait(LumProgressHUD::kAnimationMs + 150);
        save(window.grab(), "7-overlay");
    };
    press(Shell::kSafeguardTab, "SaveAccounts");
    EXPECT_TRUE(shot);
    answer("Close");
}
