// Cost of one layout and one paint of the overlay in each mode, against
// painting plain widgets of the same size in the same run.
#include "lum_progress_hud.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int kBatches = 15;
constexpr int kPerBatch = 40;

// Time of one call in microseconds: the fastest batch, which is the one least
// disturbed by other work on the machine.
double microseconds(const std::function<void()>& work) {
    for (int i = 0; i < kPerBatch; ++i)
        work();
    std::vector<double> samples;
    for (int b = 0; b < kBatches; ++b) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kPerBatch; ++i)
            work();
        samples.push_back(timer.nsecsElapsed() / 1000.0 / kPerBatch);
    }
    return *std::min_element(samples.begin(), samples.end());
}

double paintWidget(QWidget& widget, QImage& image) {
    return microseconds([&] {
        QPainter painter(&image);
        widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    });
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const QString label = QStringLiteral("Safeguard in progress...");

    QWidget host;
    host.resize(320, 480);
    QImage screen(320, 480, QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::gray);

    // Peers: a label and a progress bar the size of the overlay's box.
    QLabel peerLabel(label);
    peerLabel.setAlignment(Qt::AlignCenter);
    peerLabel.resize(260, 100);
    QProgressBar peerBar;
    peerBar.setValue(50);
    peerBar.resize(260, 100);
    std::printf("peers: painting a 260x100 QLabel and QProgressBar, measured next to each mode\n");
    std::printf("%-6s %10s %10s %13s %18s %15s\n", "mode", "layout us", "paint us", "paint/QLabel",
                "paint/QProgressBar", "frame share %");

    for (int mode = 0; mode <= 5; ++mode) {
        LumProgressHUD* hud = LumProgressHUD::showHUDAddedTo(&host, false);
        hud->setMode(mode);
        hud->setLabelText(label);
        hud->setDetailsLabelText(QStringLiteral("Accounts, address book and notes"));
        hud->setProgress(0.6f);
        if (mode == LumProgressHUD::ModeCustom) {
            auto* custom = new QLabel(QStringLiteral("OK"));
            custom->resize(37, 37);
            hud->setCustomView(custom);
        }
        const double labelPeer = paintWidget(peerLabel, screen);
        const double barPeer = paintWidget(peerBar, screen);
        const double layout = microseconds([&] { hud->layoutSubviews(); });
        const double paint = microseconds([&] {
            QPainter painter(&screen);
            hud->paintHUD(painter);
        });
        std::printf("%-6d %10.1f %10.1f %13.2f %18.2f %15.2f\n", mode, layout, paint,
                    paint / labelPeer, paint / barPeer, 100.0 * (layout + paint) / 16667.0);
        delete hud;
    }
    return 0;
}
