#pragma once

#include "command_environment.h"
#include "fake_screen.h"
#include "first_view_controller.h"
#include "options_view_controller.h"
#include "recording_tool_runner.h"
#include "second_view_controller.h"
#include "temp_device_root.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

inline const std::string kStore = "/var/mobile/Library/Preferences/Mobrix";
inline const std::string kLibrary = kStore + "/MobrixLibrary";
inline const std::string kLibraryPrefix = kLibrary.substr(1) + "/"; // of archive entries

// A filled temporary device with the store folders, the three screens, a
// recording runner and a fake screen.
class CommandTest : public ::testing::Test {
protected:
    CommandTest() : environment(DeviceRoot(device.root()), runner) {
        device.fillLiveFolders();
        device.makeStoreFolders();
    }

    std::string archive(const std::string& name) const { return kLibrary + "/" + name; }
    bool archived(const std::string& name, const std::string& entry) const {
        auto entries = device.archiveEntries(archive(name));
        return std::find(entries.begin(), entries.end(), entry) != entries.end();
    }
    // "uid:gid" of a path, or "missing".
    std::string ownerOf(const std::string& devicePath) const {
        struct stat status {};
        if (::lstat(device.path(devicePath).c_str(), &status) != 0)
            return "missing";
        return std::to_string(status.st_uid) + ":" + std::to_string(status.st_gid);
    }

    TempDeviceRoot device;
    RecordingToolRunner runner;
    CommandEnvironment environment;
    FakeScreen screen;
    FirstViewController safeguard{environment, screen};
    SecondViewController restoration{environment, screen};
    OptionsViewController options{environment, screen};
};
