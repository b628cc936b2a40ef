#pragma once
// A window on a fresh sample device root, its restart tools only recorded.

#include "alert_dialog.h"
#include "cs_client_context.h"
#include "recording_tool_runner.h"
#include "shell.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// Calls duringRun while a command waits for a tool.
class RecordingRunner : public RecordingToolRunner {
public:
    ToolOutcome run(const ToolRun& run) override {
        if (duringRun)
            duringRun(run);
        return RecordingToolRunner::run(run);
    }
    std::function<void(const ToolRun&)> duringRun;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    bool exists(const std::string& devicePath) const;
    QPushButton* button(const char* method) const;
    // Shows the button's screen and clicks the button.
    void press(Shell::Tab tab, const char* method);

    // The alert on top, or null.
    AlertDialog* topAlert() const;
    // Clicks the top alert's button of that title.
    void answer(const std::string& buttonTitle);
    int openAlertCount() const;

    // Creates the store folders through the Options screen.
    void createStoreFolders();

    QTemporaryDir folder_;
    std::string root_;
    RecordingRunner runner_;
    CSClientContext client_;
    std::unique_ptr<Shell> shell_;
};
