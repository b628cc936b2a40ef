#pragma once

#include "alert_dialog.h"
#include "cs_client_context.h"
#include "recording_tool_runner.h"
#include "shell.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The recording runner of the command tests (restart tools only recorded),
// calling duringRun while the command waits for a tool.
class RecordingRunner : public RecordingToolRunner {
public:
    ToolOutcome run(const ToolRun& run) override {
        if (duringRun)
            duringRun(run);
        return RecordingToolRunner::run(run);
    }

    std::function<void(const ToolRun&)> duringRun;
};

// Processes events until the condition holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// A window on a fresh sample device root in a temporary folder.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Host path of a device path.
    std::string path(const std::string& devicePath) const;
    bool exists(const std::string& devicePath) const;

    QPushButton* button(const char* method) const;
    // Shows the button's screen and clicks the button.
    void press(Shell::Tab tab, const char* method);

    // The alert on top, or null.
    AlertDialog* topAlert() const;
    QString alertTitle(AlertDialog* alert) const;
    QString alertMessage(AlertDialog* alert) const;
    QStringList alertButtons(AlertDialog* alert) const;
    void answer(AlertDialog* alert, int index);
    // Answers the top alert with the button of that title.
    void answer(const QString& buttonTitle);
    int openAlertCount() const;

    // Creates the store folders through the Options screen.
    void createStoreFolders();

    QTemporaryDir folder_;
    std::string root_;
    RecordingRunner runner_;
    CSClientContext client_;
    std::unique_ptr<Shell> shell_;
};
