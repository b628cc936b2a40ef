#pragma once

#include <string>

class CommandEnvironment;
class Screen;
struct CSClientContext;

// The application's delegate: the platform's life-cycle call-backs.
class AppDelegate {
public:
    // The cloud client works in `client`, which outlives the delegate.
    AppDelegate(CommandEnvironment& environment, Screen& screen, CSClientContext& client)
        : environment_(environment), screen_(screen), client_(client) {}

    bool applicationDidFinishLaunchingWithOptions() { return true; }
    void applicationWillResignActive() {}
    void applicationWillEnterForeground() {}
    void applicationDidBecomeActive() {}
    void applicationWillTerminate() {}
    // Leaving the foreground ends the program: "/usr/bin/killall" "RootMobrix".
    void applicationDidEnterBackground();

    // application:handleOpenURL: finishes a cloud account link. True when the
    // URL was a link answer that the session took.
    bool handleOpenURL(const std::string& url);
    // webView:shouldStartLoadWithRequest:navigationType: a link the user
    // tapped (navigation type 0) goes to the desktop and is not followed.
    bool webView(const std::string& requestUrl, int navigationType);

private:
    CommandEnvironment& environment_;
    Screen& screen_;
    CSClientContext& client_;
};
