#pragma once

#include <QWidget>
#include <functional>

class QButtonGroup;
class QHBoxLayout;
class QStackedWidget;
class QToolButton;

// The one window: the screens stacked, with a phone-style tab bar along the
// bottom. A screen loads when it is first shown.
class MainWindow : public QWidget {
public:
    MainWindow();

    // Adds a screen; onFirstShow runs the first time it comes on display.
    void addTab(const QString& title, const QIcon& icon, QWidget* page,
                std::function<void()> onFirstShow);
    void showTab(int index);

    int currentIndex() const;
    QWidget* currentPage() const;
    QWidget* page(int index) const;
    QToolButton* tabButton(int index) const;
    int count() const;

    // Asked before the window closes; false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Tab {
        QToolButton* button;
        std::function<void()> onFirstShow;
        bool shown = false;
    };

    QStackedWidget* stack_;
    QHBoxLayout* bar_;
    QButtonGroup* group_;
    std::vector<Tab> tabs_;
    std::function<bool()> closeGuard_;
};

// The look of the whole window (title bars, sections, buttons, tab bar).
QString windowStyleSheet();
