#pragma once

#include <QObject>

// Ignoring interaction: while at least one begin is open, an application-wide
// event filter drops every input event (mouse, keys, wheel, touch, tablet,
// shortcuts), so nothing the user does reaches a widget during the wait.
class InputBlocker : public QObject {
public:
    InputBlocker() = default;
    ~InputBlocker() override;

    void begin();
    void end(); // an end without a begin is ignored
    bool active() const { return depth_ > 0; }

    static bool isInputEvent(int type);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int depth_ = 0;
};
