#include "gui_arguments.h"

namespace {

// "--name value" or "--name=value"; false when the word is another one.
bool takeValue(const QStringList& words, qsizetype& i, const QString& name, QString& value,
               QString& error) {
    const QString& word = words[i];
    if (word.startsWith(name + QLatin1Char('='))) {
        value = word.mid(name.size() + 1);
        return true;
    }
    if (word != name)
        return false;
    if (i + 1 >= words.size())
        error = name + QStringLiteral(" needs a value");
    else
        value = words[++i];
    return true;
}

} // namespace

GuiArguments parseGuiArguments(const QStringList& words) {
    GuiArguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word.isEmpty())
            continue;
        if (optionsEnded || !word.startsWith(QLatin1Char('-')) || word == QLatin1String("-")) {
            parsed.urls << word;
        } else if (word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            parsed.help = true;
        } else if (word == QLatin1String("--version")) {
            parsed.version = true;
        } else if (word == QLatin1String("--root")) {
            if (i + 1 >= words.size()) {
                parsed.error = QStringLiteral("--root needs a folder");
                return parsed;
            }
            parsed.root = words[++i];
        } else if (word.startsWith(QLatin1String("--root="))) {
            parsed.root = word.mid(7);
        } else if (takeValue(words, i, QStringLiteral("--service"), parsed.serviceUrl,
                             parsed.error) ||
                   takeValue(words, i, QStringLiteral("--service-ca"), parsed.serviceCa,
                             parsed.error)) {
            if (!parsed.error.isEmpty())
                return parsed;
        } else if (word == QLatin1String("--link-stdin")) {
            parsed.linksOnInput = true;
        } else if (word == QLatin1String("--test-home") && i + 1 < words.size()) {
            parsed.testHome = words[++i];
        } else {
            parsed.error = QStringLiteral("unknown option ") + word;
            return parsed;
        }
    }
    if (parsed.root.isEmpty())
        parsed.error = QStringLiteral("--root needs a folder");
    else if (parsed.serviceUrl.isEmpty() != parsed.serviceCa.isEmpty())
        parsed.error = QStringLiteral("--service and --service-ca go together");
    return parsed;
}
