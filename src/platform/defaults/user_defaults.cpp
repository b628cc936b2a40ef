#include "user_defaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "private_files.h"
#include "user_folders.h"

namespace platform {
namespace {

// The folder that holds the file, checked (and with `create`, made).
SecretStatus openFolder(const std::filesystem::path& file, bool create, FileDescriptor& folder) {
    const std::filesystem::path parent = file.parent_path();
    return openPrivateFolder(parent.parent_path(), {parent.filename().string()}, create, folder);
}

// The file may be read: it is missing, or ours and private (an older file of
// ours open to others is closed to them first).
bool safeToRead(const std::filesystem::path& file) {
    FileDescriptor folder;
    const SecretStatus status = openFolder(file, false, folder);
    if (status.kind == SecretStatus::notFound)
        return true;
    if (!status.isOk())
        return false;
    FileDescriptor fd(
        ::openat(folder.get(), file.filename().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return errno == ENOENT;
    return checkPrivateFile(fd.get(), true).isOk();
}

// Settings files are replaced by a new file that takes the process's mask:
// none of them may be open to others, even for a moment.
class PrivateMask {
public:
    PrivateMask() : previous_(::umask(077)) {}
    ~PrivateMask() { ::umask(previous_); }
    PrivateMask(const PrivateMask&) = delete;
    PrivateMask& operator=(const PrivateMask&) = delete;

private:
    mode_t previous_;
};

} // namespace

QString UserDefaults::defaultPath() {
    const std::filesystem::path file = userFolders().config / "Mobrix" / "defaults.ini";
    return QString::fromStdString(file.string());
}

UserDefaults::UserDefaults(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)),
      readable_(safeToRead(path.toStdString())) {}

bool UserDefaults::contains(const QString& key) const {
    return readable_ && settings_->contains(key);
}

QVariant UserDefaults::objectForKey(const QString& key) const {
    return readable_ ? settings_->value(key) : QVariant();
}

QString UserDefaults::stringForKey(const QString& key) const {
    QVariant v = objectForKey(key);
    return v.canConvert<QString>() ? v.toString() : QString();
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    settings_->setValue(key, value);
}

void UserDefaults::removeObjectForKey(const QString& key) {
    settings_->remove(key);
}

bool UserDefaults::sync() {
    const std::filesystem::path file = settings_->fileName().toStdString();
    FileDescriptor folder;
    if (!readable_ || !openFolder(file, true, folder).isOk())
        return false;
    {
        PrivateMask mask;
        settings_->sync();
    }
    ::fchmodat(folder.get(), file.filename().c_str(), 0600, 0);
    return settings_->status() == QSettings::NoError && safeToRead(file);
}

QString UserDefaults::path() const {
    return settings_->fileName();
}

} // namespace platform
