#include "main_window.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QStackedWidget>
#include <QToolButton>

MainWindow::MainWindow() {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Mobrix"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("RootMobrix")));
    setStyleSheet(windowStyleSheet());
    resize(420, 760);
    setMinimumSize(360, 560);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    stack_ = new QStackedWidget;
    layout->addWidget(stack_, 1);

    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("tabBar"));
    bar_ = new QHBoxLayout(bar);
    bar_->setContentsMargins(4, 2, 4, 4);
    bar_->setSpacing(0);
    layout->addWidget(bar);

    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idClicked, this, &MainWindow::showTab);
}

void MainWindow::addTab(const QString& title, const QIcon& icon, QWidget* page,
                        std::function<void()> onFirstShow) {
    const int index = stack_->addWidget(page);
    auto* button = new QToolButton;
    button->setObjectName(QStringLiteral("tab") + title);
    button->setText(title);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setCheckable(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setMinimumHeight(54);
    group_->addButton(button, index);
    bar_->addWidget(button);
    tabs_.push_back({button, std::move(onFirstShow)});
}

void MainWindow::showTab(int index) {
    if (index < 0 || index >= count())
        return;
    stack_->setCurrentIndex(index);
    Tab& tab = tabs_[static_cast<size_t>(index)];
    tab.button->setChecked(true);
    if (!tab.shown) {
        tab.shown = true;
        if (tab.onFirstShow)
            tab.onFirstShow();
    }
}

int MainWindow::currentIndex() const {
    return stack_->currentIndex();
}
QWidget* MainWindow::currentPage() const {
    return stack_->currentWidget();
}
QWidget* MainWindow::page(int index) const {
    return stack_->widget(index);
}
int MainWindow::count() const {
    return static_cast<int>(tabs_.size());
}

QToolButton* MainWindow::tabButton(int index) const {
    return index >= 0 && index < count() ? tabs_[static_cast<size_t>(index)].button : nullptr;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeGuard_ && !closeGuard_()) {
        event->ignore();
        return;
    }
    event->accept();
}

QString windowStyleSheet() {
    return QStringLiteral(R"(
QWidget#mainWindow, QWidget#pageBody, QScrollArea, QTextBrowser#helpText { background: #f2f2f7; }
QLabel#titleBar {
    background: #f9f9f9; color: #111; font-size: 17px; font-weight: bold;
    border-bottom: 1px solid #d0d0d5;
}
QLabel#intro { color: #3c3c43; padding: 4px 2px; }
QLabel#sectionCaption { color: #6d6d72; font-size: 11px; padding: 6px 4px 0 4px; }
QLabel#note { color: #6d6d72; font-size: 11px; padding: 0 4px; }
QWidget#pageBody QPushButton {
    background: white; color: #0a60d0; border: 1px solid #d8d8de; border-radius: 9px;
    padding: 6px 10px; font-size: 14px;
}
QWidget#pageBody QPushButton:hover { background: #f7f9ff; }
QWidget#pageBody QPushButton:pressed { background: #e3e8f4; }
QWidget#pageBody QPushButton[primary="true"] {
    background: #0a60d0; color: white; border: none; font-weight: bold;
}
QWidget#pageBody QPushButton[primary="true"]:pressed { background: #084ca6; }
QWidget#tabBar { background: #f9f9f9; border-top: 1px solid #d0d0d5; }
QWidget#tabBar QToolButton {
    border: none; color: #8e8e93; font-size: 11px; padding-top: 4px;
}
QWidget#tabBar QToolButton:checked { color: #0a60d0; }
QDialog#alert { background: #fbfbfb; }
QDialog#alert QPushButton {
    background: white; color: #0a60d0; border: 1px solid #d8d8de; border-radius: 8px;
    padding: 6px 12px; font-size: 14px;
}
QDialog#alert QPushButton:default { font-weight: bold; }
QDialog#alert QPushButton:pressed { background: #e3e8f4; }
)");
}
