#pragma once
// Opening another application by URL, and asking whether one would open it.
// URLs travel as text: Qt's URL type rewrites a host such as "1" into an
// address ("0.0.0.1"), which would change the link addresses.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

namespace platform {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // A handler is registered for the URL's scheme.
    virtual bool canOpenURL(const QString& url) = 0;
    virtual bool openURL(const QString& url) = 0;

    // The text before the first ":", lower-cased.
    static QString schemeOf(const QString& url);
};

// The desktop's URL handlers: http(s) and file always open; another scheme
// opens when `xdg-mime` names a default handler for it, over the session bus
// when the handler takes URLs there (bus_activation.h), else through
// `xdg-open`.
class DesktopUrlOpener : public UrlOpener {
public:
    bool canOpenURL(const QString& url) override;
    bool openURL(const QString& url) override;

private:
    // The desktop id of the scheme's default handler, or empty.
    static QString defaultHandler(const QString& scheme);
};

// For tests: opens the schemes it is told about and records what it opened.
class FakeUrlOpener : public UrlOpener {
public:
    explicit FakeUrlOpener(QStringList openableSchemes = {})
        : schemes_(std::move(openableSchemes)) {}

    bool canOpenURL(const QString& url) override { return schemes_.contains(schemeOf(url)); }
    bool openURL(const QString& url) override {
        opened_.append(url);
        return canOpenURL(url);
    }

    const QStringList& opened() const { return opened_; }

private:
    QStringList schemes_;
    QStringList opened_;
};

} // namespace platform
