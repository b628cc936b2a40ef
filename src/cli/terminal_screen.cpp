#include "terminal_screen.h"

#include <cstdio>
#include <unistd.h>

namespace cli {
namespace {

constexpr const char* kFrames[] = {"|", "/", "-", "\\"};
constexpr int kBarWidth = 30;

} // namespace

TerminalScreen::TerminalScreen() : terminal_(::isatty(STDERR_FILENO) == 1) {
    spinnerTimer_.setInterval(120);
    QObject::connect(&spinnerTimer_, &QTimer::timeout, this, [this] { drawSpinner(); });
}

void TerminalScreen::showOverlay(const std::string& label) {
    overlayShown_ = true;
    label_ = label;
    progressLine_.clear();
    if (!terminal_) {
        std::fprintf(stderr, "%s\n", label.c_str());
        return;
    }
    drawSpinner();
    spinnerTimer_.start();
}

void TerminalScreen::setOverlayProgress(double fraction, const std::string& details) {
    if (!terminal_ || !overlayShown_)
        return;
    fraction = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
    int filled = static_cast<int>(fraction * kBarWidth + 0.5);
    std::string line(1, '[');
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(kBarWidth - filled), ' ');
    line += "] ";
    line += std::to_string(static_cast<int>(fraction * 100 + 0.5));
    line += "% ";
    line += details;
    progressLine_ = std::move(line);
    drawSpinner();
}

void TerminalScreen::drawSpinner() {
    if (!terminal_)
        return;
    frame_ = (frame_ + 1) % 4;
    std::fprintf(stderr, "\r\033[K%s %s%s%s", kFrames[frame_], label_.c_str(),
                 progressLine_.empty() ? "" : " ", progressLine_.c_str());
    std::fflush(stderr);
}

void TerminalScreen::clearLine() {
    if (!terminal_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
}

void TerminalScreen::hideOverlay() {
    overlayShown_ = false;
    spinnerTimer_.stop();
    clearLine();
}

void TerminalScreen::showAlert(const Alert& alert, AlertDelegate* delegate) {
    pending_.push_back({alert, delegate});
}

void TerminalScreen::showNotice(const std::string& text) {
    clearLine();
    std::fprintf(stderr, "mobrix: %s\n", text.c_str());
}

TerminalScreen::PendingAlert TerminalScreen::takeAlert() {
    PendingAlert next = std::move(pending_.front());
    pending_.pop_front();
    return next;
}

} // namespace cli
