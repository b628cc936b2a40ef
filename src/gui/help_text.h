#pragma once

#include <QString>

// The Help screen's text: what each screen does, where the store lives and
// what the cloud upload leaves out. deviceRoot is shown when it is not "/".
QString helpHtml(const QString& deviceRoot);
