// `make gallery`: every mode of the overlay rendered over a host-like backdrop,
// plus a close-up of the box four times larger, as PNG files under
// <build>/hud-gallery for a person to look at. Not a test: nothing is checked
// but that each image is written.
#include "hud_test_support.h"

#include <QDir>
#include <QLabel>
#include <QLinearGradient>

#include <gtest/gtest.h>

using hudtest::makeHost;

namespace {

void save(const QImage& image, const QString& name) {
    const QString dir = QStringLiteral(MOBRIX_HUD_GALLERY_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(dir + "/" + name + ".png")) << name.toStdString();
}

QImage composedShot(const LumProgressHUD& hud) {
    QImage image(hud.width(), hud.height(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QLinearGradient backdrop(0, 0, 0, hud.height());
    backdrop.setColorAt(0, QColor(120, 170, 220));
    backdrop.setColorAt(1, QColor(230, 200, 150));
    painter.fillRect(image.rect(), backdrop);
    painter.setPen(Qt::black);
    painter.drawText(QRect(10, 10, hud.width() - 20, 40), Qt::AlignLeft, "Safeguard  Restoration");
    hud.paintHUD(painter);
    return image;
}

} // namespace

TEST(HudGallery, EveryMode) {
    struct Shot {
        QString name;
        int mode;
        float progress;
        QString details;
        bool dim = false;
    };
    const QList<Shot> shots = {
        {"mode0-spinner", LumProgressHUD::ModeSpinner, 0, {}},
        {"mode0-dim-background", LumProgressHUD::ModeSpinner, 0, {}, true},
        {"mode1-pie-0.3", LumProgressHUD::ModePie, 0.3f, {}},
        {"mode2-bar-0", LumProgressHUD::ModeBar, 0.0f, {}},
        {"mode2-bar-0.01", LumProgressHUD::ModeBar, 0.01f, {}},
        {"mode2-bar-0.5", LumProgressHUD::ModeBar, 0.5f, {}},
        {"mode2-bar-1.0", LumProgressHUD::ModeBar, 1.0f, {}},
        {"mode3-ring-0.6", LumProgressHUD::ModeRing, 0.6f, {}},
        {"mode4-custom", LumProgressHUD::ModeCustom, 0, {}},
        {"mode5-text-details", LumProgressHUD::ModeText, 0,
         "Copying the accounts, the address book and the notes into the library folder."},
    };
    for (const Shot& shot : shots) {
        auto host = makeHost(320, 480);
        LumProgressHUD* hud = LumProgressHUD::showHUDAddedTo(host.get(), false);
        hud->setLabelText("Safeguard in progress...");
        if (shot.mode == LumProgressHUD::ModeCustom) {
            auto* mark = new QLabel(QString::fromUtf8("\u2714"));
            mark->setStyleSheet("color: white; font-size: 30px;");
            mark->setAlignment(Qt::AlignCenter);
            mark->resize(37, 37);
            hud->setCustomView(mark);
        }
        hud->setMode(shot.mode);
        hud->setProgress(shot.progress);
        hud->setDetailsLabelText(shot.details);
        hud->setDimBackground(shot.dim);
        const QImage image = composedShot(*hud);
        save(image, shot.name);
        const QRect box = hud->boxRect().toAlignedRect();
        save(image.copy(box).scaled(box.size() * 4, Qt::KeepAspectRatio, Qt::FastTransformation),
             shot.name + "-x4");
    }
}
