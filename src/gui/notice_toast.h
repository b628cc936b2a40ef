#pragma once

#include <QLabel>
#include <QTimer>

// A short notice over the bottom of its window that goes away by itself and
// never takes the input focus or waits for an answer.
class NoticeToast : public QLabel {
public:
    explicit NoticeToast(QWidget* window);

    void showText(const QString& text);
    static constexpr int kShownMs = 2500;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QTimer timer_;
};
