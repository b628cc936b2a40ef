#pragma once
// The user defaults: small values kept between runs, in an INI file under
// $XDG_CONFIG_HOME/Mobrix (else ~/.config/Mobrix). Writes are cached until
// sync(), which is the flush.

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

class UserDefaults {
public:
    // $XDG_CONFIG_HOME/Mobrix/defaults.ini, read from the environment now.
    static QString defaultPath();

    explicit UserDefaults(const QString& path = defaultPath());

    bool contains(const QString& key) const;
    QVariant objectForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    void setObject(const QVariant& value, const QString& key);
    void removeObjectForKey(const QString& key);
    // Writes pending changes to disk; false when the file could not be written.
    bool sync();

    QString path() const;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace platform
