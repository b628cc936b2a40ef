#pragma once

#include "lum_progress_hud_delegate.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QTransform>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

class QThreadPool;

// A translucent heads-up overlay covering its host widget, with a rounded box
// holding an indicator, a one-line label and a wrapped details label.
//
// View work happens on the thread the overlay lives on (the main thread);
// property setters may be called from any thread and are handed over to it.
// An overlay hidden with removeFromSuperViewOnHide leaves its host and deletes
// itself from the event loop afterwards: keep a QPointer to look at it later.
class LumProgressHUD : public QWidget {
    Q_OBJECT
public:
    // Values of mode.
    enum Mode : int {
        ModeSpinner = 0, // activity spinner
        ModePie = 1,     // round indicator, pie
        ModeBar = 2,     // bar indicator
        ModeRing = 3,    // round indicator, annular
        ModeCustom = 4,  // customView
        ModeText = 5,    // no indicator
    };
    // Values of animationType.
    enum AnimationType : int { AnimationFade = 0, AnimationZoomIn = 1, AnimationZoomOut = 2 };

    static constexpr int kAnimationMs = 300;

    using Block = std::function<void()>;

    // Class operations.
    static LumProgressHUD* showHUDAddedTo(QWidget* view, bool animated);
    static bool hideHUDForView(QWidget* view, bool animated);
    static int hideAllHUDsForView(QWidget* view, bool animated);
    static LumProgressHUD* HUDForView(QWidget* view);
    static QList<LumProgressHUD*> allHUDsForView(QWidget* view);

    // initWithView: / initWithWindow: takes the view's bounds as frame; the view
    // is not made the host. A null view throws std::invalid_argument("View must not be nil.").
    explicit LumProgressHUD(QWidget* view);
    // initWithFrame:
    explicit LumProgressHUD(const QRect& frame);
    ~LumProgressHUD() override;

    void show(bool animated);
    void hide(bool animated);
    // hide:afterDelay: (seconds); cancelled when hiding finishes first.
    void hide(bool animated, double afterDelay);

    // showWhileExecuting:onTarget:withObject:animated: runs method(object) on
    // target on a thread of its own, then hides the overlay.
    template <class Target, class Param, class Object>
    void showWhileExecuting(void (Target::*method)(Param), Target* target, Object&& object,
                            bool animated) {
        launchOnOwnThread(
            [method, target, object = std::decay_t<Object>(std::forward<Object>(object))]() {
                (target->*method)(object);
            },
            animated);
    }

    // Runs block on a thread pool (the global one by default), then hides the
    // overlay; completionBlock becomes the overlay's completion block.
    void showAnimated(bool animated, Block block);
    void showAnimated(bool animated, Block block, Block completionBlock);
    void showAnimated(bool animated, Block block, QThreadPool* queue);
    void showAnimated(bool animated, Block block, QThreadPool* queue, Block completionBlock);

    // Runs the layout at once (normally done on resize and property changes).
    void layoutSubviews();

    // Properties.
    int mode() const;
    void setMode(int mode);
    int animationType() const;
    void setAnimationType(int type);
    QWidget* customView() const;
    void setCustomView(QWidget* view); // the overlay takes ownership
    LumProgressHUDDelegate delegate() const;
    void setDelegate(LumProgressHUDDelegate delegate);
    QString labelText() const;
    void setLabelText(const QString& text);
    QString detailsLabelText() const;
    void setDetailsLabelText(const QString& text);
    float opacity() const;
    void setOpacity(float opacity);
    std::optional<QColor> color() const;
    void setColor(std::optional<QColor> color);
    float xOffset() const;
    void setXOffset(float offset);
    float yOffset() const;
    void setYOffset(float offset);
    float margin() const;
    void setMargin(float margin);
    float cornerRadius() const;
    void setCornerRadius(float radius);
    bool dimBackground() const;
    void setDimBackground(bool dim);
    float graceTime() const;
    void setGraceTime(float seconds);
    float minShowTime() const;
    void setMinShowTime(float seconds);
    bool taskInProgress() const;
    void setTaskInProgress(bool inProgress);
    bool removeFromSuperViewOnHide() const;
    void setRemoveFromSuperViewOnHide(bool remove);
    QFont labelFont() const;
    void setLabelFont(const QFont& font);
    QColor labelColor() const;
    void setLabelColor(const QColor& color);
    QFont detailsLabelFont() const;
    void setDetailsLabelFont(const QFont& font);
    QColor detailsLabelColor() const;
    void setDetailsLabelColor(const QColor& color);
    QColor activityIndicatorColor() const;
    void setActivityIndicatorColor(const QColor& color);
    float progress() const;
    void setProgress(float progress);
    QSizeF minSize() const;
    void setMinSize(const QSizeF& size);
    bool isSquare() const;
    void setSquare(bool square);
    Block completionBlock() const;
    void setCompletionBlock(Block block);

