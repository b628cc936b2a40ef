#include "notice_toast.h"

#include <QEvent>

namespace {
constexpr int kBottomGap = 84; // clear of the tab bar
constexpr int kSideGap = 24;
} // namespace

NoticeToast::NoticeToast(QWidget* window) : QLabel(window) {
    setObjectName(QStringLiteral("notice"));
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral("QLabel#notice { background: rgba(40, 40, 40, 225); color: white;"
                                 " border-radius: 10px; padding: 10px 14px; }"));
    hide();
    timer_.setSingleShot(true);
    timer_.setInterval(kShownMs);
    connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
    window->installEventFilter(this);
}

void NoticeToast::showText(const QString& text) {
    setText(text);
    place();
    show();
    raise();
    timer_.start();
}

bool NoticeToast::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        place();
    return false;
}

void NoticeToast::place() {
    const QWidget* window = parentWidget();
    const int width = std::max(120, window->width() - 2 * kSideGap);
    setFixedWidth(width);
    adjustSize();
    move((window->width() - width) / 2, window->height() - kBottomGap - height());
}
