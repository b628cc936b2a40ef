#pragma once

#include "screen.h"

#include <QDialog>

class QPushButton;

// An alert on screen: title, message and its buttons in index order (the
// cancel button first). Pressing a button only reports its index; whoever
// shows the alert decides when it closes. Escape and the window's close
// button count as the cancel button.
class AlertDialog : public QDialog {
    Q_OBJECT
public:
    AlertDialog(Alert alert, AlertDelegate* delegate, QWidget* parent);

    const Alert& alert() const { return alert_; }
    AlertDelegate* delegate() const { return delegate_; }
    QPushButton* button(int index) const;

    void reject() override;

signals:
    void clicked(int index);

private:
    Alert alert_;
    AlertDelegate* delegate_;
    QList<QPushButton*> buttons_;
};
