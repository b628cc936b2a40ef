#pragma once
// Opening another application by URL, and asking whether one would open it.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

namespace platform {

class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  // A handler is registered for the URL's scheme.
  virtual bool canOpenURL(const QUrl& url) = 0;
  virtual bool openURL(const QUrl& url) = 0;

  // The opener the program uses: the desktop's unless replaced.
  static std::shared_ptr<UrlOpener> shared();
  static void setShared(std::shared_ptr<UrlOpener> opener);
};

// The desktop's URL handlers: http(s) and file always open; another scheme
// opens when `xdg-mime` names a default handler for it.
class DesktopUrlOpener : public UrlOpener {
 public:
  bool canOpenURL(const QUrl& url) override;
  bool openURL(const QUrl& url) override;
};

// For tests: opens the schemes it is told about and records what it opened.
class FakeUrlOpener : public UrlOpener {
 public:
  explicit FakeUrlOpener(QStringList openableSchemes = {}) : schemes_(std::move(openableSchemes)) {}

  bool canOpenURL(const QUrl& url) override { return schemes_.contains(url.scheme()); }
  bool openURL(const QUrl& url) override {
    opened_.append(url.toString(QUrl::FullyEncoded));
    return canOpenURL(url);
  }

  const QStringList& opened() const { return opened_; }

 private:
  QStringList schemes_;
  QStringList opened_;
};

}  // namespace platform
