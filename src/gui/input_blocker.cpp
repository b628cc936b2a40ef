#include "input_blocker.h"

#include <QCoreApplication>
#include <QEvent>

InputBlocker::~InputBlocker() {
    if (depth_ > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void InputBlocker::begin() {
    if (depth_++ == 0)
        QCoreApplication::instance()->installEventFilter(this);
}

void InputBlocker::end() {
    if (depth_ == 0)
        return;
    if (--depth_ == 0)
        QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlocker::isInputEvent(int type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

bool InputBlocker::eventFilter(QObject*, QEvent* event) {
    return isInputEvent(event->type());
}