    // The box size of the last layout (hides QWidget::size on purpose; use
    // width()/height() or rect() for the overlay's own bounds).
    QSizeF size() const;

    // State, read on the main thread.
    float alpha() const { return m_alpha; }
    QTransform hudTransform() const { return m_transform; }
    QTransform rotationTransform() const { return m_rotationTransform; }
    bool isFinished() const { return m_isFinished; }
    bool hasShowStarted() const { return m_showStarted.isValid(); }
    QWidget* indicator() const { return m_indicator; }
    QRectF indicatorFrame() const { return m_indicatorFrame; }
    QRectF labelFrame() const { return m_label.frame; }
    QRectF detailsLabelFrame() const { return m_detailsLabel.frame; }
    QRectF boxRect() const;

    // Draws the overlay as it appears, in its own coordinates.
    void paintHUD(QPainter& painter) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Property {
        Mode,
        CustomView,
        ActivityIndicatorColor,
        LabelText,
        LabelFont,
        LabelColor,
        DetailsLabelText,
        DetailsLabelFont,
        DetailsLabelColor,
        Progress,
        Other
    };

    struct Properties {
        int mode = ModeSpinner;
        int animationType = AnimationFade;
        QPointer<QWidget> customView;
        LumProgressHUDDelegate delegate;
        QString labelText;
        QString detailsLabelText;
        float opacity = 0.8f;
        std::optional<QColor> color;
        float xOffset = 0.0f;
        float yOffset = 0.0f;
        float margin = 20.0f;
        float cornerRadius = 10.0f;
        bool dimBackground = false;
        float graceTime = 0.0f;
        float minShowTime = 0.0f;
        bool taskInProgress = false;
        bool removeFromSuperViewOnHide = false;
        QFont labelFont;
        QColor labelColor = Qt::white;
        QFont detailsLabelFont;
        QColor detailsLabelColor = Qt::white;
        QColor activityIndicatorColor = Qt::white;
        float progress = 0.0f;
        QSizeF minSize = QSizeF(0, 0);
        bool square = false;
        Block completionBlock;
        QSizeF size = QSizeF(0, 0);
    };

    // What the overlay draws for one of its labels.
    struct LabelState {
        QString text;
        QFont font;
        QColor color = Qt::white;
        QRectF frame;
    };

    void setUp();
    Properties snapshot() const;
    template <class Fn> void change(Property property, Fn&& assign) {
        {
            std::lock_guard lock(m_mutex);
            std::forward<Fn>(assign)(m_props);
        }
        propertyChanged(property);
    }
    void propertyChanged(Property property);
    void applyChange(Property property);
    void adoptCustomView(QWidget* view);
    void updateIndicators();
    void setIndicator(QWidget* indicator);
    void attachToHost(QWidget* host);
    void followHost();
    void leaveHost();

    void graceTimerFired();
    void minShowTimerFired();
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void done();
    void cleanUp();
    void launchOnOwnThread(Block task, bool animated);

    void animate(double toAlpha, double toScale, bool hiding);
    void setAlpha(double alpha);
    void setScale(double scale);

    mutable std::mutex m_mutex;
    Properties m_props;

    QPointer<QWidget> m_indicator;
    QPointer<QWidget> m_ownedCustomView;
    QSizeF m_indicatorNaturalSize;
    QRectF m_indicatorFrame;
    QPointer<QWidget> m_host;
    LabelState m_label;
    LabelState m_detailsLabel;
    QTimer m_graceTimer;
    QTimer m_minShowTimer;
    QObject* m_delayedPerforms = nullptr;
    QVariantAnimation m_animation;
    QElapsedTimer m_showStarted;
    bool m_useAnimation = false;
    bool m_isFinished = false;
    bool m_hiding = false;
    bool m_inLayout = false;
    double m_alpha = 0.0;
    double m_fromAlpha = 0.0, m_toAlpha = 0.0;
    double m_scale = 1.0;
    double m_fromScale = 1.0, m_toScale = 1.0;
    QTransform m_rotationTransform;
    QTransform m_transform;
};
