// `make gallery`: every mode of the overlay rendered over a host-like backdrop,
// plus a close-up of the box four times larger, as PNG files under
// <build>/hud-gallery for a person to look at. Exits with 1 when an image
// cannot be written.
#include "lum_progress_hud.h"
#include "private_home.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

#include <cstdio>
#include <memory>

namespace {

bool save(const QImage& image, const QString& name) {
    const QString dir = QStringLiteral(MOBRIX_HUD_GALLERY_DIR);
    QDir().mkpath(dir);
    const bool saved = image.save(dir + "/" + name + ".png");
    if (!saved)
        std::fprintf(stderr, "hud_gallery: cannot write %s.png\n", qPrintable(name));
    return saved;
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

struct Shot {
    QString name;
    int mode;
    float progress;
    QString details;
    bool dim = false;
};

} // namespace

int main(int argc, char** argv) {
    PrivateHome home; // draws offscreen, touches none of the desktop's folders
    QApplication application(argc, argv);
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
    bool allSaved = true;
    for (const Shot& shot : shots) {
        auto host = std::make_unique<QWidget>();
        host->resize(320, 480);
        host->show();
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
        const QRect box = hud->boxRect().toAlignedRect();
        allSaved &= save(image, shot.name);
        allSaved &= save(
            image.copy(box).scaled(box.size() * 4, Qt::KeepAspectRatio, Qt::FastTransformation),
            shot.name + "-x4");
    }
    return allSaved ? 0 : 1;
}
