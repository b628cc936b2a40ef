#pragma once

#include "input_blocker.h"
#include "lum_progress_hud.h"
#include "screen.h"
#include "screen_saver_inhibitor.h"

#include <QObject>
#include <QPointer>
#include <functional>

class AlertDialog;
class CommandEnvironment;
class NoticeToast;
class QWidget;

// The window's side of the feedback contract: the overlay over the active
// screen, alerts as non-blocking dialogs answered through the showing
// controller's dispatcher, input ignored during wrapped waits, the desktop
// kept awake, and short notices.
class GuiScreen : public QObject, public Screen {
public:
    explicit GuiScreen(CommandEnvironment& environment);
    ~GuiScreen() override;

    // The window that alerts and notices belong to, and where the overlay goes:
    // the root widget of the screen on display.
    void attach(QWidget* window, std::function<QWidget*()> activeRoot);

    void showOverlay(const std::string& label) override;
    void setOverlayProgress(double fraction, const std::string& details) override;
    void hideOverlay() override;
    void showAlert(const Alert& alert, AlertDelegate* delegate) override;
    void beginIgnoringInteractionEvents() override { blocker_.begin(); }
    void endIgnoringInteractionEvents() override { blocker_.end(); }
    void setIdleTimerDisabled(bool disabled) override { inhibitor_.setInhibited(disabled); }
    void showNotice(const std::string& text) override;

    LumProgressHUD* overlay() const { return overlay_; }
    bool ignoringInteraction() const { return blocker_.active(); }
    bool idleTimerDisabled() const { return inhibitor_.requested(); }
    QList<AlertDialog*> openAlerts() const;
    const QString& lastNotice() const { return lastNotice_; }

private:
    void answer(AlertDialog* dialog, int index);

    CommandEnvironment& environment_;
    QPointer<QWidget> window_;
    std::function<QWidget*()> activeRoot_;
    QPointer<LumProgressHUD> overlay_;
    QList<QPointer<AlertDialog>> alerts_;
    InputBlocker blocker_;
    ScreenSaverInhibitor inhibitor_;
    QPointer<NoticeToast> notice_;
    QString lastNotice_;
};
