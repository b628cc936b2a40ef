#include "command_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QLabel* caption(const QString& text) {
    auto* label = new QLabel(text.toUpper());
    label->setObjectName(QStringLiteral("sectionCaption"));
    return label;
}

} // namespace

QWidget* CommandPage::titleBar(const QString& title) {
    auto* bar = new QLabel(title);
    bar->setObjectName(QStringLiteral("titleBar"));
    bar->setAlignment(Qt::AlignCenter);
    bar->setMinimumHeight(48);
    return bar;
}

CommandPage::CommandPage(const QString& title, const QString& intro, Gate gate, QWidget* parent)
    : QWidget(parent), gate_(std::move(gate)) {
    setObjectName(QStringLiteral("page") + title);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(titleBar(title));

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* body = new QWidget;
    body->setObjectName(QStringLiteral("pageBody"));
    content_ = new QVBoxLayout(body);
    content_->setContentsMargins(16, 12, 16, 16);
    content_->setSpacing(8);
    if (!intro.isEmpty()) {
        auto* label = new QLabel(intro);
        label->setObjectName(QStringLiteral("intro"));
        label->setWordWrap(true);
        content_->addWidget(label);
    }
    scroll->setWidget(body);
    outer->addWidget(scroll, 1);
}

QPushButton* CommandPage::makeButton(const CommandButton& button) {
    auto* widget = new QPushButton(button.title);
    widget->setObjectName(button.method);
    widget->setMinimumHeight(40);
    widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(widget, &QPushButton::clicked, this,
            [gate = gate_, action = button.action] { gate(action); });
    return widget;
}

void CommandPage::addPrimary(const CommandButton& button) {
    QPushButton* widget = makeButton(button);
    widget->setProperty("primary", true);
    widget->setMinimumHeight(46);
    content_->addSpacing(4);
    content_->addWidget(widget);
}

void CommandPage::addSection(const QString& captionText, const std::vector<CommandButton>& buttons,
                             int columns, const QString& note) {
    content_->addSpacing(8);
    content_->addWidget(caption(captionText));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    for (size_t i = 0; i < buttons.size(); ++i)
        grid->addWidget(makeButton(buttons[i]), static_cast<int>(i) / columns,
                        static_cast<int>(i) % columns);
    content_->addLayout(grid);
    if (!note.isEmpty()) {
        auto* label = new QLabel(note);
        label->setObjectName(QStringLiteral("note"));
        label->setWordWrap(true);
        content_->addWidget(label);
    }
}

void CommandPage::addContent(QWidget* content) {
    content_->addWidget(content, 1);
}

void CommandPage::finish() {
    content_->addStretch(1);
}
