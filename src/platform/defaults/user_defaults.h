#pragma once
// The user defaults: small values kept between runs (the pending link's
// nonce among them), in an INI file under the user's config folder
// (user_folders.h), in Mobrix/. The folder is 0700 and the user's own, the
// file 0600; both are checked before the file is read and when it is
// written, and a file that fails the check is neither read nor replaced.
// Writes are cached until sync(), which is the flush.

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

class UserDefaults {
public:
    // <config folder>/Mobrix/defaults.ini, decided now.
    static QString defaultPath();

    explicit UserDefaults(const QString& path = defaultPath());

    bool contains(const QString& key) const;
    QVariant objectForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    void setObject(const QVariant& value, const QString& key);
    void removeObjectForKey(const QString& key);
    // Writes pending changes to disk; false when the file could not be
    // written or its folder is not private.
    bool sync();

    QString path() const;

private:
    std::unique_ptr<QSettings> settings_;
    // The file on disk may be read: missing, or private and ours.
    bool readable_ = false;
};

} // namespace platform
