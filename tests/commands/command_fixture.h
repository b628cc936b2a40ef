#pragma once

#include "command_environment.h"
#include "fake_screen.h"
#include "first_view_controller.h"
#include "options_view_controller.h"
#include "recording_tool_runner.h"
#include "second_view_controller.h"
#include "temp_device_root.h"

#include <gtest/gtest.h>

inline constexpr const char* kLibrary = "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary";

// A filled temporary device with the store folders, the three screens, a
// recording runner and a fake screen.
class CommandTest : public ::testing::Test {
protected:
    CommandTest();

    std::string archive(const std::string& name) const {
        return std::string(kLibrary) + "/" + name;
    }
    // Runs something that stat(1)s a path and returns "uid:gid".
    std::string ownerOf(const std::string& devicePath) const;

    TempDeviceRoot device;
    RecordingToolRunner runner;
    CommandEnvironment environment;
    FakeScreen screen;
    FirstViewController safeguard{environment, screen};
    SecondViewController restoration{environment, screen};
    OptionsViewController options{environment, screen};
};
