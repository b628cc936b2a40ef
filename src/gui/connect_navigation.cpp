#include "connect_navigation.h"

#include "cs_connect_controller.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

ConnectNavigation::ConnectNavigation(QWidget* presenter) : QDialog(presenter) {
    setObjectName(QStringLiteral("connectNavigation"));
    setWindowTitle(QStringLiteral("Cloud"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(presenter ? presenter->window()->size() : QSize(420, 700));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("connectBar"));
    bar->setStyleSheet(
        QStringLiteral("QWidget#connectBar { background: #f9f9f9; border-bottom: 1px "
                       "solid #d0d0d5; } QPushButton { border: none; color: #0a60d0;"
                       " font-size: 15px; padding: 6px 10px; }"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 4, 4, 4);
    back_ = new QPushButton(QStringLiteral("‹ Back"));
    back_->setObjectName(QStringLiteral("connectBack"));
    cancel_ = new QPushButton(QStringLiteral("Cancel"));
    cancel_->setObjectName(QStringLiteral("connectCancel"));
    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("connectTitle"));
    title_->setAlignment(Qt::AlignCenter);
    title_->setStyleSheet(QStringLiteral("font-size: 17px; font-weight: bold;"));
    // Both sides keep their room when a button is hidden, so the title stays centred.
    for (QPushButton* button : {back_, cancel_}) {
        button->setFixedWidth(80);
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
    }
    host_ = new QLabel;
    host_->setObjectName(QStringLiteral("connectHost"));
    host_->setAlignment(Qt::AlignCenter);
    host_->setTextFormat(Qt::PlainText);
    host_->setStyleSheet(QStringLiteral("font-size: 12px; color: #606066;"));
    auto* heading = new QVBoxLayout;
    heading->setSpacing(0);
    heading->addWidget(title_);
    heading->addWidget(host_);
    row->addWidget(back_);
    row->addLayout(heading, 1);
    row->addWidget(cancel_);
    layout->addWidget(bar);
    stack_ = new QStackedWidget;
    layout->addWidget(stack_, 1);

    connect(back_, &QPushButton::clicked, this, &ConnectNavigation::pop);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (!entries_.isEmpty())
            entries_.front().controller->cancel();
    });
}

void ConnectNavigation::push(CSConnectController* controller, const QString& title,
                             bool withCancel) {
    stack_->addWidget(controller);
    entries_.append({controller, title, withCancel});
    showTop();
}

void ConnectNavigation::pop() {
    if (entries_.size() < 2)
        return;
    Entry entry = entries_.takeLast();
    stack_->removeWidget(entry.controller);
    entry.controller->deleteLater();
    showTop();
}

int ConnectNavigation::depth() const {
    return static_cast<int>(entries_.size());
}

CSConnectController* ConnectNavigation::top() const {
    return entries_.isEmpty() ? nullptr : entries_.back().controller;
}

QString ConnectNavigation::title() const {
    return title_->text();
}

QString ConnectNavigation::host() const {
    return host_->text();
}

void ConnectNavigation::pageHostChanged(CSConnectController* controller) {
    if (controller == top())
        host_->setText(controller->pageHost());
}

void ConnectNavigation::showTop() {
    if (entries_.isEmpty())
        return;
    const Entry& entry = entries_.back();
    stack_->setCurrentWidget(entry.controller);
    title_->setText(entry.title);
    host_->setText(entry.controller->pageHost());
    setWindowTitle(entry.title + QStringLiteral(" — ") + host_->text());
    back_->setVisible(entries_.size() > 1);
    cancel_->setVisible(entry.withCancel);
}

// Closes without a close event, which would count as the cancel button.
void ConnectNavigation::dismissAnimated(bool) {
    done(QDialog::Rejected);
}

// Escape and the window's close button are the cancel button.
void ConnectNavigation::reject() {
    if (!entries_.isEmpty())
        entries_.front().controller->cancel();
}
