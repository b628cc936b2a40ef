#include "process_tool_runner.h"

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <unistd.h>

namespace {

constexpr qsizetype kErrorTailBytes = 4096;

QStringList toQStringList(const std::vector<std::string>& items) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items)
        list << QString::fromStdString(item);
    return list;
}

void configure(QProcess& process, const ToolRun& run) {
    process.setProgram(QString::fromStdString(run.launchPath));
    process.setArguments(toQStringList(run.arguments));
    process.setWorkingDirectory(QString::fromStdString(run.workingFolder));
    QProcessEnvironment environment;
    for (const auto& [name, value] : run.environment)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!run.captureOutput)
        process.setStandardOutputFile(QProcess::nullDevice());
    ChildSetup child = run.child;
    child.parent = ::getpid();
    process.setChildProcessModifier([child] { child.apply(); });
}

} // namespace

ToolOutcome ProcessToolRunner::run(const ToolRun& run) {
    QProcess process;
    configure(process, run);

    ToolOutcome outcome;
    QByteArray errorTail;
    QEventLoop loop;
    bool ended = false;
    QObject::connect(&process, &QProcess::readyReadStandardError, [&] {
        errorTail += process.readAllStandardError();
        if (errorTail.size() > kErrorTailBytes)
            errorTail = errorTail.right(kErrorTailBytes);
    });
    QObject::connect(&process, &QProcess::finished, [&](int code, QProcess::ExitStatus status) {
        outcome.kind =
            status == QProcess::NormalExit ? ToolOutcome::Kind::Exited : ToolOutcome::Kind::Crashed;
        outcome.exitCode = code;
        ended = true;
        loop.quit();
    });
    // A program that cannot start never sends finished.
    QObject::connect(&process, &QProcess::errorOccurred, [&](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        outcome.kind = ToolOutcome::Kind::FailedToStart;
        outcome.startError = process.errorString().toStdString();
        ended = true;
        loop.quit();
    });

    process.start();
    if (!ended)
        loop.exec();

    errorTail += process.readAllStandardError();
    outcome.errorOutput = errorTail.right(kErrorTailBytes).toStdString();
    if (run.captureOutput)
        outcome.output = process.readAllStandardOutput().toStdString();
    return outcome;
}
