#include "lum_progress_hud.h"

#include "activity_spinner.h"
#include "hud_box_painter.h"
#include "hud_layout.h"
#include "lum_bar_progress_view.h"
#include "lum_round_progress_view.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QThread>

#include <cmath>
#include <stdexcept>

namespace {

QRect boundsOf(QWidget* view) {
    if (view == nullptr)
        throw std::invalid_argument("View must not be nil.");
    return view->rect();
}

QFont boldSystemFont(int points) {
    QFont font = QApplication::font();
    font.setBold(true);
    // Points of the overlay's geometry are the widget's logical pixels.
    font.setPixelSize(points);
    return font;
}

int toMilliseconds(double seconds) {
    return int(std::ceil(std::max(0.0, seconds) * 1000.0));
}

double lerp(double from, double to, double t) {
    return from + (to - from) * t;
}

} // namespace

// ---- class operations ----

LumProgressHUD* LumProgressHUD::showHUDAddedTo(QWidget* view, bool animated) {
    auto* hud = new LumProgressHUD(view);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->attachToHost(view);
    hud->show(animated);
    return hud;
}

bool LumProgressHUD::hideHUDForView(QWidget* view, bool animated) {
    LumProgressHUD* hud = HUDForView(view);
    if (hud == nullptr)
        return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hide(animated);
    return true;
}

int LumProgressHUD::hideAllHUDsForView(QWidget* view, bool animated) {
    const QList<LumProgressHUD*> huds = allHUDsForView(view);
    for (LumProgressHUD* hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hide(animated);
    }
    return int(huds.size());
}

LumProgressHUD* LumProgressHUD::HUDForView(QWidget* view) {
    const QList<LumProgressHUD*> huds = allHUDsForView(view);
    return huds.isEmpty() ? nullptr : huds.last();
}

QList<LumProgressHUD*> LumProgressHUD::allHUDsForView(QWidget* view) {
    QList<LumProgressHUD*> huds;
    if (view == nullptr)
        return huds;
    // Child order is stacking order, bottom first.
    for (QObject* child : view->children())
        if (auto* hud = qobject_cast<LumProgressHUD*>(child))
            huds.append(hud);
    return huds;
}

// ---- creation ----

LumProgressHUD::LumProgressHUD(QWidget* view) : LumProgressHUD(boundsOf(view)) {}

LumProgressHUD::LumProgressHUD(const QRect& frame) : QWidget(nullptr) {
    setGeometry(frame);
    setUp();
}

LumProgressHUD::~LumProgressHUD() {
    if (m_host)
        m_host->removeEventFilter(this);
}

void LumProgressHUD::setUp() {
    m_props.labelFont = boldSystemFont(16);
    m_props.detailsLabelFont = boldSystemFont(12);
    m_label = {QString(), m_props.labelFont, m_props.labelColor, {}};
    m_detailsLabel = {QString(), m_props.detailsLabelFont, m_props.detailsLabelColor, {}};

    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
    setAlpha(0.0);

    // Precise timers: a coarse one may fire early and cut the minimum show time.
    m_graceTimer.setTimerType(Qt::PreciseTimer);
    m_minShowTimer.setTimerType(Qt::PreciseTimer);
    m_graceTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, &LumProgressHUD::graceTimerFired);
    m_minShowTimer.setSingleShot(true);
    connect(&m_minShowTimer, &QTimer::timeout, this, &LumProgressHUD::minShowTimerFired);
    m_delayedPerforms = new QObject(this);

    m_animation.setDuration(kAnimationMs);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        setScale(lerp(m_fromScale, m_toScale, t));
        setAlpha(lerp(m_fromAlpha, m_toAlpha, t));
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] {
        if (m_hiding) {
            m_hiding = false;
            done();
        }
    });

    updateIndicators();
    layoutSubviews();
}

// ---- host ----

void LumProgressHUD::attachToHost(QWidget* host) {
    setParent(host);
    raise();
    QWidget::setVisible(true);
}

