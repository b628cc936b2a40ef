#include "url_opener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <mutex>

namespace platform {
namespace {

std::mutex& sharedMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<UrlOpener>& sharedOpener() {
  static std::shared_ptr<UrlOpener> opener;
  return opener;
}

}  // namespace

std::shared_ptr<UrlOpener> UrlOpener::shared() {
  std::lock_guard lock(sharedMutex());
  if (!sharedOpener()) sharedOpener() = std::make_shared<DesktopUrlOpener>();
  return sharedOpener();
}

void UrlOpener::setShared(std::shared_ptr<UrlOpener> opener) {
  std::lock_guard lock(sharedMutex());
  sharedOpener() = std::move(opener);
}

bool DesktopUrlOpener::canOpenURL(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file")) {
    return true;
  }
  if (scheme.isEmpty()) return false;
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (tool.isEmpty()) return false;
  QProcess query;
  query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/") + scheme});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished(1000);
    return false;
  }
  return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
         !query.readAllStandardOutput().trimmed().isEmpty();
}

bool DesktopUrlOpener::openURL(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace platform
