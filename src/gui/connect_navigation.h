#pragma once

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;
class QStackedWidget;
class CSConnectController;

// The navigation screen that holds the web authorization screens, presented
// modally over the program: a bar with the top screen's title and the host
// of the page it shows, a back button on pushed screens, the cancel button
// on the first screen only.
class ConnectNavigation : public QDialog {
public:
    explicit ConnectNavigation(QWidget* presenter);

    void push(CSConnectController* controller, const QString& title, bool withCancel);
    void pop();
    int depth() const;
    CSConnectController* top() const;
    QString title() const;
    // The host shown under the title: the top screen's page's.
    QString host() const;
    // A screen's page moved; shown when it is the top screen.
    void pageHostChanged(CSConnectController* controller);
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* backButton() const { return back_; }
    // Asks the presenter to take the screen away.
    void dismissAnimated(bool animated);

    void reject() override;

private:
    void showTop();

    struct Entry {
        CSConnectController* controller;
        QString title;
        bool withCancel;
    };

    QLabel* title_;
    QLabel* host_;
    QPushButton* back_;
    QPushButton* cancel_;
    QStackedWidget* stack_;
    QList<Entry> entries_;
};
