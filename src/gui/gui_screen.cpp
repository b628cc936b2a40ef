#include "gui_screen.h"

#include "alert_dialog.h"
#include "command_environment.h"
#include "command_frame.h"
#include "lum_progress_hud.h"
#include "notice_toast.h"

#include <QWidget>
#include <algorithm>

GuiScreen::GuiScreen(CommandEnvironment& environment) : environment_(environment) {}

GuiScreen::~GuiScreen() {
    for (const auto& dialog : alerts_)
        delete dialog.data();
}

void GuiScreen::attach(QWidget* window, std::function<QWidget*()> activeRoot) {
    window_ = window;
    activeRoot_ = std::move(activeRoot);
    notice_ = new NoticeToast(window);
}

void GuiScreen::showOverlay(const std::string& label) {
    QWidget* host = activeRoot_ ? activeRoot_() : window_.data();
    if (!host)
        return;
    if (overlay_)
        overlay_->hide(false);
    overlay_ = LumProgressHUD::showHUDAddedTo(host, true);
    overlay_->setMode(LumProgressHUD::ModeSpinner);
    overlay_->setLabelText(QString::fromStdString(label));
}

void GuiScreen::setOverlayProgress(double fraction, const std::string& details) {
    if (!overlay_)
        return;
    overlay_->setMode(LumProgressHUD::ModeRing);
    overlay_->setProgress(static_cast<float>(std::clamp(fraction, 0.0, 1.0)));
    overlay_->setDetailsLabelText(QString::fromStdString(details));
}

void GuiScreen::hideOverlay() {
    if (!overlay_)
        return;
    // The overlay leaves its host and deletes itself once it has faded out.
    overlay_->hide(true);
    overlay_ = nullptr;
}

void GuiScreen::showAlert(const Alert& alert, AlertDelegate* delegate) {
    auto* dialog = new AlertDialog(alert, delegate, window_);
    connect(dialog, &AlertDialog::clicked, this,
            [this, dialog](int index) { answer(dialog, index); });
    alerts_.removeAll(nullptr);
    alerts_ << dialog;
    dialog->open();
}

QList<AlertDialog*> GuiScreen::openAlerts() const {
    QList<AlertDialog*> open;
    for (const auto& dialog : alerts_)
        if (dialog && dialog->isVisible())
            open << dialog;
    return open;
}

// Further buttons act; while a command runs they would start a second one, so
// the alert stays and only a notice says why. The cancel button never acts.
void GuiScreen::answer(AlertDialog* dialog, int index) {
    const bool acts = index > 0 && dialog->delegate();
    if (acts && environment_.busy()) {
        showNotice(kBusyNotice);
        return;
    }
    const Alert alert = dialog->alert();
    AlertDelegate* delegate = dialog->delegate();
    alerts_.removeAll(dialog);
    dialog->done(index);
    dialog->deleteLater();
    if (delegate)
        delegate->alertView(alert, index);
}

void GuiScreen::showNotice(const std::string& text) {
    lastNotice_ = QString::fromStdString(text);
    if (notice_)
        notice_->showText(lastNotice_);
}
