#include "lum_progress_hud.h"

// Every setter stores the value under the lock and hands the change to the
// overlay's thread, where it is applied (at once when already there).

#define LUM_GETTER(Type, name)                                                                     \
    Type LumProgressHUD::name() const {                                                            \
        std::lock_guard lock(m_mutex);                                                             \
        return m_props.name;                                                                       \
    }

#define LUM_SETTER(Type, name, setter, property)                                                   \
    void LumProgressHUD::setter(Type value) {                                                      \
        change(Property::property, [&](Properties& p) { p.name = value; });                        \
    }

#define LUM_PROPERTY(Type, ArgType, name, setter, property)                                        \
    LUM_GETTER(Type, name)                                                                         \
    LUM_SETTER(ArgType, name, setter, property)

LUM_PROPERTY(int, int, mode, setMode, Mode)
LUM_PROPERTY(int, int, animationType, setAnimationType, Other)
LUM_PROPERTY(LumProgressHUDDelegate, LumProgressHUDDelegate, delegate, setDelegate, Other)
LUM_PROPERTY(QString, const QString&, labelText, setLabelText, LabelText)
LUM_PROPERTY(QString, const QString&, detailsLabelText, setDetailsLabelText, DetailsLabelText)
LUM_PROPERTY(float, float, opacity, setOpacity, Other)
LUM_PROPERTY(std::optional<QColor>, std::optional<QColor>, color, setColor, Other)
LUM_PROPERTY(float, float, xOffset, setXOffset, Other)
LUM_PROPERTY(float, float, yOffset, setYOffset, Other)
LUM_PROPERTY(float, float, margin, setMargin, Other)
LUM_PROPERTY(float, float, cornerRadius, setCornerRadius, Other)
LUM_PROPERTY(bool, bool, dimBackground, setDimBackground, Other)
LUM_PROPERTY(float, float, graceTime, setGraceTime, Other)
LUM_PROPERTY(float, float, minShowTime, setMinShowTime, Other)
LUM_PROPERTY(bool, bool, taskInProgress, setTaskInProgress, Other)
LUM_PROPERTY(bool, bool, removeFromSuperViewOnHide, setRemoveFromSuperViewOnHide, Other)
LUM_PROPERTY(QFont, const QFont&, labelFont, setLabelFont, LabelFont)
LUM_PROPERTY(QColor, const QColor&, labelColor, setLabelColor, LabelColor)
LUM_PROPERTY(QFont, const QFont&, detailsLabelFont, setDetailsLabelFont, DetailsLabelFont)
LUM_PROPERTY(QColor, const QColor&, detailsLabelColor, setDetailsLabelColor, DetailsLabelColor)
LUM_PROPERTY(QColor, const QColor&, activityIndicatorColor, setActivityIndicatorColor,
             ActivityIndicatorColor)
LUM_PROPERTY(float, float, progress, setProgress, Progress)
LUM_PROPERTY(QSizeF, const QSizeF&, minSize, setMinSize, Other)
LUM_PROPERTY(LumProgressHUD::Block, Block, completionBlock, setCompletionBlock, Other)
LUM_GETTER(QSizeF, size)

bool LumProgressHUD::isSquare() const {
    std::lock_guard lock(m_mutex);
    return m_props.square;
}

void LumProgressHUD::setSquare(bool square) {
    change(Property::Other, [&](Properties& p) { p.square = square; });
}

QWidget* LumProgressHUD::customView() const {
    std::lock_guard lock(m_mutex);
    return m_props.customView;
}

void LumProgressHUD::setCustomView(QWidget* view) {
    change(Property::CustomView, [&](Properties& p) { p.customView = view; });
}