void LumProgressHUD::followHost() {
    QWidget* host = parentWidget();
    if (host == m_host)
        return;
    if (m_host)
        m_host->removeEventFilter(this);
    m_host = host;
    if (m_host) {
        m_host->installEventFilter(this);
        layoutSubviews();
    }
}

void LumProgressHUD::leaveHost() {
    QWidget::setVisible(false);
    setParent(nullptr);
    deleteLater();
}

bool LumProgressHUD::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange)
        followHost();
    return QWidget::event(event);
}

bool LumProgressHUD::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_host && event->type() == QEvent::Resize)
        layoutSubviews();
    return QWidget::eventFilter(watched, event);
}

void LumProgressHUD::resizeEvent(QResizeEvent*) {
    layoutSubviews();
}

// ---- show and hide ----

void LumProgressHUD::show(bool animated) {
    m_useAnimation = animated;
    const float grace = graceTime();
    if (grace > 0.0f) {
        m_graceTimer.start(toMilliseconds(grace));
        return;
    }
    update();
    showUsingAnimation(animated);
}

void LumProgressHUD::graceTimerFired() {
    if (!taskInProgress())
        return;
    update();
    showUsingAnimation(m_useAnimation);
}

void LumProgressHUD::showUsingAnimation(bool animated) {
    m_animation.stop();
    m_hiding = false;
    const int type = animationType();
    if (animated && type == AnimationZoomOut)
        setScale(0.5);
    else if (animated && type == AnimationZoomIn)
        setScale(1.5);
    m_showStarted.start();
    if (animated) {
        const bool zooms = type == AnimationZoomIn || type == AnimationZoomOut;
        animate(1.0, zooms ? 1.0 : m_scale, false);
    } else {
        setAlpha(1.0);
    }
}

void LumProgressHUD::hide(bool animated) {
    m_useAnimation = animated;
    const float minimum = minShowTime();
    if (minimum > 0.0f && m_showStarted.isValid()) {
        const double shown = m_showStarted.elapsed() / 1000.0;
        if (shown < minimum) {
            m_minShowTimer.start(toMilliseconds(minimum - shown));
            return;
        }
    }
    hideUsingAnimation(m_useAnimation);
}

void LumProgressHUD::hide(bool animated, double afterDelay) {
    QTimer::singleShot(toMilliseconds(afterDelay), Qt::PreciseTimer, m_delayedPerforms,
                       [this, animated] { hide(animated); });
}

void LumProgressHUD::minShowTimerFired() {
    hideUsingAnimation(m_useAnimation);
}

void LumProgressHUD::hideUsingAnimation(bool animated) {
    if (animated && m_showStarted.isValid()) {
        const int type = animationType();
        const double scale =
            type == AnimationZoomOut ? 1.5 : (type == AnimationZoomIn ? 0.5 : m_scale);
        animate(0.02, scale, true);
    } else {
        setAlpha(0.0);
        done();
    }
    m_showStarted.invalidate();
}

void LumProgressHUD::done() {
    // Nothing scheduled for this overlay may act once it has finished.
    delete m_delayedPerforms;
    m_delayedPerforms = new QObject(this);
    m_graceTimer.stop();
    m_minShowTimer.stop();
    m_animation.stop();
    m_hiding = false;

    m_isFinished = true;
    setAlpha(0.0);
    Block completion;
    LumProgressHUDDelegate observer;
    bool remove = false;
    {
        std::lock_guard lock(m_mutex);
        remove = m_props.removeFromSuperViewOnHide;
        completion = std::exchange(m_props.completionBlock, Block());
        observer = m_props.delegate;
    }
    if (remove && parentWidget() != nullptr)
        leaveHost();
    if (completion)
        completion();
    if (observer.hudWasHidden)
        observer.hudWasHidden(this);
}

void LumProgressHUD::cleanUp() {
    {
        std::lock_guard lock(m_mutex);
        m_props.taskInProgress = false;
    }
    hide(m_useAnimation);
}

// ---- animation state ----

void LumProgressHUD::animate(double toAlpha, double toScale, bool hiding) {
    m_animation.stop();
    m_fromAlpha = m_alpha;
    m_toAlpha = toAlpha;
    m_fromScale = m_scale;
    m_toScale = toScale;
    m_hiding = hiding;
    m_animation.start();
}

