#include "user_defaults.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString UserDefaults::defaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Mobrix/defaults.ini");
}

UserDefaults::UserDefaults(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

bool UserDefaults::contains(const QString& key) const {
    return settings_->contains(key);
}

QVariant UserDefaults::objectForKey(const QString& key) const {
    return settings_->value(key);
}

QString UserDefaults::stringForKey(const QString& key) const {
    QVariant v = settings_->value(key);
    return v.canConvert<QString>() ? v.toString() : QString();
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    settings_->setValue(key, value);
}

void UserDefaults::removeObjectForKey(const QString& key) {
    settings_->remove(key);
}

bool UserDefaults::sync() {
    QDir().mkpath(QFileInfo(settings_->fileName()).absolutePath());
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString UserDefaults::path() const {
    return settings_->fileName();
}

} // namespace platform
