#pragma once

class CommandEnvironment;
class Screen;

// The application's delegate: the platform's life-cycle call-backs.
class AppDelegate {
public:
    AppDelegate(CommandEnvironment& environment, Screen& screen)
        : environment_(environment), screen_(screen) {}

    bool applicationDidFinishLaunchingWithOptions() { return true; }
    void applicationWillResignActive() {}
    void applicationWillEnterForeground() {}
    void applicationDidBecomeActive() {}
    void applicationWillTerminate() {}
    // Leaving the foreground ends the program: "/usr/bin/killall" "RootMobrix".
    void applicationDidEnterBackground();

private:
    CommandEnvironment& environment_;
    Screen& screen_;
};