void LumProgressHUD::setAlpha(double alpha) {
    m_alpha = alpha;
    // A (nearly) invisible overlay lets input through, as a clear view does.
    setAttribute(Qt::WA_TransparentForMouseEvents, alpha <= 0.01);
    update();
}

void LumProgressHUD::setScale(double scale) {
    m_scale = scale;
    m_transform = m_rotationTransform;
    m_transform.scale(scale, scale);
    update();
}

// ---- properties ----

LumProgressHUD::Properties LumProgressHUD::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_props;
}

void LumProgressHUD::propertyChanged(Property property) {
    if (QThread::currentThread() == thread()) {
        applyChange(property);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, property] { applyChange(property); }, Qt::QueuedConnection);
}

void LumProgressHUD::applyChange(Property property) {
    const Properties props = snapshot();
    switch (property) {
    case Property::CustomView:
        adoptCustomView(props.customView);
        updateIndicators();
        break;
    case Property::Mode:
    case Property::ActivityIndicatorColor:
        updateIndicators();
        break;
    case Property::LabelText:
        m_label.text = props.labelText;
        break;
    case Property::LabelFont:
        m_label.font = props.labelFont;
        break;
    case Property::LabelColor:
        m_label.color = props.labelColor;
        break;
    case Property::DetailsLabelText:
        m_detailsLabel.text = props.detailsLabelText;
        break;
    case Property::DetailsLabelFont:
        m_detailsLabel.font = props.detailsLabelFont;
        break;
    case Property::DetailsLabelColor:
        m_detailsLabel.color = props.detailsLabelColor;
        break;
    case Property::Progress:
        if (auto* round = qobject_cast<LumRoundProgressView*>(m_indicator)) {
            round->setProgress(props.progress);
            return;
        }
        if (auto* bar = qobject_cast<LumBarProgressView*>(m_indicator)) {
            bar->setProgress(props.progress);
            return;
        }
        break;
    case Property::Other:
        break;
    }
    layoutSubviews();
    update();
}

void LumProgressHUD::adoptCustomView(QWidget* view) {
    if (view == m_ownedCustomView)
        return;
    QWidget* old = m_ownedCustomView;
    m_ownedCustomView = view;
    if (old != nullptr && old != m_indicator)
        delete old;
    if (view != nullptr) {
        view->setParent(this);
        view->setVisible(false);
    }
}

void LumProgressHUD::updateIndicators() {
    const Properties props = snapshot();
    switch (props.mode) {
    case ModeSpinner: {
        auto* spinner = qobject_cast<ActivitySpinner*>(m_indicator);
        if (spinner == nullptr) {
            spinner = new ActivitySpinner(this);
            spinner->startAnimating();
            setIndicator(spinner);
        }
        spinner->setColor(props.activityIndicatorColor);
        break;
    }
    case ModePie:
    case ModeRing: {
        auto* round = qobject_cast<LumRoundProgressView*>(m_indicator);
        if (round == nullptr) {
            round = new LumRoundProgressView(this);
            round->setProgress(props.progress);
            setIndicator(round);
        }
        // Set both ways so a switch from ring back to pie draws a pie.
        round->setAnnular(props.mode == ModeRing);
        break;
    }
    case ModeBar: {
        auto* bar = new LumBarProgressView(this);
        bar->setProgress(props.progress);
        setIndicator(bar);
        break;
    }
    case ModeCustom:
        if (m_indicator != props.customView)
            setIndicator(props.customView);
        break;
    default:
        setIndicator(nullptr);
        break;
    }
}

