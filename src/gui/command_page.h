#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class QPushButton;
class QVBoxLayout;

// One button of a screen: its title, the controller method it calls (also
// the button's object name) and the call.
struct CommandButton {
    QString title;
    QString method;
    std::function<void()> action;
};

// A screen as on the phone: a title bar, then sections of command buttons in
// a scrolling area. Button presses go through one gate (the busy rule).
class CommandPage : public QWidget {
public:
    using Gate = std::function<void(const std::function<void()>&)>;

    CommandPage(const QString& title, const QString& intro, Gate gate, QWidget* parent = nullptr);

    // A prominent full-width button.
    void addPrimary(const CommandButton& button);
    // A captioned group of buttons in the given number of columns.
    void addSection(const QString& caption, const std::vector<CommandButton>& buttons, int columns,
                    const QString& note = {});
    // Free content below the title bar (the help text, placeholders).
    void addContent(QWidget* content);
    void finish();

    static QWidget* titleBar(const QString& title);

private:
    QPushButton* makeButton(const CommandButton& button);

    Gate gate_;
    QVBoxLayout* content_;
};