void LumProgressHUD::setIndicator(QWidget* indicator) {
    QWidget* old = m_indicator;
    if (old != nullptr && old != indicator) {
        // The current custom view stays, ready for mode 4; others are ours to drop.
        if (old == m_ownedCustomView)
            disconnect(old, nullptr, this, nullptr);
        else
            delete old;
    }
    m_indicator = indicator;
    m_indicatorNaturalSize = QSizeF(0, 0);
    if (indicator == nullptr)
        return;
    if (indicator->parentWidget() != this)
        indicator->setParent(this);
    // The overlay draws its indicator itself, inside its faded, scaled layer.
    indicator->setVisible(false);
    m_indicatorNaturalSize = indicator->size();
    if (auto* view = qobject_cast<HudIndicatorView*>(indicator))
        connect(view, &HudIndicatorView::displayNeeded, this, [this] {
            // A spinner keeps turning while the overlay is hidden; nothing to draw then.
            if (m_alpha > 0.0)
                update();
        });
}

// ---- layout and drawing ----

void LumProgressHUD::layoutSubviews() {
    if (m_inLayout)
        return;
    m_inLayout = true;
    if (m_host && geometry() != m_host->rect())
        setGeometry(m_host->rect());

    const Properties props = snapshot();
    HudLayoutInput input;
    input.bounds = QSizeF(width(), height());
    input.margin = props.margin;
    input.xOffset = props.xOffset;
    input.yOffset = props.yOffset;
    input.indicatorSize = m_indicator ? m_indicatorNaturalSize : QSizeF(0, 0);
    input.labelText = m_label.text;
    input.labelFont = m_label.font;
    input.detailsText = m_detailsLabel.text;
    input.detailsFont = m_detailsLabel.font;
    input.square = props.square;
    input.minSize = props.minSize;
    const HudLayout layout = layoutHUD(input);

    m_indicatorFrame = layout.indicatorFrame;
    if (m_indicator)
        m_indicator->setGeometry(layout.indicatorFrame.toAlignedRect());
    m_label.frame = layout.labelFrame;
    m_detailsLabel.frame = layout.detailsFrame;
    {
        std::lock_guard lock(m_mutex);
        m_props.size = layout.size;
    }
    m_inLayout = false;
}

QRectF LumProgressHUD::boxRect() const {
    const Properties props = snapshot();
    return hudBoxRect(QSizeF(width(), height()), props.size, props.xOffset, props.yOffset);
}

void LumProgressHUD::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintHUD(painter);
}

void LumProgressHUD::paintHUD(QPainter& painter) const {
    if (m_alpha <= 0.0)
        return;
    const Properties props = snapshot();
    const QSizeF bounds(width(), height());

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setOpacity(painter.opacity() * m_alpha);
    // The transform acts about the overlay's centre.
    const QPointF centre(bounds.width() / 2, bounds.height() / 2);
    painter.setTransform(QTransform::fromTranslate(-centre.x(), -centre.y()) * m_transform *
                             QTransform::fromTranslate(centre.x(), centre.y()),
                         true);

    if (props.dimBackground)
        paintHudDimming(painter, bounds);

    const QColor fill = props.color ? *props.color : QColor::fromRgbF(0, 0, 0, props.opacity);
    const QRectF box = hudBoxRect(bounds, props.size, props.xOffset, props.yOffset);
    painter.fillPath(hudBoxPath(box, props.cornerRadius), fill);

    if (m_indicator) {
        painter.save();
        painter.translate(m_indicatorFrame.topLeft());
        if (auto* view = qobject_cast<const HudIndicatorView*>(m_indicator.data()))
            view->paint(painter);
        else
            m_indicator->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.restore();
    }

    if (!m_label.text.isEmpty()) {
        painter.setFont(m_label.font);
        painter.setPen(m_label.color);
        const QString shown = QFontMetricsF(m_label.font)
                                  .elidedText(m_label.text, Qt::ElideRight, m_label.frame.width());
        painter.drawText(m_label.frame, Qt::AlignCenter | Qt::TextSingleLine, shown);
    }
    if (!m_detailsLabel.text.isEmpty()) {
        painter.setFont(m_detailsLabel.font);
        painter.setPen(m_detailsLabel.color);
        painter.save();
        painter.setClipRect(m_detailsLabel.frame, Qt::IntersectClip);
        painter.drawText(m_detailsLabel.frame, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         m_detailsLabel.text);
        painter.restore();
    }
    painter.restore();
}
